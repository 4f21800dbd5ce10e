// TPlugInPad: the plug-in pad, a small stay-on-top tool window. Its buttons (one per plug-in)
// arrive with the plug-ins; for now it is the empty window the control pad's plug-in button
// shows.
#pragma once

#include <QWidget>

#include "forms/ControllerLink.h"

namespace qvr {

class TPlugInPad : public QWidget {
 public:
  explicit TPlugInPad(ControllerLink& link);
  // Hints follow the HelpHint setting.
  void ApplyHintSetting(bool help_hint);
  // The shut-down step: the pad stores nothing.
  void Save() {}
  // Shows the pad just below `anchor` (the control pad).
  void ShowUnder(const QWidget& anchor);

 private:
  ControllerLink& link_;
};

}  // namespace qvr
