// Conversion between UTF-8 (the program's text) and Shift-JIS as code page 932 (the bytes of
// every stored file), and byte-level helpers that know where a double-byte character starts.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qvr {

// True for a byte that starts a double-byte character in code page 932.
constexpr bool IsSjisLeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// True when every byte of `text` is below 0x80: ASCII, the same bytes in UTF-8 and in code
// page 932, which needs no conversion. Looks at eight bytes at a time.
bool IsAsciiText(std::string_view text);

// Decodes code page 932 bytes. Bytes that are not valid (a lone trail byte, a lead byte without
// its trail, unassigned codes) become U+FFFD each; the conversion never stops or throws.
std::string SjisToUtf8(std::string_view sjis);

struct SjisEncoding {
  std::string bytes;                    // the text in code page 932; each unmappable character as '?'
  std::vector<std::string> unmappable;  // UTF-8 characters (or invalid UTF-8 bytes) with no CP932 form
  bool ok() const { return unmappable.empty(); }
};

// Encodes UTF-8 text as code page 932. Characters that have no CP932 form, and bytes that are not
// valid UTF-8, are listed in `unmappable` and stand as '?' in `bytes`.
SjisEncoding Utf8ToSjis(std::string_view utf8);

// The longest prefix of `sjis` of at most `capacity` bytes that does not end in the middle of a
// double-byte character.
std::string_view SjisPrefix(std::string_view sjis, std::size_t capacity);

// True when byte `index` of `sjis` is the second byte of a double-byte character.
bool IsSjisTrailAt(std::string_view sjis, std::size_t index);

// ASCII case-insensitive equality of two code page 932 texts; bytes of double-byte characters
// are compared exactly.
bool SjisEqualsIgnoreAsciiCase(std::string_view a, std::string_view b);

}  // namespace qvr
