// An INI profile file with the observable behaviour of the private-profile functions the
// settings component was written against: "[section]" lines, "key=value" lines, ASCII
// case-insensitive names, the first of duplicate sections and keys wins, blanks around a value
// dropped and one pair of enclosing quotes removed on reading. Every text is Shift-JIS bytes.
// Lines it does not understand are kept as they are when it writes; files it writes use CRLF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace qvr {

// A read value is cut to this many bytes (at a character boundary).
constexpr std::size_t kProfileValueLimit = 1023;

// The largest profile file read or rewritten. Settings files hold a few kilobytes; a file far
// beyond that is not one, and every read and write would pay for its whole size (a write
// rewrites the file), so it is refused like an unreadable file.
constexpr std::uint64_t kMaxProfileBytes = 1u << 20;

// The value of `key` in `section` of the profile text, as a read returns it, or nothing.
std::optional<std::string> FindProfileValue(std::string_view text, std::string_view section, std::string_view key);

// The profile text with `key` in `section` set to `value`: the first such key is replaced in
// place, a missing key goes after the last entry of the first such section, and a missing
// section is appended. All lines end in CRLF.
std::string SetProfileValue(std::string_view text, std::string_view section, std::string_view key,
                            std::string_view value);

// True when the three texts can be written without changing the file's structure: no line
// breaks anywhere, no "]" in the section name, no "=" in the key and no key starting with "[".
bool IsWritableProfileEntry(std::string_view section, std::string_view key, std::string_view value);

// One profile file by path. Nothing is cached: every call reads (and a write rewrites) the file.
class ProfileFile {
 public:
  explicit ProfileFile(std::filesystem::path path) : path_(std::move(path)) {}
  const std::filesystem::path& Path() const { return path_; }

  // The stored value, or `default_value` when the file, the section or the key is missing
  // (or the file cannot be read). A key with an empty value gives empty text.
  std::string ReadString(std::string_view section, std::string_view key, std::string_view default_value) const;

  // Sets the value, creating the file and the section when missing. The file is replaced as a
  // whole, so a failure leaves it as it was. Returns false when it could not be written.
  bool WriteString(std::string_view section, std::string_view key, std::string_view value) const;

 private:
  std::filesystem::path path_;
};

}  // namespace qvr
