// TDiscRegDLG: the disc registration dialog ("ＣＤデータ登録"). Two pages with their tabs at the
// bottom: the disc's texts, sale date and type; the tracks' texts one track at a time, chosen
// with the scroll bar or Alt+Left/Alt+Right. The dialog shows a DiscRegModel and forwards every
// edit to it; Update (the button, or the controller closing it with the update result when the
// disc leaves the drive) commits the model into the controller's `Disc`, and the registration
// command stores it.
#pragma once

#include <array>
#include <cstddef>
#include <optional>

#include <QString>
#include <filesystem>
#include <memory>

#include "dialogs/DiscRegModel.h"
#include "forms/ModalDialog.h"
#include "metadata/OnlineLookup.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QTabWidget;
class QToolButton;
class QWidget;

namespace qvr {

class FileDialogs;
class OnlineSearch;
class LyricsFetch;
class SaleDateEdit;

class TDiscRegDLG final : public ModalDialog {
 public:
  // Help topics of the two pages.
  static constexpr int kDiscPageHelp = 12;
  static constexpr int kTrackPageHelp = 72;

  TDiscRegDLG(ControllerLink& link, FileDialogs& files, const TDiscRecord& disc);
  ~TDiscRegDLG() override;

  // Fills the fields that are still empty from a proposed record (texts found elsewhere) and
  // shows the result; what the user typed stays. Returns how many fields it filled.
  std::size_t Propose(const TDiscRecord& proposed);
  // The disc has CD-Text: shows CdTextBTN, which fills the empty fields from `proposal`; with
  // `fill_now` (an unregistered disc) they are filled at once. The status bar tells the result.
  void OfferCdText(const TDiscRecord& proposal, bool fill_now);

  // Enables "オンラインで検索" with these servers for the disc whose table of contents is `toc`,
  // saving covers into `jacket_folder`; with `search_now` the search starts as soon as the dialog
  // shows.
  void EnableOnlineSearch(const DiscToc& toc, const OnlineLookupSettings& servers,
                          const std::filesystem::path& jacket_folder, bool search_now);
  OnlineSearch* Online() const { return online_.get(); }

  // Enables "歌詞をオンラインで取得" with the lyrics server of `servers`, the file going into
  // `lyrics_folder` when the dialog is updated.
  void EnableLyricsFetch(const OnlineLookupSettings& servers, const std::filesystem::path& lyrics_folder);
  LyricsFetch* Lyrics() const { return lyrics_.get(); }
  // Told by the online search when a proposal filled the fields.
  void OnlineProposalTaken();
  // The disc as the dialog holds it now (what Update would store).
  TDiscRecord WorkingRecord() const;
  // The lyrics file field as record bytes (trimmed), and setting it.
  std::string LyricsFieldBytes() const;
  void SetLyricsField(const std::string& utf8);

  // The controls, named as the program names them.
  QTabWidget* PageControlEx1 = nullptr;
  QWidget* DiscDataPage = nullptr;
  QWidget* TrackDataPage = nullptr;
  QLineEdit* DiscNameEDT = nullptr;
  QLineEdit* ArtistNameEDT = nullptr;
  SaleDateEdit* SaleDateDTP = nullptr;
  QLineEdit* LabelNameEDT = nullptr;
  QComboBox* DiscTypeCMB = nullptr;
  QLineEdit* JacketFileEDT = nullptr;
  QToolButton* JacketFileBTN = nullptr;
  QLineEdit* LyricsFileEDT = nullptr;
  QToolButton* LyricsFileBTN = nullptr;
  QPushButton* LyricsFetchBTN = nullptr;  // enabled by EnableLyricsFetch
  QLabel* DiscTime = nullptr;
  QLineEdit* TrackNameEDT = nullptr;
  QComboBox* LyricsbyCMB = nullptr;
  QComboBox* MusicbyCMB = nullptr;
  QComboBox* ArrangebyCMB = nullptr;
  QComboBox* GenreCMB = nullptr;
  QLabel* StartPosLBL = nullptr;
  QLabel* LengthLBL = nullptr;
  QScrollBar* TrackSelectSBR = nullptr;
  QLabel* CurrentTrackLBL = nullptr;
  QPushButton* CdTextBTN = nullptr;  // shown only when the disc has CD-Text
  QPushButton* UpdateBTN = nullptr;
  QPushButton* CancelBTN = nullptr;
  QPushButton* HelpBTN = nullptr;
  QPushButton* OnlineSearchBTN = nullptr;

  const DiscRegModel& Model() const { return model_; }

 protected:
  void Commit(ModalResult result) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Fixes the size at the client area's or more when the controls need it, centred on the screen.
  void FitAndCentre();
  QWidget* BuildDiscPage();
  QWidget* BuildTrackPage();
  QWidget* FileEdit(QLineEdit*& edit, QToolButton*& browse, DiscField field);
  void ShowDiscPage();
  void ShowTrack();
  void TrackSelectSBRChange(int position);
  void PageControlEx1Change(int index);
  void UpdateBTNClick();
  void CdTextBTNClick();
  void BrowseFile(DiscField field);
  // Keys seen for every control (keyboard preview): Alt+Left/Alt+Right on the track page.
  bool FormKeyDown(int key, Qt::KeyboardModifiers modifiers);  // true: it moved the track or page
  QWidget* TrackControl(TrackField field) const;
  QLineEdit* DiscEdit(DiscField field) const;

  FileDialogs& files_;
  DiscRegModel model_;
  std::optional<TDiscRecord> cd_text_;  // the disc's CD-Text, offered by CdTextBTN
  bool showing_ = false;                // controls are being filled from the model, not edited by the user
  TDiscRecord disc_;                    // the disc as the dialog opened on it: its key and table of contents
  std::unique_ptr<OnlineSearch> online_;
  std::unique_ptr<LyricsFetch> lyrics_;
  bool auto_lyrics_ = false;  // the online search started by itself: lyrics follow a proposal
};

}  // namespace qvr
