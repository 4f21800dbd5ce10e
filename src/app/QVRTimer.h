// The controller's one-second timer as a port: the Qt program drives a QTimer, the tests tick
// by hand. Ticks arrive on the GUI thread, also while a modal dialog is up.
#pragma once

namespace qvr {

class QVRTimer {
 public:
  virtual ~QVRTimer() = default;
  // Interval 1000 ms; disabled until the end of the start-up sequence.
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;
  // Slow: a tick every ten seconds instead of every second, while the drive awaited has nothing
  // to report until the drives change (news of that ticks at once). Setting the pace it already
  // has changes nothing, so the next tick is not put off.
  virtual void SetSlow(bool slow) = 0;
};

}  // namespace qvr
