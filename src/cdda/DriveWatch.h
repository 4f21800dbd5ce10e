// Says when the computer's CD drives may have changed, so that the search for the default drive
// (libcdio stats some eighty device names and reads the mount tables) runs only then, not at
// every poll while there is no drive: at the first question, then after udev announced a block
// device added, removed or changed; where udev does not run, at most every ten seconds.
#pragma once

#include <chrono>
#include <functional>
#include <optional>

struct udev;
struct udev_monitor;

namespace qvr {

class DriveWatch {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  // How often the drives are searched again where no udev announces changes.
  static constexpr std::chrono::seconds kSearchInterval{10};

  // `useUdev` false: the interval only (as where udev does not run).
  explicit DriveWatch(Clock clock = std::chrono::steady_clock::now, bool useUdev = true);
  ~DriveWatch();
  DriveWatch(const DriveWatch&) = delete;
  DriveWatch& operator=(const DriveWatch&) = delete;

  // True when the drives must be searched now: the first time, after a change was announced,
  // or (without udev) once the interval has passed since the last search. Never blocks.
  bool SearchDue();
  // Whether changes come from udev's monitor.
  bool UsesUdev() const { return monitor_ != nullptr; }

 private:
  bool Announced();

  Clock clock_;
  struct udev* udev_ = nullptr;
  struct udev_monitor* monitor_ = nullptr;
  std::optional<std::chrono::steady_clock::time_point> searched_;
};

}  // namespace qvr
