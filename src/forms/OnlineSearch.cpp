// The registration dialog's online search.
#include "forms/OnlineSearch.h"

#include <QMetaObject>
#include <QPushButton>
#include <QString>

#include "forms/TDiscRegDLG.h"
#include "forms/TLookupChooserDLG.h"
#include "util/ShiftJis.h"

namespace qvr {
namespace {

constexpr const char* kSearchCaption = "オンラインで検索(&O)";
constexpr const char* kCancelCaption = "検索を中止(&O)";

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

OnlineSearch::OnlineSearch(TDiscRegDLG& dialog, QPushButton& button, const TDiscRecord& disc, DiscToc toc,
                           OnlineLookupSettings settings, std::filesystem::path jacket_folder)
    : dialog_(dialog),
      button_(button),
      disc_(disc),
      toc_(std::move(toc)),
      jacket_folder_(std::move(jacket_folder)),
      // The worker's news comes on its own thread: it is only posted to this object on the GUI
      // thread, which takes it from there.
      worker_(std::move(settings), [this] {
        QMetaObject::invokeMethod(
            this, [this] { TakeNews(); }, Qt::QueuedConnection);
      }) {
  chooser_ = [this](const std::vector<DiscProposal>& proposals) { return ChooseProposal(&dialog_, proposals); };
  ShowIdle();
}

OnlineSearch::~OnlineSearch() = default;

void OnlineSearch::ShowIdle() { button_.setText(QString::fromUtf8(kSearchCaption)); }

void OnlineSearch::Click() {
  if (choosing_) return;
  if (worker_.Running()) {
    worker_.Cancel();
    return;
  }
  fetching_cover_ = false;
  filled_.clear();
  if (worker_.StartFind(toc_, disc_)) {
    button_.setText(QString::fromUtf8(kCancelCaption));
    dialog_.ShowStandingStatus(QString::fromUtf8("オンラインで検索しています…"));
  }
}

void OnlineSearch::TakeNews() {
  const LookupNews news = worker_.Poll();
  if (news.Running && !news.Progress.empty()) dialog_.ShowStandingStatus(Q(news.Progress));
  if (news.Finished) Finished(news);
}

std::optional<std::size_t> OnlineSearch::Choose(const std::vector<DiscProposal>& proposals) {
  if (proposals.size() == 1) return 0;
  dialog_.ShowStandingStatus(QString::fromUtf8("候補を選んでください"));
  choosing_ = true;
  const std::optional<std::size_t> chosen = chooser_(proposals);
  choosing_ = false;
  return chosen;
}

void OnlineSearch::Finished(const LookupNews& news) {
  ShowIdle();
  if (news.Failure) {
    if (fetching_cover_) {
      fetching_cover_ = false;
      ShowCoverOutcome("カバー画像を取得できません: " + news.Message);
    } else {
      dialog_.ShowStandingStatus(Q(news.Message));
    }
    return;
  }
  if (fetching_cover_) {
    fetching_cover_ = false;
    if (news.Cover.empty()) {
      ShowCoverOutcome("カバー画像は見つかりませんでした");
      return;
    }
    // The jacket field holds the path as record bytes; a path without a Shift-JIS form is left
    // out rather than stored wrong.
    const SjisEncoding path = Utf8ToSjis(news.Cover.string());
    if (!path.ok() || path.bytes.size() > 255) {
      ShowCoverOutcome("カバー画像のパスはジャケットファイルに登録できません");
      return;
    }
    // A proposal of the jacket alone: every other text empty, no type, no date.
    TDiscRecord jacket;
    jacket.DiscType = kNoDiscType;
    jacket.JacketFile = path.bytes;
    dialog_.Propose(jacket);
    dialog_.ShowStandingStatus(filled_ + QString::fromUtf8("とカバー画像を入力しました"));
    return;
  }
  const std::optional<std::size_t> chosen = Choose(news.Proposals);
  if (!chosen || *chosen >= news.Proposals.size()) {
    dialog_.ShowStandingStatus(QString::fromUtf8("検索結果は使われませんでした"));
    return;
  }
  const DiscProposal& proposal = news.Proposals[*chosen];
  dialog_.Propose(proposal.Record);
  dialog_.OnlineProposalTaken();
  filled_ = QString::fromUtf8("%1 の「%2」").arg(Q(proposal.Source), Q(proposal.Title));
  dialog_.ShowStandingStatus(filled_ + QString::fromUtf8("を入力しました"));
  if (proposal.FrontCover && dialog_.Model().DiscText(DiscField::JacketFile).empty()) {
    fetching_cover_ = worker_.StartCover(proposal, jacket_folder_);
    if (fetching_cover_) button_.setText(QString::fromUtf8(kCancelCaption));
  }
}

void OnlineSearch::ShowCoverOutcome(const std::string& text) {
  // A cover is fetched only after a search filled the fields in: both are told.
  dialog_.ShowStandingStatus(filled_ + QString::fromUtf8("を入力しました (") + Q(text) + ")");
}

}  // namespace qvr
