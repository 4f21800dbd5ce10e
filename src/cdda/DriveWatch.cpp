// The drive watch: udev's monitor socket for block devices, read without waiting at each
// question; where udev does not run (no /run/udev/control, as in most containers, or its
// library cannot set up the monitor) a clock alone decides.
#include "cdda/DriveWatch.h"

#include <libudev.h>
#include <poll.h>
#include <unistd.h>

namespace qvr {

DriveWatch::DriveWatch(Clock clock, bool useUdev) : clock_(std::move(clock)) {
  // Without the daemon nothing would ever be announced on udev's side of the socket.
  if (!useUdev || ::access("/run/udev/control", F_OK) != 0) return;
  udev_ = udev_new();
  if (udev_ == nullptr) return;
  monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
  if (monitor_ != nullptr && udev_monitor_filter_add_match_subsystem_devtype(monitor_, "block", nullptr) >= 0 &&
      udev_monitor_enable_receiving(monitor_) >= 0) {
    return;
  }
  if (monitor_ != nullptr) udev_monitor_unref(monitor_);
  monitor_ = nullptr;
  udev_unref(udev_);
  udev_ = nullptr;
}

DriveWatch::~DriveWatch() {
  if (monitor_ != nullptr) udev_monitor_unref(monitor_);
  if (udev_ != nullptr) udev_unref(udev_);
}

bool DriveWatch::Announced() {
  bool any = false;
  pollfd ready{udev_monitor_get_fd(monitor_), POLLIN, 0};
  while (::poll(&ready, 1, 0) > 0 && (ready.revents & POLLIN) != 0) {
    udev_device* device = udev_monitor_receive_device(monitor_);
    if (device == nullptr) break;
    udev_device_unref(device);
    any = true;
  }
  return any;
}

bool DriveWatch::SearchDue() {
  const auto now = clock_();
  bool due = !searched_;
  if (monitor_ != nullptr) {
    due = Announced() || due;  // read every announcement, so that the socket is drained
  } else {
    due = due || now - *searched_ >= kSearchInterval;
  }
  if (due) searched_ = now;
  return due;
}

}  // namespace qvr
