// Qt's own texts in Japanese: the program's interface is Japanese whatever the locale, so the
// standard dialogs, buttons and errors of Qt (file and font dialogs, はい / いいえ of question
// boxes) take Qt's Japanese translations, and dates and numbers the Japanese forms.
#pragma once

#include <QString>

namespace qvr {

// Installs Qt's Japanese translations (qtbase_ja from Qt's translations folder) into the running
// application and makes Japanese the default locale. Call once after the application object is
// made. Returns an empty text, or the reason the translations could not be loaded (the program
// then goes on with Qt's English texts).
QString UseJapaneseForQt();

}  // namespace qvr
