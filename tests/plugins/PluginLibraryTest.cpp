// Plug-in libraries: identification, the pad picture, runs that keep global data, and every
// failure with the text the user is shown.
#include "plugins/PluginLibrary.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace qvr {
namespace {

// The test plug-ins the build made, by kind ("VALID", "THROWS", ...).
std::string Built(const std::string& kind) { return std::string(QVR_TEST_PLUGIN_DIR) + "/" + kind + ".QPI"; }

// A counter exported by a loaded test plug-in.
int Counter(const std::string& path, const char* name) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (library == nullptr) return -1;
  auto counter = reinterpret_cast<int (*)()>(dlsym(library, name));
  int value = counter ? counter() : -1;
  dlclose(library);
  return value;
}

std::string ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Error& error) {
    return error.what();
  }
  return "";
}

TEST(PluginLibrary, IdentifiesAndStaysLoaded) {
  PluginIdentity alpha = QueryPluginLibrary(Built("VALID_IMAGE"));
  EXPECT_TRUE(alpha.IsPlugin);
  EXPECT_EQ(alpha.PluginName, "Alpha");
  EXPECT_EQ(alpha.PluginCaption, "\x83\x41\x83\x8B\x83\x74\x83\x40");
  EXPECT_NE(alpha.PluginModule, nullptr);
  EXPECT_EQ(alpha.PadImage.substr(0, 2), "BM");
  PluginIdentity beta = QueryPluginLibrary(Built("VALID"));
  EXPECT_TRUE(beta.PadImage.empty());  // the program's own picture
  EXPECT_EQ(Counter(Built("VALID"), "QVR_Test_IdCalls"), 1);
}

TEST(PluginLibrary, RunsKeepTheLibrarysGlobalData) {
  const std::string path = Built("VALID");
  QueryPluginLibrary(path);
  int pending = 0;
  RunPluginLibrary(path, [&] { ++pending; });
  RunPluginLibrary(path, [&] { ++pending; });
  EXPECT_EQ(Counter(path, "QVR_Test_ExecCalls"), 2);
  EXPECT_EQ(pending, 2);
  // The run's own reference is gone again: one dlclose leaves the identified library loaded.
  EXPECT_NE(dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
}

TEST(PluginLibrary, DecliningIsNotAnError) {
  PluginIdentity identity = QueryPluginLibrary(Built("DECLINE"));
  EXPECT_FALSE(identity.IsPlugin);
}

TEST(PluginLibrary, FailuresCarryTheTextsTheUserSees) {
  test::TempDir dir;
  const std::string junk = (dir / "Junk.QPI").string();
  test::WriteFile(junk, "not a library");
  EXPECT_EQ(ErrorOf([&] { QueryPluginLibrary(junk); }), "[" + junk + "] をロードできません");
  EXPECT_EQ(ErrorOf([&] { QueryPluginLibrary(Built("NO_ID")); }),
            "[" + Built("NO_ID") + "] はＱＶＲ用のプラグインではありません");
  EXPECT_EQ(dlopen(Built("NO_ID").c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);  // freed again
  EXPECT_EQ(ErrorOf([&] { QueryPluginLibrary(Built("THROWS")); }), "std::runtime_error");

  for (const std::string& path : {junk, Built("NO_ID"), Built("NO_EXEC"), (dir / "Gone.QPI").string()}) {
    EXPECT_EQ(ErrorOf([&] { RunPluginLibrary(path, nullptr); }), "[" + path + "] を実行できません");
  }
  QueryPluginLibrary(Built("EXEC_THROWS"));
  EXPECT_EQ(ErrorOf([&] { RunPluginLibrary(Built("EXEC_THROWS"), nullptr); }), "std::logic_error");
  EXPECT_NE(dlopen(Built("EXEC_THROWS").c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);  // stays loaded
}

TEST(PluginLibrary, TheGuidesExampleIsAPlugin) {
  PluginIdentity hello = QueryPluginLibrary(QVR_EXAMPLE_PLUGIN);
  EXPECT_TRUE(hello.IsPlugin);
  EXPECT_EQ(hello.PluginName, "Hello");
  EXPECT_NO_THROW(RunPluginLibrary(QVR_EXAMPLE_PLUGIN, nullptr));
}

TEST(PluginLibrary, IdentifiersAreComponentNames) {
  for (const char* good : {"Alpha", "_x", "a1_B2"}) EXPECT_TRUE(IsPluginIdentifier(good)) << good;
  for (const char* bad : {"", "9lives", "a b", "a-b", "名前"}) EXPECT_FALSE(IsPluginIdentifier(bad)) << bad;
}

}  // namespace
}  // namespace qvr
