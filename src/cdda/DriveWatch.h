// Says when the computer's CD drives may have changed, so that the search for the default drive
// (libcdio stats some eighty device names and reads the mount tables) runs only then, not at
// every poll while there is no drive: at the first question, then after udev announced a block
// device added, removed or changed (a drive plugged in, a disc inserted); where udev does not
// run, at most every nine seconds (so that each tick of a ten-second idle poll searches).
//
// Announcements are awaited on a thread of the watch's own, which sleeps until one comes and
// then calls `announce`, so that a program with no drive need not poll to notice one arriving.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <thread>

struct udev;
struct udev_monitor;

namespace qvr {

class DriveWatch {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  // Called on the watch's thread after each announcement; must do no more than post a message.
  using Announce = std::function<void()>;
  // How often the drives are searched again where no udev announces changes.
  static constexpr std::chrono::seconds kSearchInterval{9};

  // Watches udev's monitor where udev runs; `useUdev` false: the interval only.
  explicit DriveWatch(Clock clock = std::chrono::steady_clock::now, Announce announce = {}, bool useUdev = true);
  // Changes are announced by `descriptor` becoming readable; `drain` reads what is waiting there
  // without blocking. The caller keeps the descriptor open while the watch lives (tests).
  DriveWatch(Clock clock, Announce announce, int descriptor, std::function<void()> drain);
  ~DriveWatch();
  DriveWatch(const DriveWatch&) = delete;
  DriveWatch& operator=(const DriveWatch&) = delete;

  // True when the drives must be searched now: the first time, after a change was announced,
  // or (without announcements) once the interval has passed since the last search. Never blocks.
  bool SearchDue();
  // Whether changes are announced (udev's monitor or a descriptor), not merely timed.
  bool Announces() const { return listening_; }

 private:
  void Listen(int descriptor, const std::function<void()>& drain);
  void Start(int descriptor, std::function<void()> drain);

  Clock clock_;
  Announce announce_;
  struct udev* udev_ = nullptr;
  struct udev_monitor* monitor_ = nullptr;
  int stop_ = -1;  // an eventfd that ends the listening thread
  std::atomic<bool> listening_{false};
  std::atomic<bool> announced_{false};
  std::thread listener_;
  std::optional<std::chrono::steady_clock::time_point> searched_;
};

}  // namespace qvr
