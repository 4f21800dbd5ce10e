// The media-player bus interface (MPRIS 2): the player is "org.mpris.MediaPlayer2.qvr" on the
// session bus, so media keys, the desktop's sound menu and tools like playerctl know it. Every
// call runs the controller's handlers through the link, the same as a click on the pad (a
// command the pad has disabled does nothing); what the bus shows is read from the controller's
// NowPlaying picture on the GUI thread after every call into the controller (a tick, a click,
// the device's news), and changes are announced with PropertiesChanged. Nothing runs while the
// controller does nothing. Without a session bus there is no interface and no error.
#pragma once

#include <QDBusConnection>
#include <functional>
#include <memory>
#include <string>

#include "app/NowPlaying.h"
#include "forms/ControllerLink.h"

namespace qvr {

class MprisObject;

// What the bus shows, read from the controller in one go.
struct MprisPicture {
  NowPlaying now;
  bool can_next = false, can_previous = false, can_pause = false;
  bool repeat_one = false, repeat_all = false, random = false;
};

class MprisService {
 public:
  // `open` opens a path or file URI's path like the command line does (OpenUri).
  MprisService(ControllerLink& link, std::function<void(const std::string&)> open);
  ~MprisService();
  MprisService(const MprisService&) = delete;
  MprisService& operator=(const MprisService&) = delete;

  // Whether the bus name was taken and the object is published.
  bool Published() const { return published_; }
  // Reads the controller's state now and announces what changed (runs after every call into
  // the controller through the link).
  void Refresh();

 private:
  friend class MprisObject;
  MprisPicture Read();

  ControllerLink& link_;
  std::function<void(const std::string&)> open_;
  QDBusConnection bus_;
  std::unique_ptr<MprisObject> object_;
  bool published_ = false;
};

}  // namespace qvr
