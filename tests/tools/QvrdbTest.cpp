// The qvrdb tool run in-process on real database folders: what each command prints, its exit
// status, the export/import round trip, and bad input.
#include "tools/qvrdb/Qvrdb.h"

#include <gtest/gtest.h>

#include <sstream>

#include "../cddb/DatabaseTestSupport.h"
#include "../metadata/OnlineFixtures.h"
#include "cddb/DatabaseSnapshot.h"
#include "cddb/DateSource.h"
#include "cddb/DiscDatabase.h"
#include "metadata/DiscIds.h"
#include "support/CaseName.h"
#include "support/CdImage.h"
#include "support/LocalHttpServer.h"
#include "support/NrgImage.h"
#include "support/TempDir.h"
#include "util/AtomicFile.h"

namespace qvr {
namespace {

struct ToolRun {
  int status;
  std::string out;
  std::string err;
};

class QvrdbTest : public testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(dir_ / "db");
    db_.DBOpen(dir_ / "db" / "MasterDB.QVR");
  }

  ToolRun Qvrdb(std::vector<std::string> arguments, const std::string& folder = "db") {
    arguments.insert(arguments.begin(), {"--db", (dir_ / folder).string()});
    std::ostringstream out, err;
    TIniGTEnvironment environment{"qvrdb", dir_.Path(), dir_.Path()};
    // The commands of the companion programs run in this process too.
    int status = RunQvrdb(arguments, out, err, environment, OnlineCommands());
    return {status, out.str(), err.str()};
  }

  // Two discs with Japanese texts (stored as Shift-JIS), one of them with a shared artist.
  void StoreSample() {
    TDiscRecord first = test::RegisteredDisc("0137EBFA", 3, PackMSF(48, 12, 30));
    first.DiscName = "\x83\x65\x83\x58\x83\x67\x94\xd5";  // テスト盤
    first.ArtistName = "\x89\xcc\x8e\xe8";                // 歌手
    first.Tracks[2].Lyricsby = "\x89\xcc\x8e\xe8";
    first.SaleDate = 36925.5;  // 2001-02-03 at noon
    db_.DBStore(first);
    db_.DBStore(test::RegisteredDisc("00000002", 1, PackMSF(4, 5, 12)));
  }

  test::TempDir dir_;
  test::FixedDate today_{45292};
  TDiscDatabase db_{today_};
};

TEST_F(QvrdbTest, ListPrintsOneTabSeparatedLinePerDiscInFileOrder) {
  StoreSample();
  ToolRun run = Qvrdb({"list"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(
      run.out,
      "0137EBFA\t3\t48 min 12 s 30 f\tテスト盤\t歌手\n00000002\t1\t4 min 5 s 12 f\tTitle 00000002\tArtist 00000002\n");
}

TEST_F(QvrdbTest, ShowPrintsEveryTextAsTheLookupResolvesIt) {
  StoreSample();
  ToolRun run = Qvrdb({"show", "0137ebfa"});
  EXPECT_EQ(run.status, 0) << run.err;
  const TDiscRecord disc = test::RegisteredDisc("0137EBFA", 3, 0);
  EXPECT_NE(run.out.find("DiscName: テスト盤\nArtistName: 歌手\nSaleDate: 2001-02-03\nLabelName: Label 0137EBFA\n"
                         "DiscType: 3 12cmシングル\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("Track 2: StartPos " + TimeText(disc.Tracks[2].StartPos) + ", Length " +
                         TimeText(disc.Tracks[2].Length) + "\n  TrackName: Track 0137EBFA-2\n  Lyricsby: 歌手\n"),
            std::string::npos)
      << run.out;

  ToolRun missing = Qvrdb({"show", "FFFFFFFF"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "");
  EXPECT_NE(missing.err.find("FFFFFFFF"), std::string::npos);
}

TEST_F(QvrdbTest, ExportImportExportGivesTheSameJson) {
  StoreSample();
  ToolRun exported = Qvrdb({"export"});
  ASSERT_EQ(exported.status, 0) << exported.err;
  EXPECT_NE(exported.out.find("\"DiscName\": \"テスト盤\""), std::string::npos);
  EXPECT_NE(exported.out.find("\"SaleDate\": \"2001-02-03\""), std::string::npos);
  test::WriteFile(dir_ / "backup.json", exported.out);

  std::filesystem::create_directory(dir_ / "restored");
  ToolRun imported = Qvrdb({"import", (dir_ / "backup.json").string()}, "restored");
  ASSERT_EQ(imported.status, 0) << imported.err;
  ToolRun again = Qvrdb({"export"}, "restored");
  EXPECT_EQ(again.status, 0);
  EXPECT_EQ(again.out, exported.out);

  // Importing the same file again overwrites in place.
  const auto size = std::filesystem::file_size(dir_ / "restored" / "MasterDB.QVR");
  EXPECT_EQ(Qvrdb({"import", (dir_ / "backup.json").string()}, "restored").status, 0);
  EXPECT_EQ(std::filesystem::file_size(dir_ / "restored" / "MasterDB.QVR"), size);
}

TEST_F(QvrdbTest, TimesNameTheirUnits) {
  EXPECT_EQ(TimeText(PackMSF(1, 15, 74)), "1 min 15 s 74 f");
  EXPECT_EQ(TimeText(0), "0 min 0 s 0 f");
}

// A date nobody knows: null or missing in the JSON, stored as the unknown value, shown as such,
// exported as null, and healthy for check.
TEST_F(QvrdbTest, AnUnknownSaleDateGoesInAndComesOutAsNull) {
  for (const char* date : {",\"SaleDate\":null", ""}) {
    const std::string json = std::string(
                                 "{\"discs\":[{\"DiscKey\":\"0137EBFA\",\"TrackCount\":0,\"DiscTime\":1,"
                                 "\"DiscName\":\"t\",\"ArtistName\":\"a\",\"LabelName\":\"l\",\"DiscType\":1,"
                                 "\"JacketFile\":\"\",\"LyricsFile\":\"\",\"Tracks\":[]") +
                             date + "}]}";
    test::WriteFile(dir_ / "in.json", json);
    ToolRun imported = Qvrdb({"import", (dir_ / "in.json").string()});
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_TRUE(IsUnknownDate(DatabaseSnapshot::Read(db_.MasterPath()).Masters().at(0).SaleDate));
    EXPECT_NE(Qvrdb({"show", "0137EBFA"}).out.find("SaleDate: 不明\n"), std::string::npos);
    EXPECT_NE(Qvrdb({"export"}).out.find("\"SaleDate\": null,"), std::string::npos);
    EXPECT_EQ(Qvrdb({"check"}).status, 0);
  }
}

TEST_F(QvrdbTest, HelpGoesToStandardOutputWithSuccess) {
  for (const char* option : {"--help", "-h"}) {
    ToolRun run = Qvrdb({option});
    EXPECT_EQ(run.status, 0) << option;
    EXPECT_NE(run.out.find("使い方: qvrdb"), std::string::npos) << option;
    EXPECT_NE(run.out.find("1/75"), std::string::npos) << option;
    EXPECT_EQ(run.err, "") << option;
  }
}

TEST_F(QvrdbTest, ExportDecodesInvalidShiftJisAsReplacementCharacters) {
  TDiscRecord disc = test::RegisteredDisc("0137EBFA", 1, 10);
  disc.DiscName = std::string("A\x81", 2);  // a lead byte without its trail byte
  db_.DBStore(disc);
  ToolRun run = Qvrdb({"export"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("\"DiscName\": \"A\xEF\xBF\xBD\""), std::string::npos) << run.out;
}

TEST_F(QvrdbTest, CheckPassesAHealthyDatabaseAndNamesEachProblem) {
  StoreSample();
  ToolRun healthy = Qvrdb({"check"});
  EXPECT_EQ(healthy.status, 0) << healthy.out;
  EXPECT_NE(healthy.out.find("ディスク 2 枚、トラック 4 曲"), std::string::npos) << healthy.out;

  // Damage: a duplicate master record, a reference to a missing label, a half record at the
  // end of the artist file and a genre file of another version.
  const std::filesystem::path master = dir_ / "db" / "MasterDB.QVR";
  std::string bytes = test::ReadFile(master);
  TMasterRecord duplicate =
      DecodeMasterRecord(std::span<const char, kMasterRecordSize>(bytes.data() + kMasterRecordSize, kMasterRecordSize));
  duplicate.LabelID = 99;
  test::WriteFile(master, bytes + test::EncodedRecord<kMasterRecordSize>(duplicate));
  test::WriteFile(dir_ / "db" / "ArtistDB.QVR", test::ReadFile(dir_ / "db" / "ArtistDB.QVR") + "half");
  std::string genres = test::ReadFile(dir_ / "db" / "GenreDB.QVR");
  genres[2] = 'X';
  test::WriteFile(dir_ / "db" / "GenreDB.QVR", genres);

  ToolRun damaged = Qvrdb({"check"});
  EXPECT_EQ(damaged.status, 1);
  for (const char* expected :
       {"問題: MasterDB.QVR レコード 3: ディスク (0137EBFA, 3 曲, 1969200) はレコード 1 と重複しており",
        "問題: MasterDB.QVR レコード 3: LabelID 99 が LabelDB.QVR にありません",
        "問題: ArtistDB.QVR: 末尾に不完全なレコード (4 バイト)",
        "問題: GenreDB.QVR: ヘッダーのバージョンが \"Q.V.R. Ver.1.2\" ではありません",
        "4 件の問題が見つかりました。"}) {
    EXPECT_NE(damaged.out.find(expected), std::string::npos) << expected << "\n" << damaged.out;
  }
  // Other commands still work and say which file they could not use.
  ToolRun list = Qvrdb({"list"});
  EXPECT_EQ(list.status, 1);
  EXPECT_NE(list.err.find("GenreDB.QVR"), std::string::npos);
}

TEST_F(QvrdbTest, CheckFindsReferencesToMissingNamesAndTracks) {
  StoreSample();
  // Cut the artist file after its first name and drop the last track record.
  test::WriteFile(dir_ / "db" / "ArtistDB.QVR",
                  test::ReadFile(dir_ / "db" / "ArtistDB.QVR").substr(0, 2 * kNameRecordSize));
  std::string tracks = test::ReadFile(dir_ / "db" / "TrackDB.QVR");
  test::WriteFile(dir_ / "db" / "TrackDB.QVR", tracks.substr(0, tracks.size() - kTrackRecordSize));
  ToolRun run = Qvrdb({"check"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("問題: MasterDB.QVR レコード 1: ArtistID "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("問題: TrackDB.QVR レコード 1: MusicbyID 2 が ArtistDB.QVR にありません"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("問題: MasterDB.QVR レコード 2: トラック 1 のレコードが TrackDB.QVR にありません"),
            std::string::npos)
      << run.out;
}

struct BadImport {
  const char* name;
  const char* json;
  const char* message;  // part of the message on stderr
};

class QvrdbBadImportTest : public QvrdbTest, public testing::WithParamInterface<BadImport> {};

TEST_P(QvrdbBadImportTest, IsRefusedWithAClearMessageBeforeAnythingIsStored) {
  test::WriteFile(dir_ / "in.json", GetParam().json);
  ToolRun run = Qvrdb({"import", (dir_ / "in.json").string()});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists(dir_ / "db" / "MasterDB.QVR"));
}

#define DISC(fields)                                                                                         \
  "{\"discs\":[{\"DiscKey\":\"0137EBFA\",\"TrackCount\":0,\"DiscTime\":1,\"DiscName\":\"t\","                \
  "\"ArtistName\":\"a\",\"SaleDate\":\"2001-02-03\",\"LabelName\":\"l\",\"DiscType\":1,\"JacketFile\":\"\"," \
  "\"LyricsFile\":\"\",\"Tracks\":[]" fields "}]}"

INSTANTIATE_TEST_SUITE_P(Cases, QvrdbBadImportTest,
                         testing::Values(BadImport{"NotJson", "{\"discs\": [", "JSON として読めません"},
                                         BadImport{"NoDiscs", "{}", "(ファイル全体).discs: ありません"},
                                         BadImport{"MissingField", "{\"discs\":[{\"DiscKey\":\"0137EBFA\"}]}",
                                                   "discs[0].TrackCount: ありません"},
                                         BadImport{"Unmappable", DISC(",\"DiscName\":\"😀\""),
                                                   "discs[0].DiscName: Shift-JIS で表せない文字があります: 😀"},
                                         BadImport{"TooLong", DISC(",\"DiscKey\":\"0137EBFA0\""),
                                                   "discs[0].DiscKey: Shift-JIS で 9 バイトあり、8 バイトまで"},
                                         BadImport{
                                             "BadDate", DISC(",\"SaleDate\":\"2001-02-30\""),
                                             "discs[0].SaleDate: \"YYYY-MM-DD\" の形の日付か null ではありません"},
                                         BadImport{"NegativeTime", DISC(",\"DiscTime\":-1"),
                                                   "discs[0].DiscTime: 0 から 4294967295 までの整数ではありません"},
                                         BadImport{"TrackCountMismatch", DISC(",\"TrackCount\":2"),
                                                   "discs[0].Tracks: 2 曲分の配列ではありません"}),
                         test::CaseName());

// A file that is no JSON is refused with the line and column (in characters) of the fault,
// found inside a disc as well as between the members of the document and after it.
TEST_F(QvrdbTest, ImportNamesTheLineAndColumnOfAJsonFault) {
  const struct {
    const char* name;
    const char* json;
    const char* place;
  } cases[] = {
      {"InsideADisc", "{\"discs\": [\n {\"DiscKey\": \"A\",\n  \"TrackCount\": 0 \"DiscTime\": 1}\n]}\n",
       "3 行 28 文字目"},
      {"BetweenMembers", "{\"discs\": []\n \"other\": 1}\n", "2 行 2 文字目"},
      {"AfterTheDocument", "{\"discs\": []} x", "1 行 15 文字目"},
      {"AfterWideCharacters", "{\"discs\": [{\"DiscName\": \"日本\", \"x\": tru}]}", "1 行 39 文字目"},
      {"CutShort", "{\"discs\": [\n {\"DiscKey\": \"A\"", "2 行 17 文字目"},
  };
  for (const auto& c : cases) {
    test::WriteFile(dir_ / "in.json", c.json);
    ToolRun run = Qvrdb({"import", (dir_ / "in.json").string()});
    EXPECT_EQ(run.status, 2) << c.name;
    EXPECT_NE(run.err.find("JSON として読めません: " + std::string(c.place)), std::string::npos)
        << c.name << ": " << run.err;
  }
}

// Texts holding quotes, backslashes and brackets, escaped, shifted a byte further in each file:
// every escape falls at every place of the 64-byte blocks the reader scans (an escaped quote
// also as the first byte of a block without backslashes), and each text comes out as written.
TEST_F(QvrdbTest, ImportReadsEscapedQuotesBackslashesAndBracketsWhereverTheyFall) {
  const std::string tricky = "x\"]}\\{[\"\\";  // x"]}\{["\ decoded
  const std::string quoted = "\"" + std::string(70, 'y');
  const auto escaped = [](const std::string& text) {
    std::string json;
    for (char c : text) {
      if (c == '"' || c == '\\') json += '\\';
      json += c;
    }
    return json;
  };
  std::vector<std::string> names;
  for (int shift = 0; shift <= 70; ++shift) {
    names.push_back(std::string(static_cast<std::size_t>(shift), '.') + tricky);
    char key[9];
    std::snprintf(key, sizeof key, "%08X", 0xC0000000u + static_cast<unsigned>(shift));
    const std::string json = std::string("{\"discs\": [{\"DiscKey\":\"") + key +
                             "\",\"TrackCount\":0,\"DiscTime\":1,\"DiscName\":\"" + escaped(names.back()) +
                             "\",\"ArtistName\":\"a\",\"SaleDate\":null,\"LabelName\":\"l\",\"DiscType\":1,"
                             "\"JacketFile\":\"" +
                             escaped(quoted) + "\",\"LyricsFile\":\"\",\"Tracks\":[]}]}";
    test::WriteFile(dir_ / "in.json", json);
    ToolRun run = Qvrdb({"import", (dir_ / "in.json").string()});
    ASSERT_EQ(run.status, 0) << shift << ": " << run.err;
  }
  const auto masters = DatabaseSnapshot::Read(db_.MasterPath()).Masters();
  ASSERT_EQ(masters.size(), names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(masters[i].DiscName.View(), names[i]) << i;
    EXPECT_EQ(masters[i].JacketFile.View(), quoted) << i;
  }
}

// The file is one transaction: a fault after good discs stores none of them and creates no file.
TEST_F(QvrdbTest, ImportRefusedAfterGoodDiscsLeavesNoFile) {
  const std::string good =
      "{\"DiscKey\":\"0137EBFA\",\"TrackCount\":0,\"DiscTime\":1,\"DiscName\":\"t\",\"ArtistName\":\"a\","
      "\"SaleDate\":null,\"LabelName\":\"l\",\"DiscType\":1,\"JacketFile\":\"\",\"LyricsFile\":\"\",\"Tracks\":[]}";
  for (const std::string& bad : {std::string("{\"DiscKey\": 5}"), std::string("{\"DiscKey\": tru}")}) {
    test::WriteFile(dir_ / "in.json", "{\"discs\": [" + good + ", " + good + ", " + bad + "]}");
    ToolRun run = Qvrdb({"import", (dir_ / "in.json").string()});
    EXPECT_EQ(run.status, 2) << bad;
    EXPECT_FALSE(run.err.empty());
    EXPECT_FALSE(std::filesystem::exists(dir_ / "db" / "MasterDB.QVR")) << bad;
    EXPECT_FALSE(std::filesystem::exists(dir_ / "db" / "GenreDB.QVR")) << bad;
  }
}

TEST_F(QvrdbTest, UsageErrorsExitWith2) {
  for (const std::vector<std::string>& arguments : {std::vector<std::string>{},
                                                    {"frobnicate"},
                                                    {"list", "extra"},
                                                    {"show"},
                                                    {"import"},
                                                    {"import", "/no/such.json"},
                                                    {"check", "--memory"},
                                                    {"check", "--memory", "0"},
                                                    {"check", "--memory", "1x"},
                                                    {"check", "--memory", "65537"},
                                                    {"check", "--fast"}}) {
    ToolRun run = Qvrdb(arguments);
    EXPECT_EQ(run.status, 2) << testing::PrintToString(arguments);
    EXPECT_FALSE(run.err.empty());
  }
}

TEST_F(QvrdbTest, DefaultFolderComesFromThePlayersSettings) {
  TIniGTEnvironment environment{"qvrdb", dir_.Path(), dir_.Path()};
  EXPECT_EQ(SettingsMasterPath(environment), (dir_ / "DB" / "MasterDB.QVR").string());
  // The player writes the folder fenced with half-width corner brackets, in Shift-JIS.
  test::WriteFile(dir_ / "Qvr.ini", "[Other]\r\nDataBasePath=\xA2" + (dir_ / "db").string() + "/\xA3\r\n");
  EXPECT_EQ(SettingsMasterPath(environment), (dir_ / "db" / "MasterDB.QVR").string());

  StoreSample();
  std::ostringstream out, err;
  EXPECT_EQ(RunQvrdb(std::vector<std::string>{"list"}, out, err, environment), 0) << err.str();
  EXPECT_NE(out.str().find("テスト盤"), std::string::npos);

  // A folder written by hand without its separator is the same folder.
  test::WriteFile(dir_ / "Qvr.ini", "[Other]\r\nDataBasePath=\xA2" + (dir_ / "db").string() + "\xA3\r\n");
  EXPECT_EQ(SettingsMasterPath(environment), (dir_ / "db" / "MasterDB.QVR").string());
  std::ostringstream again, again_err;
  EXPECT_EQ(RunQvrdb(std::vector<std::string>{"list"}, again, again_err, environment), 0) << again_err.str();
  EXPECT_EQ(again.str(), out.str());
}

TEST_F(QvrdbTest, ReadingCommandsSayTheFolderIsMissingAndImportMakesIt) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"list"}, {"show", "0137EBFA"}, {"export"}, {"check"}}) {
    ToolRun run = Qvrdb(arguments, "no/such/db");
    EXPECT_EQ(run.status, 2) << arguments[0];
    EXPECT_EQ(run.out, "") << arguments[0];
    EXPECT_NE(run.err.find("データベースのフォルダがありません: " + (dir_ / "no/such/db").string()), std::string::npos)
        << arguments[0] << ": " << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(dir_ / "no"));

  StoreSample();
  ToolRun exported = Qvrdb({"export"});
  test::WriteFile(dir_ / "discs.json", exported.out);
  ToolRun imported = Qvrdb({"import", (dir_ / "discs.json").string()}, "no/such/db");
  EXPECT_EQ(imported.status, 0) << imported.err;
  EXPECT_EQ(Qvrdb({"export"}, "no/such/db").out, exported.out);
}

TEST_F(QvrdbTest, ListAndShowEscapeControlCharactersInNames) {
  TDiscRecord disc = test::RegisteredDisc("0000000\x1B", 1, PackMSF(4, 5, 12));
  disc.DiscName =
      "Red\x1B[31m\x07"
      "Bell\x7F";
  disc.Tracks[1].TrackName = "Tab\tAnd\nBreak";
  db_.DBStore(disc);

  ToolRun list = Qvrdb({"list"});
  EXPECT_EQ(list.status, 0) << list.err;
  ToolRun show = Qvrdb({"show", "0000000\x1B"});
  EXPECT_EQ(show.status, 0) << show.err;
  for (const ToolRun* run : {&list, &show}) {
    for (char c : run->out) EXPECT_FALSE((c >= 0 && c < 0x20 && c != '\t' && c != '\n') || c == 0x7F) << int(c);
    EXPECT_NE(run->out.find("0000000\\x1B"), std::string::npos) << run->out;
    EXPECT_NE(run->out.find("Red\\x1B[31m\\x07Bell\\x7F"), std::string::npos) << run->out;
  }
  EXPECT_NE(show.out.find("  TrackName: Tab And Break\n"), std::string::npos) << show.out;
  // C1 controls (here U+009B, the one-character CSI) are escaped too.
  EXPECT_EQ(OneLine("a\xC2\x9B"
                    "2Jb\xC2\xA0"),
            "a\\u009B2Jb\xC2\xA0");
}

}  // namespace
}  // namespace qvr

namespace qvr {
namespace {

// probe reads a generated image through the real device layer; with SDL's dummy output nothing
// is played, only the table of contents is read.
TEST_F(QvrdbTest, ProbeReadsTheDiscAndTellsWhetherItIsRegistered) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  // Twelve tracks at the starts of the well-known test disc: its key is "0137EBFA".
  const std::uint32_t starts[] = {
      MSFToFrames(PackMSF(0, 2, 33)),   MSFToFrames(PackMSF(4, 32, 65)),  MSFToFrames(PackMSF(8, 46, 55)),
      MSFToFrames(PackMSF(13, 1, 13)),  MSFToFrames(PackMSF(18, 10, 3)),  MSFToFrames(PackMSF(23, 30, 70)),
      MSFToFrames(PackMSF(29, 39, 15)), MSFToFrames(PackMSF(34, 24, 33)), MSFToFrames(PackMSF(40, 12, 73)),
      MSFToFrames(PackMSF(43, 22, 53)), MSFToFrames(PackMSF(47, 7, 63)),  MSFToFrames(PackMSF(52, 9, 30))};
  std::vector<test::ImageTrack> tracks;
  for (std::size_t i = 0; i < std::size(starts); ++i) {
    const std::uint32_t end = i + 1 < std::size(starts) ? starts[i + 1] : starts[i] + 3000;
    tracks.push_back({end - starts[i]});
  }
  test::ImageOptions options;
  options.leadingFrames = starts[0] - 150;
  const test::GeneratedImage image = test::WriteImage(dir_.Path(), tracks, options);

  ToolRun unknown = Qvrdb({"probe", "--json", image.cue.string()});
  ASSERT_EQ(unknown.status, 0) << unknown.err;
  EXPECT_EQ(unknown.out.rfind("{\"DiscKey\":\"0137EBFA\",\"TrackCount\":12,\"DiscTime\":", 0), 0u) << unknown.out;
  EXPECT_NE(unknown.out.find("{\"TrackNo\":1,\"StartPos\":" + std::to_string(PackMSF(0, 2, 33)) + ","),
            std::string::npos);
  EXPECT_NE(unknown.out.find("\"Registered\":false}"), std::string::npos);

  StoreSample();  // its first disc has the key 0137EBFA, but another table of contents
  ToolRun text = Qvrdb({"probe", image.cue.string()});
  EXPECT_EQ(text.status, 0) << text.err;
  EXPECT_NE(text.out.find("DiscKey: 0137EBFA\nTrackCount: 12\n"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("Track 1: StartPos " + std::to_string(PackMSF(0, 2, 33)) + " (0 min 2 s 33 f)"),
            std::string::npos);
  EXPECT_NE(text.out.find("Registered: no\n"), std::string::npos);

  ToolRun broken = Qvrdb({"probe", (dir_ / "missing.cue").string()});
  EXPECT_EQ(broken.status, 1);
  EXPECT_NE(broken.err.find("ディスクを読めません"), std::string::npos);
  EXPECT_EQ(Qvrdb({"probe", "a", "b"}).status, 2);

  // A Nero image whose chunk length crashes libcdio's reader is refused, and the tool lives on.
  test::NrgImage damaged = test::MakeNrgImage({20, 30});
  damaged.bytes[damaged.cue_length_at] = '\xFD';
  test::WriteFile(dir_ / "damaged.nrg", damaged.bytes);
  ToolRun nero = Qvrdb({"probe", (dir_ / "damaged.nrg").string()});
  EXPECT_EQ(nero.status, 1);
  EXPECT_NE(nero.err.find("壊れているため読めません"), std::string::npos) << nero.err;
  unsetenv("SDL_AUDIODRIVER");
}

}  // namespace
}  // namespace qvr

namespace qvr {
namespace {

// The demo disc's database entry, written beside it by the build, describes the disc exactly as
// the device layer reads it: imported, the disc is registered.
TEST_F(QvrdbTest, TheDemoDiscsEntryRegistersTheDemoDisc) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  const std::string cue = QVR_DEMO_CUE;
  const std::string json = std::filesystem::path(cue).replace_extension(".json").string();
  EXPECT_NE(Qvrdb({"probe", "--json", cue}).out.find("\"Registered\":false"), std::string::npos);
  ToolRun imported = Qvrdb({"import", json});
  ASSERT_EQ(imported.status, 0) << imported.err;
  ToolRun probe = Qvrdb({"probe", cue});
  EXPECT_NE(probe.out.find("Registered: yes\n"), std::string::npos) << probe.out << probe.err;
  EXPECT_NE(Qvrdb({"show", probe.out.substr(9, 8)}).out.find("TrackName: Morning Arpeggios"), std::string::npos);
  unsetenv("SDL_AUDIODRIVER");
}

// lookup asks the servers of the player's settings (a local server here) about a disc of the
// database or in an image, and prints the proposals as discs of the export format.
TEST_F(QvrdbTest, LookupPrintsProposalsInTheExportForm) {
  test::ReleaseFixture release;
  release.title = "検索された盤";
  release.type = "EP";
  release.tracks = 3;
  test::LocalHttpServer server([&](const test::HttpRequest& request) {
    if (request.Target.starts_with("/ws/2/discid/")) return test::HttpReply{200, test::DiscIdAnswer("any", {release})};
    return test::HttpReply{404, "{}"};
  });
  test::WriteFile(dir_ / "Qvr.ini", "[Other]\r\nMusicBrainzServer=" + server.Url() + "\r\nGnudbServer=\r\n");
  StoreSample();
  ToolRun run = Qvrdb({"lookup", "0137ebfa"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.rfind("{\n  \"discs\": [\n    {\n      \"DiscKey\": \"0137EBFA\",\n      \"TrackCount\": 3,", 0),
            0u)
      << run.out;
  EXPECT_NE(run.out.find("\"DiscName\": \"検索された盤\""), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"DiscType\": 2"), std::string::npos);
  EXPECT_NE(run.out.find("\"TrackName\": \"検索された盤 1\""), std::string::npos);
  EXPECT_NE(run.err.find("MusicBrainz"), std::string::npos) << "the step under way is told";
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_TRUE(server.Requests()[0].UserAgent.starts_with("QVR/"));

  // What it prints can be imported as it stands.
  test::WriteFile(dir_ / "found.json", run.out);
  ASSERT_EQ(Qvrdb({"import", (dir_ / "found.json").string()}).status, 0);
  EXPECT_NE(Qvrdb({"show", "0137EBFA"}).out.find("DiscName: 検索された盤\n"), std::string::npos);

  EXPECT_EQ(Qvrdb({"lookup", "FFFFFFFF"}).status, 1);
  EXPECT_EQ(Qvrdb({"lookup"}).status, 2);
}

// An image of an enhanced CD is looked up by its audio session, as the drive reads it: the data
// track is left out of the MusicBrainz disc ID and counted in the CDDB one.
TEST_F(QvrdbTest, LookupOfAnImageKnowsItsDataTrack) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  const test::GeneratedImage image = test::WriteImage(dir_.Path(), {{75}, {11450}, {75, false}});
  DiscToc all_audio = image.toc;
  all_audio.Tracks.back().Audio = true;
  ASSERT_NE(MusicBrainzDiscId(image.toc), MusicBrainzDiscId(all_audio));
  test::LocalHttpServer server([](const test::HttpRequest& request) {
    if (request.Target.starts_with("/~cddb/")) return test::HttpReply{200, "202 No match\r\n", "text/plain"};
    return test::HttpReply{404, "{}"};
  });
  test::WriteFile(dir_ / "Qvr.ini",
                  "[Other]\r\nMusicBrainzServer=" + server.Url() + "\r\nGnudbServer=" + server.Url() + "\r\n");
  const ToolRun run = Qvrdb({"lookup", image.cue.string()});
  EXPECT_EQ(run.status, 1) << run.err;
  unsetenv("SDL_AUDIODRIVER");
  ASSERT_EQ(server.Requests().size(), 2u);
  EXPECT_TRUE(server.Requests()[0].Target.starts_with("/ws/2/discid/" + MusicBrainzDiscId(image.toc) + "?"))
      << server.Requests()[0].Target;
  EXPECT_NE(server.Requests()[1].Target.find(CddbDiscIdText(image.toc) + "+3+"), std::string::npos)
      << server.Requests()[1].Target;
}

// An image with CD-Text lines proposes them first, ahead of the online sources, and still does
// when no server answers (offline).
TEST_F(QvrdbTest, LookupOfAnImageOffersItsCdTextFirstAndOffline) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  const test::GeneratedImage image = test::WriteImage(dir_.Path(), {{75}, {11450}});
  std::string sheet;
  ASSERT_TRUE(ReadWholeFile(image.cue, sheet));
  test::WriteFile(image.cue, "PERFORMER \"Offline Artist\"\r\nTITLE \"Offline Album\"\r\n" + sheet);
  test::LocalHttpServer server([](const test::HttpRequest&) { return test::HttpReply{503, "{}"}; });
  test::WriteFile(dir_ / "Qvr.ini",
                  "[Other]\r\nMusicBrainzServer=" + server.Url() + "\r\nGnudbServer=" + server.Url() + "\r\n");
  const ToolRun run = Qvrdb({"lookup", image.cue.string()});
  unsetenv("SDL_AUDIODRIVER");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto title = run.out.find("\"DiscName\": \"Offline Album\"");
  EXPECT_NE(title, std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"ArtistName\": \"Offline Artist\""), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("CD-TEXT"), std::string::npos) << run.err;
}

TEST_F(QvrdbTest, LookupTellsWhyNothingWasFound) {
  test::LocalHttpServer server([](const test::HttpRequest& request) {
    if (request.Target.starts_with("/~cddb/")) return test::HttpReply{200, "202 No match\r\n", "text/plain"};
    return test::HttpReply{404, "{}"};
  });
  test::WriteFile(dir_ / "Qvr.ini",
                  "[Other]\r\nMusicBrainzServer=" + server.Url() + "\r\nGnudbServer=" + server.Url() + "\r\n");
  StoreSample();
  ToolRun run = Qvrdb({"lookup", "0137EBFA"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("見つかりませんでした"), std::string::npos) << run.err;
}

// lyrics prints the LRC of the disc's timed lyrics (UTF-8, for reading); --write puts it into the
// "Lyrics" folder beside the database and names it in the record, but replaces a lyrics file the
// record already names only when asked.
TEST_F(QvrdbTest, LyricsPrintsOrWritesTheDiscsLrc) {
  test::LocalHttpServer server([](const test::HttpRequest& request) {
    if (request.Target.starts_with("/api/get?track_name=Track%200137EBFA-2")) {
      return test::HttpReply{200, R"({"id":1,"trackName":"t","artistName":"a","albumName":"b","duration":100,)"
                                  R"("instrumental":false,"plainLyrics":"歌","syncedLyrics":"[00:01.50] 二曲目の歌"})"};
    }
    if (request.Target.starts_with("/api/search?")) return test::HttpReply{200, "[]"};
    return test::HttpReply{404, R"({"code":404,"name":"TrackNotFound","message":"Failed to find specified track"})"};
  });
  test::WriteFile(dir_ / "Qvr.ini", "[Other]\r\nLyricsServer=" + server.Url() + "\r\n");
  StoreSample();
  TDiscRecord without_lyrics = test::RegisteredDisc("0137EBFA", 3, PackMSF(48, 12, 30));
  without_lyrics.LyricsFile = "";
  db_.DBStore(without_lyrics);

  ToolRun run = Qvrdb({"lyrics", "0137EBFA"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "[track:2]\r\n[00:01.50]二曲目の歌\r\n");
  EXPECT_NE(run.err.find("3 曲中 1 曲の時間付き歌詞を取得しました"), std::string::npos) << run.err;
  EXPECT_TRUE(server.Requests().front().UserAgent.starts_with("QVR/"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "db" / "Lyrics")) << "printing writes nothing";

  run = Qvrdb({"lyrics", "0137EBFA", "--write"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::filesystem::path file = dir_ / "db" / "Lyrics" / "0137EBFA.lrc";
  ASSERT_TRUE(std::filesystem::exists(file));
  EXPECT_NE(Qvrdb({"show", "0137EBFA"}).out.find("LyricsFile: " + file.string() + "\n"), std::string::npos);

  // A record naming a file of its own keeps it unless --replace.
  run = Qvrdb({"lyrics", "00000002", "--write"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("--replace"), std::string::npos) << run.err;
  EXPECT_NE(Qvrdb({"show", "00000002"}).out.find("LyricsFile: /lyrics/00000002.txt\n"), std::string::npos);

  // Nothing found: nothing written, the reason told.
  run = Qvrdb({"lyrics", "00000002", "--write", "--replace"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("時間付きの歌詞は見つかりませんでした"), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists(dir_ / "db" / "Lyrics" / "00000002.lrc"));
  EXPECT_EQ(Qvrdb({"lyrics"}).status, 2);
  EXPECT_EQ(Qvrdb({"lyrics", "FFFFFFFF"}).status, 1);
}

}  // namespace
}  // namespace qvr
