// The program's images, drawn as SVG files in its resources: the eighteen pad buttons (with
// grey variants for the disabled look where the pad asks for them), the six tray images drawn
// separately for 16 and 22 pixels, and the splash screen's product picture.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>
#include <string_view>

namespace qvr {

// A pad button's image by its file name ("play", "stop", ...), with its disabled variant when
// there is one.
QIcon ButtonIcon(const QString& name);

// The tray image "NOTREADY", "OPEN", "STOP", "PLAY1", "PLAY2" or "PAUSE"; a null icon for any
// other name.
QIcon TrayIcon(std::string_view name);

// The splash screen's product picture, 96 x 128.
QPixmap ProductPicture();

}  // namespace qvr
