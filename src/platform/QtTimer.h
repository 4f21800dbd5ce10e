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
    timer_.setInterval(1000);
    QObject::connect(&timer_, &QTimer::timeout, &timer_, std::move(tick));
  }
  void SetEnabled(bool enabled) override {
    if (enabled) {
      timer_.start();
    } else {
      timer_.stop();
    }
  }
  bool Enabled() const override { return timer_.isActive(); }
  void SetSlow(bool slow) override {
    const int interval = slow ? 10000 : 1000;
    if (timer_.interval() != interval) timer_.setInterval(interval);
  }

 private:
  QTimer timer_;
};

}  // namespace qvr
