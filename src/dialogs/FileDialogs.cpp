// FileDialogs: start folders and the folder each purpose was last left in.
#include "dialogs/FileDialogs.h"

#include <filesystem>
#include <system_error>

namespace qvr {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> SplitPatterns(std::string_view text) {
  std::vector<std::string> patterns;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = std::min(text.find(';', start), text.size());
    if (end > start) patterns.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return patterns;
}

bool IsFolder(const fs::path& path) {
  std::error_code error;
  return !path.empty() && fs::is_directory(path, error);
}

}  // namespace

std::vector<FileFilter> ParseFileFilters(std::string_view text) {
  std::vector<FileFilter> filters;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t bar = text.find('|', start);
    if (bar == std::string_view::npos) break;
    const std::size_t end = std::min(text.find('|', bar + 1), text.size());
    FileFilter filter{std::string(text.substr(start, bar - start)), SplitPatterns(text.substr(bar + 1, end - bar - 1))};
    if (!filter.patterns.empty()) filters.push_back(std::move(filter));
    start = end + 1;
  }
  return filters;
}

std::optional<std::string> FileDialogs::OpenFile(std::string_view purpose, std::string title,
                                                 std::vector<FileFilter> filters, std::string_view current) {
  FileDialogRequest request;
  request.kind = FileDialogKind::OpenExisting;
  request.title = std::move(title);
  request.filters = std::move(filters);
  return Run(purpose, std::move(request), current, false);
}

std::optional<std::string> FileDialogs::SaveFile(std::string_view purpose, std::string title,
                                                 std::vector<FileFilter> filters, std::string_view current,
                                                 std::string default_suffix) {
  FileDialogRequest request;
  request.kind = FileDialogKind::Save;
  request.title = std::move(title);
  request.filters = std::move(filters);
  request.default_suffix = std::move(default_suffix);
  return Run(purpose, std::move(request), current, false);
}

std::optional<std::string> FileDialogs::ChooseFolder(std::string_view purpose, std::string title,
                                                     std::string_view current) {
  FileDialogRequest request;
  request.kind = FileDialogKind::Folder;
  request.title = std::move(title);
  return Run(purpose, std::move(request), current, true);
}

std::string FileDialogs::LastFolder(std::string_view purpose) const {
  const auto found = last_folder_.find(purpose);
  return found == last_folder_.end() ? std::string() : found->second;
}

std::optional<std::string> FileDialogs::Run(std::string_view purpose, FileDialogRequest request,
                                            std::string_view current, bool current_is_folder) {
  const fs::path current_path{std::string(current)};
  const fs::path current_folder = current_is_folder ? current_path : current_path.parent_path();
  if (current_path.is_absolute() && IsFolder(current_folder)) {
    request.folder = current_folder.lexically_normal().string();
    if (!current_is_folder) request.file_name = current_path.filename().string();
  } else {
    const std::string last = LastFolder(purpose);
    if (IsFolder(last)) request.folder = last;
    if (!current_is_folder && !current.empty()) request.file_name = current_path.filename().string();
  }
  std::optional<std::string> chosen = port_.Ask(request);
  if (chosen && !chosen->empty()) {
    const fs::path path(*chosen);
    const fs::path folder = request.kind == FileDialogKind::Folder ? path : path.parent_path();
    if (!folder.empty()) last_folder_.insert_or_assign(std::string(purpose), folder.string());
  }
  return chosen;
}

}  // namespace qvr
