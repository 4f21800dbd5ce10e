// The drive watch: a thread sleeps in poll on udev's monitor socket for block devices (or an
// inotify descriptor on the device folder) and on an eventfd that ends it; each announcement is
// drained, noted for the next question and passed on. udev is used only where its daemon runs
// (/run/udev/control; not in most containers); the device folder where the kernel keeps it
// (devtmpfs creates and removes the nodes itself, daemon or not).
#include "cdda/DriveWatch.h"

#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace qvr {

DriveWatch::DriveWatch(Clock clock, Announce announce) : DriveWatch(std::move(clock), std::move(announce), Sources()) {}

DriveWatch::DriveWatch(Clock clock, Announce announce, const Sources& sources)
    : clock_(std::move(clock)), announce_(std::move(announce)) {
  if (sources.udev && WatchUdev()) return;
  if (!sources.devices.empty()) WatchFolder(sources.devices);
}

bool DriveWatch::WatchUdev() {
  // Without the daemon nothing would ever be announced on udev's side of the socket.
  if (::access("/run/udev/control", F_OK) != 0) return false;
  udev_ = udev_new();
  if (udev_ == nullptr) return false;
  monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
  if (monitor_ != nullptr && udev_monitor_filter_add_match_subsystem_devtype(monitor_, "block", nullptr) >= 0 &&
      udev_monitor_enable_receiving(monitor_) >= 0) {
    // The monitor's socket does not block: receiving returns null once it is empty.
    Start(udev_monitor_get_fd(monitor_), [this] {
      bool any = false;
      while (udev_device* device = udev_monitor_receive_device(monitor_)) {
        udev_device_unref(device);
        any = true;
      }
      return any;
    });
    if (Announces()) return true;
  }
  if (monitor_ != nullptr) udev_monitor_unref(monitor_);
  monitor_ = nullptr;
  udev_unref(udev_);
  udev_ = nullptr;
  return false;
}

bool DriveWatch::WatchFolder(const std::filesystem::path& devices) {
  folder_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (folder_ < 0) return false;
  if (::inotify_add_watch(folder_, devices.c_str(), IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO) >= 0) {
    // Only nodes a drive may have count: terminals and disks come and go too.
    Start(folder_, [this] {
      bool any = false;
      alignas(inotify_event) char buffer[4096];
      ssize_t got = 0;
      while ((got = ::read(folder_, buffer, sizeof buffer)) > 0) {
        for (ssize_t at = 0; at < got;) {
          const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
          if (event->len > 0 && DriveNodeName(event->name)) any = true;
          at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
      }
      return any;
    });
    if (Announces()) return true;
  }
  ::close(folder_);
  folder_ = -1;
  return false;
}

void DriveWatch::Start(int descriptor, std::function<bool()> drain) {
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
  if (folder_ >= 0) ::close(folder_);
  if (monitor_ != nullptr) udev_monitor_unref(monitor_);
  if (udev_ != nullptr) udev_unref(udev_);
}

void DriveWatch::Listen(int descriptor, const std::function<bool()>& drain) {
  pollfd waiting[2] = {{descriptor, POLLIN, 0}, {stop_, POLLIN, 0}};
  while (true) {
    const int ready = ::poll(waiting, 2, -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready > 0 && waiting[1].revents != 0) return;
    if (ready < 0 || (waiting[0].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) break;
    if ((waiting[0].revents & POLLIN) == 0 || !drain()) continue;
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

bool DriveWatch::DriveNodeName(std::string_view name) {
  for (std::string_view prefix : {"sr", "scd", "cd", "dvd", "hd"}) {
    if (name.substr(0, prefix.size()) == prefix) return true;
  }
  return false;
}

}  // namespace qvr
