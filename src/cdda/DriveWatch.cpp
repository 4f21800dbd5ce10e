// The drive watch: a thread sleeps in poll on udev's monitor socket for block devices (or the
// descriptor a test gives) and on an eventfd that ends it; each announcement is drained, noted
// for the next question and passed on. Where udev does not run (no /run/udev/control, as in
// most containers, or its library cannot set up the monitor) a clock alone decides.
#include "cdda/DriveWatch.h"

#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace qvr {

DriveWatch::DriveWatch(Clock clock, Announce announce, bool useUdev)
    : clock_(std::move(clock)), announce_(std::move(announce)) {
  // Without the daemon nothing would ever be announced on udev's side of the socket.
  if (!useUdev || ::access("/run/udev/control", F_OK) != 0) return;
  udev_ = udev_new();
  if (udev_ == nullptr) return;
  monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
  if (monitor_ != nullptr && udev_monitor_filter_add_match_subsystem_devtype(monitor_, "block", nullptr) >= 0 &&
      udev_monitor_enable_receiving(monitor_) >= 0) {
    // The monitor's socket does not block: receiving returns null once it is empty.
    Start(udev_monitor_get_fd(monitor_), [this] {
      while (udev_device* device = udev_monitor_receive_device(monitor_)) udev_device_unref(device);
    });
    if (Announces()) return;
  }
  if (monitor_ != nullptr) udev_monitor_unref(monitor_);
  monitor_ = nullptr;
  udev_unref(udev_);
  udev_ = nullptr;
}

DriveWatch::DriveWatch(Clock clock, Announce announce, int descriptor, std::function<void()> drain)
    : clock_(std::move(clock)), announce_(std::move(announce)) {
  Start(descriptor, std::move(drain));
}

void DriveWatch::Start(int descriptor, std::function<void()> drain) {
  stop_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (stop_ < 0) return;  // no thread: the interval decides
  listening_ = true;
  listener_ = std::thread([this, descriptor, drain = std::move(drain)] { Listen(descriptor, drain); });
}

DriveWatch::~DriveWatch() {
  if (listener_.joinable()) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(stop_, &one, sizeof one);
    listener_.join();
  }
  if (stop_ >= 0) ::close(stop_);
  if (monitor_ != nullptr) udev_monitor_unref(monitor_);
  if (udev_ != nullptr) udev_unref(udev_);
}

void DriveWatch::Listen(int descriptor, const std::function<void()>& drain) {
  pollfd waiting[2] = {{descriptor, POLLIN, 0}, {stop_, POLLIN, 0}};
  while (true) {
    const int ready = ::poll(waiting, 2, -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready > 0 && waiting[1].revents != 0) return;
    if (ready < 0 || (waiting[0].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) break;
    if ((waiting[0].revents & POLLIN) == 0) continue;
    drain();
    announced_ = true;
    if (announce_) announce_();
  }
  // The announcements broke off: the interval decides from now on.
  listening_ = false;
}

bool DriveWatch::SearchDue() {
  const auto now = clock_();
  bool due = !searched_;
  if (Announces()) {
    due = announced_.exchange(false) || due;
  } else {
    due = due || now - *searched_ >= kSearchInterval;
  }
  if (due) searched_ = now;
  return due;
}

}  // namespace qvr
