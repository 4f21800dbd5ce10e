// OnlineSearch: the registration dialog's "オンラインで検索". It runs the online lookup on its
// worker thread, shows the step under way in the dialog's status bar and turns the button into a
// cancel while it runs; then lets the user choose among several proposals (TLookupChooserDLG),
// fills the dialog's empty fields with the chosen one and fetches its front cover as the jacket
// when the jacket field is empty. Nothing is stored: the dialog's Update does that. A failure is
// one line in the status bar, and the dialog stays as it was.
#pragma once

#include <QObject>
#include <QString>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "metadata/LookupWorker.h"

class QPushButton;

namespace qvr {

class TDiscRegDLG;

class OnlineSearch final : public QObject {
 public:
  // Which proposal to use: an index into `proposals`, or nullopt for none. By default a
  // TLookupChooserDLG asks the user; tests put their own.
  using Chooser = std::function<std::optional<std::size_t>(const std::vector<DiscProposal>&)>;

  // `toc` is the disc's table of contents as the drive reads it (data tracks marked).
  OnlineSearch(TDiscRegDLG& dialog, QPushButton& button, const TDiscRecord& disc, DiscToc toc,
               OnlineLookupSettings settings, std::filesystem::path jacket_folder);
  ~OnlineSearch() override;

  // The button's click: starts a search, or cancels the one running.
  void Click();
  bool Running() { return worker_.Running(); }
  void SetChooser(Chooser chooser) { chooser_ = std::move(chooser); }

 private:
  void TakeNews();
  void Finished(const LookupNews& news);
  void ShowIdle();
  std::optional<std::size_t> Choose(const std::vector<DiscProposal>& proposals);
  // Tells how fetching the cover ended, after what the search filled in.
  void ShowCoverOutcome(const std::string& text);

  TDiscRegDLG& dialog_;
  QPushButton& button_;
  TDiscRecord disc_;
  DiscToc toc_;
  std::filesystem::path jacket_folder_;
  Chooser chooser_;
  bool fetching_cover_ = false;
  QString filled_;  // what the last search filled in: "<source> の「<title>」"
  bool choosing_ = false;
  LookupWorker worker_;  // last: its thread ends before the members it posts to
};

}  // namespace qvr
