// What every dialog shares: file filter texts, the folders file dialogs open in and remember,
// hint parts, and the byte capacity of edited texts.
#include <gtest/gtest.h>

#include "dialogs/EditText.h"
#include "dialogs/FileDialogs.h"
#include "support/CaseName.h"
#include "support/RecordingFileDialogs.h"
#include "support/TempDir.h"

namespace qvr::test {
namespace {

TEST(FileFilterTest, ReadsDescriptionPatternPairs) {
  const std::vector<FileFilter> filters =
      ParseFileFilters("ビットマップ(*.BMP)|*.BMP|画像|*.png;*.jpg|すべてのファイル(*.*)|*.*");
  ASSERT_EQ(filters.size(), 3u);
  EXPECT_EQ(filters[0], (FileFilter{"ビットマップ(*.BMP)", {"*.BMP"}}));
  EXPECT_EQ(filters[1], (FileFilter{"画像", {"*.png", "*.jpg"}}));
  EXPECT_EQ(filters[2], (FileFilter{"すべてのファイル(*.*)", {"*.*"}}));
  EXPECT_TRUE(ParseFileFilters("dangling").empty());
  EXPECT_TRUE(ParseFileFilters("no pattern|").empty());
}

class FileDialogsTest : public testing::Test {
 protected:
  TempDir dir;
  RecordingFileDialogs port;
  FileDialogs dialogs{port};
};

TEST_F(FileDialogsTest, OpensAtTheCurrentValueThenRemembersEachPurposeApart) {
  std::filesystem::create_directories(dir / "pictures");
  std::filesystem::create_directories(dir / "lyrics");
  const std::string jacket = (dir / "pictures" / "a.png").string();

  // The field holds a file in an existing folder: the dialog opens there with its name.
  port.Answers.push_back(jacket);
  EXPECT_EQ(dialogs.OpenFile("jacket", "open", {}, (dir / "pictures" / "old.png").string()), jacket);
  EXPECT_EQ(port.Requests.back().folder, (dir / "pictures").string());
  EXPECT_EQ(port.Requests.back().file_name, "old.png");
  EXPECT_EQ(port.Requests.back().kind, FileDialogKind::OpenExisting);

  // An empty field: the purpose's last folder; another purpose has none yet.
  dialogs.OpenFile("jacket", "open", {}, "");
  EXPECT_EQ(port.Requests.back().folder, (dir / "pictures").string());
  dialogs.OpenFile("lyrics", "open", {}, "");
  EXPECT_EQ(port.Requests.back().folder, "");

  // A cancelled dialog changes nothing it remembers; a field naming a vanished folder falls back.
  port.Answers.push_back((dir / "lyrics" / "song.lrc").string());
  dialogs.OpenFile("lyrics", "open", {}, "/no/such/folder/x.lrc");
  EXPECT_EQ(port.Requests.back().folder, "");
  EXPECT_EQ(port.Requests.back().file_name, "x.lrc");
  EXPECT_EQ(dialogs.LastFolder("lyrics"), (dir / "lyrics").string());
  EXPECT_EQ(dialogs.LastFolder("jacket"), (dir / "pictures").string());
}

TEST_F(FileDialogsTest, SaveAndFolderRequestsCarryTheirKind) {
  port.Answers.push_back((dir / "list.0137EBFA").string());
  dialogs.SaveFile("playlist", "save", {{"のプレイリスト", {"*.0137EBFA"}}}, "", "0137EBFA");
  EXPECT_EQ(port.Requests.back().kind, FileDialogKind::Save);
  EXPECT_EQ(port.Requests.back().default_suffix, "0137EBFA");
  EXPECT_EQ(dialogs.LastFolder("playlist"), dir.Path().string());

  port.Answers.push_back((dir / "new folder").string());
  dialogs.ChooseFolder("database", "folder", dir.Path().string());
  EXPECT_EQ(port.Requests.back().kind, FileDialogKind::Folder);
  EXPECT_EQ(port.Requests.back().folder, dir.Path().string());
  EXPECT_EQ(dialogs.LastFolder("database"), (dir / "new folder").string());
}

TEST(HintTest, SplitsShortAndLongParts) {
  EXPECT_EQ(ShortHint("|ＣＤ名を入力します"), "");
  EXPECT_EQ(LongHint("|ＣＤ名を入力します"), "ＣＤ名を入力します");
  EXPECT_EQ(ShortHint("再生|再生します"), "再生");
  EXPECT_EQ(LongHint("再生|再生します"), "再生します");
  EXPECT_EQ(ShortHint("停止"), "停止");
  EXPECT_EQ(LongHint("停止"), "停止");
}

struct EditCase {
  const char* name;
  std::string text;
  std::size_t capacity;
  EditCheck::Status status;
  std::size_t bytes;
};

class EditTextTest : public testing::TestWithParam<EditCase> {};

TEST_P(EditTextTest, ChecksShiftJisBytesAgainstTheCapacity) {
  const EditCase& c = GetParam();
  const EditCheck check = CheckEditText(c.text, c.capacity);
  EXPECT_EQ(check.status, c.status);
  EXPECT_EQ(check.bytes, c.bytes);
  EXPECT_EQ(EditRefusalMessage(check, c.capacity).empty(), check.ok());
}

INSTANTIATE_TEST_SUITE_P(
    Fields, EditTextTest,
    testing::Values(EditCase{"Empty", "", 16, EditCheck::Status::Fits, 0},
                    EditCase{"AsciiAtCapacity", std::string(16, 'a'), 16, EditCheck::Status::Fits, 16},
                    EditCase{"AsciiOneOver", std::string(17, 'a'), 16, EditCheck::Status::TooLong, 17},
                    // Eight full-width characters fill 16 bytes; a ninth would need 18.
                    EditCase{"FullWidthAtCapacity", "ロックンロールです", 18, EditCheck::Status::Fits, 18},
                    EditCase{"FullWidthOverByOneByte", "ロックンロールです", 17, EditCheck::Status::TooLong, 18},
                    EditCase{"HalfWidthKanaIsOneByte", "ｱｲｳ", 3, EditCheck::Status::Fits, 3},
                    EditCase{"Cp932Extension", "①㈱", 4, EditCheck::Status::Fits, 4},
                    EditCase{"Emoji", "歌😀", 96, EditCheck::Status::Unencodable, 3}),
    CaseName());

TEST(EditTextTest, NamesTheCharacterItCannotStore) {
  const EditCheck check = CheckEditText("ab😀c", 96);
  EXPECT_EQ(check.offending, "😀");
  EXPECT_NE(EditRefusalMessage(check, 96).find("😀"), std::string::npos);
}

}  // namespace
}  // namespace qvr::test
