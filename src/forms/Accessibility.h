// Names and descriptions for screen readers. Qt names a control by its own text, or by the
// label whose buddy it is when both share a parent; a control inside a row of its own (a file
// field with its browse button), or one with only an icon, is left without a name. This gives
// every control of a window a name (its label, its text, its hint) and a description (its long
// hint), unless the control set its own.
#pragma once

class QWidget;

namespace qvr {

// Names and describes every control under `window` that has no accessible name or description
// of its own yet. Runs again safely after controls were added.
void NameControls(QWidget* window);

}  // namespace qvr
