// The registration dialog's lyrics fetch.
#include "forms/LyricsFetch.h"

#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>

#include "forms/MessageText.h"
#include "forms/TDiscRegDLG.h"
#include "metadata/DiscLyrics.h"
#include "util/ShiftJis.h"

namespace qvr {
namespace {

constexpr const char* kFetchCaption = "歌詞をオンラインで取得";
constexpr const char* kCancelCaption = "歌詞の取得を中止";

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

LyricsFetch::LyricsFetch(TDiscRegDLG& dialog, QPushButton& button, OnlineLookupSettings settings,
                         std::filesystem::path lyrics_folder)
    : dialog_(dialog),
      button_(button),
      lyrics_folder_(std::move(lyrics_folder)),
      // News from the worker's thread is only posted here and taken on the GUI thread.
      worker_(std::move(settings), [this] {
        QMetaObject::invokeMethod(
            this, [this] { TakeNews(); }, Qt::QueuedConnection);
      }) {
  asker_ = [this](const QString& question) {
    return ShowMessageBox(&dialog_, QMessageBox::Question, dialog_.windowTitle(), question,
                          QMessageBox::Yes | QMessageBox::No, false, QMessageBox::No) == QMessageBox::Yes;
  };
  ShowIdle();
}

LyricsFetch::~LyricsFetch() = default;

void LyricsFetch::ShowIdle() { button_.setText(QString::fromUtf8(kFetchCaption)); }

void LyricsFetch::Click() {
  if (worker_.Running()) {
    worker_.Cancel();
    return;
  }
  if (worker_.StartLyrics(dialog_.WorkingRecord())) {
    button_.setText(QString::fromUtf8(kCancelCaption));
    dialog_.ShowStandingStatus(QString::fromUtf8("歌詞を検索しています…"));
  }
}

void LyricsFetch::TakeNews() {
  const LookupNews news = worker_.Poll();
  if (news.Running && !news.Progress.empty()) dialog_.ShowStandingStatus(Q(news.Progress));
  if (news.Finished) Finished(news);
}

void LyricsFetch::Finished(const LookupNews& news) {
  ShowIdle();
  if (news.Failure || !news.Lyrics) {
    dialog_.ShowStandingStatus(Q(news.Failure == LookupFailure::Cancelled ? "歌詞の取得を中止しました"
                                                                          : "歌詞を取得できません: " + news.Message));
    return;
  }
  const TDiscRecord record = dialog_.WorkingRecord();
  const std::filesystem::path path = LyricsFileIn(lyrics_folder_, record.DiscKey.View());
  const SjisEncoding bytes = Utf8ToSjis(path.string());
  if (!bytes.ok() || bytes.bytes.size() > 255) {
    dialog_.ShowStandingStatus(Q("歌詞ファイルのパス " + path.string() + " は登録できません"));
    return;
  }
  const std::string current = dialog_.LyricsFieldBytes();
  if (!current.empty() && current != bytes.bytes &&
      !asker_(QString::fromUtf8("歌詞ファイル %1 が登録されています。取得した歌詞で置き換えますか？")
                  .arg(Q(SjisToUtf8(current))))) {
    dialog_.ShowStandingStatus(Q(news.Lyrics->Summary() + " (歌詞ファイルはそのままです)"));
    return;
  }
  pending_field_ = bytes.bytes;
  pending_path_ = path;
  pending_lrc_ = news.Lyrics->Lrc();
  dialog_.SetLyricsField(path.string());
  dialog_.ShowStandingStatus(Q(news.Lyrics->Summary() + "。更新すると保存します"));
}

void LyricsFetch::WritePending(std::string_view field) {
  if (pending_lrc_.empty() || field != pending_field_) return;
  WriteLyricsFile(pending_path_, pending_lrc_);
  pending_lrc_.clear();
}

}  // namespace qvr
