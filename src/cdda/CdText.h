// CD-Text: the disc's own titles, as a drive reads them from the lead-in (packs of 18 bytes), as
// a CDTEXTFILE holds them, or as a cue sheet or cdrdao .toc file writes them out. Texts keep the
// bytes they were written with and say how those bytes are to be read, so that Shift-JIS titles
// reach the records unchanged (code page 932 characters such as ① and ㈱ included).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qvr {

// How the bytes of a text are read.
enum class CdTextCharset : std::uint8_t {
  Latin1,       // ISO 8859-1 (and ASCII, its 7-bit part)
  MsJis,        // Shift-JIS as code page 932: the bytes the records keep
  Utf8,         // cue sheets and .toc files written in UTF-8, and packs written so by mistake
  Windows1252,  // cue sheets written on Windows in a Western code page
};

struct CdTextString {
  std::string Bytes;
  CdTextCharset Charset = CdTextCharset::Latin1;
  bool Empty() const { return Bytes.empty(); }
  friend bool operator==(const CdTextString&, const CdTextString&) = default;
};

// The texts of the disc or of one track.
struct CdTextEntry {
  CdTextString Title, Performer, Songwriter, Composer, Arranger, Genre;
  bool Empty() const;
  friend bool operator==(const CdTextEntry&, const CdTextEntry&) = default;
};

struct CdText {
  CdTextEntry Disc;
  std::vector<CdTextEntry> Tracks;  // Tracks[0] is track 1

  bool Empty() const;
  // The entry of track `number` (1..99), added with the ones before it when missing.
  CdTextEntry& Track(std::size_t number);
  // The entry of track `number`; an empty one when there is none.
  const CdTextEntry& TrackOrEmpty(std::size_t number) const;
  // Fills each empty text from `other` (same disc, another source).
  void FillFrom(const CdText& other);
  friend bool operator==(const CdText&, const CdText&) = default;
};

// Decodes CD-Text packs: a READ TOC/PMA/ATIP reply or a CDTEXTFILE (with or without the 4-byte
// header, with or without a trailing zero byte) or bare packs. Packs whose CRC is wrong are left
// out, and a text that ran through a missing pack is dropped rather than shown cut. When the
// disc has several blocks (languages), a Japanese block comes first, then the first block. A
// block whose character code flag contradicts its bytes is read by what the bytes are.
CdText DecodeCdTextPacks(std::string_view bytes);

// The CRC of a pack's first 16 bytes as the pack stores it (CRC-16/CCITT, inverted).
std::uint16_t CdTextPackCrc(std::string_view first16);

// How to read texts written into a text file (cue sheet, .toc) without a declared code: UTF-8
// when they all are valid UTF-8 (and one is more than ASCII), Shift-JIS when they all are valid
// Shift-JIS with Japanese in it, else the Western Windows code page.
CdTextCharset GuessTextCharset(const std::vector<std::string_view>& texts);

// The English name of a CD-Text genre code ("Rock Music"); empty for codes 0, 1 and unknown ones.
std::string_view CdTextGenreName(std::uint16_t code);

// The CD_TEXT blocks of a cdrdao .toc file: the disc's before the first TRACK, each track's
// after its TRACK line. Strings may use the C escapes cdrdao writes (\" \\ \ooo); binary values
// ({ 0, 20, ... }) are read for GENRE. Of several LANGUAGE blocks the Japanese one comes first.
CdText ReadTocCdText(std::string_view tocText);

}  // namespace qvr
