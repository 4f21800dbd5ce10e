// TOptionDlg: the options dialog ("環境設定"). Four pages (lyrics window, control pad, repeat,
// other) edit a copy of the settings held by OptionModel; the settings menu applies them while
// the dialog stays open, undoes the edits since the last apply, or puts the built-in defaults
// into the controls. Ok hands the values to the controller's command, which applies them.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "dialogs/OptionModel.h"
#include "forms/DialogFactories.h"
#include "forms/ModalDialog.h"

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace qvr {

class TOptionDlg final : public ModalDialog {
 public:
  // The questions the dialog asks through other windows; tests replace them.
  struct Asks {
    std::function<std::optional<QFont>(const QFont& current)> font;
    std::function<std::optional<QColor>(const QColor& current)> color;
    std::function<bool(const QString& question)> yes_no;
    std::function<void(const QString& message)> warn;
  };

  TOptionDlg(const DialogContext& context, TOptionValues& values);
  ~TOptionDlg() override;

  OptionModel& Model() { return *model_; }
  Asks& Questions() { return asks_; }

  // Handlers (the menu commands, the buttons that open other dialogs, the page change).
  void FontBTNClick();
  void DBPathBTNClick();
  void PluginPathBTNClick();
  void DriveImageBTNClick();
  void DriveFolderBTNClick();
  void DefaultMNUClick();
  void UndoMNUClick();
  void ApplyMNUClick();
  void HelpBTNClick();
  void PageCTRLChange(int index);
  // Opens the page of the drive setting with the drive's field focused.
  void ShowDriveSetting();

 protected:
  void Commit(ModalResult result) override;

 private:
  QWidget* BuildLyricsPage();
  QWidget* BuildPadPage();
  QWidget* BuildRepeatPage();
  QWidget* BuildOtherPage();
  QCheckBox* CheckBox(QWidget* page, const char* name, const char* caption, const char* hint,
                      bool TOptionValues::*field);
  // A colour box over one colour of the values (the font's or the background's).
  using ColorField = std::int32_t& (*)(TOptionValues&);
  QComboBox* ColorBox(QWidget* page, const char* name, ColorField field);
  void FolderChoice(OptionModel::Folder folder);
  QLineEdit* FolderEdit(OptionModel::Folder folder) const;
  // Takes the folder typed into the field (a missing one is created after a question); false
  // when it was not taken (declined or unusable: the field shows the folder before, and has the
  // focus).
  bool TakeTypedFolder(OptionModel::Folder folder);
  bool TakeTypedFolders();
  void TakeChoice(const OptionChoice& choice);
  void FillDrives();
  // Every control from the model; Apply and Undo enabled by its changed state.
  void ShowValues();
  void UpdateEnable();
  void ShowToolTips(bool on);

  TOptionValues& result_;
  FileDialogs& files_;
  std::unique_ptr<OptionModel> model_;
  Asks asks_;
  bool showing_ = false;        // controls are being set from the model: their signals are no edits
  bool taking_folder_ = false;  // a typed folder is being taken (its question box is up)

  QTabWidget* PageCTRL = nullptr;
  QLabel* FontSampleLBL = nullptr;
  QComboBox* FontColorCMB = nullptr;
  QComboBox* BGColorCMB = nullptr;
  QCheckBox* LyricsStayOnTopCBX = nullptr;
  QCheckBox* PadStatusCBX = nullptr;
  QCheckBox* PadStayOnTopCBX = nullptr;
  QCheckBox* DockSaveCBX = nullptr;
  QCheckBox* PadChildrenStatusCBX = nullptr;
  QCheckBox* PadSnapCBX = nullptr;
  QButtonGroup* RepeatOneRGP = nullptr;
  QButtonGroup* RepeatAllRGP = nullptr;
  QButtonGroup* RandomRGP = nullptr;
  QCheckBox* AutoPlayCBX = nullptr;
  QCheckBox* AutoWallCBX = nullptr;
  QCheckBox* AutoDLGOpenCBX = nullptr;
  QCheckBox* AutoLookupCBX = nullptr;
  QCheckBox* DeEmphasisCBX = nullptr;
  QLineEdit* GnudbEmailEDT = nullptr;
  QCheckBox* TipHelpCBX = nullptr;
  QLineEdit* DBPathPNL = nullptr;
  QLineEdit* PluginPathPNL = nullptr;
  QComboBox* DriveCMB = nullptr;
  QAction* DefaultMNU = nullptr;
  QAction* UndoMNU = nullptr;
  QAction* ApplyMNU = nullptr;
  std::vector<std::pair<QWidget*, QString>> tool_tips_;
};

}  // namespace qvr
