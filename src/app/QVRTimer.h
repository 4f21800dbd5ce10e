// The controller's one-second timer as a port: the Qt program drives a QTimer, the tests tick
// by hand. Ticks arrive on the GUI thread, also while a modal dialog is up.
#pragma once

#include <cstdint>

namespace qvr {

class QVRTimer {
 public:
  // How often an enabled timer ticks: every second; every ten seconds or not at all while the
  // drive awaited has nothing to report until the drives change (news of that runs the tick's
  // steps at once), not at all where that news is sure to come.
  enum class Pace : std::uint8_t { EverySecond, EveryTenSeconds, OnNewsOnly };

  virtual ~QVRTimer() = default;
  // Disabled until the end of the start-up sequence. Enabled means the controller takes ticks and
  // news, whatever the pace.
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;
  // Every second until told otherwise. Setting the pace it already has changes nothing, so the
  // next tick is not put off.
  virtual void SetPace(Pace pace) = 0;
};

}  // namespace qvr
