// The disc registration dialog: layout, and the forwarding of edits to its model.
#include "forms/TDiscRegDLG.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/PlayerSettings.h"
#include "app/TQVRDM.h"
#include "dialogs/FileDialogs.h"
#include "forms/ControllerLink.h"
#include "forms/DialogFactories.h"
#include "forms/LyricsFetch.h"
#include "forms/OnlineSearch.h"
#include "forms/ShiftJisValidator.h"
#include "metadata/DiscIds.h"
#include "util/Error.h"
#include "util/ShiftJis.h"
#include "util/ZLUtils.h"

namespace qvr {
namespace {

constexpr const char* kCaption = "ＣＤデータ登録";
constexpr const char* kCdTextCaption = "CD-TEXTから入力(&T)";
constexpr const char* kCdTextHint = "|ディスクのCD-TEXTで空欄を埋めます (入力済みの欄はそのままです)";
constexpr char kCdTextPrefilled[] = "CD-TEXTから%s項目を入力しました (更新で登録します)";
constexpr char kCdTextFilled[] = "CD-TEXTから%s項目を入力しました";
constexpr const char* kCdTextNothing = "CD-TEXTで埋められる空欄はありません";
constexpr int kClientWidth = 433;
constexpr int kClientHeight = 315;

// The browse dialogs' file types. Jackets: every picture format the program shows (bitmaps
// first); lyrics: LRC files with timed lines and plain texts.
constexpr const char* kJacketFilter =
    "画像ファイル(*.BMP;*.PNG;*.JPG;*.JPEG)|*.BMP;*.PNG;*.JPG;*.JPEG|ビットマップ(*.BMP)|*.BMP|"
    "すべてのファイル(*.*)|*.*";
constexpr const char* kLyricsFilter =
    "歌詞ファイル(*.LRC;*.TXT)|*.LRC;*.TXT|LRCファイル(*.LRC)|*.LRC|テキストファイル(*.TXT)|*.TXT|"
    "すべてのファイル(*.*)|*.*";

QString Q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
std::string S(const QString& text) { return text.toStdString(); }

// The names the refusal message uses for a field.
const char* FieldName(DiscField field) {
  switch (field) {
    case DiscField::DiscName: return "ＣＤ名";
    case DiscField::ArtistName: return "アーティスト名";
    case DiscField::LabelName: return "レーベル名";
    case DiscField::JacketFile: return "ジャケットファイル";
    case DiscField::LyricsFile: return "歌詞ファイル";
  }
  return "";
}

const char* FieldName(TrackField field) {
  switch (field) {
    case TrackField::TrackName: return "曲 名";
    case TrackField::Lyricsby: return "作 詞";
    case TrackField::Musicby: return "作 曲";
    case TrackField::Arrangeby: return "編 曲";
    case TrackField::Genre: return "ジャンル";
  }
  return "";
}

QLabel* Caption(const char* text, QWidget* buddy) {
  auto* label = new QLabel(QString::fromUtf8(text));
  label->setBuddy(buddy);
  return label;
}

// An editable combo box with an empty list: typed names are not added to it.
QComboBox* NameCombo(const char* name) {
  auto* combo = new QComboBox;
  combo->setObjectName(name);
  combo->setEditable(true);
  combo->setInsertPolicy(QComboBox::NoInsert);
  combo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  return combo;
}

QLineEdit* Edit(const char* name) {
  auto* edit = new QLineEdit;
  edit->setObjectName(name);
  return edit;
}

// +1 for the keys that go to the next page, -1 for the previous page, 0 for other keys.
int IsPageKey(int key, Qt::KeyboardModifiers modifiers) {
  const Qt::KeyboardModifiers plain = modifiers & ~Qt::KeypadModifier;
  if (plain == Qt::ControlModifier && (key == Qt::Key_Tab || key == Qt::Key_PageDown)) return 1;
  if (plain == Qt::ControlModifier && key == Qt::Key_PageUp) return -1;
  if (plain == (Qt::ControlModifier | Qt::ShiftModifier) && (key == Qt::Key_Tab || key == Qt::Key_Backtab)) return -1;
  return 0;
}

QDate ToQDate(CivilDate day) { return QDate(day.Year, day.Month, day.Day); }
CivilDate FromQDate(QDate date) { return CivilDate{date.year(), date.month(), date.day()}; }

}  // namespace

TDiscRegDLG::TDiscRegDLG(ControllerLink& link, FileDialogs& files, const TDiscRecord& disc)
    : ModalDialog(link, QString::fromUtf8(kCaption), kDiscPageHelp), files_(files), model_(disc), disc_(disc) {
  setObjectName("DiscRegDLG");
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

  PageControlEx1 = new QTabWidget;
  PageControlEx1->setObjectName("PageControlEx1");
  PageControlEx1->setTabPosition(QTabWidget::South);
  DiscDataPage = BuildDiscPage();
  TrackDataPage = BuildTrackPage();
  PageControlEx1->addTab(DiscDataPage, QString::fromUtf8("ＣＤデータ"));
  PageControlEx1->addTab(TrackDataPage, QString::fromUtf8("トラックデータ"));
  Body()->addWidget(PageControlEx1, 1);

  UpdateBTN = new QPushButton(QString::fromUtf8("更新(&U)"));
  UpdateBTN->setObjectName("UpdateBTN");
  CancelBTN = new QPushButton(QString::fromUtf8("キャンセル(&C)"));
  CancelBTN->setObjectName("CancelBTN");
  HelpBTN = new QPushButton(QString::fromUtf8("ヘルプ(&H)"));
  HelpBTN->setObjectName("HelpBTN");
  CdTextBTN = new QPushButton(QString::fromUtf8(kCdTextCaption));
  CdTextBTN->setObjectName("CdTextBTN");
  SetHint(CdTextBTN, kCdTextHint);
  CdTextBTN->hide();
  SetHint(UpdateBTN, "|データベースを更新します");
  SetHint(CancelBTN, "|登録を中止します");
  SetHint(HelpBTN, "|オンラインヘルプを表示します");
  OnlineSearchBTN = new QPushButton(QString::fromUtf8("オンラインで検索(&O)"));
  OnlineSearchBTN->setObjectName("OnlineSearchBTN");
  OnlineSearchBTN->setEnabled(false);
  SetHint(OnlineSearchBTN,
          "|MusicBrainzとgnudbでこのＣＤを検索し、空いている欄を埋めます (更新するまで登録されません)");
  auto* buttons = new QHBoxLayout;
  buttons->setContentsMargins(0, 6, 0, 0);
  buttons->addWidget(CdTextBTN);
  buttons->addWidget(OnlineSearchBTN);
  buttons->addStretch(1);
  for (QPushButton* button : {CdTextBTN, OnlineSearchBTN, UpdateBTN, CancelBTN, HelpBTN}) {
    // Return in an edit does not end the dialog; only the buttons (or their Alt keys) do.
    button->setAutoDefault(false);
    button->setDefault(false);
    if (button != CdTextBTN && button != OnlineSearchBTN) buttons->addWidget(button);
  }
  Body()->addLayout(buttons);

  connect(UpdateBTN, &QPushButton::clicked, this, [this] { UpdateBTNClick(); });
  connect(CancelBTN, &QPushButton::clicked, this, [this] { CloseWith(ModalResult::Cancel); });
  connect(HelpBTN, &QPushButton::clicked, this, [this] { HelpRequested(); });
  connect(CdTextBTN, &QPushButton::clicked, this, [this] { CdTextBTNClick(); });
  connect(PageControlEx1, &QTabWidget::currentChanged, this, [this](int index) { PageControlEx1Change(index); });

  ShowDiscPage();
  ShowTrack();
  qApp->installEventFilter(this);

  FitAndCentre();
  DiscNameEDT->setFocus();
}

void TDiscRegDLG::FitAndCentre() {
  // The client area keeps its size unless the labels in the installed fonts need more room (a
  // button just shown counts: the layout is brought up to date first).
  if (layout()) layout()->activate();
  const QSize needed = sizeHint().expandedTo(minimumSizeHint());
  setFixedSize(std::max(kClientWidth, needed.width()), std::max(kClientHeight, needed.height()));
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
  }
}

TDiscRegDLG::~TDiscRegDLG() { qApp->removeEventFilter(this); }

void TDiscRegDLG::EnableOnlineSearch(const DiscToc& toc, const OnlineLookupSettings& servers,
                                     const std::filesystem::path& jacket_folder, bool search_now) {
  online_ = std::make_unique<OnlineSearch>(*this, *OnlineSearchBTN, disc_, toc, servers, jacket_folder);
  OnlineSearchBTN->setEnabled(disc_.TrackCount >= 1 && disc_.TrackCount <= kMaxTracks);
  connect(OnlineSearchBTN, &QPushButton::clicked, this, [this] { online_->Click(); });
  auto_lyrics_ = search_now;
  if (search_now && OnlineSearchBTN->isEnabled()) QTimer::singleShot(0, this, [this] { online_->Click(); });
}

void TDiscRegDLG::EnableLyricsFetch(const OnlineLookupSettings& servers, const std::filesystem::path& lyrics_folder) {
  lyrics_ = std::make_unique<LyricsFetch>(*this, *LyricsFetchBTN, servers, lyrics_folder);
  LyricsFetchBTN->setEnabled(!servers.LyricsServer.empty() && disc_.TrackCount >= 1 && disc_.TrackCount <= kMaxTracks);
  connect(LyricsFetchBTN, &QPushButton::clicked, this, [this] { lyrics_->Click(); });
}

void TDiscRegDLG::OnlineProposalTaken() {
  // A disc looked up on its own (automatic lookup) gets its lyrics too, when it names none.
  if (auto_lyrics_ && lyrics_ && LyricsFetchBTN->isEnabled() && LyricsFieldBytes().empty() && !lyrics_->Running()) {
    lyrics_->Click();
  }
}

TDiscRecord TDiscRegDLG::WorkingRecord() const {
  DiscRegModel working = model_;
  TDiscRecord record = disc_;
  working.CommitInto(record);
  return record;
}

std::string TDiscRegDLG::LyricsFieldBytes() const {
  return std::string(Trim(Utf8ToSjis(model_.DiscText(DiscField::LyricsFile)).bytes));
}

void TDiscRegDLG::SetLyricsField(const std::string& utf8) { LyricsFileEDT->setText(Q(utf8)); }

namespace {

// Names a page and gives it the grid both pages lay their controls out on.
QGridLayout* PageGrid(QWidget* page, const char* name) {
  page->setObjectName(name);
  auto* grid = new QGridLayout(page);
  grid->setContentsMargins(8, 8, 8, 6);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(4);
  return grid;
}

}  // namespace

QWidget* TDiscRegDLG::BuildDiscPage() {
  auto* page = new QWidget;
  auto* grid = PageGrid(page, "DiscDataPage");

  DiscNameEDT = Edit("DiscNameEDT");
  ArtistNameEDT = Edit("ArtistNameEDT");
  LabelNameEDT = Edit("LabelNameEDT");
  SaleDateDTP = new QDateEdit;
  SaleDateDTP->setObjectName("SaleDateDTP");
  SaleDateDTP->setCalendarPopup(true);
  const QLocale japanese(QLocale::Japanese, QLocale::Japan);
  SaleDateDTP->setLocale(japanese);
  SaleDateDTP->setDisplayFormat(japanese.dateFormat(QLocale::LongFormat));
  SaleDateDTP->setDateRange(QDate(100, 1, 1), QDate(9999, 12, 31));
  DiscTypeCMB = new QComboBox;
  DiscTypeCMB->setObjectName("DiscTypeCMB");
  for (std::uint8_t type = 0; type < 4; ++type) DiscTypeCMB->addItem(Q(DiscTypeText(type)));
  DiscTime = new QLabel;
  DiscTime->setObjectName("DiscTime");
  DiscTime->setTextInteractionFlags(Qt::TextSelectableByMouse);

  SetHint(DiscNameEDT, "|ＣＤ名を入力します");
  SetHint(ArtistNameEDT, "|アーティスト名を入力します");
  SetHint(SaleDateDTP, "|発売日を選択します");
  SetHint(LabelNameEDT, "|販売元を入力します");
  SetHint(DiscTypeCMB, "|ＣＤの種類を選択します");

  // One row per field, in the order the record lists them; the date and the type keep their
  // natural width.
  int row = 0;
  grid->addWidget(Caption("ＣＤ名", DiscNameEDT), row, 0);
  grid->addWidget(DiscNameEDT, row++, 1);
  grid->addWidget(Caption("アーティスト名", ArtistNameEDT), row, 0);
  grid->addWidget(ArtistNameEDT, row++, 1);
  grid->addWidget(Caption("発売日", SaleDateDTP), row, 0);
  grid->addWidget(SaleDateDTP, row++, 1, Qt::AlignLeft);
  grid->addWidget(Caption("レーベル名", LabelNameEDT), row, 0);
  grid->addWidget(LabelNameEDT, row++, 1);
  grid->addWidget(Caption("タイプ", DiscTypeCMB), row, 0);
  grid->addWidget(DiscTypeCMB, row++, 1, Qt::AlignLeft);
  grid->addWidget(Caption("ジャケットファイル", nullptr), row, 0);
  grid->addWidget(FileEdit(JacketFileEDT, JacketFileBTN, DiscField::JacketFile), row++, 1);
  grid->addWidget(Caption("歌詞ファイル", nullptr), row, 0);
  grid->addWidget(FileEdit(LyricsFileEDT, LyricsFileBTN, DiscField::LyricsFile), row++, 1);
  grid->addWidget(Caption("総演奏時間", nullptr), row, 0);
  grid->addWidget(DiscTime, row++, 1);
  grid->setRowStretch(row, 1);
  grid->setColumnStretch(1, 1);
  setTabOrder(DiscNameEDT, ArtistNameEDT);
  setTabOrder(ArtistNameEDT, SaleDateDTP);
  setTabOrder(SaleDateDTP, LabelNameEDT);
  setTabOrder(LabelNameEDT, DiscTypeCMB);
  setTabOrder(DiscTypeCMB, JacketFileEDT);
  setTabOrder(JacketFileEDT, JacketFileBTN);
  setTabOrder(JacketFileBTN, LyricsFileEDT);
  setTabOrder(LyricsFileEDT, LyricsFileBTN);
  setTabOrder(LyricsFileBTN, LyricsFetchBTN);

  for (DiscField field : {DiscField::DiscName, DiscField::ArtistName, DiscField::LabelName, DiscField::JacketFile,
                          DiscField::LyricsFile}) {
    QLineEdit* edit = DiscEdit(field);
    LimitToShiftJis(edit, Capacity(field), this);
    connect(edit, &QLineEdit::textChanged, this, [this, field](const QString& text) {
      if (!showing_) model_.SetDiscText(field, S(text));
    });
  }
  connect(SaleDateDTP, &QDateEdit::dateChanged, this, [this](QDate date) {
    if (!showing_) model_.SetSaleDay(FromQDate(date));
  });
  connect(DiscTypeCMB, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (!showing_) model_.SetDiscTypeIndex(index);
  });
  return page;
}

QWidget* TDiscRegDLG::FileEdit(QLineEdit*& edit, QToolButton*& browse, DiscField field) {
  const bool jacket = field == DiscField::JacketFile;
  auto* box = new QWidget;
  auto* row = new QHBoxLayout(box);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(2);
  edit = Edit(jacket ? "JacketFileEDT" : "LyricsFileEDT");
  browse = new QToolButton;
  browse->setObjectName(jacket ? "JacketFileBTN" : "LyricsFileBTN");
  browse->setText("...");
  SetHint(edit, jacket ? "|ジャケット画像のファイル名を入力します" : "|歌詞ファイルのファイル名を入力します");
  SetHint(browse, jacket ? "|ジャケット画像のファイルを選択します" : "|歌詞ファイルを選択します");
  row->addWidget(edit, 1);
  row->addWidget(browse);
  if (!jacket) {
    LyricsFetchBTN = new QPushButton(QString::fromUtf8("歌詞をオンラインで取得"));
    LyricsFetchBTN->setObjectName("LyricsFetchBTN");
    LyricsFetchBTN->setAutoDefault(false);
    LyricsFetchBTN->setEnabled(false);
    SetHint(LyricsFetchBTN, "|LRCLIBから各曲の時間付き歌詞を取得して歌詞ファイルにします (更新するまで保存されません)");
    row->addWidget(LyricsFetchBTN);
  }
  connect(browse, &QToolButton::clicked, this, [this, field] { BrowseFile(field); });
  return box;
}

QWidget* TDiscRegDLG::BuildTrackPage() {
  auto* page = new QWidget;
  auto* grid = PageGrid(page, "TrackDataPage");

  TrackNameEDT = Edit("TrackNameEDT");
  LyricsbyCMB = NameCombo("LyricsbyCMB");
  MusicbyCMB = NameCombo("MusicbyCMB");
  ArrangebyCMB = NameCombo("ArrangebyCMB");
  GenreCMB = NameCombo("GenreCMB");
  SetHint(TrackNameEDT, "|曲名を入力します");
  SetHint(LyricsbyCMB, "|作詞者を入力します");
  SetHint(MusicbyCMB, "|作曲者を入力します");
  SetHint(ArrangebyCMB, "|編曲者を入力します");
  SetHint(GenreCMB, "|ジャンルを入力します");

  StartPosLBL = new QLabel;
  StartPosLBL->setObjectName("StartPosLBL");
  LengthLBL = new QLabel;
  LengthLBL->setObjectName("LengthLBL");
  TrackSelectSBR = new QScrollBar(Qt::Horizontal);
  TrackSelectSBR->setObjectName("TrackSelectSBR");
  TrackSelectSBR->setRange(1, static_cast<int>(std::max<std::size_t>(1, model_.TrackCount())));
  TrackSelectSBR->setPageStep(1);
  TrackSelectSBR->setFocusPolicy(Qt::StrongFocus);
  SetHint(TrackSelectSBR, "|トラックを選択します (Alt+←, Alt+→)");
  CurrentTrackLBL = new QLabel;
  CurrentTrackLBL->setObjectName("CurrentTrackLBL");
  CurrentTrackLBL->setMinimumWidth(CurrentTrackLBL->fontMetrics().horizontalAdvance("99/99") + 4);
  CurrentTrackLBL->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  int row = 0;
  const std::pair<const char*, QWidget*> rows[] = {{"曲 名", TrackNameEDT},
                                                   {"作 詞", LyricsbyCMB},
                                                   {"作 曲", MusicbyCMB},
                                                   {"編 曲", ArrangebyCMB},
                                                   {"ジャンル", GenreCMB}};
  for (const auto& [text, control] : rows) {
    grid->addWidget(Caption(text, control), row, 0);
    grid->addWidget(control, row++, 1, 1, 2);
  }
  auto* times = new QHBoxLayout;
  times->addWidget(StartPosLBL);
  times->addSpacing(24);
  times->addWidget(LengthLBL);
  times->addStretch(1);
  grid->addLayout(times, row++, 1, 1, 2);
  grid->addWidget(TrackSelectSBR, row, 1);
  grid->addWidget(CurrentTrackLBL, row++, 2);
  grid->setRowStretch(row, 1);
  grid->setColumnStretch(1, 1);

  for (TrackField field :
       {TrackField::TrackName, TrackField::Lyricsby, TrackField::Musicby, TrackField::Arrangeby, TrackField::Genre}) {
    auto forward = [this, field](const QString& text) {
      if (!showing_) model_.SetTrackText(field, S(text));
    };
    if (field == TrackField::TrackName) {
      LimitToShiftJis(TrackNameEDT, Capacity(field), this);
      connect(TrackNameEDT, &QLineEdit::textChanged, this, forward);
    } else {
      auto* combo = static_cast<QComboBox*>(TrackControl(field));
      LimitToShiftJis(combo, Capacity(field), this);
      connect(combo, &QComboBox::editTextChanged, this, forward);
    }
  }
  connect(TrackSelectSBR, &QScrollBar::valueChanged, this, [this](int position) { TrackSelectSBRChange(position); });
  return page;
}

QLineEdit* TDiscRegDLG::DiscEdit(DiscField field) const {
  switch (field) {
    case DiscField::DiscName: return DiscNameEDT;
    case DiscField::ArtistName: return ArtistNameEDT;
    case DiscField::LabelName: return LabelNameEDT;
    case DiscField::JacketFile: return JacketFileEDT;
    case DiscField::LyricsFile: break;
  }
  return LyricsFileEDT;
}

QWidget* TDiscRegDLG::TrackControl(TrackField field) const {
  switch (field) {
    case TrackField::TrackName: return TrackNameEDT;
    case TrackField::Lyricsby: return LyricsbyCMB;
    case TrackField::Musicby: return MusicbyCMB;
    case TrackField::Arrangeby: return ArrangebyCMB;
    case TrackField::Genre: break;
  }
  return GenreCMB;
}

void TDiscRegDLG::ShowDiscPage() {
  showing_ = true;
  for (DiscField field : {DiscField::DiscName, DiscField::ArtistName, DiscField::LabelName, DiscField::JacketFile,
                          DiscField::LyricsFile}) {
    DiscEdit(field)->setText(Q(model_.DiscText(field)));
  }
  SaleDateDTP->setDate(ToQDate(model_.SaleDay(FromQDate(QDate::currentDate()))));
  DiscTypeCMB->setCurrentIndex(model_.DiscTypeIndex());
  DiscTime->setText(Q(model_.DiscTimeText()));
  showing_ = false;
}

void TDiscRegDLG::ShowTrack() {
  showing_ = true;
  TrackNameEDT->setText(Q(model_.TrackText(TrackField::TrackName)));
  for (TrackField field : {TrackField::Lyricsby, TrackField::Musicby, TrackField::Arrangeby, TrackField::Genre}) {
    static_cast<QComboBox*>(TrackControl(field))->setEditText(Q(model_.TrackText(field)));
  }
  StartPosLBL->setText(Q(model_.StartPosText()));
  LengthLBL->setText(Q(model_.LengthText()));
  CurrentTrackLBL->setText(Q(model_.CurrentTrackText()));
  TrackSelectSBR->setValue(static_cast<int>(model_.CurrentTrack()));
  showing_ = false;
}

std::size_t TDiscRegDLG::Propose(const TDiscRecord& proposed) {
  const std::size_t filled = model_.Propose(proposed);
  ShowDiscPage();
  ShowTrack();
  return filled;
}

void TDiscRegDLG::OfferCdText(const TDiscRecord& proposal, bool fill_now) {
  cd_text_ = proposal;
  CdTextBTN->show();
  FitAndCentre();  // the button row may need more room now
  if (fill_now) {
    const std::size_t filled = Propose(proposal);
    if (filled > 0) ShowStandingStatus(Q(FormatMessage(kCdTextPrefilled, std::to_string(filled))));
  }
}

void TDiscRegDLG::CdTextBTNClick() {
  if (!cd_text_) return;
  const std::size_t filled = Propose(*cd_text_);
  ShowStandingStatus(filled > 0 ? Q(FormatMessage(kCdTextFilled, std::to_string(filled)))
                                : QString::fromUtf8(kCdTextNothing));
}

void TDiscRegDLG::TrackSelectSBRChange(int position) {
  if (showing_ || position < 1) return;
  if (model_.SelectTrack(static_cast<std::size_t>(position))) ShowTrack();
}

void TDiscRegDLG::PageControlEx1Change(int index) {
  const bool tracks = index == PageControlEx1->indexOf(TrackDataPage);
  SetHelpContext(tracks ? kTrackPageHelp : kDiscPageHelp);
  // A click on a tab leaves the focus where it is unless it was on the page that went away.
  QWidget* focus = QApplication::focusWidget();
  if (!focus || !focus->isVisible()) (tracks ? TrackNameEDT : DiscNameEDT)->setFocus();
}

bool TDiscRegDLG::FormKeyDown(int key, Qt::KeyboardModifiers modifiers) {
  // Ctrl+Tab and Ctrl+Shift+Tab (and Ctrl+PageDown/PageUp) switch pages from any control; the
  // focus goes to the first control of the new page.
  if (const int step = IsPageKey(key, modifiers)) {
    const int count = PageControlEx1->count();
    PageControlEx1->setCurrentIndex((PageControlEx1->currentIndex() + count + step) % count);
    (PageControlEx1->currentWidget() == TrackDataPage ? TrackNameEDT : DiscNameEDT)->setFocus();
    return true;
  }
  if (PageControlEx1->currentWidget() != TrackDataPage) return false;
  if ((modifiers & ~Qt::KeypadModifier) != Qt::AltModifier) return false;
  if (key == Qt::Key_Left && TrackSelectSBR->value() > TrackSelectSBR->minimum()) {
    TrackSelectSBR->setValue(TrackSelectSBR->value() - 1);
    return true;
  }
  if (key == Qt::Key_Right && TrackSelectSBR->value() < TrackSelectSBR->maximum()) {
    TrackSelectSBR->setValue(TrackSelectSBR->value() + 1);
    return true;
  }
  return false;
}

bool TDiscRegDLG::eventFilter(QObject* watched, QEvent* event) {
  // Every key press meant for a control of this dialog passes here once, before the control
  // sees it (a press the control ignores travels on to its parents; those deliveries are not
  // looked at again). The key goes on to the control, except to the scroll bar, which would
  // move a second time, and a page switch, which the dialog does itself.
  if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
    auto* widget = static_cast<QWidget*>(watched);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (widget == PageControlEx1 && IsPageKey(key->key(), key->modifiers())) return true;
    const bool first_delivery =
        widget == QApplication::focusWidget() || (!QApplication::focusWidget() && widget == this);
    if (first_delivery && (widget == this || isAncestorOf(widget)) && FormKeyDown(key->key(), key->modifiers()) &&
        (widget == TrackSelectSBR || IsPageKey(key->key(), key->modifiers()))) {
      return true;
    }
  }
  return ModalDialog::eventFilter(watched, event);
}

void TDiscRegDLG::UpdateBTNClick() {
  if (const std::optional<UnstorableText> problem = model_.FirstUnstorable()) {
    // Show the text that cannot be stored, say why, and keep the dialog open.
    QWidget* control = nullptr;
    std::string where;
    if (problem->on_track_page) {
      PageControlEx1->setCurrentWidget(TrackDataPage);
      TrackSelectSBR->setValue(static_cast<int>(problem->track));
      const auto field = static_cast<TrackField>(problem->field);
      control = TrackControl(field);
      where = "トラック" + std::to_string(problem->track) + "の" + FieldName(field);
    } else {
      PageControlEx1->setCurrentWidget(DiscDataPage);
      const auto field = static_cast<DiscField>(problem->field);
      control = DiscEdit(field);
      where = FieldName(field);
    }
    control->setFocus();
    const QString message = Q(where + ": " + EditRefusalMessage(problem->check, problem->capacity));
    ShowStatus(message);
    QMessageBox::warning(this, QString::fromUtf8(kCaption), message);
    return;
  }
  CloseWith(ModalResult::Update);
}

void TDiscRegDLG::Commit(ModalResult) {
  Link().Run([this](TQVRDM& dm) {
    if (lyrics_) lyrics_->WritePending(LyricsFieldBytes());
    model_.CommitInto(dm.Disc);
  });
}

void TDiscRegDLG::BrowseFile(DiscField field) {
  const bool jacket = field == DiscField::JacketFile;
  QLineEdit* edit = DiscEdit(field);
  const std::optional<std::string> chosen =
      jacket ? files_.OpenFile("jacket", "ジャケットファイルを開く", ParseFileFilters(kJacketFilter), S(edit->text()))
             : files_.OpenFile("lyrics", "歌詞ファイルを開く", ParseFileFilters(kLyricsFilter), S(edit->text()));
  if (!chosen) return;
  // A path the field cannot hold whole (too long, or a name without a Shift-JIS form) would be
  // stored wrong: it is refused with the reason.
  const EditCheck check = CheckEditText(*chosen, Capacity(field));
  if (!check.ok()) {
    const QString message = Q(std::string(FieldName(field)) + ": " + EditRefusalMessage(check, Capacity(field)));
    ShowStatus(message);
    QMessageBox::warning(this, QString::fromUtf8(kCaption), message);
    return;
  }
  edit->setText(Q(*chosen));
  edit->setFocus();
}

std::unique_ptr<ModalDialog> MakeDiscRegDialog(const DialogContext& context) {
  TQVRDM* controller = context.link.Controller();
  if (!controller) return nullptr;
  auto dialog = std::make_unique<TDiscRegDLG>(context.link, context.files, controller->Disc);
  if (auto cd_text = controller->DiscCdText.ProposalFor(controller->Disc)) {
    dialog->OfferCdText(*cd_text, controller->DiscCdText.OpeningProposal(controller->Disc).has_value());
  }
  // An unregistered disc is looked up at once when the user asked for that in the options.
  dialog->EnableOnlineSearch(TocOfDisc(controller->CD, controller->Disc), controller->LookupServers,
                             JacketFolderIn(controller->DataBasePath),
                             controller->AutoLookup && controller->Disc.DiscName.Empty());
  dialog->EnableLyricsFetch(controller->LookupServers, LyricsFolderIn(controller->DataBasePath));
  return dialog;
}

}  // namespace qvr
