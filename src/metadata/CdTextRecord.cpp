// CD-Text to record bytes and to a proposed disc record.
#include "metadata/CdTextRecord.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <type_traits>
#include <vector>

#include "metadata/RecordText.h"
#include "util/ShiftJis.h"
#include "util/ZLUtils.h"

namespace qvr {
namespace {

// Code points of the Windows Western code page's 0x80..0x9F (0: unassigned).
constexpr std::array<char32_t, 32> kWindows1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// The record bytes of one character: C0 controls become blanks, C1 controls are left out.
std::string SjisOf(char32_t code) {
  if (code < 0x20 || code == 0x7F) return " ";
  if (code >= 0x80 && code < 0xA0) return "";
  return SjisOrNearest(code);
}

// The code points of a text in a single-byte code or UTF-8 (bytes that are not valid UTF-8
// count as ISO 8859-1).
std::vector<char32_t> CodePoints(const CdTextString& text) {
  std::vector<char32_t> codes;
  const std::string& bytes = text.Bytes;
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    const auto byte = static_cast<unsigned char>(bytes[at]);
    if (text.Charset == CdTextCharset::Windows1252 && byte >= 0x80 && byte < 0xA0) {
      codes.push_back(kWindows1252High[byte - 0x80]);
      continue;
    }
    if (text.Charset != CdTextCharset::Utf8 || byte < 0x80) {
      codes.push_back(byte);
      continue;
    }
    const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 0;
    bool valid = length > 0 && at + length <= bytes.size();
    char32_t code = byte & (0x7F >> length);
    for (std::size_t n = 1; valid && n < length; ++n) {
      const auto next = static_cast<unsigned char>(bytes[at + n]);
      valid = (next & 0xC0) == 0x80;
      code = code << 6 | (next & 0x3F);
    }
    if (!valid) {
      codes.push_back(byte);
      continue;
    }
    codes.push_back(code);
    at += length - 1;
  }
  return codes;
}

}  // namespace

std::string CdTextRecordBytes(const CdTextString& text, std::size_t capacity) {
  std::string bytes;
  if (text.Charset == CdTextCharset::MsJis) {
    // The disc's own bytes: the records are Shift-JIS too.
    const std::string& from = text.Bytes;
    for (std::size_t at = 0; at < from.size(); ++at) {
      const auto byte = static_cast<unsigned char>(from[at]);
      if (IsSjisLeadByte(byte) && at + 1 < from.size()) {
        bytes.append(from, at, 2);
        ++at;
      } else {
        bytes.push_back(byte < 0x20 || byte == 0x7F ? ' ' : static_cast<char>(byte));
      }
    }
  } else {
    for (char32_t code : CodePoints(text)) bytes += SjisOf(code);
  }
  return std::string(SjisPrefix(Trim(bytes), capacity));
}

std::optional<TDiscRecord> CdTextProposal(const CdText& text, const TDiscRecord& disc) {
  TDiscRecord proposed;
  proposed.DiscKey = disc.DiscKey;
  proposed.TrackCount = disc.TrackCount;
  proposed.DiscTime = disc.DiscTime;
  proposed.SaleDate = disc.SaleDate;
  proposed.DiscType = 255;
  bool any = false;
  auto set = [&any](auto& field, const CdTextString& from) {
    field.Assign(CdTextRecordBytes(from, std::remove_reference_t<decltype(field)>::kCapacity));
    any = any || !field.Empty();
  };
  set(proposed.DiscName, text.Disc.Title);
  set(proposed.ArtistName, text.Disc.Performer);
  for (std::size_t n = 1; n <= UsedTracks(disc.TrackCount); ++n) {
    TTrackEntry& track = proposed.Tracks[n];
    track.StartPos = disc.Tracks[n].StartPos;
    track.Length = disc.Tracks[n].Length;
    const CdTextEntry& entry = text.TrackOrEmpty(n);
    set(track.TrackName, entry.Title);
    set(track.Lyricsby, entry.Songwriter);
    set(track.Musicby, entry.Composer);
    set(track.Arrangeby, entry.Arranger);
    set(track.Genre, entry.Genre.Empty() ? text.Disc.Genre : entry.Genre);
  }
  if (!any) return std::nullopt;
  return proposed;
}

std::size_t FillEmptyTexts(TDiscRecord& disc, const TDiscRecord& proposed) {
  std::size_t filled = 0;
  auto fill = [&filled](auto& field, const auto& from) {
    if (Trim(field.View()).empty() && !from.Empty()) {
      field = from;
      ++filled;
    }
  };
  fill(disc.DiscName, proposed.DiscName);
  fill(disc.ArtistName, proposed.ArtistName);
  fill(disc.LabelName, proposed.LabelName);
  const std::size_t tracks = std::min(UsedTracks(disc.TrackCount), UsedTracks(proposed.TrackCount));
  for (std::size_t n = 1; n <= tracks; ++n) {
    fill(disc.Tracks[n].TrackName, proposed.Tracks[n].TrackName);
    fill(disc.Tracks[n].Lyricsby, proposed.Tracks[n].Lyricsby);
    fill(disc.Tracks[n].Musicby, proposed.Tracks[n].Musicby);
    fill(disc.Tracks[n].Arrangeby, proposed.Tracks[n].Arrangeby);
    fill(disc.Tracks[n].Genre, proposed.Tracks[n].Genre);
  }
  return filled;
}

}  // namespace qvr
