// The controller's one-second timer over a QTimer: ticks arrive on the GUI thread, also while a
// modal dialog runs its own event loop.
#pragma once

#include <QTimer>
#include <functional>

#include "app/QVRTimer.h"

namespace qvr {

class QtTimer final : public QVRTimer {
 public:
  explicit QtTimer(std::function<void()> tick) {
    QObject::connect(&timer_, &QTimer::timeout, &timer_, std::move(tick));
  }
  void SetEnabled(bool enabled) override {
    enabled_ = enabled;
    Apply();
  }
  bool Enabled() const override { return enabled_; }
  void SetPace(Pace pace) override {
    if (pace == pace_) return;
    pace_ = pace;
    Apply();
  }

 private:
  void Apply() {
    if (!enabled_ || pace_ == Pace::OnNewsOnly) {
      timer_.stop();
      return;
    }
    const int interval = pace_ == Pace::EveryTenSeconds ? 10000 : 1000;
    if (!timer_.isActive() || timer_.interval() != interval) timer_.start(interval);
  }

  QTimer timer_;
  bool enabled_ = false;
  Pace pace_ = Pace::EverySecond;
};

}  // namespace qvr
