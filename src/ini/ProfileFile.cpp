// INI profile reading and writing over whole-file text.
#include "ini/ProfileFile.h"

#include <vector>

#include "util/AtomicFile.h"
#include "util/ShiftJis.h"

namespace qvr {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Splits text into lines without their LF or CRLF ends; a last line without an end counts.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

// The name of a "[name]" line, or nothing when the line is not a section header.
std::optional<std::string_view> SectionName(std::string_view line) {
  line = TrimBlanks(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  std::size_t close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return TrimBlanks(line.substr(1, close - 1));
}

// The key of a "key=value" line, or nothing when the line is a comment or has no "=".
std::optional<std::string_view> KeyName(std::string_view line) {
  std::string_view trimmed = TrimBlanks(line);
  if (trimmed.empty() || trimmed.front() == ';') return std::nullopt;
  std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  return TrimBlanks(line.substr(0, equals));
}

std::string ValueOf(std::string_view line) {
  std::string_view value = TrimBlanks(line.substr(line.find('=') + 1));
  if (value.size() >= 2 && value.front() == value.back() && (value.front() == '"' || value.front() == '\'')) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(SjisPrefix(value, kProfileValueLimit));
}

// Where a section's lines are: the header line and one past its last non-blank line.
struct SectionSpan {
  std::size_t header = 0;
  std::size_t end = 0;
};

std::optional<SectionSpan> FindSection(const std::vector<std::string_view>& lines, std::string_view section) {
  section = TrimBlanks(section);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    auto name = SectionName(lines[i]);
    if (!name || !SjisEqualsIgnoreAsciiCase(*name, section)) continue;
    SectionSpan span{i, i + 1};
    for (std::size_t j = i + 1; j < lines.size() && !SectionName(lines[j]); ++j) {
      if (!TrimBlanks(lines[j]).empty()) span.end = j + 1;
    }
    return span;
  }
  return std::nullopt;
}

std::optional<std::size_t> FindKey(const std::vector<std::string_view>& lines, SectionSpan span, std::string_view key) {
  key = TrimBlanks(key);
  for (std::size_t i = span.header + 1; i < span.end; ++i) {
    auto name = KeyName(lines[i]);
    if (name && SjisEqualsIgnoreAsciiCase(*name, key)) return i;
  }
  return std::nullopt;
}

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

}  // namespace

std::optional<std::string> FindProfileValue(std::string_view text, std::string_view section, std::string_view key) {
  std::vector<std::string_view> lines = SplitLines(text);
  auto span = FindSection(lines, section);
  if (!span) return std::nullopt;
  auto at = FindKey(lines, *span, key);
  if (!at) return std::nullopt;
  return ValueOf(lines[*at]);
}

bool IsWritableProfileEntry(std::string_view section, std::string_view key, std::string_view value) {
  std::string_view trimmed_key = TrimBlanks(key);
  return !HasLineBreak(section) && !HasLineBreak(key) && !HasLineBreak(value) &&
         section.find(']') == std::string_view::npos && key.find('=') == std::string_view::npos &&
         (trimmed_key.empty() || (trimmed_key.front() != '[' && trimmed_key.front() != ';'));
}

std::string SetProfileValue(std::string_view text, std::string_view section, std::string_view key,
                            std::string_view value) {
  std::vector<std::string_view> lines = SplitLines(text);
  std::string entry = std::string(TrimBlanks(key)) + "=" + std::string(value);
  std::string header = "[" + std::string(TrimBlanks(section)) + "]";
  if (auto span = FindSection(lines, section)) {
    if (auto at = FindKey(lines, *span, key)) {
      lines[*at] = entry;
    } else {
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(span->end), entry);
    }
  } else {
    lines.push_back(header);
    lines.push_back(entry);
  }
  std::string out;
  out.reserve(text.size() + entry.size() + header.size() + 8);
  for (std::string_view line : lines) {
    out += line;
    out += "\r\n";
  }
  return out;
}

std::string ProfileFile::ReadString(std::string_view section, std::string_view key,
                                    std::string_view default_value) const {
  std::string text;
  try {
    if (!ReadWholeFile(path_, text, kMaxProfileBytes)) return std::string(default_value);
  } catch (const Error&) {
    return std::string(default_value);
  }
  return FindProfileValue(text, section, key).value_or(std::string(default_value));
}

bool ProfileFile::WriteString(std::string_view section, std::string_view key, std::string_view value) const {
  if (!IsWritableProfileEntry(section, key, value)) return false;
  try {
    std::string text;
    ReadWholeFile(path_, text, kMaxProfileBytes);
    ReplaceFileContents(path_, SetProfileValue(text, section, key, value));
    return true;
  } catch (const Error&) {
    return false;
  }
}

}  // namespace qvr
