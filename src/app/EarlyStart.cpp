// The start ahead of the windows: the thread's steps and the first tick's range worked out ahead.
#include "app/EarlyStart.h"

#include <algorithm>
#include <exception>

#include "app/PlayerSettings.h"
#include "cdda/CDDA.h"
#include "util/ShiftJis.h"

namespace qvr {

namespace {

enum PlayMode : std::uint8_t { kNoMode = 0, kRepeatOne = 1, kRepeatAll = 2, kRandom = 3 };

}  // namespace

std::optional<std::pair<std::uint8_t, std::uint8_t>> FirstTickRange(int track_count, int play_mode, int mode_unlock,
                                                                    RandomSource* random) {
  const auto count = static_cast<std::size_t>(std::clamp(track_count, 0, 99));
  if (count == 0) return std::nullopt;
  // The stop at a disc's arrival releases a mode whose unlock value is 0.
  const int mode = mode_unlock == 0 ? kNoMode : play_mode;
  switch (mode) {
    case kRepeatOne: return std::pair<std::uint8_t, std::uint8_t>{1, 1};
    case kRandom: {
      // Another entry than the position (1): the only other one of two, else drawn until it differs.
      std::size_t drawn = 1;
      if (count == 2) {
        drawn = 2;
      } else if (count > 2) {
        if (random == nullptr) return std::nullopt;
        do {
          drawn = random->Draw(count);
        } while (drawn == 1);
      }
      return std::pair{static_cast<std::uint8_t>(drawn), static_cast<std::uint8_t>(drawn)};
    }
    default:
      // Without repeat-one or random the range runs over consecutive entries: the whole disc.
      return std::pair<std::uint8_t, std::uint8_t>{1, static_cast<std::uint8_t>(count)};
  }
}

EarlyStart::EarlyStart(TIniGTEnvironment settings, std::string drive, const RandomSource& random, DriveMaker make)
    : settings_(std::move(settings)), drive_(std::move(drive)), random_(random.Fork()), make_(std::move(make)) {
  thread_ = std::thread([this] { Run(); });
}

EarlyStart::~EarlyStart() {
  Wait();
  device_.reset();
}

void EarlyStart::Wait() {
  if (thread_.joinable()) thread_.join();
}

std::unique_ptr<CdioDrive> EarlyStart::Take(const std::string& drive) {
  Wait();
  std::unique_ptr<CdioDrive> device = std::move(device_);
  if (device && drive != drive_) device.reset();
  return device;
}

bool EarlyStart::Played() {
  Wait();
  return played_;
}

void EarlyStart::Run() {
  try {
    TIniGT ini(settings_);
    ConfigurePlayerSettings(ini);
    if (drive_.empty()) drive_ = SjisToUtf8(ini.ReadFencedString(kOtherSection, "Drive", ""));
    device_ = make_(drive_);
    device_->OpenAhead();
    if ((device_->StatusMode() & 0x7F) != kModeStopped) return;
    device_->SetDeEmphasis(ini.ReadBool(kOtherSection, "DeEmphasis", true));
    // A settings file the start-up will complain about gets its box before anything is heard.
    if (!ini.ReadBool(kOtherSection, "AutoPlay", true) || !ini.FileProblem().empty()) return;
    const int mode = ini.ReadInteger(kRepeatSection, "PlayMode", 0);
    const char* unlock_key = mode == kRepeatOne ? "OneUnlock" : mode == kRepeatAll ? "AllUnlock" : "RandomUnlock";
    const auto range = FirstTickRange(static_cast<int>(device_->StatusNumberOfTracks()), mode,
                                      ini.ReadInteger(kRepeatSection, unlock_key, 2), random_.get());
    if (!range) return;
    // The positions as the layer's play request gives them, so that the device knows it again.
    CDDA layer(*device_);
    layer.CDSetRange(range->first, range->second);
    played_ = device_->PlayAhead(layer.StartPos(), layer.EndPos());
  } catch (const std::exception&) {
    // What failed here fails again in the start-up, which says why; nothing plays ahead.
    if (device_) device_->DropAhead();
  }
}

}  // namespace qvr
