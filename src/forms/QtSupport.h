// Conversions between the controller's plain values and Qt's: label texts with doubled
// ampersands, colours as the settings file stores them, the settings file's fonts.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <cstdint>
#include <string>

#include "ini/IniGT.h"

namespace qvr {

// The text a label shows for the text it was given: "&&" shows one ampersand, and a single
// "&" (an accelerator marker) is not shown.
QString LabelDisplayText(const std::string& text);

// A colour as stored (0x00BBGGRR, or 0x80000000 | system colour index) as a Qt colour; system
// colours are taken from the application's palette.
QColor ColorFromRef(std::int32_t value);

// The font of the settings file at `pixel_height` pixels. Its face name is kept as stored; where
// that face is not installed, an installed Japanese face stands in for it.
QFont FontFromIni(const TIniFont& font, int pixel_height);

// The Japanese faces tried, in order, after a face that is not installed: fontconfig's choice
// for the Japanese language first, then well-known Japanese faces.
const QStringList& JapaneseFallbackFaces();

// The family Qt really draws `font` with (its first installed family, or what stands in).
QString DrawnFamily(const QFont& font);

}  // namespace qvr
