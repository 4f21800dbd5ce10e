// TIniGT: file naming, fences, typed values, fonts and the errors it raises.
#include "ini/IniGT.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include "support/CaseName.h"

#include "support/TempDir.h"
#include "util/Error.h"

namespace qvr {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

class IniGTTest : public testing::Test {
 protected:
  TIniGT Make(std::string program = "qvr") { return TIniGT({std::move(program), dir_ / "app", dir_ / "etc"}); }
  // A configured component like the controller's: program folder, Ver 1.1 fences.
  TIniGT Configured() {
    TIniGT ini = Make();
    ini.SetDefaultDir(TIniGTDefaultDir::ddApplication);
    ini.SetFence(TIniGTFence::fnVer11Mode);
    ini.Loaded();
    std::filesystem::create_directories(dir_ / "app");
    return ini;
  }
  void Store(const std::string& text) { WriteFile(dir_ / "app" / "Qvr.ini", text); }
  std::string Stored() { return ReadFile(dir_ / "app" / "Qvr.ini"); }

  TempDir dir_;
};

TEST_F(IniGTTest, DefaultFileNameComesFromTheProgramFile) {
  struct {
    const char* program;
    const char* file;
  } cases[] = {{"Q_V_R.EXE", "Q_v_r.ini"}, {"qvr", "Qvr.ini"}, {"QVR.bin", "Qvr.ini"}, {"_x.y.z", "_x.y.ini"}};
  for (const auto& c : cases) {
    TIniGT ini = Make(c.program);
    ini.Loaded();
    EXPECT_EQ(ini.FileName(), c.file);
    EXPECT_EQ(ini.FullPath(), dir_ / "app" / c.file);
  }
}

TEST_F(IniGTTest, FileNameResolvesAgainstTheDefaultDir) {
  TIniGT ini = Make();
  ini.SetFileName("/x/A.INI");
  ini.SetDefaultDir(TIniGTDefaultDir::ddWindows);
  EXPECT_EQ(ini.FullPath(), "/x/A.INI");  // a name with a folder is used as given
  ini.SetFileName("A.INI");
  EXPECT_EQ(ini.FullPath(), dir_ / "etc" / "A.INI");
  ini.SetDefaultDir(TIniGTDefaultDir::ddNone);
  EXPECT_EQ(ini.FullPath(), "A.INI");
  ini.SetDefaultDir(TIniGTDefaultDir::ddApplication);
  EXPECT_EQ(ini.FullPath(), dir_ / "app" / "A.INI");
  ini.Loaded();  // a configured name is kept
  EXPECT_EQ(ini.FileName(), "A.INI");
}

TEST_F(IniGTTest, FencedStringsKeepTheirBlanks) {
  TIniGT ini = Configured();
  ini.WriteFencedString("Other", "Path", " abc ");
  EXPECT_EQ(Stored(), "[Other]\r\nPath=\xA2 abc \xA3\r\n");
  EXPECT_EQ(ini.ReadFencedString("Other", "Path", "d"), " abc ");
}

struct FenceCase {
  const char* name;
  TIniGTFence fence;
  std::string stored;  // value as it stands in the file
  std::string read;
};

class IniGTFence : public IniGTTest, public testing::WithParamInterface<FenceCase> {};

TEST_P(IniGTFence, ReadsStoredValue) {
  TIniGT ini = Configured();
  ini.SetFence(GetParam().fence);
  Store("[S]\r\nK=" + GetParam().stored + "\r\n");
  EXPECT_EQ(ini.ReadFencedString("S", "K", "default"), GetParam().read);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniGTFence,
    testing::Values(FenceCase{"Ver11Corners", TIniGTFence::fnVer11Mode, "\xA2 abc \xA3", " abc "},
                    FenceCase{"Ver11DoubleQuotes", TIniGTFence::fnVer11Mode, "\"abc\"", "abc"},
                    FenceCase{"Ver11Plain", TIniGTFence::fnVer11Mode, "abc", "abc"},
                    FenceCase{"Ver11OnlyFences", TIniGTFence::fnVer11Mode, "\xA2\xA3", ""},
                    FenceCase{"Ver11InnerFencesStay", TIniGTFence::fnVer11Mode, "\xA2\xA2x\xA3\xA3", "\xA2x\xA3"},
                    FenceCase{"Ver11OneCornerStays", TIniGTFence::fnVer11Mode, "\xA2x", "\xA2x"},
                    // A text ending in a double-byte character whose second byte is 0xA3 has no closing fence.
                    FenceCase{"Ver11TrailByteIsNotAFence", TIniGTFence::fnVer11Mode, "\xA2x\x82\xA3", "\xA2x\x82\xA3"},
                    FenceCase{"DoubleQuoteKeepsCorners", TIniGTFence::fnDoubleQuote,
                              "\xA2"
                              "abc\xA3",
                              "\xA2"
                              "abc\xA3"},
                    FenceCase{"ParenthesisCorners", TIniGTFence::fnParenthesis, "\xA2 a\xA3", " a"},
                    FenceCase{"NoneKeepsCorners", TIniGTFence::fnNone, "\xA2 a\xA3", "\xA2 a\xA3"},
                    FenceCase{"EmptyStored", TIniGTFence::fnVer11Mode, "", ""}),
    test::CaseName());

TEST_F(IniGTTest, MissingFencedKeyGivesTheDefaultItself) {
  for (TIniGTFence fence :
       {TIniGTFence::fnDoubleQuote, TIniGTFence::fnParenthesis, TIniGTFence::fnVer11Mode, TIniGTFence::fnNone}) {
    TIniGT ini = Configured();
    ini.SetFence(fence);
    EXPECT_EQ(ini.ReadFencedString("S", "Missing", " d "), " d ");
    ini.WriteFencedString("S", "K", "  x");
    EXPECT_EQ(ini.ReadFencedString("S", "K", ""), fence == TIniGTFence::fnNone ? "x" : "  x");
  }
}

// A file far larger than any settings file is refused like an unreadable one: its values are not
// taken, and a write neither reads nor rewrites it (each would cost its whole size).
TEST_F(IniGTTest, FileBeyondAnySettingsFileIsRefused) {
  TIniGT ini = Configured();
  std::string text = "[Other]\r\nAutoPlay=0\r\n";
  while (text.size() <= kMaxProfileBytes) text += "; " + std::string(1000, 'x') + "\r\n";
  Store(text);
  EXPECT_TRUE(ini.ReadBool("Other", "AutoPlay", true));
  EXPECT_THROW(ini.WriteBool("Other", "AutoPlay", true), Error);
  EXPECT_THROW(ini.BeginUpdate(), Error);
  EXPECT_EQ(Stored(), text);
  // Within the bound it is read as ever.
  Store("[Other]\r\nAutoPlay=0\r\n");
  TIniGT fresh = Configured();
  EXPECT_FALSE(fresh.ReadBool("Other", "AutoPlay", true));
}

TEST_F(IniGTTest, ReadIntegerAndBool) {
  TIniGT ini = Configured();
  Store(
      "[S]\nHex=0x1F\nShort=0x\nJunk=12abc\nNeg=-42\nBig=2147483648\nWrap=0xFFFFFFFF\nEmpty=\nTwo=2\n"
      "Blank=  7\nDollar=$10\n");
  struct {
    const char* key;
    std::int32_t value;
  } cases[] = {{"Hex", 31},   {"Short", -5}, {"Junk", -5}, {"Neg", -42},   {"Big", -5},    {"Wrap", -1},
               {"Empty", -5}, {"Two", 2},    {"Blank", 7}, {"Dollar", 16}, {"Missing", -5}};
  for (const auto& c : cases) EXPECT_EQ(ini.ReadInteger("S", c.key, -5), c.value) << c.key;
  EXPECT_TRUE(ini.ReadBool("S", "Two", false));
  EXPECT_TRUE(ini.ReadBool("S", "Empty", true));
  EXPECT_FALSE(ini.ReadBool("S", "Empty", false));
  ini.WriteInteger("S", "W", -7);
  ini.WriteBool("S", "B", true);
  EXPECT_EQ(ini.ReadString("S", "W", ""), "-7");
  EXPECT_EQ(ini.ReadString("S", "B", ""), "1");
}

TEST_F(IniGTTest, ReadHexTakesEightCharactersFromTheThird) {
  TIniGT ini = Configured();
  Store("[S]\nA=0x0000FF00\nB=255\nC=0x\nD=0xGG\nE=0x8000000F\n");
  EXPECT_EQ(ini.ReadHex("S", "A", 0), 65280);
  EXPECT_EQ(ini.ReadHex("S", "B", 0), 5);
  EXPECT_EQ(ini.ReadHex("S", "E", 0), -2147483633);
  EXPECT_EQ(ini.ReadColor("S", "Missing", 0x00FFFFFF), 0x00FFFFFF);
  try {
    ini.ReadHex("S", "C", 0);
    FAIL() << "no error for 0x";
  } catch (const Error& error) {
    // The message names the file and the key, so that the user can mend it.
    EXPECT_EQ(error.what(), ini.FullPath().string() + " の [S] C: '$' は整数ではありません");
  }
  EXPECT_THROW(ini.ReadHex("S", "D", 0), Error);
  ini.WriteHex("S", "W", -2147483633);
  EXPECT_EQ(ini.ReadString("S", "W", ""), "0x8000000F");
  EXPECT_EQ(ini.ReadHex("S", "W", 0), -2147483633);
}

TEST_F(IniGTTest, FontRoundTripsAsFourKeys) {
  TIniGT ini = Configured();
  TIniFont font{"\x82\x6C\x82\x72 \x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E", 12, fsBold | fsItalic, 0x00FFFFFF};
  ini.WriteFont("Lyrics", "Font", font);
  EXPECT_EQ(Stored(),
            "[Lyrics]\r\nFont.Name=" + font.Name + "\r\nFont.Size=12\r\nFont.Style=3\r\nFont.Color=0x00FFFFFF\r\n");
  TIniFont read{"x", 1, 0, 0};
  ini.SetFence(TIniGTFence::fnNone);
  ini.ReadFont("Lyrics", "Font", read);
  EXPECT_EQ(read, font);
  EXPECT_EQ(ini.Fence(), TIniGTFence::fnNone);  // the fence is restored after the name
}

TEST_F(IniGTTest, FontWithoutKeysOrWithABadColourStaysUnchanged) {
  TIniGT ini = Configured();
  const TIniFont original{"Sans", 9, fsUnderline, static_cast<std::int32_t>(0x8000000F)};
  TIniFont font = original;
  ini.ReadFont("Lyrics", "Font", font);
  EXPECT_EQ(font, original);
  Store("[Lyrics]\nFont.Name=Serif\nFont.Size=20\nFont.Color=0xZZ\n");
  TIniGT damaged = Configured();  // the first has read the file already
  EXPECT_THROW(damaged.ReadFont("Lyrics", "Font", font), Error);
  EXPECT_EQ(font, original);
}

TEST_F(IniGTTest, AnUpdateWritesTheFileOnceAtItsEnd) {
  TIniGT ini = Configured();
  Store("[S]\r\nK=old\r\n");
  ini.BeginUpdate();
  ini.WriteString("S", "K", "new");
  ini.WriteInteger("T", "N", 7);
  EXPECT_EQ(ini.ReadString("S", "K", ""), "new");  // reads see the collected values
  EXPECT_EQ(Stored(), "[S]\r\nK=old\r\n");         // the file is untouched until the end
  EXPECT_THROW(ini.WriteString("S", "K", "two\nlines"), Error);
  ini.EndUpdate();
  EXPECT_EQ(Stored(), "[S]\r\nK=new\r\n[T]\r\nN=7\r\n");
  ini.WriteString("S", "K", "after");  // back to writing through at once
  EXPECT_EQ(ini.ReadString("S", "K", ""), "after");
}

TEST_F(IniGTTest, FailedUpdateWritesNothing) {
  TIniGT ini = Configured();
  Store("[S]\nK=old\n");
  chmod(dir_.Path().c_str(), 0755);
  chmod((dir_ / "app").c_str(), 0555);
  int result = test::RunUnprivileged([&] {
    ini.BeginUpdate();
    ini.WriteString("S", "K", "new");
    try {
      ini.EndUpdate();
      return 1;
    } catch (const Error& error) {
      return std::string(error.what()) == ini.FullPath().string() + " に書き込めません: " + std::strerror(EACCES) ? 0
                                                                                                                  : 2;
    }
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(Stored(), "[S]\nK=old\n");
}

TEST_F(IniGTTest, FailedWriteNamesTheFileAndKeepsItsContents) {
  TIniGT ini = Configured();
  Store("[S]\nK=old\n");
  chmod(dir_.Path().c_str(), 0755);
  chmod((dir_ / "app").c_str(), 0555);
  int result = test::RunUnprivileged([&] {
    try {
      ini.WriteString("S", "K", "new");
      return 1;
    } catch (const Error& error) {
      return std::string(error.what()) == ini.FullPath().string() + " に書き込めません: " + std::strerror(EACCES) ? 0
                                                                                                                  : 2;
    }
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(Stored(), "[S]\nK=old\n");
}

}  // namespace
}  // namespace qvr

namespace qvr {
namespace {

// What start-up reports about the settings file: whatever keeps it from being read or replaced,
// named with the file and the system's reason; nothing for a file (or its absence) that works.
TEST_F(IniGTTest, FileProblemNamesTheFileAndTheReason) {
  const std::filesystem::path file = dir_ / "app" / "Qvr.ini";
  struct Case {
    const char* name;
    std::function<void()> make;
    std::string expected;  // after the path; empty: no problem
  } cases[] = {
      {"missing", [] {}, ""},
      {"writable", [&] { WriteFile(file, "[S]\r\n"); }, ""},
      {"fifo", [&] { ASSERT_EQ(mkfifo(file.c_str(), 0644), 0); }, " を読み込めません: 通常のファイルではありません"},
      {"folder", [&] { std::filesystem::create_directory(file); },
       std::string(" を読み込めません: ") + std::strerror(EISDIR)},
      {"read-only",
       [&] {
         WriteFile(file, "[S]\r\n");
         std::filesystem::permissions(file, std::filesystem::perms::owner_read);
       },
       std::string(" に書き込めません: ") + std::strerror(EACCES)},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(dir_ / "app");
    TIniGT ini = Configured();
    c.make();
    const std::string problem = ini.FileProblem();
    EXPECT_EQ(problem, c.expected.empty() ? "" : file.string() + c.expected) << c.name;
  }
}

// Start-up reads some eighty keys: the file is read at the first of them and kept. A write
// re-reads the file first, so that a line another program added meanwhile is kept, and the
// reads after it see the file as written.
TEST_F(IniGTTest, ReadsTheFileOnceAndWritesKeepOthersLines) {
  TIniGT ini = Configured();
  Store("[S]\r\nA=1\r\n");
  EXPECT_EQ(ini.ReadString("S", "A", ""), "1");
  Store("[S]\r\nA=2\r\nB=other\r\n");  // changed behind the component's back
  EXPECT_EQ(ini.ReadString("S", "A", ""), "1");
  EXPECT_EQ(ini.ReadString("S", "B", "none"), "none");
  ini.WriteString("S", "C", "3");
  EXPECT_EQ(Stored(), "[S]\r\nA=2\r\nB=other\r\nC=3\r\n");
  EXPECT_EQ(ini.ReadString("S", "A", ""), "2");
  EXPECT_EQ(ini.ReadString("S", "B", ""), "other");
  // Another file name is another file.
  std::filesystem::create_directories(dir_ / "etc");
  WriteFile(dir_ / "etc" / "Other.ini", "[S]\r\nA=elsewhere\r\n");
  ini.SetDefaultDir(TIniGTDefaultDir::ddWindows);
  ini.SetFileName("Other.ini");
  EXPECT_EQ(ini.ReadString("S", "A", ""), "elsewhere");
}

}  // namespace
}  // namespace qvr
