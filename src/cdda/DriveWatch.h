// Says when the computer's CD drives may have changed, so that the search for the default drive
// (libcdio stats some eighty device names and reads the mount tables) runs only then, not at
// every poll while there is no drive: at the first question, then after a change was announced,
// by udev (a block device added, removed or changed: a drive plugged in, a disc inserted) or,
// where udev does not run, by the kernel's device folder (a device node whose name a CD drive
// may have created or removed). Where neither can be watched, at most every nine seconds (so
// that each tick of a ten-second idle poll searches).
//
// Announcements are awaited on a thread of the watch's own, which sleeps until one comes and
// then calls `announce`, so that a program with no drive need not poll to notice one arriving.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>
#include <thread>

struct udev;
struct udev_monitor;

namespace qvr {

class DriveWatch {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  // Called on the watch's thread after each announcement; must do no more than post a message.
  using Announce = std::function<void()>;
  // How often the drives are searched again where no changes are announced.
  static constexpr std::chrono::seconds kSearchInterval{9};

  // What may announce changes, tried in this order.
  struct Sources {
    bool udev = true;                        // udev's monitor, where udevd runs
    std::filesystem::path devices = "/dev";  // the device folder (empty: not watched)
  };

  explicit DriveWatch(Clock clock = std::chrono::steady_clock::now, Announce announce = {});
  DriveWatch(Clock clock, Announce announce, const Sources& sources);
  ~DriveWatch();
  DriveWatch(const DriveWatch&) = delete;
  DriveWatch& operator=(const DriveWatch&) = delete;

  // True when the drives must be searched now: the first time, after a change was announced,
  // or (without announcements) once the interval has passed since the last search. Never blocks.
  bool SearchDue();
  // Whether changes are announced, so that nobody needs to ask until an announcement comes.
  bool Announces() const { return listening_; }

  // Whether a device node of this name may be a CD drive (sr0, scd0, cdrom, cdrw, dvd, hdc, ...).
  static bool DriveNodeName(std::string_view name);

 private:
  bool WatchUdev();
  bool WatchFolder(const std::filesystem::path& devices);
  // Listens on `descriptor`; `drain` reads what waits there without blocking and says whether
  // it announced a change.
  void Start(int descriptor, std::function<bool()> drain);
  void Listen(int descriptor, const std::function<bool()>& drain);

  Clock clock_;
  Announce announce_;
  struct udev* udev_ = nullptr;
  struct udev_monitor* monitor_ = nullptr;
  int folder_ = -1;  // an inotify descriptor watching the device folder
  int stop_ = -1;    // an eventfd that ends the listening thread
  std::atomic<bool> listening_{false};
  std::atomic<bool> announced_{false};
  std::thread listener_;
  std::optional<std::chrono::steady_clock::time_point> searched_;
};

}  // namespace qvr
