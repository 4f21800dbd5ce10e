// The CD device's news and the range handed over to follow the one playing. The device tells,
// from its own threads, when it has read the last sample of what plays, when a track, a timed
// lyrics line or a handed-over range is heard, when it has stopped at the end, and when the
// computer's drives changed while it awaited one; the program posts each piece of news to the
// GUI thread, where CDControlNotify runs the monitor's steps at once instead of at the next
// tick. A range read through gets what follows it handed over (the range-ended steps worked out
// ahead), so that it plays from the next sample; the position moves to it only once it is heard.
//
// News waits for what a tick waits for: while a lookup runs or the timer is off (a question to
// the user, the play order being replaced, the start-up sequence) it is left to the next tick,
// which runs the same steps (a range read through is remembered and handed over then).
#include "app/TQVRDM.h"

namespace qvr {

void TQVRDM::CDControlNotify(DeviceNews news) {
  if (news == DeviceNews::RangeRead) range_read_ = true;
  if (looking_up_ || !ports_.timer.Enabled()) {
    // A timer asleep until news would leave the drive unnoticed: it ticks again.
    if (news == DeviceNews::DrivesChanged) ports_.timer.SetPace(QVRTimer::Pace::EverySecond);
    return;
  }
  switch (news) {
    case DeviceNews::RangeRead:
      if (CD.CDState == TCDState::cdPlaying || CD.CDState == TCDState::cdPaused) HandOverNextRange();
      break;
    case DeviceNews::Heard:
    case DeviceNews::Ended:
    case DeviceNews::DrivesChanged: MonitorSteps(false); break;
  }
}

// The position of the last entry of the range being played: the range runs along the play
// order from the entry being heard to the one holding its last track.
std::size_t TQVRDM::RangeEndIndex() const {
  const std::size_t count = PlayOrder.size();
  std::size_t i = PlayIndex >= 1 && PlayIndex <= count ? PlayIndex : 1;
  for (std::size_t steps = 0; steps < count && TrackAt(i) != CD.PlayTo; ++steps) i = i < count ? i + 1 : 1;
  return TrackAt(i) == CD.PlayTo ? i : PlayIndex;
}

// What the range-ended steps play after the range ending at position `last`; nothing when the
// play order is over.
std::optional<std::size_t> TQVRDM::EntryAfterRange(std::size_t last) {
  if (QVRMenu.Checked(MenuItemId::RepeatOneMNU)) return last;
  if (QVRMenu.Checked(MenuItemId::RandomMNU)) return DrawOtherEntry(last);
  if (last < PlayOrder.size()) return last + 1;
  if (QVRMenu.Checked(MenuItemId::RepeatAllMNU)) return std::size_t{1};
  return std::nullopt;
}

void TQVRDM::HandOverNextRange() {
  range_read_ = false;
  if (PlayOrder.empty() || !range_chosen_) return;
  const std::optional<std::size_t> next = EntryAfterRange(RangeEndIndex());
  if (!next) {
    // The play order ends with this range: a hand-over made before a mode change is withdrawn.
    if (handed_.pending && CD.CDEndAfter(CD.PlayTo)) handed_.pending = false;
    return;
  }
  const auto range = RangeAt(*next);
  if (!range) return;
  const auto [from, to] = *range;
  if (CD.CDPlayNext(CD.PlayTo, from, to)) handed_ = {true, *next, from, to};
}

// As the play command does once the device plays, without a new play request.
void TQVRDM::TakeOverHandedRange() {
  handed_.pending = false;
  PlayIndex = handed_.index;
  CD.PlayFrom = handed_.from;
  CD.PlayTo = handed_.to;
  range_chosen_ = true;
  LastTrack = CD.CDCurrentTrack();
  UpdateControls();
  UpdateStatus();
}

// A mode switched while playing applies to the entry being heard. With repeat-one or random a
// range running on past the heard track ends with it, and the entry the mode picks follows;
// otherwise what was handed over is worked out again under the new mode.
void TQVRDM::FollowModeChange() {
  if (PlayOrder.empty() || !range_chosen_) return;
  const bool single = QVRMenu.Checked(MenuItemId::RepeatOneMNU) || QVRMenu.Checked(MenuItemId::RandomMNU);
  const std::uint8_t heard = CD.CDCurrentTrack() & 0x7F;
  if (single && heard != CD.PlayTo && TrackAt(PlayIndex) == heard) {
    const std::size_t next = EntryAfterRange(PlayIndex).value_or(PlayIndex);
    const auto range = RangeAt(next);
    if (range && CD.CDPlayNext(heard, range->first, range->second)) {
      CD.PlayTo = heard;
      handed_ = {true, next, range->first, range->second};
    }
    return;
  }
  if (handed_.pending || range_read_) HandOverNextRange();
}

void TQVRDM::ForgetHandOver() {
  handed_.pending = false;
  range_read_ = false;
}

}  // namespace qvr
