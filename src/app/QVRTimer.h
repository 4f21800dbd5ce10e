// The controller's one-second timer as a port: the Qt program drives a QTimer, the tests tick
// by hand. Ticks arrive on the GUI thread, also while a modal dialog is up.
#pragma once

namespace qvr {

class QVRTimer {
 public:
  virtual ~QVRTimer() = default;
  // Interval 1000 ms, never changed; disabled until the end of the start-up sequence.
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;
};

}  // namespace qvr
