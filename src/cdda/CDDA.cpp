// The device layer's operations and its state table. Request results are not checked, except
// that a refused open leaves the state not ready (the next poll tries again).
#include "cdda/CDDA.h"

#include <cctype>
#include <cstdio>
#include <exception>
#include <limits>
#include <string>

#include "util/Error.h"

namespace qvr {

namespace {

constexpr char kNotBound[] = "CDデバイスが設定されていません";
constexpr char kBadIdentity[] = "'%s' は有効な整数値ではありません";

// The mode's low 7 bits mapped to the drive state.
TCDState StateOfMode(std::uint32_t mode) {
  switch (mode & 0x7F) {
    case kModeNotReady: return cdNotReady;
    case kModeStopped: return cdStopped;
    case kModePlaying: return cdPlaying;
    case kModePaused: return cdPaused;
    default: return cdOpen;
  }
}

}  // namespace

CDDevice& CDDA::Control() {
  if (control_ == nullptr) throw Error(kNotBound);
  return *control_;
}

void CDDA::CDInit(CDDevice& control) {
  control_ = &control;
  CDState = cdNotReady;
  openError_.clear();
}

bool CDDA::CDOpen() {
  CDDevice& control = Control();
  try {
    if (control.IsOpen()) control.Close();
    control.Open();
    canEject_ = control.CanEject();
    control.SetTimeFormat(TimeFormat::TMSF);
    control.SetDeEmphasis(deEmphasis_);
  } catch (const std::exception& error) {
    openError_ = error.what();
    return false;
  }
  openError_.clear();
  switch (control.StatusMode() & 0x7F) {
    case kModeStopped: CDState = cdStopped; break;
    case kModePlaying: CDState = cdPlaying; break;
    case kModeOpen: CDState = cdOpen; break;
    default: break;  // not ready, paused, seeking, recording: opened again at the next poll
  }
  return true;
}

std::string CDDA::CDProblem() {
  if (!openError_.empty()) return openError_;
  return control_ != nullptr ? control_->Problem() : std::string();
}

bool CDDA::CDAwaitsDrive() { return control_ != nullptr && control_->AwaitsDrive(); }

bool CDDA::CDAnnouncesDrives() { return control_ != nullptr && control_->AnnouncesDrives(); }

void CDDA::CDClose() {
  // Shut-down after a start-up that failed before binding: there is nothing to close.
  if (control_ == nullptr) return;
  CDDevice& control = *control_;
  if (control.IsOpen()) control.Close();
}

void CDDA::CDPoll() {
  if (CDState == cdNotReady) {
    CDOpen();
    return;
  }
  // A drive that reports a paused disc as stopped stays paused.
  if (CDMode() == cdStopped && CDPausedFlag) return;
  CDState = CDMode();
}

TCDState CDDA::CDMode() { return StateOfMode(Control().StatusMode()); }

void CDDA::CDSetRange(std::uint8_t from, std::uint8_t to) {
  CDDevice& control = Control();
  std::uint8_t last = to & 0x7F;
  control.SetTimeFormat(TimeFormat::Milliseconds);
  startPos_ = control.StatusTrackPosition(from);
  endPos_ = control.StatusTrackPosition(last) + control.StatusTrackLength(last);
}

void CDDA::CDPlay(std::uint8_t from, std::uint8_t to) {
  CDSetRange(from, to);
  // A play that cannot start throws here, before the state changes.
  Control().Play(startPos_, endPos_);
  CDState = cdPlaying;
  CDPausedFlag = false;
}

bool CDDA::CDPlayNext(std::uint8_t after, std::uint8_t from, std::uint8_t to) {
  CDDevice& control = Control();
  control.SetTimeFormat(TimeFormat::Milliseconds);
  const std::uint8_t last_heard = after & 0x7F;
  const std::uint32_t at = control.StatusTrackPosition(last_heard) + control.StatusTrackLength(last_heard);
  const std::uint8_t last = to & 0x7F;
  const std::uint32_t start = control.StatusTrackPosition(from);
  const std::uint32_t end = control.StatusTrackPosition(last) + control.StatusTrackLength(last);
  return control.PlayNext(at, start, end);
}

bool CDDA::CDEndAfter(std::uint8_t after) {
  CDDevice& control = Control();
  control.SetTimeFormat(TimeFormat::Milliseconds);
  const std::uint8_t last_heard = after & 0x7F;
  const std::uint32_t at = control.StatusTrackPosition(last_heard) + control.StatusTrackLength(last_heard);
  return control.PlayNext(at, at, at);
}

bool CDDA::CDNextPending() { return Control().NextPending(); }

void CDDA::CDNotifyAt(const std::vector<std::uint32_t>& positions) {
  CDDevice& control = Control();
  control.SetTimeFormat(TimeFormat::TMSF);
  control.NotifyAt(positions);
}

void CDDA::CDDropAhead() {
  if (control_ != nullptr) control_->DropAhead();
}

void CDDA::CDStop() {
  Control().Stop();
  CDState = cdStopped;
  CDPausedFlag = false;
}

bool CDDA::CDSeek(std::uint8_t track, std::uint32_t frame) {
  CDDevice& control = Control();
  control.SetTimeFormat(TimeFormat::TMSF);
  const std::uint32_t minutes = frame / (75 * 60), seconds = frame / 75 % 60, frames = frame % 75;
  if (minutes > 0xFF) return false;
  return control.Seek(track | minutes << 8 | seconds << 16 | frames << 24);
}

void CDDA::ResumeOrPlayOn() {
  CDDevice& control = Control();
  if (!control.Resume()) control.PlayOn();
}

void CDDA::CDPause() {
  CDDevice& control = Control();
  if (CDPausedFlag) {
    ResumeOrPlayOn();
    CDState = cdPlaying;
    CDPausedFlag = false;
    return;
  }
  std::uint32_t mode = control.StatusMode() & 0x7F;
  if (mode == kModePlaying) {
    control.Pause();
  } else if (mode == kModePaused) {
    ResumeOrPlayOn();
  }
  CDState = cdPaused;
  CDPausedFlag = true;
}

void CDDA::CDEject() {
  CDDevice& control = Control();
  if (canEject_) control.OpenDoor();
}

ShortString<8> MediaIDFromText(std::string_view text) {
  // Leading blanks, then an optional sign, then decimal digits and nothing else.
  std::size_t at = 0;
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  if (at == text.size()) throw Error(FormatMessage(kBadIdentity, text));
  std::int64_t value = 0;
  for (; at < text.size(); ++at) {
    if (!std::isdigit(static_cast<unsigned char>(text[at]))) throw Error(FormatMessage(kBadIdentity, text));
    value = value * 10 + (text[at] - '0');
    // Signed 32-bit values, and unsigned ones up to 2^32 - 1 (the device reports an unsigned sum).
    if (value > std::numeric_limits<std::uint32_t>::max()) throw Error(FormatMessage(kBadIdentity, text));
  }
  if (negative) {
    if (value > -std::int64_t{std::numeric_limits<std::int32_t>::min()}) {
      throw Error(FormatMessage(kBadIdentity, text));
    }
    value = -value;
  }
  char digits[9];
  std::snprintf(digits, sizeof digits, "%08X", static_cast<std::uint32_t>(value));
  return ShortString<8>(std::string_view(digits, 8));
}

ShortString<8> CDDA::CDMediaID() {
  std::string identity = Control().MediaIdentity();
  // A device that gives no identity at all (no disc) yields the all-zero key.
  if (identity.empty()) return ShortString<8>("00000000");
  return MediaIDFromText(identity);
}

int CDDA::CDTrackCount() { return static_cast<int>(Control().StatusNumberOfTracks()); }

std::uint32_t CDDA::CDDiscLength() {
  CDDevice& control = Control();
  control.SetTimeFormat(TimeFormat::MSF);
  return control.StatusLength();
}

std::uint8_t CDDA::CDCurrentTrack() { return static_cast<std::uint8_t>(CDPosition() & 0xFF); }

std::uint32_t CDDA::CDPosition() {
  CDDevice& control = Control();
  control.SetTimeFormat(TimeFormat::TMSF);
  return control.StatusPosition();
}

bool CDDA::CDHasHiddenTrack() { return control_ != nullptr && control_->IsOpen() && control_->StatusHiddenTrack(); }

bool CDDA::CDTrackIsAudio(std::uint8_t track) { return Control().StatusTrackIsAudio(track); }

bool CDDA::CDTrackDeEmphasised(std::uint8_t track) { return Control().StatusTrackDeEmphasised(track); }

void CDDA::CDSetDeEmphasis(bool on) {
  deEmphasis_ = on;
  if (control_ != nullptr) control_->SetDeEmphasis(on);
}

std::uint32_t CDDA::CDTrackStart(std::uint8_t track) {
  CDDevice& control = Control();
  control.SetTimeFormat(TimeFormat::MSF);
  return control.StatusTrackPosition(track);
}

std::uint32_t CDDA::CDTrackLength(std::uint8_t track) {
  CDDevice& control = Control();
  control.SetTimeFormat(TimeFormat::MSF);
  return control.StatusTrackLength(track);
}

CdText CDDA::CDText() {
  if (control_ == nullptr || !control_->IsOpen()) return {};
  return control_->ReadCdText();
}

}  // namespace qvr
