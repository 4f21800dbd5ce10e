// TIniGT: typed values in the program's INI settings file. It finds its own file (a default
// name derived from the program's file name, in a chosen folder), can fence string values so
// that leading and trailing blanks survive, and stores colours as hex and fonts as four keys.
// The file is read once, at the first read, and its text kept: later reads answer from memory
// (start-up reads some eighty keys). Every write goes to the file at once (re-read, changed,
// replaced), so a value written is in the file when the write returns, and the text kept is then
// what was written. All texts are Shift-JIS bytes, as the file holds them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "ini/ProfileFile.h"

namespace qvr {

enum class TIniGTDefaultDir : std::uint8_t { ddApplication = 0, ddWindows = 1, ddNone = 2 };
enum class TIniGTFence : std::uint8_t { fnDoubleQuote = 0, fnParenthesis = 1, fnVer11Mode = 2, fnNone = 3 };

// Font style bits as stored in the ".Style" key.
enum TFontStyleBits : std::int32_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

// A font as the settings file keeps it; the GUI turns it into a toolkit font.
struct TIniFont {
  std::string Name;        // face name, Shift-JIS
  std::int32_t Size = 9;   // point size
  std::int32_t Style = 0;  // TFontStyleBits
  std::int32_t Color = 0;  // 0x00BBGGRR, or 0x80000000 | index for a system colour
  friend bool operator==(const TIniFont&, const TIniFont&) = default;
};

// Where the component finds the program and the folders it resolves names against.
struct TIniGTEnvironment {
  std::string ProgramFileName;          // the executable's file name, without folder
  std::filesystem::path ProgramFolder;  // for ddApplication
  std::filesystem::path SystemFolder;   // for ddWindows: the user's configuration folder here

  // The running program: its file name, the program folder and the user's configuration folder.
  static TIniGTEnvironment FromProcess();
};

class TIniGT {
 public:
  explicit TIniGT(TIniGTEnvironment environment);

  // Derives the default file name when none was set; the owner calls it once it has
  // configured the component.
  void Loaded();

  TIniGTDefaultDir DefaultDir() const { return default_dir_; }
  void SetDefaultDir(TIniGTDefaultDir value);  // re-resolves the current FileName
  const std::string& FileName() const { return file_name_; }
  void SetFileName(std::string_view value);  // resolves the full path at once
  TIniGTFence Fence() const { return fence_; }
  void SetFence(TIniGTFence value) { fence_ = value; }

  // The resolved full path of the settings file (empty until a name is set or derived).
  const std::filesystem::path& FullPath() const { return profile_.Path(); }

  std::string ReadString(std::string_view section, std::string_view key, std::string_view default_value) const;
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t default_value) const;
  void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);
  bool ReadBool(std::string_view section, std::string_view key, bool default_value) const;
  void WriteBool(std::string_view section, std::string_view key, bool value);
  std::string ReadFencedString(std::string_view section, std::string_view key, std::string_view default_value) const;
  void WriteFencedString(std::string_view section, std::string_view key, std::string_view value);
  // ReadHex raises Error "'%s' は整数ではありません" on a malformed stored value.
  std::int32_t ReadHex(std::string_view section, std::string_view key, std::int32_t default_value) const;
  void WriteHex(std::string_view section, std::string_view key, std::int32_t value);
  std::int32_t ReadColor(std::string_view section, std::string_view key, std::int32_t default_value) const;
  void WriteColor(std::string_view section, std::string_view key, std::int32_t value);
  // Collects the writes that follow until EndUpdate, which replaces the file once: the values
  // reach the file together or not at all, and reads in between see them. BeginUpdate raises
  // "%s に書き込めません: reason" when the file exists but cannot be read, EndUpdate when it
  // cannot be written (nothing of the batch is written then). Not nested.
  void BeginUpdate();
  void EndUpdate();

  // Why the file cannot be read or could not be written now, as a message naming the file and
  // the system's reason; empty when it can be (a missing file in a writable folder can).
  std::string FileProblem() const;

  // Reads the four keys prefix.Name/.Size/.Style/.Color; `font` changes only when all succeed.
  void ReadFont(std::string_view section, std::string_view prefix, TIniFont& font);
  void WriteFont(std::string_view section, std::string_view prefix, const TIniFont& font);

 private:
  std::string Fenced(std::string_view text) const;
  // The file's text as last read or written, read now when nothing is kept; nothing when the
  // file exists but cannot be read.
  const std::string* Text() const;

  TIniGTEnvironment environment_;
  TIniGTDefaultDir default_dir_ = TIniGTDefaultDir::ddApplication;
  std::string file_name_;
  TIniGTFence fence_ = TIniGTFence::fnNone;
  ProfileFile profile_{std::filesystem::path()};
  std::optional<std::string> pending_;       // the file's text while an update collects writes
  mutable std::optional<std::string> text_;  // the file's text as last read or written (empty: missing)
};

}  // namespace qvr
