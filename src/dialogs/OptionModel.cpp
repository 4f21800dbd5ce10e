// OptionModel: snapshot, undo, defaults, apply, and the checks of the folder and drive choices.
#include "dialogs/OptionModel.h"

#include <cctype>
#include <optional>
#include <system_error>

#include "cdda/CueImage.h"
#include "util/Error.h"
#include "util/ShiftJis.h"

namespace qvr {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDataBaseFolderTitle = "CDデータベースのフォルダを選択";
constexpr const char* kPluginFolderTitle = "プラグインのフォルダを選択";
constexpr const char* kImageTitle = "CDイメージを選択";
constexpr const char* kImageFolderTitle = "CDイメージのフォルダを選択";
constexpr const char* kImageFilters =
    "CDイメージ (*.cue *.toc *.nrg *.bin *.flac)|*.cue;*.toc;*.nrg;*.bin;*.flac|すべてのファイル|*";

constexpr const char* kNotAFolder = "%s はフォルダではありません";
constexpr const char* kCannotCreate = "フォルダ %s を作成できません";
constexpr const char* kNotStorable = "設定ファイルに保存できない文字を含むパスです: %s";
constexpr const char* kNoSuchFolder = "フォルダ %s がありません";
constexpr const char* kNoImages = "フォルダ %s にCDイメージ (.cue .toc .nrg、キューシート入りの .flac) がありません";
constexpr const char* kNoSuchFile = "ファイル %s がありません";

constexpr const char* kDefaultDrive = "システムの既定のドライブ";
constexpr const char* kImageCaption = "CDイメージ: ";
constexpr const char* kImageFolderCaption = "CDイメージのフォルダ: ";

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool IsImageName(const fs::path& path) {
  const std::string extension = Lower(path.extension().string());
  if (extension == ".flac") return CueImage::IsFlacWithCueSheet(path);  // a rip's track file is no disc
  return extension == ".cue" || extension == ".toc" || extension == ".nrg";
}

bool HasImages(const fs::path& folder) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    if (IsImageName(entry.path()) && entry.is_regular_file(error)) return true;
  }
  return false;
}

OptionChoice Failed(std::string message) { return {OptionChoice::Outcome::Failed, std::move(message)}; }

}  // namespace

std::string DriveCaption(const std::string& drive) {
  if (drive.empty()) return kDefaultDrive;
  std::error_code error;
  if (fs::is_directory(drive, error)) return kImageFolderCaption + drive;
  if (drive.rfind("/dev/", 0) == 0) return drive;
  return kImageCaption + drive;
}

OptionModel::OptionModel(TOptionValues current, TOptionValues defaults, fs::path program_folder, ApplyFunction apply)
    : values_(std::move(current)),
      snapshot_(values_),
      defaults_(std::move(defaults)),
      program_folder_(std::move(program_folder)),
      apply_(std::move(apply)) {}

void OptionModel::Default() {
  values_ = defaults_;
  changed_ = true;
}

void OptionModel::Undo() {
  values_ = snapshot_;
  changed_ = false;
}

bool OptionModel::Apply() {
  if (!apply_(values_)) return false;
  snapshot_ = values_;
  changed_ = false;
  return true;
}

std::string OptionModel::FolderText(Folder folder) const {
  return SjisToUtf8(folder == Folder::DataBase ? values_.data_base_path : values_.plugin_path);
}

std::string OptionModel::StartFolder(Folder folder) const {
  std::string text = FolderText(folder);
  std::error_code error;
  if (!text.empty() && fs::is_directory(text, error)) return text;
  return program_folder_.string();
}

OptionChoice OptionModel::BrowseFolder(Folder folder, FileDialogs& files, const CreateQuestion& ask_create) {
  const bool data_base = folder == Folder::DataBase;
  const std::optional<std::string> chosen =
      files.ChooseFolder(data_base ? "options-database" : "options-plugin",
                         data_base ? kDataBaseFolderTitle : kPluginFolderTitle, StartFolder(folder));
  if (!chosen) return {};
  return AcceptFolder(folder, *chosen, ask_create);
}

OptionChoice OptionModel::AcceptFolder(Folder folder, const std::string& chosen, const CreateQuestion& ask_create) {
  const std::string& path = chosen;
  if (path.empty()) return {};
  const SjisEncoding stored = Utf8ToSjis(path);
  if (!stored.ok()) return Failed(FormatMessage(kNotStorable, path));
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (fs::exists(status) && !fs::is_directory(status)) return Failed(FormatMessage(kNotAFolder, path));
  if (!fs::exists(status)) {
    if (!ask_create(path)) return {OptionChoice::Outcome::Declined, {}};
    error.clear();
    fs::create_directories(path, error);
    if (error || !fs::is_directory(path)) {
      std::string message = FormatMessage(kCannotCreate, path);
      if (error) message += " (" + error.message() + ")";
      return Failed(std::move(message));
    }
  }
  std::string bytes = stored.bytes;
  if (bytes.back() != '/') bytes += '/';
  Change([&](TOptionValues& values) {
    (folder == Folder::DataBase ? values.data_base_path : values.plugin_path) = bytes;
  });
  return {OptionChoice::Outcome::Chosen, {}};
}

std::string OptionModel::DriveText() const { return SjisToUtf8(values_.drive); }

OptionChoice OptionModel::SetDrive(const std::string& drive) {
  const SjisEncoding stored = Utf8ToSjis(drive);
  if (!stored.ok()) return Failed(FormatMessage(kNotStorable, drive));
  Change([&](TOptionValues& values) { values.drive = stored.bytes; });
  return {OptionChoice::Outcome::Chosen, {}};
}

OptionChoice OptionModel::BrowseDriveImage(FileDialogs& files) {
  const std::string current = DriveText();
  std::error_code error;
  const bool current_is_file = !current.empty() && fs::is_regular_file(current, error);
  std::optional<std::string> chosen =
      files.OpenFile("options-image", kImageTitle, ParseFileFilters(kImageFilters), current_is_file ? current : "");
  if (!chosen) return {};
  if (!fs::is_regular_file(*chosen, error)) return Failed(FormatMessage(kNoSuchFile, *chosen));
  // A .bin is played through its cue sheet when one of the same name lies beside it.
  fs::path image(*chosen);
  if (Lower(image.extension().string()) == ".bin") {
    for (const char* extension : {".cue", ".CUE"}) {
      fs::path sheet = image;
      sheet.replace_extension(extension);
      if (fs::is_regular_file(sheet, error)) {
        image = sheet;
        break;
      }
    }
  }
  return SetDrive(image.string());
}

OptionChoice OptionModel::BrowseDriveFolder(FileDialogs& files) {
  const std::string current = DriveText();
  std::error_code error;
  const bool current_is_folder = !current.empty() && fs::is_directory(current, error);
  std::optional<std::string> chosen =
      files.ChooseFolder("options-image", kImageFolderTitle, current_is_folder ? current : "");
  if (!chosen) return {};
  if (!fs::is_directory(*chosen, error)) return Failed(FormatMessage(kNoSuchFolder, *chosen));
  if (!HasImages(*chosen)) return Failed(FormatMessage(kNoImages, *chosen));
  return SetDrive(*chosen);
}

}  // namespace qvr
