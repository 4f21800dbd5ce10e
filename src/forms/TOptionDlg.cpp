// TOptionDlg: the four pages and their controls over OptionModel. Each control's change is one
// edit of the model and enables Apply and Undo; the menu commands and Ok go through the model,
// and Apply reaches the controller only through the link.
#include "forms/TOptionDlg.h"

#include <algorithm>
#include <optional>

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/TQVRDM.h"
#include "cdda/CdioSource.h"
#include "dialogs/FileDialogs.h"
#include "forms/Accessibility.h"
#include "forms/ControllerLink.h"
#include "forms/MessageText.h"
#include "forms/QtSupport.h"
#include "util/ProgramFolder.h"
#include "util/ShiftJis.h"

namespace qvr {
namespace {

constexpr const char* kCaption = "環境設定";
constexpr const char* kMessageCaption = "環境設定";
constexpr int kPageContexts[] = {13, 92, 93, 94};
constexpr const char* kUnlockItems[] = {"演奏終了時に自動解除", "ＣＤ取り出し時に自動解除", "自動解除しない"};
constexpr const char* kCreateFolder = "フォルダ %s はありません。作成しますか？";
constexpr const char* kFontNotStorable = "フォント名 %s は設定ファイルに保存できない文字を含みます";
constexpr const char* kFontStandsIn = "設定ファイルのフォント「%s」はこのシステムにないため、「%d」で表示します";
constexpr const char* kOtherColor = "その他の色...";

// The named colours of the colour boxes, as stored (0x00BBGGRR).
struct NamedColor {
  const char* name;
  std::int32_t value;
};
constexpr NamedColor kNamedColors[] = {
    {"黒", 0x000000},   {"栗色", 0x000080}, {"緑", 0x008000},     {"オリーブ", 0x008080},
    {"紺", 0x800000},   {"紫", 0x800080},   {"青緑", 0x808000},   {"灰色", 0x808080},
    {"銀色", 0xC0C0C0}, {"赤", 0x0000FF},   {"ライム", 0x00FF00}, {"黄", 0x00FFFF},
    {"青", 0xFF0000},   {"赤紫", 0xFF00FF}, {"水色", 0xFFFF00},   {"白", 0xFFFFFF},
};
// The item data of the "other colour" entry; no stored colour has these bits.
constexpr qint64 kOtherColorItem = -1;

std::int32_t RefFromColor(const QColor& color) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(color.red()) |
                                   static_cast<std::uint32_t>(color.green()) << 8 |
                                   static_cast<std::uint32_t>(color.blue()) << 16);
}

QIcon Swatch(std::int32_t value) {
  QPixmap pixmap(16, 12);
  pixmap.fill(ColorFromRef(value));
  QPainter painter(&pixmap);
  painter.setPen(Qt::darkGray);
  painter.drawRect(0, 0, 15, 11);
  return QIcon(pixmap);
}

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

QString Format(const char* pattern, const QString& argument) {
  return QString::fromUtf8(pattern).replace("%s", argument);
}

// The font as the lyrics line would show it, at its point size.
QFont DialogFont(const TIniFont& font) {
  QFont result = FontFromIni(font, 12);
  result.setPointSize(std::max(1, font.Size));
  return result;
}

}  // namespace

TOptionDlg::TOptionDlg(const DialogContext& context, TOptionValues& values)
    : ModalDialog(context.link, kCaption, kPageContexts[0]), result_(values), files_(context.files) {
  setObjectName("OptionDlg");
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
  TOptionValues defaults;
  std::filesystem::path program_folder;
  bool bound = false;
  context.link.Run([&](TQVRDM& dm) {
    defaults = dm.DefaultOptions();
    program_folder = dm.ProgramFolder();
    bound = true;
  });
  if (!bound) program_folder = ProgramFolder();
  ControllerLink& link = context.link;
  model_ = std::make_unique<OptionModel>(values, defaults, program_folder, [&link](const TOptionValues& applied) {
    bool done = false;
    link.Run([&](TQVRDM& dm) {
      dm.ApplyOptions(applied);
      done = true;
    });
    return done;
  });

  asks_.font = [this](const QFont& current) -> std::optional<QFont> {
    QFontDialog dialog(current, this);
    dialog.setWindowTitle("フォント");
    NameControls(&dialog);
    return dialog.exec() == QDialog::Accepted ? std::optional<QFont>(dialog.selectedFont()) : std::nullopt;
  };
  asks_.color = [this](const QColor& current) -> std::optional<QColor> {
    QColorDialog dialog(current, this);
    dialog.setWindowTitle("色の設定");
    NameControls(&dialog);
    return dialog.exec() == QDialog::Accepted ? std::optional<QColor>(dialog.selectedColor()) : std::nullopt;
  };
  asks_.yes_no = [this](const QString& question) {
    return ShowMessageBox(this, QMessageBox::Question, kMessageCaption, question, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
  };
  asks_.warn = [this](const QString& message) { ShowMessageBox(this, QMessageBox::Warning, kMessageCaption, message); };

  // Menu OptionMNU: 設定 with デフォルト, 元に戻す, 適用.
  auto* menu_bar = new QMenuBar(this);
  menu_bar->setObjectName("OptionMNU");
  QMenu* setup = menu_bar->addMenu("設定(&S)");
  setup->setObjectName("SetupMNU");
  DefaultMNU = setup->addAction("デフォルト(&D)", this, &TOptionDlg::DefaultMNUClick);
  DefaultMNU->setObjectName("DefaultMNU");
  UndoMNU = setup->addAction("元に戻す(&U)", this, &TOptionDlg::UndoMNUClick);
  UndoMNU->setObjectName("UndoMNU");
  UndoMNU->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
  ApplyMNU = setup->addAction("適用(&A)", this, &TOptionDlg::ApplyMNUClick);
  ApplyMNU->setObjectName("ApplyMNU");
  ApplyMNU->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
  // The shortcuts work while any control of the dialog has the focus.
  for (QAction* action : {UndoMNU, ApplyMNU}) {
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
  }
  layout()->setMenuBar(menu_bar);

  PageCTRL = new QTabWidget(this);
  PageCTRL->setObjectName("PageCTRL");
  PageCTRL->setTabPosition(QTabWidget::South);
  PageCTRL->addTab(BuildLyricsPage(), "歌詞ウィンドウ");
  PageCTRL->addTab(BuildPadPage(), "コントロールパッド");
  PageCTRL->addTab(BuildRepeatPage(), "リピート");
  PageCTRL->addTab(BuildOtherPage(), "その他");
  connect(PageCTRL, &QTabWidget::currentChanged, this, &TOptionDlg::PageCTRLChange);
  // Ctrl+PageDown / Ctrl+PageUp turn the pages wherever the focus is (also on the buttons).
  for (auto [key, step] : {std::pair{Qt::Key_PageDown, 1}, std::pair{Qt::Key_PageUp, -1}}) {
    auto* turn = new QShortcut(QKeySequence(Qt::CTRL | key), this);
    turn->setContext(Qt::WindowShortcut);
    connect(turn, &QShortcut::activated, this, [this, step = step] {
      PageCTRL->setCurrentIndex((PageCTRL->currentIndex() + step + PageCTRL->count()) % PageCTRL->count());
    });
  }
  Body()->addWidget(PageCTRL, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  auto* ok = new QPushButton("OK(&O)", this);
  ok->setObjectName("OKBTN");
  ok->setDefault(true);
  SetHint(ok, "|設定を適用してダイアログを閉じます");
  connect(ok, &QPushButton::clicked, this, [this] {
    if (TakeTypedFolders()) CloseWith(ModalResult::Ok);
  });
  auto* cancel = new QPushButton("キャンセル(&C)", this);
  cancel->setObjectName("CancelBTN");
  SetHint(cancel, "|設定を破棄してダイアログを閉じます");
  connect(cancel, &QPushButton::clicked, this, [this] { CloseWith(ModalResult::Cancel); });
  auto* help = new QPushButton("ヘルプ(&H)", this);
  help->setObjectName("HelpBTN");
  SetHint(help, "|オンラインヘルプを表示します");
  connect(help, &QPushButton::clicked, this, &TOptionDlg::HelpBTNClick);
  for (QPushButton* button : {ok, cancel, help}) {
    button->setMinimumWidth(96);
    buttons->addWidget(button);
  }
  Body()->addLayout(buttons);

  ShowValues();
  ShowToolTips(model_->Values().help_hint);
  PageCTRL->setCurrentIndex(0);
  // A fixed frame: the size the controls need, never smaller than the classic 410 × 286.
  adjustSize();
  setFixedSize(size().expandedTo(QSize(410, 286)));
}

TOptionDlg::~TOptionDlg() = default;

QCheckBox* TOptionDlg::CheckBox(QWidget* page, const char* name, const char* caption, const char* hint,
                                bool TOptionValues::*field) {
  auto* box = new QCheckBox(caption, page);
  box->setObjectName(name);
  if (hint) SetHint(box, hint);
  connect(box, &QCheckBox::toggled, this, [this, field](bool on) {
    if (showing_) return;
    model_->Change([&](TOptionValues& values) { values.*field = on; });
    UpdateEnable();
  });
  return box;
}

QComboBox* TOptionDlg::ColorBox(QWidget* page, const char* name, ColorField field) {
  auto* box = new QComboBox(page);
  box->setObjectName(name);
  for (const NamedColor& color : kNamedColors)
    box->addItem(Swatch(color.value), color.name, QVariant::fromValue<qint64>(color.value));
  box->addItem(kOtherColor, QVariant::fromValue<qint64>(kOtherColorItem));
  connect(box, &QComboBox::activated, this, [this, box, field](int) {
    qint64 chosen = box->currentData().toLongLong();
    if (chosen == kOtherColorItem) {
      TOptionValues values = model_->Values();
      const std::optional<QColor> color = asks_.color(ColorFromRef(field(values)));
      if (!color) {
        ShowValues();
        return;
      }
      chosen = RefFromColor(*color);
    }
    model_->Change([&](TOptionValues& values) { field(values) = static_cast<std::int32_t>(chosen); });
    ShowValues();
  });
  return box;
}

QWidget* TOptionDlg::BuildLyricsPage() {
  auto* page = new QWidget;
  page->setObjectName("LyricsPage");
  auto* grid = new QGridLayout(page);
  auto* font_label = new QLabel("フォント", page);
  font_label->setObjectName("FontNameLBL");
  FontSampleLBL = new QLabel(page);
  FontSampleLBL->setObjectName("FontSampleLBL");
  FontSampleLBL->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  FontSampleLBL->setAutoFillBackground(true);
  FontSampleLBL->setMinimumHeight(40);
  FontSampleLBL->setAlignment(Qt::AlignCenter);
  auto* font_button = new QPushButton("選択(&S)...", page);
  font_button->setObjectName("FontBTN");
  SetHint(font_button, "|歌詞ウィンドウのフォントを選びます");
  connect(font_button, &QPushButton::clicked, this, &TOptionDlg::FontBTNClick);
  auto* color_label = new QLabel("文字色", page);
  color_label->setObjectName("FontColorLBL");
  FontColorCMB =
      ColorBox(page, "FontColorCMB", [](TOptionValues& values) -> std::int32_t& { return values.font.Color; });
  SetHint(FontColorCMB, "|歌詞ウィンドウの文字の色を選びます");
  auto* background_label = new QLabel("背景色", page);
  background_label->setObjectName("BGColorLBL");
  BGColorCMB = ColorBox(page, "BGColorCMB", [](TOptionValues& values) -> std::int32_t& { return values.background; });
  SetHint(BGColorCMB, "|歌詞ウィンドウの背景の色を選びます");
  LyricsStayOnTopCBX = CheckBox(page, "LyricsStayOnTopCBX", "常に最前列に表示",
                                "|歌詞ウィンドウをほかの最前列指定されていないウィンドウよりも前に表示します",
                                &TOptionValues::lyrics_stay_on_top);
  grid->addWidget(font_label, 0, 0);
  grid->addWidget(FontSampleLBL, 0, 1, 1, 2);
  grid->addWidget(font_button, 0, 3);
  grid->addWidget(color_label, 1, 0);
  grid->addWidget(FontColorCMB, 1, 1);
  grid->addWidget(background_label, 2, 0);
  grid->addWidget(BGColorCMB, 2, 1);
  grid->addWidget(LyricsStayOnTopCBX, 3, 0, 1, 4);
  grid->setColumnStretch(2, 1);
  grid->setRowStretch(4, 1);
  return page;
}

QWidget* TOptionDlg::BuildPadPage() {
  auto* page = new QWidget;
  page->setObjectName("PadPage");
  auto* column = new QVBoxLayout(page);
  PadStatusCBX =
      CheckBox(page, "PadStatusCBX", "コントロールパッドの位置・サイズを保存",
               "|コントロールパッドの位置を次回起動時に前回の位置・サイズに復元します", &TOptionValues::pad_status);
  PadStayOnTopCBX = CheckBox(page, "PadStayOnTopCBX", "コントロールパッドを常に最前列に表示",
                             "|コントロールパッドをほかの最前列指定されていないウィンドウよりも前に表示します",
                             &TOptionValues::pad_stay_on_top);
  DockSaveCBX = CheckBox(page, "DockSaveCBX", "ドッキング状態を保存",
                         "|ツールバーのドッキング状態を次回起動時に復元します", &TOptionValues::pad_dock_info);
  PadChildrenStatusCBX =
      CheckBox(page, "PadChildrenStatusCBX", "各バンドの位置・サイズを保存",
               "|各ツールバーの位置・サイズを次回起動時に復元します", &TOptionValues::pad_children_status);
  PadSnapCBX = CheckBox(page, "PadSnapCBX", "画面端でスナップ", nullptr, &TOptionValues::pad_snap);
  PadSnapCBX->setEnabled(false);
  for (QCheckBox* box : {PadStatusCBX, PadStayOnTopCBX, DockSaveCBX, PadChildrenStatusCBX, PadSnapCBX})
    column->addWidget(box);
  column->addStretch(1);
  return page;
}

QWidget* TOptionDlg::BuildRepeatPage() {
  auto* page = new QWidget;
  page->setObjectName("RepeatPage");
  auto* row = new QHBoxLayout(page);
  auto group = [&](const char* name, const char* caption, int TOptionValues::*field) {
    auto* box = new QGroupBox(caption, page);
    box->setObjectName(name);
    auto* buttons = new QButtonGroup(box);
    buttons->setObjectName(name);
    auto* column = new QVBoxLayout(box);
    for (int index = 0; index < 3; ++index) {
      auto* radio = new QRadioButton(kUnlockItems[index], box);
      radio->setObjectName(QString(name) + QString::number(index));
      buttons->addButton(radio, index);
      column->addWidget(radio);
    }
    column->addStretch(1);
    connect(buttons, &QButtonGroup::idToggled, this, [this, field](int index, bool on) {
      if (showing_ || !on) return;
      model_->Change([&](TOptionValues& values) { values.*field = index; });
      UpdateEnable();
    });
    row->addWidget(box);
    return buttons;
  };
  RepeatOneRGP = group("RepeatOneRGP", "１曲リピートは", &TOptionValues::repeat_one_unlock);
  RepeatAllRGP = group("RepeatAllRGP", "全曲リピートは", &TOptionValues::repeat_all_unlock);
  RandomRGP = group("RandomRGP", "ランダム再生は", &TOptionValues::random_unlock);
  return page;
}

QWidget* TOptionDlg::BuildOtherPage() {
  auto* page = new QWidget;
  page->setObjectName("OtherPage");
  auto* grid = new QGridLayout(page);
  AutoPlayCBX = CheckBox(page, "AutoPlayCBX", "自動再生", "|ＣＤをドライブにセットした時に自動で再生を開始します",
                         &TOptionValues::auto_play);
  AutoWallCBX = CheckBox(page, "AutoWallCBX", "ジャケット自動壁紙化",
                         "|ジャケットが登録されているＣＤをドライブにセットした時に自動で壁紙に表示します",
                         &TOptionValues::auto_wall);
  AutoDLGOpenCBX = CheckBox(page, "AutoDLGOpenCBX", "未登録CDセット時にCDデータ登録ダイアログを自動表示",
                            "|データベースに登録されていないＣＤをセットした時に自動で登録ダイアログを開きます",
                            &TOptionValues::auto_dlg_open);
  TipHelpCBX = CheckBox(page, "TipHelpCBX", "ヘルプヒントを表示",
                        "歌詞ウィンドウ・コントロールパッド・プラグインパッドでヘルプヒントを表示します",
                        &TOptionValues::help_hint);
  connect(TipHelpCBX, &QCheckBox::toggled, this, &TOptionDlg::ShowToolTips);
  AutoLookupCBX = CheckBox(page, "AutoLookupCBX", "未登録CDをオンラインで自動検索",
                           "|データベースに登録されていないＣＤをセットした時に、登録ダイアログを開いてMusicBrainzと"
                           "gnudbで自動的に検索します (ＣＤの目次がサーバーに送られます)",
                           &TOptionValues::auto_lookup);
  // On a desktop whose wallpaper the program cannot change, the box is off limits and says why.
  if (const TQVRDM* controller = Link().Controller()) {
    if (const std::string reason = controller->WallpaperUnavailableReason(); !reason.empty()) {
      AutoWallCBX->setEnabled(false);
      SetHint(AutoWallCBX, reason + "|" + reason);
    }
  }
  grid->addWidget(AutoPlayCBX, 0, 0);
  grid->addWidget(AutoWallCBX, 0, 1, 1, 2);
  grid->addWidget(AutoDLGOpenCBX, 1, 0, 1, 3);
  grid->addWidget(TipHelpCBX, 2, 0);
  grid->addWidget(AutoLookupCBX, 2, 1, 1, 2);

  // gnudb asks every program to send the user's e-mail address with each request.
  auto* email_label = new QLabel("gnudb用メールアドレス", page);
  email_label->setObjectName("GnudbEmailLBL");
  GnudbEmailEDT = new QLineEdit(page);
  GnudbEmailEDT->setObjectName("GnudbEmailEDT");
  GnudbEmailEDT->setMaxLength(254);
  GnudbEmailEDT->setPlaceholderText("name@example.jp");
  email_label->setBuddy(GnudbEmailEDT);
  SetHint(GnudbEmailEDT, "|オンライン検索でgnudbに問い合わせるときに送るメールアドレスです (空欄のときは送りません)");
  connect(GnudbEmailEDT, &QLineEdit::textEdited, this, [this](const QString& text) {
    model_->Change([&](TOptionValues& values) { values.gnudb_email = text.trimmed().toStdString(); });
    UpdateEnable();
  });
  grid->addWidget(email_label, 3, 0);
  grid->addWidget(GnudbEmailEDT, 3, 1, 1, 2);

  auto path_row = [&](int row, const char* label_name, const char* caption, const char* panel_name,
                      const char* button_name, const char* hint, OptionModel::Folder folder) {
    auto* label = new QLabel(caption, page);
    label->setObjectName(label_name);
    // The folder is typed or chosen: a typed folder is taken when the user moves on (or at
    // Apply and OK), and one that does not exist is created after a question.
    auto* panel = new QLineEdit(page);
    panel->setObjectName(panel_name);
    panel->setMinimumWidth(280);
    label->setBuddy(panel);
    SetHint(panel, std::string("|") + caption + "を入力するか「参照」で選びます。無いフォルダは確認してから作成します");
    connect(panel, &QLineEdit::editingFinished, this, [this, folder] { TakeTypedFolder(folder); });
    auto* button = new QPushButton("参照", page);
    button->setObjectName(button_name);
    SetHint(button, hint);
    connect(button, &QPushButton::clicked, this, [this, folder] { FolderChoice(folder); });
    grid->addWidget(label, row, 0, 1, 3);
    grid->addWidget(panel, row + 1, 0, 1, 2);
    grid->addWidget(button, row + 1, 2);
    return panel;
  };
  DBPathPNL = path_row(4, "LibPathLBL", "CDデータベース(*DB.QVR)のパス", "DBPathPNL", "DBPathBTN",
                       "|ＣＤデータベースファイルのパスを指定します", OptionModel::Folder::DataBase);
  PluginPathPNL = path_row(6, "PluginPathLBL", "プラグイン（*.QPI）用パス", "PluginPathPNL", "PluginPathBTN",
                           "|プラグイン用のパスを指定します", OptionModel::Folder::Plugin);

  auto* drive_label = new QLabel("CDドライブ", page);
  drive_label->setObjectName("DriveLBL");
  DriveCMB = new QComboBox(page);
  DriveCMB->setObjectName("DriveCMB");
  DriveCMB->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  DriveCMB->setMinimumContentsLength(24);
  SetHint(DriveCMB, "|再生に使うCDドライブ、CDイメージ、またはCDイメージのフォルダを選びます");
  connect(DriveCMB, &QComboBox::activated, this,
          [this](int index) { TakeChoice(model_->SetDrive(DriveCMB->itemData(index).toString().toStdString())); });
  auto* image_button = new QPushButton("イメージ(&I)...", page);
  image_button->setObjectName("DriveImageBTN");
  SetHint(image_button, "|CDイメージ (.cue .toc .nrg .bin .flac) をドライブとして使います");
  connect(image_button, &QPushButton::clicked, this, &TOptionDlg::DriveImageBTNClick);
  auto* folder_button = new QPushButton("フォルダ(&F)...", page);
  folder_button->setObjectName("DriveFolderBTN");
  SetHint(folder_button, "|CDイメージのフォルダを、取り出すたびに次のイメージに替わるドライブとして使います");
  connect(folder_button, &QPushButton::clicked, this, &TOptionDlg::DriveFolderBTNClick);
  auto* drive_buttons = new QHBoxLayout;
  drive_buttons->addStretch(1);
  drive_buttons->addWidget(image_button);
  drive_buttons->addWidget(folder_button);
  grid->addWidget(drive_label, 8, 0, 1, 3);
  grid->addWidget(DriveCMB, 9, 0, 1, 3);
  grid->addLayout(drive_buttons, 10, 0, 1, 3);
  DeEmphasisCBX = CheckBox(page, "DeEmphasisCBX", "プリエンファシス付きのトラックをデエンファシスして再生",
                           "|プリエンファシス付きで録音されたトラック (1980年代のＣＤに多い) の高音の強調を、"
                           "ＣＤプレーヤーと同じように戻して再生します",
                           &TOptionValues::de_emphasis);
  grid->addWidget(DeEmphasisCBX, 11, 0, 1, 3);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(11, 1);
  return page;
}

void TOptionDlg::FillDrives() {
  const std::string current = model_->DriveText();
  DriveCMB->clear();
  DriveCMB->addItem(Text(DriveCaption("")), QString());
  bool listed = current.empty();
  for (const std::string& device : CdioSource::ListDrives()) {
    DriveCMB->addItem(Text(DriveCaption(device)), Text(device));
    listed = listed || device == current;
  }
  if (!listed) DriveCMB->addItem(Text(DriveCaption(current)), Text(current));
  DriveCMB->setCurrentIndex(std::max(0, DriveCMB->findData(Text(current))));
  DriveCMB->setToolTip(QString());
}

void TOptionDlg::ShowValues() {
  showing_ = true;
  const TOptionValues& values = model_->Values();
  // The sample names the family really drawn; a stored face the system lacks is named too.
  const QFont sample = DialogFont(values.font);
  const QString stored = Text(SjisToUtf8(values.font.Name));
  const QString drawn = DrawnFamily(sample);
  FontSampleLBL->setText(drawn + QString(" %1pt").arg(values.font.Size));
  FontSampleLBL->setFont(sample);
  FontSampleLBL->setToolTip(
      stored.compare(drawn, Qt::CaseInsensitive) == 0 ? QString() : Format(kFontStandsIn, stored).replace("%d", drawn));
  FontSampleLBL->setAccessibleDescription(FontSampleLBL->toolTip());
  QPalette palette = FontSampleLBL->palette();
  palette.setColor(QPalette::Window, ColorFromRef(values.background));
  palette.setColor(QPalette::WindowText, ColorFromRef(values.font.Color));
  FontSampleLBL->setPalette(palette);
  auto select_color = [](QComboBox* box, std::int32_t value) {
    // A colour not in the list gets its own entry before "other colour".
    constexpr int named = static_cast<int>(std::size(kNamedColors));
    while (box->count() > named + 1) box->removeItem(named);
    int index = box->findData(QVariant::fromValue<qint64>(value));
    if (index < 0) {
      box->insertItem(named, Swatch(value), ColorFromRef(value).name(QColor::HexRgb).toUpper(),
                      QVariant::fromValue<qint64>(value));
      index = named;
    }
    box->setCurrentIndex(index);
  };
  select_color(FontColorCMB, values.font.Color);
  select_color(BGColorCMB, values.background);
  LyricsStayOnTopCBX->setChecked(values.lyrics_stay_on_top);
  PadStatusCBX->setChecked(values.pad_status);
  PadStayOnTopCBX->setChecked(values.pad_stay_on_top);
  DockSaveCBX->setChecked(values.pad_dock_info);
  PadChildrenStatusCBX->setChecked(values.pad_children_status);
  PadSnapCBX->setChecked(values.pad_snap);
  for (auto [group, index] :
       {std::pair{RepeatOneRGP, values.repeat_one_unlock}, std::pair{RepeatAllRGP, values.repeat_all_unlock},
        std::pair{RandomRGP, values.random_unlock}}) {
    if (QAbstractButton* button = group->button(std::clamp(index, 0, 2))) button->setChecked(true);
  }
  AutoPlayCBX->setChecked(values.auto_play);
  AutoWallCBX->setChecked(values.auto_wall);
  AutoDLGOpenCBX->setChecked(values.auto_dlg_open);
  AutoLookupCBX->setChecked(values.auto_lookup);
  DeEmphasisCBX->setChecked(values.de_emphasis);
  if (GnudbEmailEDT->text().trimmed().toStdString() != values.gnudb_email) {
    GnudbEmailEDT->setText(QString::fromStdString(values.gnudb_email));
  }
  TipHelpCBX->setChecked(values.help_hint);
  for (auto [panel, folder] :
       {std::pair{DBPathPNL, OptionModel::Folder::DataBase}, std::pair{PluginPathPNL, OptionModel::Folder::Plugin}}) {
    const QString path = Text(model_->FolderText(folder));
    panel->setText(path);
    panel->setToolTip(path);
  }
  FillDrives();
  showing_ = false;
  UpdateEnable();
}

void TOptionDlg::UpdateEnable() {
  ApplyMNU->setEnabled(model_->Changed());
  UndoMNU->setEnabled(model_->Changed());
}

void TOptionDlg::ShowToolTips(bool on) {
  // The short hints show only while help hints are on; the status bar's long hints always do.
  if (tool_tips_.empty()) {
    for (QWidget* widget : findChildren<QWidget*>()) {
      if (!widget->toolTip().isEmpty() && widget != DBPathPNL && widget != PluginPathPNL)
        tool_tips_.emplace_back(widget, widget->toolTip());
    }
  }
  for (auto& [widget, tip] : tool_tips_) widget->setToolTip(on ? tip : QString());
}

void TOptionDlg::FontBTNClick() {
  const TOptionValues& values = model_->Values();
  // The font dialog opens on the family really drawn, not on a face the system lacks.
  QFont current = DialogFont(values.font);
  current.setFamilies({DrawnFamily(current)});
  const std::optional<QFont> chosen = asks_.font(current);
  if (!chosen) return;
  const QString family = chosen->family();
  const SjisEncoding name = Utf8ToSjis(family.toStdString());
  if (!name.ok()) {
    asks_.warn(Format(kFontNotStorable, family));
    return;
  }
  TIniFont font = values.font;
  font.Name = name.bytes;
  font.Size = chosen->pointSize() > 0 ? chosen->pointSize() : std::max(1, chosen->pixelSize() * 72 / 96);
  font.Style = (chosen->bold() ? fsBold : 0) | (chosen->italic() ? fsItalic : 0) |
               (chosen->underline() ? fsUnderline : 0) | (chosen->strikeOut() ? fsStrikeOut : 0);
  model_->Change([&](TOptionValues& edited) { edited.font = font; });
  ShowValues();
}

void TOptionDlg::TakeChoice(const OptionChoice& choice) {
  if (choice.outcome == OptionChoice::Outcome::Failed) asks_.warn(Text(choice.message));
  ShowValues();
}

void TOptionDlg::FolderChoice(OptionModel::Folder folder) {
  TakeChoice(model_->BrowseFolder(folder, files_, [this](const std::string& missing) {
    return asks_.yes_no(Format(kCreateFolder, Text(missing)));
  }));
}

QLineEdit* TOptionDlg::FolderEdit(OptionModel::Folder folder) const {
  return folder == OptionModel::Folder::DataBase ? DBPathPNL : PluginPathPNL;
}

bool TOptionDlg::TakeTypedFolder(OptionModel::Folder folder) {
  QLineEdit* edit = FolderEdit(folder);
  const std::string typed = edit->text().trimmed().toStdString();
  const std::string current = model_->FolderText(folder);
  if (taking_folder_ || typed == current || typed + "/" == current) return true;
  if (typed.empty()) {
    ShowValues();  // an emptied field goes back to the folder it named
    return true;
  }
  taking_folder_ = true;
  const OptionChoice choice = model_->AcceptFolder(
      folder, typed, [this](const std::string& missing) { return asks_.yes_no(Format(kCreateFolder, Text(missing))); });
  taking_folder_ = false;
  TakeChoice(choice);
  if (choice.outcome == OptionChoice::Outcome::Chosen) return true;
  edit->setFocus();
  return false;
}

bool TOptionDlg::TakeTypedFolders() {
  return TakeTypedFolder(OptionModel::Folder::DataBase) && TakeTypedFolder(OptionModel::Folder::Plugin);
}

void TOptionDlg::DBPathBTNClick() { FolderChoice(OptionModel::Folder::DataBase); }

void TOptionDlg::PluginPathBTNClick() { FolderChoice(OptionModel::Folder::Plugin); }

void TOptionDlg::DriveImageBTNClick() { TakeChoice(model_->BrowseDriveImage(files_)); }

void TOptionDlg::DriveFolderBTNClick() { TakeChoice(model_->BrowseDriveFolder(files_)); }

void TOptionDlg::DefaultMNUClick() {
  model_->Default();
  ShowValues();
}

void TOptionDlg::UndoMNUClick() {
  if (!model_->Changed()) return;
  model_->Undo();
  ShowValues();
}

void TOptionDlg::ApplyMNUClick() {
  if (!TakeTypedFolders()) return;
  if (!model_->Changed()) return;
  model_->Apply();
  ShowValues();
}

void TOptionDlg::HelpBTNClick() { HelpRequested(); }

void TOptionDlg::ShowDriveSetting() {
  PageCTRL->setCurrentWidget(DriveCMB->parentWidget());
  DriveCMB->setFocus(Qt::OtherFocusReason);
}

void TOptionDlg::PageCTRLChange(int index) {
  if (index >= 0 && index < static_cast<int>(std::size(kPageContexts))) SetHelpContext(kPageContexts[index]);
}

void TOptionDlg::Commit(ModalResult) { result_ = model_->Values(); }

std::unique_ptr<ModalDialog> MakeOptionDialog(const DialogContext& context, TOptionValues& values, OptionsStart start) {
  auto dialog = std::make_unique<TOptionDlg>(context, values);
  if (start == OptionsStart::Drive) dialog->ShowDriveSetting();
  return dialog;
}

}  // namespace qvr
