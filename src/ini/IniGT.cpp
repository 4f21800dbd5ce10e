// TIniGT: file naming, fences and the typed reads and writes of the settings file.
#include "ini/IniGT.h"

#include <cstdio>

#include "util/AtomicFile.h"
#include "util/Error.h"
#include "util/ProgramFolder.h"
#include "util/ShiftJis.h"
#include "util/ZLUtils.h"

namespace qvr {
namespace {

constexpr std::string_view kCannotWrite = "%s に書き込めません";
// The system's reason at the end of a file error's message ("path を読み込めません: reason").
std::string ReasonOf(const Error& error) {
  const std::string_view text = error.what();
  const std::size_t colon = text.rfind(": ");
  return std::string(colon == std::string_view::npos ? text : text.substr(colon + 2));
}
constexpr std::string_view kNotAnInteger = "'%s' は整数ではありません";
// Where a bad value is, put before the message: "file の [section] key: ".
std::string ValuePlace(const std::filesystem::path& file, std::string_view section, std::string_view key) {
  return file.string() + " の [" + SjisToUtf8(section) + "] " + SjisToUtf8(key) + ": ";
}

// Fence characters, single Shift-JIS bytes: the corner brackets are half-width katakana.
constexpr char kDoubleQuote = '"';
constexpr char kOpenCorner = '\xA2';
constexpr char kCloseCorner = '\xA3';

std::string Hex8(std::int32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", static_cast<std::uint32_t>(value));
  return text;
}

// The default file name of a program file: extension replaced by ".ini", ASCII letters lower
// case, then the first letter upper case ("Q_V_R.EXE" gives "Q_v_r.ini", "qvr" gives "Qvr.ini").
std::string DefaultFileName(std::string_view program_file_name) {
  std::string name(program_file_name);
  std::size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  name += ".INI";
  for (char& c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  if (name.front() >= 'a' && name.front() <= 'z') name.front() = static_cast<char>(name.front() - 32);
  return name;
}

}  // namespace

TIniGTEnvironment TIniGTEnvironment::FromProcess() {
  return {ProgramFile().filename().string(), qvr::ProgramFolder(), UserConfigHome()};
}

TIniGT::TIniGT(TIniGTEnvironment environment) : environment_(std::move(environment)) {}

void TIniGT::Loaded() {
  if (file_name_.empty()) SetFileName(DefaultFileName(environment_.ProgramFileName));
}

void TIniGT::SetDefaultDir(TIniGTDefaultDir value) {
  default_dir_ = value;
  SetFileName(std::string(file_name_));
}

void TIniGT::SetFileName(std::string_view value) {
  file_name_ = value;
  std::filesystem::path full;
  if (file_name_.find('/') != std::string::npos) {
    full = file_name_;
  } else {
    switch (default_dir_) {
      case TIniGTDefaultDir::ddApplication: full = environment_.ProgramFolder / file_name_; break;
      case TIniGTDefaultDir::ddWindows: full = environment_.SystemFolder / file_name_; break;
      case TIniGTDefaultDir::ddNone: full = file_name_; break;
    }
  }
  profile_ = ProfileFile(full);
  text_.reset();
}

const std::string* TIniGT::Text() const {
  if (!text_) {
    std::string text;
    try {
      ReadWholeFile(FullPath(), text, kMaxProfileBytes);  // a missing file reads as empty text
    } catch (const Error&) {
      return nullptr;  // read again next time: the failure may pass
    }
    text_ = std::move(text);
  }
  return &*text_;
}

std::string TIniGT::ReadString(std::string_view section, std::string_view key, std::string_view default_value) const {
  const std::string* text = pending_ ? &*pending_ : Text();
  if (text == nullptr) return std::string(default_value);
  return FindProfileValue(*text, section, key).value_or(std::string(default_value));
}

void TIniGT::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  if (!IsWritableProfileEntry(section, key, value)) throw Error(FormatMessage(kCannotWrite, FullPath().string()));
  if (pending_) {
    *pending_ = SetProfileValue(*pending_, section, key, value);
    return;
  }
  // The file as it is now, so that what others wrote into it meanwhile is kept.
  std::string text;
  try {
    ReadWholeFile(FullPath(), text, kMaxProfileBytes);
    text = SetProfileValue(text, section, key, value);
    ReplaceFileContents(FullPath(), text);
  } catch (const Error& error) {
    throw Error(FormatMessage(kCannotWrite, FullPath().string()) + ": " + ReasonOf(error));
  }
  text_ = std::move(text);
}

void TIniGT::BeginUpdate() {
  std::string text;
  try {
    ReadWholeFile(FullPath(), text, kMaxProfileBytes);
  } catch (const Error& error) {
    throw Error(FormatMessage(kCannotWrite, FullPath().string()) + ": " + ReasonOf(error));
  }
  pending_ = std::move(text);
}

void TIniGT::EndUpdate() {
  if (!pending_) return;
  std::string text = std::move(*pending_);
  pending_.reset();
  try {
    ReplaceFileContents(FullPath(), text);
  } catch (const Error& error) {
    throw Error(FormatMessage(kCannotWrite, FullPath().string()) + ": " + ReasonOf(error));
  }
  text_ = std::move(text);
}

std::string TIniGT::FileProblem() const {
  std::string text;
  try {
    ReadWholeFile(FullPath(), text, kMaxProfileBytes);
  } catch (const Error& error) {
    return error.what();
  }
  if (const std::string reason = ReplaceProblem(FullPath()); !reason.empty()) {
    return FormatMessage(kCannotWrite, FullPath().string()) + ": " + reason;
  }
  return {};
}

std::int32_t TIniGT::ReadInteger(std::string_view section, std::string_view key, std::int32_t default_value) const {
  std::string text = ReadString(section, key, "");
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'X' || text[1] == 'x')) text.replace(0, 2, "$");
  std::int32_t value = 0;
  return StrToInt32(text, value) ? value : default_value;
}

void TIniGT::WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
  WriteString(section, key, std::to_string(value));
}

bool TIniGT::ReadBool(std::string_view section, std::string_view key, bool default_value) const {
  return ReadInteger(section, key, default_value ? 1 : 0) != 0;
}

void TIniGT::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

std::string TIniGT::Fenced(std::string_view text) const {
  switch (fence_) {
    case TIniGTFence::fnDoubleQuote: return kDoubleQuote + std::string(text) + kDoubleQuote;
    case TIniGTFence::fnParenthesis:
    case TIniGTFence::fnVer11Mode: return kOpenCorner + std::string(text) + kCloseCorner;
    case TIniGTFence::fnNone: break;
  }
  return std::string(text);
}

void TIniGT::WriteFencedString(std::string_view section, std::string_view key, std::string_view value) {
  WriteString(section, key, Fenced(value));
}

std::string TIniGT::ReadFencedString(std::string_view section, std::string_view key,
                                     std::string_view default_value) const {
  std::string text = ReadString(section, key, Fenced(default_value));
  if (text.size() < 2) return text;
  bool quotes = fence_ == TIniGTFence::fnDoubleQuote || fence_ == TIniGTFence::fnVer11Mode;
  bool corners = fence_ == TIniGTFence::fnParenthesis || fence_ == TIniGTFence::fnVer11Mode;
  // The closing fence must be a character of its own, not the second byte of a double-byte one.
  bool closes_alone = !IsSjisTrailAt(text, text.size() - 1);
  if (quotes && text.front() == kDoubleQuote && text.back() == kDoubleQuote) {
    return text.substr(1, text.size() - 2);
  }
  if (corners && text.front() == kOpenCorner && text.back() == kCloseCorner && closes_alone) {
    return text.substr(1, text.size() - 2);
  }
  return text;
}

std::int32_t TIniGT::ReadHex(std::string_view section, std::string_view key, std::int32_t default_value) const {
  std::string text = ReadString(section, key, "0x" + Hex8(default_value));
  std::string digits = "$" + (text.size() > 2 ? text.substr(2, 8) : std::string());
  std::int32_t value = 0;
  if (!StrToInt32(digits, value)) {
    throw Error(ValuePlace(FullPath(), section, key) + FormatMessage(kNotAnInteger, SjisToUtf8(digits)));
  }
  return value;
}

void TIniGT::WriteHex(std::string_view section, std::string_view key, std::int32_t value) {
  WriteString(section, key, "0x" + Hex8(value));
}

std::int32_t TIniGT::ReadColor(std::string_view section, std::string_view key, std::int32_t default_value) const {
  return ReadHex(section, key, default_value);
}

void TIniGT::WriteColor(std::string_view section, std::string_view key, std::int32_t value) {
  WriteHex(section, key, value);
}

void TIniGT::ReadFont(std::string_view section, std::string_view prefix, TIniFont& font) {
  const std::string base(prefix);
  TIniFont read = font;
  TIniGTFence saved = fence_;
  fence_ = TIniGTFence::fnVer11Mode;
  read.Name = ReadFencedString(section, base + ".Name", font.Name);
  fence_ = saved;
  read.Size = ReadInteger(section, base + ".Size", font.Size);
  read.Style = ReadInteger(section, base + ".Style", font.Style) & (fsBold | fsItalic | fsUnderline | fsStrikeOut);
  read.Color = ReadColor(section, base + ".Color", font.Color);
  font = std::move(read);
}

void TIniGT::WriteFont(std::string_view section, std::string_view prefix, const TIniFont& font) {
  const std::string base(prefix);
  WriteString(section, base + ".Name", font.Name);
  WriteInteger(section, base + ".Size", font.Size);
  WriteInteger(section, base + ".Style", font.Style);
  WriteColor(section, base + ".Color", font.Color);
}

}  // namespace qvr
