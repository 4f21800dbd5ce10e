// Plug-in libraries in their host processes: what each kind of library says of itself (or how
// it fails), runs that keep the library's global data, and crashes, hangs and oversized answers
// that cost the player nothing but a message.
#include "plugins/PluginHostSet.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <string>
#include <thread>

#include "support/CaseName.h"
#include "support/TempDir.h"
#include "support/TestPlugins.h"
#include "util/Error.h"

namespace qvr {
namespace {

using namespace std::chrono_literals;
using test::CallsOf;
using test::ChildProcesses;
using test::PluginCalls;

class PluginHostTest : public testing::Test {
 protected:
  PluginHostTest() {
    hosts.limits.identify = 2s;
    hosts.limits.run = 1s;
  }
  std::string Install(const std::string& kind) { return test::InstallTestPlugin(dir.Path(), kind, kind + ".QPI"); }
  PluginRunResult Run(const std::string& path) {
    return hosts.Run(
        path, [this] { ++pending; },
        [this](const std::string& question) {
          questions.push_back(question);
          return true;
        });
  }

  test::TempDir dir;
  PluginHostSet hosts;
  int pending = 0;
  std::vector<std::string> questions;
};

struct IdentifyCase {
  std::string name;
  std::string kind;  // empty: a file that is no library at all
  bool is_plugin;
  std::string problem;  // how the problem line starts, "%s" standing for the path; empty: none
  std::string notice;   // a part of the notice; empty: none
};

void PrintTo(const IdentifyCase& c, std::ostream* out) { *out << c.name; }

class PluginIdentifyTest : public PluginHostTest, public testing::WithParamInterface<IdentifyCase> {};

TEST_P(PluginIdentifyTest, SaysWhatItIsOrWhyItCannotBeUsed) {
  const IdentifyCase& c = GetParam();
  std::string path;
  if (c.kind.empty()) {
    path = (dir / "Junk.QPI").string();
    test::WriteFile(path, "this is no library, only a file with a plug-in's name");
  } else {
    path = Install(c.kind);
  }
  const std::vector<PluginIdentity> results = hosts.Identify({path}, [this] { ++pending; });
  ASSERT_EQ(results.size(), 1u);
  const PluginIdentity& identity = results[0];
  EXPECT_EQ(identity.IsPlugin, c.is_plugin);
  if (c.problem.empty()) {
    EXPECT_EQ(identity.Problem, "");
  } else {
    EXPECT_EQ(identity.Problem.rfind(FormatMessage(c.problem, path), 0), 0u) << identity.Problem;
  }
  EXPECT_EQ(identity.Notice.empty(), c.notice.empty());
  EXPECT_NE(identity.Notice.find(c.notice), std::string::npos) << identity.Notice;
  EXPECT_TRUE(identity.PadImage.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, PluginIdentifyTest,
    testing::Values(IdentifyCase{"Valid", "VALID", true, "", ""}, IdentifyCase{"Declines", "DECLINE", false, "", ""},
                    IdentifyCase{"NotALibrary", "", false, "[%s] をロードできません: ", ""},
                    IdentifyCase{"WithoutIdentify", "NO_ID", false,
                                 "[%s] はＱＶＲ用のプラグインではありません: undefined symbol: QVR_Plugin_ID", ""},
                    IdentifyCase{"Throws", "THROWS", false,
                                 "[%s] の QVR_Plugin_ID で例外が発生しました: std::runtime_error: refused", ""},
                    IdentifyCase{"Crashes", "ID_CRASH", false,
                                 "[%s] は QVR_Plugin_ID の実行中に異常終了しました: SIGSEGV (Segmentation fault)", ""},
                    // A crash in the library's own start-up is told from one in its functions.
                    IdentifyCase{"CrashesWhileLoading", "LOAD_CRASH", false,
                                 "[%s] はロード中に異常終了しました: SIGSEGV (Segmentation fault)", ""},
                    IdentifyCase{"Hangs", "ID_HANG", false,
                                 "[%s] が応答しません: QVR_Plugin_ID が 2 秒たっても終わらないため終了させました", ""},
                    IdentifyCase{"HugeImage", "HUGE_IMAGE", true, "", "のボタン画像は大きすぎるため使いません"},
                    IdentifyCase{"LongName", "LONG_NAME", false, "[%s] のプラグイン名は長すぎます（64 バイトまで）",
                                 ""}),
    test::CaseName());

TEST_F(PluginHostTest, IdentifiesAllAtOnceAndKillsOnlyTheOneThatHangs) {
  const std::string valid = Install("VALID_IMAGE"), hangs = Install("ID_HANG"), caption = Install("LONG_CAPTION");
  const std::vector<PluginIdentity> results = hosts.Identify({valid, hangs, caption}, [this] { ++pending; });
  ASSERT_EQ(results.size(), 3u);
  EXPECT_EQ(results[0].PluginName, "Alpha");
  EXPECT_EQ(results[0].PluginCaption, "\x83\x41\x83\x8B\x83\x74\x83\x40");
  EXPECT_EQ(results[0].PadImage.substr(0, 2), "BM");
  EXPECT_FALSE(results[1].IsPlugin);
  // A caption past its bound is cut before the byte that would split a double-byte character.
  EXPECT_EQ(results[2].PluginCaption.size(), 254u);
  EXPECT_GT(pending, 0) << "pending work runs while the hosts answer";
  EXPECT_EQ(ChildProcesses().size(), 2u) << "the hung host is gone, the others wait for their next call";
  hosts.Keep({valid});
  EXPECT_EQ(ChildProcesses().size(), 1u);
}

TEST_F(PluginHostTest, RunsShareTheHostSoGlobalDataPersists) {
  const std::string path = Install("VALID");
  hosts.Identify({path}, nullptr);
  EXPECT_TRUE(Run(path).ran);
  EXPECT_TRUE(Run(path).ran);
  EXPECT_EQ(CallsOf(path), (PluginCalls{1, 2}));
  hosts.Identify({path}, nullptr);  // a refresh asks the same host again
  EXPECT_EQ(CallsOf(path), (PluginCalls{2, 2}));
  EXPECT_GE(pending, 2);
}

// A host that died between calls (killed while idle) is replaced at the next run by a new one,
// which identifies the library first; the run goes ahead. (A host that dies during a call is
// named: see the Crashes case below.)
TEST_F(PluginHostTest, AHostThatDiedWhileIdleIsReplacedAtTheNextRun) {
  const std::string path = Install("VALID");
  hosts.Identify({path}, nullptr);
  ASSERT_EQ(ChildProcesses().size(), 1u);
  const pid_t host = ChildProcesses()[0];
  kill(host, SIGKILL);
  // Dead before the run asks for it: a zombie until the set reaps it.
  const std::string stat = "/proc/" + std::to_string(host) + "/stat";
  for (int i = 0; i < 500 && test::ReadFile(stat).find(") Z ") == std::string::npos; ++i) {
    std::this_thread::sleep_for(10ms);
  }
  PluginRunResult run = Run(path);
  EXPECT_TRUE(run.ran) << run.problem;
  EXPECT_EQ(CallsOf(path), (PluginCalls{1, 1}));
  EXPECT_EQ(ChildProcesses().size(), 1u);
}

struct RunCase {
  std::string name;
  std::string kind;
  std::string problem;   // the error text, "%s" standing for the path; empty: none
  std::string question;  // what the user was asked, likewise; empty: nothing
  int hosts_after;       // hosts still running
};

void PrintTo(const RunCase& c, std::ostream* out) { *out << c.name; }

class PluginRunTest : public PluginHostTest, public testing::WithParamInterface<RunCase> {};

TEST_P(PluginRunTest, FailuresAreToldAndThePlayerGoesOn) {
  const RunCase& c = GetParam();
  const std::string path = Install(c.kind);
  hosts.Identify({path}, nullptr);
  PluginRunResult result = Run(path);
  EXPECT_FALSE(result.ran);
  EXPECT_EQ(result.problem, FormatMessage(c.problem, path));
  EXPECT_EQ(questions, c.question.empty() ? std::vector<std::string>{}
                                          : std::vector<std::string>{FormatMessage(c.question, path)});
  EXPECT_EQ(ChildProcesses().size(), static_cast<std::size_t>(c.hosts_after));
  // A run that goes on past a slice lets the window's work run meanwhile; one that fails at once
  // may end before the first slice.
  if (!c.question.empty()) {
    EXPECT_GT(pending, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, PluginRunTest,
    testing::Values(
        RunCase{"WithoutExec", "NO_EXEC", "[%s] を実行できません: undefined symbol: QVR_Plugin_Exec", "", 1},
        RunCase{"Throws", "EXEC_THROWS",
                "「EXEC_THROWS」[%s] の QVR_Plugin_Exec で例外が発生しました: std::logic_error: failed", "", 1},
        RunCase{"Crashes", "EXEC_CRASH",
                "「EXEC_CRASH」[%s] は QVR_Plugin_Exec の実行中に異常終了しました: SIGSEGV (Segmentation fault)", "",
                0},
        RunCase{"Hangs", "EXEC_HANG", "",
                "「EXEC_HANG」[%s] が応答しません: QVR_Plugin_Exec が 1 "
                "秒たっても終わりません。\nプラグインを終了させますか？",
                0}),
    test::CaseName());

// A process a plug-in starts lives in its host's process group, and goes when the host goes:
// no plug-in leaves anything running behind the player.
TEST_F(PluginHostTest, WhatAPlugInStartedEndsWithItsHost) {
  const std::string path = Install("EXEC_FORKS");
  const std::string child_file = path + ".child";
  pid_t child = 0;
  {
    PluginHostSet set;
    set.Identify({path}, nullptr);
    ASSERT_TRUE(set.Run(path, nullptr, nullptr).ran);
    for (int i = 0; i < 500 && test::ReadFile(child_file).empty(); ++i) std::this_thread::sleep_for(10ms);
    child = static_cast<pid_t>(std::stol(test::ReadFile(child_file)));
    ASSERT_GT(child, 0);
    ASSERT_EQ(kill(child, 0), 0) << "the plug-in's child runs while its host does";
  }
  // The child is the host's, not the test's: once killed, init reaps it.
  bool gone = false;
  for (int i = 0; i < 500 && !gone; ++i) {
    gone = kill(child, 0) != 0 ||
           test::ReadFile("/proc/" + std::to_string(child) + "/stat").find(") Z ") != std::string::npos;
    if (!gone) std::this_thread::sleep_for(10ms);
  }
  EXPECT_TRUE(gone) << "the plug-in's child " << child << " outlived its host";
  if (!gone) kill(child, SIGKILL);
}

TEST_F(PluginHostTest, WithoutTheHostProgramNothingIsIdentified) {
  PluginHostSet missing(dir / "no-such-host");
  const std::string path = Install("VALID");
  try {
    missing.Identify({path}, nullptr);
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()),
              "プラグインホスト [" + (dir / "no-such-host").string() + "] を起動できません: No such file or directory");
  }
}

TEST_F(PluginHostTest, TheGuidesExampleIsAPlugin) {
  std::filesystem::copy_file(QVR_EXAMPLE_PLUGIN, dir / "Hello.QPI");
  const std::string path = (dir / "Hello.QPI").string();
  const std::vector<PluginIdentity> results = hosts.Identify({path}, nullptr);
  EXPECT_TRUE(results[0].IsPlugin);
  EXPECT_EQ(results[0].PluginName, "Hello");
  EXPECT_TRUE(Run(path).ran);
}

TEST(PluginIdentifier, IsAComponentName) {
  for (const char* good : {"Alpha", "_x", "a1_B2"}) EXPECT_TRUE(IsPluginIdentifier(good)) << good;
  for (const char* bad : {"", "9lives", "a b", "a-b", "名前"}) EXPECT_FALSE(IsPluginIdentifier(bad)) << bad;
}

}  // namespace
}  // namespace qvr
