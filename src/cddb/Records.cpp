// Field-by-field encoding and decoding of the four record layouts.
#include "cddb/Records.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <initializer_list>
#include <limits>

namespace qvr {
namespace {

// True when `fields`, in order, cover [0, size) without gap or overlap.
constexpr bool Tiles(std::initializer_list<FieldSpan> fields, std::size_t size) {
  std::size_t at = 0;
  for (const FieldSpan& field : fields) {
    if (field.Offset != at || field.Size == 0) return false;
    at = field.End();
  }
  return at == size;
}

namespace m = master_layout;
namespace t = track_layout;
namespace n = name_layout;
namespace g = genre_layout;

static_assert(Tiles({m::Reserved, m::DiscKey, m::TrackCount, m::Pad1, m::DiscTime, m::DiscName, m::Pad2, m::ArtistID,
                     m::SaleDate, m::LabelID, m::DiscType, m::JacketFile, m::LyricsFile, m::Pad3},
                    kMasterRecordSize),
              "TMasterRecord layout must fill exactly 652 bytes");
static_assert(Tiles({t::DiscKey, t::TrackCount, t::Pad1, t::DiscTime, t::TrackNo, t::Pad2, t::StartPos, t::Length,
                     t::TrackName, t::Pad3, t::LyricsbyID, t::MusicbyID, t::ArrangebyID, t::GenreID, t::Pad4},
                    kTrackRecordSize),
              "TTrackRecord layout must fill exactly 144 bytes");
static_assert(Tiles({n::ID, n::Name, n::Pad1}, kNameRecordSize), "TNameRecord layout must fill exactly 104 bytes");
static_assert(Tiles({g::ID, g::Name}, kGenreRecordSize), "TGenreRecord layout must fill exactly 18 bytes");

// Short string fields are one length byte plus their capacity.
static_assert(m::DiscKey.Size == 1 + 8 && m::DiscName.Size == 1 + 96 && m::JacketFile.Size == 1 + 255 &&
              m::LyricsFile.Size == 1 + 255 && t::DiscKey.Size == 1 + 8 && t::TrackName.Size == 1 + 96 &&
              n::Name.Size == 1 + 96 && g::Name.Size == 1 + 16);
static_assert(sizeof(TDateTime) == 8 && std::numeric_limits<TDateTime>::is_iec559);

// Writes fields into a zeroed record buffer.
class FieldWriter {
 public:
  explicit FieldWriter(std::span<char> out) : out_(out) { std::fill(out_.begin(), out_.end(), '\0'); }

  void UInt8(FieldSpan field, std::uint8_t value) { out_[field.Offset] = static_cast<char>(value); }
  void UInt32(FieldSpan field, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) out_[field.Offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  }
  void Int32(FieldSpan field, std::int32_t value) { UInt32(field, static_cast<std::uint32_t>(value)); }
  void Date(FieldSpan field, TDateTime value) {
    auto bits = std::bit_cast<std::uint64_t>(value);
    for (std::size_t i = 0; i < 8; ++i) out_[field.Offset + i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
  }
  template <std::size_t N>
  void Text(FieldSpan field, const ShortString<N>& value) {
    out_[field.Offset] = static_cast<char>(value.Length());
    std::memcpy(&out_[field.Offset + 1], value.View().data(), value.Length());
  }

 private:
  std::span<char> out_;
};

// Reads fields from record bytes.
class FieldReader {
 public:
  explicit FieldReader(std::span<const char> bytes) : bytes_(bytes) {}

  std::uint8_t UInt8(FieldSpan field) const { return static_cast<std::uint8_t>(bytes_[field.Offset]); }
  std::uint32_t UInt32(FieldSpan field) const { return ReadUInt32At(bytes_.data(), field.Offset); }
  std::int32_t Int32(FieldSpan field) const { return ReadInt32At(bytes_.data(), field.Offset); }
  TDateTime Date(FieldSpan field) const {
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < 8; ++i) {
      bits |= std::uint64_t{static_cast<unsigned char>(bytes_[field.Offset + i])} << (8 * i);
    }
    return std::bit_cast<TDateTime>(bits);
  }
  template <std::size_t N>
  ShortString<N> Text(FieldSpan field) const {
    return ShortString<N>(ShortStringAt(bytes_.data(), field.Offset, N));
  }

 private:
  std::span<const char> bytes_;
};

}  // namespace

std::string_view ShortStringAt(const char* bytes, std::size_t offset, std::size_t capacity) {
  std::size_t length = std::min<std::size_t>(static_cast<unsigned char>(bytes[offset]), capacity);
  return {bytes + offset + 1, length};
}

void EncodeRecord(const TMasterRecord& record, std::span<char, kMasterRecordSize> out) {
  FieldWriter w(out);
  w.Int32(m::Reserved, record.Reserved);
  w.Text(m::DiscKey, record.DiscKey);
  w.UInt8(m::TrackCount, record.TrackCount);
  w.UInt32(m::DiscTime, record.DiscTime);
  w.Text(m::DiscName, record.DiscName);
  w.Int32(m::ArtistID, record.ArtistID);
  w.Date(m::SaleDate, record.SaleDate);
  w.Int32(m::LabelID, record.LabelID);
  w.UInt8(m::DiscType, record.DiscType);
  w.Text(m::JacketFile, record.JacketFile);
  w.Text(m::LyricsFile, record.LyricsFile);
}

void EncodeRecord(const TTrackRecord& record, std::span<char, kTrackRecordSize> out) {
  FieldWriter w(out);
  w.Text(t::DiscKey, record.DiscKey);
  w.UInt8(t::TrackCount, record.TrackCount);
  w.UInt32(t::DiscTime, record.DiscTime);
  w.UInt8(t::TrackNo, record.TrackNo);
  w.UInt32(t::StartPos, record.StartPos);
  w.UInt32(t::Length, record.Length);
  w.Text(t::TrackName, record.TrackName);
  w.Int32(t::LyricsbyID, record.LyricsbyID);
  w.Int32(t::MusicbyID, record.MusicbyID);
  w.Int32(t::ArrangebyID, record.ArrangebyID);
  w.UInt8(t::GenreID, record.GenreID);
}

void EncodeRecord(const TNameRecord& record, std::span<char, kNameRecordSize> out) {
  FieldWriter w(out);
  w.Int32(n::ID, record.ID);
  w.Text(n::Name, record.Name);
}

void EncodeRecord(const TGenreRecord& record, std::span<char, kGenreRecordSize> out) {
  FieldWriter w(out);
  w.UInt8(g::ID, record.ID);
  w.Text(g::Name, record.Name);
}

TMasterRecord DecodeMasterRecord(std::span<const char, kMasterRecordSize> bytes) {
  FieldReader r(bytes);
  TMasterRecord record;
  record.Reserved = r.Int32(m::Reserved);
  record.DiscKey = r.Text<8>(m::DiscKey);
  record.TrackCount = r.UInt8(m::TrackCount);
  record.DiscTime = r.UInt32(m::DiscTime);
  record.DiscName = r.Text<96>(m::DiscName);
  record.ArtistID = r.Int32(m::ArtistID);
  record.SaleDate = r.Date(m::SaleDate);
  record.LabelID = r.Int32(m::LabelID);
  record.DiscType = r.UInt8(m::DiscType);
  record.JacketFile = r.Text<255>(m::JacketFile);
  record.LyricsFile = r.Text<255>(m::LyricsFile);
  return record;
}

TTrackRecord DecodeTrackRecord(std::span<const char, kTrackRecordSize> bytes) {
  FieldReader r(bytes);
  TTrackRecord record;
  record.DiscKey = r.Text<8>(t::DiscKey);
  record.TrackCount = r.UInt8(t::TrackCount);
  record.DiscTime = r.UInt32(t::DiscTime);
  record.TrackNo = r.UInt8(t::TrackNo);
  record.StartPos = r.UInt32(t::StartPos);
  record.Length = r.UInt32(t::Length);
  record.TrackName = r.Text<96>(t::TrackName);
  record.LyricsbyID = r.Int32(t::LyricsbyID);
  record.MusicbyID = r.Int32(t::MusicbyID);
  record.ArrangebyID = r.Int32(t::ArrangebyID);
  record.GenreID = r.UInt8(t::GenreID);
  return record;
}

TNameRecord DecodeNameRecord(std::span<const char, kNameRecordSize> bytes) {
  FieldReader r(bytes);
  return {r.Int32(n::ID), r.Text<96>(n::Name)};
}

TGenreRecord DecodeGenreRecord(std::span<const char, kGenreRecordSize> bytes) {
  FieldReader r(bytes);
  return {r.UInt8(g::ID), r.Text<16>(g::Name)};
}

TMasterRecord MasterHeader(TDateTime today) {
  TMasterRecord header;
  header.DiscKey = kDiscFileVersion;
  header.TrackCount = 99;
  header.SaleDate = today;
  return header;
}

TTrackRecord TrackHeader() {
  TTrackRecord header;
  header.DiscKey = kDiscFileVersion;
  header.TrackCount = 99;
  header.TrackNo = 99;
  return header;
}

TNameRecord NameHeader() { return {0, ShortString<96>(kNameFileVersion)}; }
TGenreRecord GenreHeader() { return {0, ShortString<16>(kNameFileVersion)}; }

}  // namespace qvr
