// Byte layouts of the four record types against records put together by hand, byte by byte,
// from the documented offsets.
#include "cddb/Records.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <string>
#include <vector>

#include "cddb/DatabaseFiles.h"

namespace qvr {
namespace {

// A record built by hand: zeros, with values put at literal offsets.
class HandRecord {
 public:
  explicit HandRecord(std::size_t size) : bytes_(size, '\0') {}
  HandRecord& U8(std::size_t at, std::uint8_t v) {
    bytes_[at] = static_cast<char>(v);
    return *this;
  }
  HandRecord& U32(std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<char>(v >> (8 * i));
    return *this;
  }
  HandRecord& F64(std::size_t at, double v) {
    auto bits = std::bit_cast<std::uint64_t>(v);
    for (int i = 0; i < 8; ++i) bytes_[at + i] = static_cast<char>(bits >> (8 * i));
    return *this;
  }
  HandRecord& Str(std::size_t at, std::string_view text) {
    bytes_[at] = static_cast<char>(text.size());
    std::memcpy(&bytes_[at + 1], text.data(), text.size());
    return *this;
  }
  const std::string& Bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

template <std::size_t N, class Record>
std::string Encoded(const Record& record) {
  std::string out(N, '\x55');  // garbage that the encoder must overwrite with zeros
  EncodeRecord(record, std::span<char, N>(out.data(), N));
  return out;
}

TEST(RecordLayout, MasterRecordMatchesHandBuiltBytes) {
  TMasterRecord record;
  record.Reserved = 0;
  record.DiscKey = "0137EBFA";
  record.TrackCount = 12;
  record.DiscTime = 0x00102A3B;
  record.DiscName = "\x83\x65\x83\x58\x83\x67 Disc";  // テスト Disc
  record.ArtistID = 0x01020304;
  record.SaleDate = 36526.75;
  record.LabelID = 7;
  record.DiscType = 2;
  record.JacketFile = "jackets/a.bmp";
  record.LyricsFile = "lyrics/a.txt";

  HandRecord expected(652);
  expected.U32(0, 0)
      .Str(4, "0137EBFA")
      .U8(13, 12)
      .U32(16, 0x00102A3B)
      .Str(20, "\x83\x65\x83\x58\x83\x67 Disc")
      .U32(120, 0x01020304)
      .F64(124, 36526.75)
      .U32(132, 7)
      .U8(136, 2)
      .Str(137, "jackets/a.bmp")
      .Str(393, "lyrics/a.txt");
  EXPECT_EQ(Encoded<kMasterRecordSize>(record), expected.Bytes());

  TMasterRecord back = DecodeMasterRecord(std::span<const char, 652>(expected.Bytes().data(), 652));
  EXPECT_EQ(back.DiscKey, record.DiscKey);
  EXPECT_EQ(back.TrackCount, 12);
  EXPECT_EQ(back.DiscTime, 0x00102A3Bu);
  EXPECT_EQ(back.DiscName, record.DiscName);
  EXPECT_EQ(back.ArtistID, 0x01020304);
  EXPECT_EQ(back.SaleDate, 36526.75);
  EXPECT_EQ(back.LabelID, 7);
  EXPECT_EQ(back.DiscType, 2);
  EXPECT_EQ(back.JacketFile, record.JacketFile);
  EXPECT_EQ(back.LyricsFile, record.LyricsFile);
}

TEST(RecordLayout, TrackRecordMatchesHandBuiltBytes) {
  TTrackRecord record;
  record.DiscKey = "ABCDEF01";
  record.TrackCount = 99;
  record.DiscTime = 0x00223344;
  record.TrackNo = 98;
  record.StartPos = 0x00010203;
  record.Length = 0x00040506;
  record.TrackName = std::string(96, 'T');
  record.LyricsbyID = 11;
  record.MusicbyID = 0x7FFFFFFF;
  record.ArrangebyID = 13;
  record.GenreID = 255;

  HandRecord expected(144);
  expected.Str(0, "ABCDEF01")
      .U8(9, 99)
      .U32(12, 0x00223344)
      .U8(16, 98)
      .U32(20, 0x00010203)
      .U32(24, 0x00040506)
      .Str(28, std::string(96, 'T'))
      .U32(128, 11)
      .U32(132, 0x7FFFFFFF)
      .U32(136, 13)
      .U8(140, 255);
  EXPECT_EQ(Encoded<kTrackRecordSize>(record), expected.Bytes());

  TTrackRecord back = DecodeTrackRecord(std::span<const char, 144>(expected.Bytes().data(), 144));
  EXPECT_EQ(back.DiscKey, record.DiscKey);
  EXPECT_EQ(back.TrackNo, 98);
  EXPECT_EQ(back.StartPos, 0x00010203u);
  EXPECT_EQ(back.Length, 0x00040506u);
  EXPECT_EQ(back.TrackName, record.TrackName);
  EXPECT_EQ(back.MusicbyID, 0x7FFFFFFF);
  EXPECT_EQ(back.GenreID, 255);
}

TEST(RecordLayout, NameAndGenreRecordsMatchHandBuiltBytes) {
  EXPECT_EQ(Encoded<kNameRecordSize>(TNameRecord{300, "Artist"}), HandRecord(104).U32(0, 300).Str(4, "Artist").Bytes());
  EXPECT_EQ(Encoded<kGenreRecordSize>(TGenreRecord{200, "J-POP"}), HandRecord(18).U8(0, 200).Str(1, "J-POP").Bytes());
  EXPECT_EQ(Encoded<kGenreRecordSize>(TGenreRecord{1, std::string(16, 'g')}),
            HandRecord(18).U8(0, 1).Str(1, std::string(16, 'g')).Bytes());
}

TEST(RecordLayout, HeaderRecordsCarryTheVersionTexts) {
  EXPECT_EQ(Encoded<kMasterRecordSize>(MasterHeader(45000)),
            HandRecord(652).Str(4, "QVR V1.2").U8(13, 99).F64(124, 45000).Bytes());
  EXPECT_EQ(Encoded<kTrackRecordSize>(TrackHeader()), HandRecord(144).Str(0, "QVR V1.2").U8(9, 99).U8(16, 99).Bytes());
  EXPECT_EQ(Encoded<kNameRecordSize>(NameHeader()), HandRecord(104).Str(4, "Q.V.R. Ver.1.2").Bytes());
  EXPECT_EQ(Encoded<kGenreRecordSize>(GenreHeader()), HandRecord(18).Str(1, "Q.V.R. Ver.1.2").Bytes());
}

TEST(RecordLayout, VersionCheckNeedsTheExactLengthAndBytes) {
  struct Case {
    DBFile file;
    std::string record0;
    bool valid;
  };
  const Case cases[] = {
      {DBFile::Master, HandRecord(652).Str(4, "QVR V1.2").Bytes(), true},
      {DBFile::Master, HandRecord(652).Str(4, "QVR V1.3").Bytes(), false},
      {DBFile::Master, HandRecord(652).Str(4, "QVR V1.").Bytes(), false},
      {DBFile::Track, HandRecord(144).Str(0, "QVR V1.2").Bytes(), true},
      {DBFile::Track, HandRecord(144).Str(0, "qvr v1.2").Bytes(), false},
      {DBFile::Artist, HandRecord(104).Str(4, "Q.V.R. Ver.1.2").Bytes(), true},
      {DBFile::Label, HandRecord(104).Str(4, "Q.V.R. Ver.1.1").Bytes(), false},
      {DBFile::Genre, HandRecord(18).Str(1, "Q.V.R. Ver.1.2").Bytes(), true},
      // The right bytes behind a wrong length byte are not the version.
      {DBFile::Genre, HandRecord(18).Str(1, "Q.V.R. Ver.1.2").U8(1, 15).Bytes(), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HasVersion(c.file, c.record0.data()), c.valid)
        << InfoOf(c.file).FileName << " " << c.record0.substr(0, 20);
  }
}

TEST(RecordLayout, DamagedLengthBytesAreClampedToTheFieldCapacity) {
  HandRecord bytes(18);
  bytes.U8(0, 3).Str(1, std::string(16, 'x')).U8(1, 250);  // length 250 in a field of 16
  TGenreRecord genre = DecodeGenreRecord(std::span<const char, 18>(bytes.Bytes().data(), 18));
  EXPECT_EQ(genre.Name.View(), std::string(16, 'x'));

  HandRecord master(652);
  master.Str(393, "lyrics").U8(393, 255);  // the last field's room reaches the record end exactly
  TMasterRecord record = DecodeMasterRecord(std::span<const char, 652>(master.Bytes().data(), 652));
  EXPECT_EQ(record.LyricsFile.Length(), 255u);
}

}  // namespace
}  // namespace qvr
