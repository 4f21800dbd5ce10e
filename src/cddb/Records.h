// The four record types of the five database files and their exact byte layouts. Records are
// encoded and decoded field by field at fixed offsets (little-endian integers, short strings as
// a length byte and room), never by copying a compiler struct; padding and unused room are
// written as zeros. Each layout is checked at compile time to tile its record size exactly.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "util/ShortString.h"

namespace qvr {

// Days since 1899-12-30 plus the fraction of the day, as the files store dates.
using TDateTime = double;

constexpr std::size_t kMasterRecordSize = 652;
constexpr std::size_t kTrackRecordSize = 144;
constexpr std::size_t kNameRecordSize = 104;
constexpr std::size_t kGenreRecordSize = 18;

// Version texts of record 0: the master and track files carry the first in `DiscKey`, the three
// name files the second in `Name`.
inline constexpr std::string_view kDiscFileVersion = "QVR V1.2";
inline constexpr std::string_view kNameFileVersion = "Q.V.R. Ver.1.2";

// "MasterDB.QVR": one record per registered disc.
struct TMasterRecord {
  std::int32_t Reserved = 0;
  ShortString<8> DiscKey;
  std::uint8_t TrackCount = 0;
  std::uint32_t DiscTime = 0;  // packed MSF
  ShortString<96> DiscName;
  std::int32_t ArtistID = 0;
  TDateTime SaleDate = 0;
  std::int32_t LabelID = 0;
  std::uint8_t DiscType = 0;
  ShortString<255> JacketFile;
  ShortString<255> LyricsFile;
};

// "TrackDB.QVR": one record per registered track.
struct TTrackRecord {
  ShortString<8> DiscKey;
  std::uint8_t TrackCount = 0;
  std::uint32_t DiscTime = 0;  // packed MSF
  std::uint8_t TrackNo = 0;
  std::uint32_t StartPos = 0;  // packed MSF
  std::uint32_t Length = 0;    // packed MSF
  ShortString<96> TrackName;
  std::int32_t LyricsbyID = 0;
  std::int32_t MusicbyID = 0;
  std::int32_t ArrangebyID = 0;
  std::uint8_t GenreID = 0;
};

// "ArtistDB.QVR" and "LabelDB.QVR".
struct TNameRecord {
  std::int32_t ID = 0;
  ShortString<96> Name;
};

// "GenreDB.QVR".
struct TGenreRecord {
  std::uint8_t ID = 0;
  ShortString<16> Name;
};

// A field's place in a record.
struct FieldSpan {
  std::size_t Offset;
  std::size_t Size;
  constexpr std::size_t End() const { return Offset + Size; }
};

// Field offsets of each layout. Padding is listed too, so that the compile-time check can prove
// that the fields tile the record without gap or overlap.
namespace master_layout {
inline constexpr FieldSpan Reserved{0, 4}, DiscKey{4, 9}, TrackCount{13, 1}, Pad1{14, 2}, DiscTime{16, 4},
    DiscName{20, 97}, Pad2{117, 3}, ArtistID{120, 4}, SaleDate{124, 8}, LabelID{132, 4}, DiscType{136, 1},
    JacketFile{137, 256}, LyricsFile{393, 256}, Pad3{649, 3};
}
namespace track_layout {
inline constexpr FieldSpan DiscKey{0, 9}, TrackCount{9, 1}, Pad1{10, 2}, DiscTime{12, 4}, TrackNo{16, 1}, Pad2{17, 3},
    StartPos{20, 4}, Length{24, 4}, TrackName{28, 97}, Pad3{125, 3}, LyricsbyID{128, 4}, MusicbyID{132, 4},
    ArrangebyID{136, 4}, GenreID{140, 1}, Pad4{141, 3};
}
namespace name_layout {
inline constexpr FieldSpan ID{0, 4}, Name{4, 97}, Pad1{101, 3};
}
namespace genre_layout {
inline constexpr FieldSpan ID{0, 1}, Name{1, 17};
}

// Encoding: `out` receives the whole record, padding and unused room as zeros.
void EncodeRecord(const TMasterRecord& record, std::span<char, kMasterRecordSize> out);
void EncodeRecord(const TTrackRecord& record, std::span<char, kTrackRecordSize> out);
void EncodeRecord(const TNameRecord& record, std::span<char, kNameRecordSize> out);
void EncodeRecord(const TGenreRecord& record, std::span<char, kGenreRecordSize> out);

// Decoding ignores padding and unused room. A length byte above a short string's capacity (a
// damaged file) is read as the capacity, so a decoded text never reaches past its field.
TMasterRecord DecodeMasterRecord(std::span<const char, kMasterRecordSize> bytes);
TTrackRecord DecodeTrackRecord(std::span<const char, kTrackRecordSize> bytes);
TNameRecord DecodeNameRecord(std::span<const char, kNameRecordSize> bytes);
TGenreRecord DecodeGenreRecord(std::span<const char, kGenreRecordSize> bytes);

// Cheap reads of single fields straight from record bytes, for scans that compare a few fields
// of every record without decoding it.
inline std::uint32_t ReadUInt32At(const char* bytes, std::size_t offset) {
  const auto* at = reinterpret_cast<const unsigned char*>(bytes + offset);
  return at[0] | (std::uint32_t{at[1]} << 8) | (std::uint32_t{at[2]} << 16) | (std::uint32_t{at[3]} << 24);
}
inline std::int32_t ReadInt32At(const char* bytes, std::size_t offset) {
  return static_cast<std::int32_t>(ReadUInt32At(bytes, offset));
}
inline TDateTime ReadDateAt(const char* bytes, std::size_t offset) {
  return std::bit_cast<TDateTime>(ReadUInt32At(bytes, offset) | std::uint64_t{ReadUInt32At(bytes, offset + 4)} << 32);
}
// The text of a short string field of capacity `capacity` at `offset`, length clamped as above.
std::string_view ShortStringAt(const char* bytes, std::size_t offset, std::size_t capacity);

// The header records (record 0) written when a file is created; `today` is the master header's
// SaleDate.
TMasterRecord MasterHeader(TDateTime today);
TTrackRecord TrackHeader();
TNameRecord NameHeader();
TGenreRecord GenreHeader();

}  // namespace qvr
