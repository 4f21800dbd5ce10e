// LyricsFetch: the registration dialog's "歌詞をオンラインで取得". It fetches the timed lyrics of
// the disc's titled tracks (as the dialog holds them now) from LRCLIB on its worker thread, turns
// the button into a cancel while it runs, tells how many tracks got timed lyrics and fills the
// lyrics file field with the disc's file in the "Lyrics" folder. The file is written only when
// the dialog is updated (WritePending); a lyrics file the record already names is replaced only
// when the user says so.
#pragma once

#include <QObject>
#include <QString>
#include <filesystem>
#include <functional>
#include <string>

#include "metadata/LookupWorker.h"

class QPushButton;

namespace qvr {

class TDiscRegDLG;

class LyricsFetch final : public QObject {
 public:
  // Asks whether to replace the lyrics file the field names; by default a question box.
  using Asker = std::function<bool(const QString& question)>;

  LyricsFetch(TDiscRegDLG& dialog, QPushButton& button, OnlineLookupSettings settings,
              std::filesystem::path lyrics_folder);
  ~LyricsFetch() override;

  // The button's click: starts a fetch, or cancels the one running.
  void Click();
  bool Running() { return worker_.Running(); }
  void SetAsker(Asker asker) { asker_ = std::move(asker); }
  // Writes the fetched file when the lyrics field (record bytes) still names it. Raises Error
  // when it cannot be written.
  void WritePending(std::string_view field);

 private:
  void TakeNews();
  void Finished(const LookupNews& news);
  void ShowIdle();

  TDiscRegDLG& dialog_;
  QPushButton& button_;
  std::filesystem::path lyrics_folder_;
  Asker asker_;
  std::string pending_field_;  // the field's bytes naming the fetched file
  std::filesystem::path pending_path_;
  std::string pending_lrc_;
  LookupWorker worker_;  // last: its thread ends before the members it posts to
};

}  // namespace qvr
