// Conversions between the controller's plain values and Qt's.
#include "forms/QtSupport.h"

#include <fontconfig/fontconfig.h>
#include <QApplication>
#include <QFontInfo>
#include <QMessageBox>
#include <QPalette>
#include <QPointer>
#include <algorithm>
#include <cstdio>
#include <functional>

#include "forms/ControllerLink.h"
#include "forms/MessageText.h"
#include "forms/WindowStacking.h"
#include "util/ShiftJis.h"

namespace qvr {

namespace {

std::function<void(const std::string&)>& ErrorLog() {
  static std::function<void(const std::string&)> log = [](const std::string& message) {
    std::fprintf(stderr, "qvr: %s\n", message.c_str());
  };
  return log;
}

bool unattended = false;

}  // namespace

void ControllerLink::ShowError(const std::string& message) {
  if (Unattended()) {
    Log(message);
    return;
  }
  QMessageBox box(QMessageBox::Critical, QString::fromUtf8(kProgramCaption), QString(), QMessageBox::Ok);
  SetMessageText(box, QString::fromStdString(message));
  box.setWindowFlag(Qt::WindowStaysOnTopHint);
  StackAboveModal(box);
  box.exec();
}

void ControllerLink::ShowNotice(const std::string& message) {
  if (Unattended()) {
    Log(message);
    return;
  }
  static QPointer<QMessageBox> notice;
  if (notice) {
    notice->setText(QString::fromStdString(message));
    notice->raise();
    notice->activateWindow();
    return;
  }
  notice = new QMessageBox(QMessageBox::Critical, QString::fromUtf8(kProgramCaption), QString::fromStdString(message),
                           QMessageBox::Ok);
  notice->setAttribute(Qt::WA_DeleteOnClose);
  notice->setWindowFlag(Qt::WindowStaysOnTopHint);
  // Above a modal dialog it takes the input the dialog would, so that its Ok can be pressed.
  const bool over_modal = QApplication::activeModalWidget() != nullptr;
  StackAboveModal(*notice);
  notice->setWindowModality(over_modal ? Qt::ApplicationModal : Qt::NonModal);
  notice->show();
}

void ControllerLink::EndWithoutAsking() {
  if (unattended) return;
  unattended = true;
  // Every window that waits for an answer ends; the innermost one's loop returns first, and each
  // loop below it ends as soon as it runs again.
  for (QWidget* window : QApplication::topLevelWidgets()) {
    auto* dialog = qobject_cast<QDialog*>(window);
    if (!dialog || !dialog->isVisible()) continue;
    if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
      Log(box->text().toStdString());
      box->done(QMessageBox::Cancel);
    } else {
      dialog->reject();
    }
  }
}

bool ControllerLink::Unattended() { return unattended; }

void ControllerLink::Log(const std::string& message) { ErrorLog()(message); }

void ControllerLink::SetLog(std::function<void(const std::string&)> log) { ErrorLog() = std::move(log); }

QString LabelDisplayText(const std::string& text) {
  QString shown;
  const QString source = QString::fromStdString(text);
  shown.reserve(source.size());
  for (qsizetype i = 0; i < source.size(); ++i) {
    if (source[i] == u'&') {
      if (i + 1 < source.size() && source[i + 1] == u'&') {
        shown += u'&';
        ++i;
      }
      continue;
    }
    shown += source[i];
  }
  return shown;
}

QColor ColorFromRef(std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  if (bits & 0x80000000u) {
    const QPalette palette = QApplication::palette();
    switch (bits & 0xFF) {
      case 5: return palette.color(QPalette::Base);  // window background
      case 8: return palette.color(QPalette::Text);  // window text
      case 13: return palette.color(QPalette::Highlight);
      case 14: return palette.color(QPalette::HighlightedText);
      case 15: return palette.color(QPalette::Button);  // button face
      case 18: return palette.color(QPalette::ButtonText);
      case 24: return palette.color(QPalette::ToolTipBase);
      case 23: return palette.color(QPalette::ToolTipText);
      default: return palette.color(QPalette::Window);
    }
  }
  return QColor(static_cast<int>(bits & 0xFF), static_cast<int>((bits >> 8) & 0xFF),
                static_cast<int>((bits >> 16) & 0xFF));
}

namespace {

// The family fontconfig picks for Japanese text (":lang=ja"), empty when it has none.
QString FontconfigJapaneseFamily() {
  QString family;
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(":lang=ja"));
  if (!pattern) return family;
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
    FcChar8* name = nullptr;
    // Only a face that covers Japanese counts (fontconfig answers something on any system).
    FcLangSet* languages = nullptr;
    if (FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch &&
        FcPatternGetLangSet(match, FC_LANG, 0, &languages) == FcResultMatch &&
        FcLangSetHasLang(languages, reinterpret_cast<const FcChar8*>("ja")) != FcLangDifferentLang) {
      family = QString::fromUtf8(reinterpret_cast<const char*>(name));
    }
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  return family;
}

}  // namespace

const QStringList& JapaneseFallbackFaces() {
  static const QStringList faces = [] {
    QStringList list = {"Noto Sans CJK JP", "Noto Sans JP", "IPAPGothic",           "IPAGothic",
                        "VL PGothic",       "TakaoPGothic", "Noto Sans Mono CJK JP"};
    if (const QString chosen = FontconfigJapaneseFamily(); !chosen.isEmpty()) {
      list.removeAll(chosen);
      list.prepend(chosen);
    }
    return list;
  }();
  return faces;
}

QString DrawnFamily(const QFont& font) { return QFontInfo(font).family(); }

QFont FontFromIni(const TIniFont& font, int pixel_height) {
  QFont result;
  QStringList families{QString::fromStdString(SjisToUtf8(font.Name))};
  families += JapaneseFallbackFaces();
  result.setFamilies(families);
  result.setStyleHint(QFont::SansSerif);
  result.setPixelSize(std::max(1, pixel_height));
  result.setBold((font.Style & fsBold) != 0);
  result.setItalic((font.Style & fsItalic) != 0);
  result.setUnderline((font.Style & fsUnderline) != 0);
  result.setStrikeOut((font.Style & fsStrikeOut) != 0);
  return result;
}

}  // namespace qvr
