// The lyrics line: its visibility command, the mouse (dragging between the screen edges, the
// pop-up menu), and the timed lyrics read from the disc's lyrics file and stepped by the tick.
#include <algorithm>
#include <charconv>

#include "app/TQVRDM.h"
#include "lyrics/LrcFile.h"
#include "util/Msf.h"
#include "util/ShiftJis.h"
#include "util/ZLUtils.h"

namespace qvr {
namespace {

std::int32_t TimeOf(const std::string& text) {
  std::int32_t value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

}  // namespace

void TQVRDM::LyricsViewMNUClick() {
  const bool shown = !QVRMenu.Checked(MenuItemId::LyricsViewMNU);
  QVRMenu.SetChecked(MenuItemId::LyricsViewMNU, shown);
  ports_.view.SetLyricsWindowVisible(shown);
  ports_.view.SetPadToggle(PadToggle::LyricsViewBTN, shown);
}

void TQVRDM::LrcLinePosChange(bool left_button_only, double screen_y, int screen_height) {
  if (!left_button_only) return;
  const bool at_top = screen_y < screen_height / 2.0;
  if (at_top == LyricsAtTop) return;
  LyricsAtTop = at_top;
  ports_.view.ApplyLyricsAppearance(Lyrics, LyricsAtTop);
}

void TQVRDM::LrcLineMouseUp(MouseButton button) {
  if (button == MouseButton::Right) ports_.view.PopupMenu();
}

void TQVRDM::LoadLyrics() {
  LyricsTexts.clear();
  LyricsTimes.clear();
  const bool had_lyrics = LyricsLoaded;
  LyricsLoaded = false;
  LyricsIndex = 0;
  if (had_lyrics) CD.CDNotifyAt({});
  if (Disc.LyricsFile.Empty()) return;
  // A missing or unreadable file leaves the title display as it is, without a message.
  const auto lines = ReadLrcFile(SjisToUtf8(Disc.LyricsFile.Str()));
  if (!lines) return;
  for (const TimedLyricsLine& line : *lines) {
    LyricsTimes.push_back(std::to_string(line.time));
    LyricsTexts.push_back(line.text);
  }
  LyricsLoaded = !LyricsTexts.empty();
  // The device reports when each line's time is heard, so that the line shows on time.
  std::vector<std::uint32_t> positions;
  for (const TimedLyricsLine& line : *lines) {
    const auto time = static_cast<std::uint32_t>(line.time);
    positions.push_back(PackTMSF(static_cast<std::uint8_t>(time >> 24), static_cast<std::uint8_t>(time >> 16),
                                 static_cast<std::uint8_t>(time >> 8), static_cast<std::uint8_t>(time)));
  }
  CD.CDNotifyAt(positions);
}

// Bisection over the times for the last line at or before the play head. Positions are compared
// in time order (track, minutes, seconds, frames). A line reached exactly is shown at once. A
// line passed between two ticks is shown when it belongs to the track under the play head; a
// line of an earlier track does not replace the track title that a track change put up. The
// last line of the file is found like any other.
void TQVRDM::LyricsStep() {
  const std::int32_t position = TMSFTimeOrder(CD.CDPosition());
  const std::size_t count = std::min(LyricsTimes.size(), LyricsTexts.size());
  std::size_t lower = 0, upper = count + 1;
  LyricsIndex = 0;
  while (lower + 1 < upper) {
    const std::size_t probe = (lower + upper + 1) / 2;  // the midpoint rounded up
    const std::int32_t time = TimeOf(LyricsTimes[probe - 1]);
    if (time > position) {
      upper = probe;
    } else if (time < position) {
      lower = probe;
    } else {
      lower = probe;
      break;
    }
  }
  if (lower == 0) return;  // before the first line: nothing to show
  const std::int32_t time = TimeOf(LyricsTimes[lower - 1]);
  const bool same_track = (time >> 24) == (position >> 24);
  if (time != position && TitleShown && !same_track) return;
  LyricsIndex = static_cast<std::int32_t>(lower);
  ports_.view.SetLyricsText(DoubleChar(LyricsTexts[lower - 1], '&'));
  TitleShown = false;
}

}  // namespace qvr
