// The command line and the hand-over of a path to the running player over its socket.
#include "platform/CommandLine.h"

#include <gtest/gtest.h>
#include <QCoreApplication>

#include <chrono>
#include <future>
#include <thread>

#include "platform/HandOver.h"
#include "platform/SingleInstance.h"
#include "support/CaseName.h"
#include "support/TempDir.h"

namespace qvr {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using Action = CommandLine::Action;

struct ArgumentsCase {
  const char* name;
  std::vector<std::string> arguments;
  Action action;
  std::string path;
};

class CommandLineTest : public testing::TestWithParam<ArgumentsCase> {};

TEST_P(CommandLineTest, Parses) {
  const CommandLine parsed = ParseCommandLine(GetParam().arguments);
  EXPECT_EQ(parsed.action, GetParam().action);
  EXPECT_EQ(parsed.path, GetParam().path);
  EXPECT_EQ(parsed.error.empty(), GetParam().action != Action::Usage);
}

INSTANTIATE_TEST_SUITE_P(Cases, CommandLineTest,
                         testing::Values(ArgumentsCase{"Nothing", {}, Action::Run, ""},
                                         ArgumentsCase{"Path", {"disc.cue"}, Action::Run, "disc.cue"},
                                         ArgumentsCase{"Help", {"--help"}, Action::Help, ""},
                                         ArgumentsCase{"ShortHelpAfterPath", {"a.cue", "-h"}, Action::Help, "a.cue"},
                                         ArgumentsCase{"Version", {"--version"}, Action::Version, ""},
                                         ArgumentsCase{"ShortVersion", {"-V"}, Action::Version, ""},
                                         ArgumentsCase{"UnknownOption", {"--play"}, Action::Usage, ""},
                                         ArgumentsCase{"TwoPaths", {"a.cue", "b.cue"}, Action::Usage, "a.cue"},
                                         ArgumentsCase{"EmptyPath", {""}, Action::Usage, ""},
                                         ArgumentsCase{
                                             "DashPathAfterEndOfOptions", {"--", "-odd.cue"}, Action::Run, "-odd.cue"},
                                         ArgumentsCase{"LoneDashIsAPath", {"-"}, Action::Run, "-"}),
                         test::CaseName());

TEST(CommandLineTexts, UsageNamesTheOptionsAndVersionTheProgram) {
  EXPECT_NE(UsageText().find("--help"), std::string::npos);
  EXPECT_NE(UsageText().find("--version"), std::string::npos);
  EXPECT_EQ(VersionText().rfind("Quaver CD-DA Player [Q.V.R.] 1.", 0), 0u);
}

TEST(PathToOpen, IsAbsoluteAndARawBinBecomesItsCueSheet) {
  test::TempDir dir;
  test::WriteFile(dir / "disc.cue", "FILE \"disc.bin\" BINARY\n");
  test::WriteFile(dir / "disc.bin", "");
  test::WriteFile(dir / "lonely.bin", "");
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  EXPECT_EQ(PathToOpen("disc.bin"), (dir / "disc.cue").string());
  EXPECT_EQ(PathToOpen("./sub/../disc.cue"), (dir / "disc.cue").string());
  EXPECT_EQ(PathToOpen("lonely.bin"), (dir / "lonely.bin").string());
  EXPECT_EQ(PathToOpen("/dev/sr0"), "/dev/sr0");
  std::filesystem::current_path(previous);
}

// Runs the event loop until `done` or 10 seconds have passed.
template <class Done>
bool SpinUntil(Done done) {
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!done() && std::chrono::steady_clock::now() < deadline) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return done();
}

TEST(HandOver, PathsArriveInOrderAndTheSenderGetsTheReceipt) {
  test::TempDir dir;
  const auto socket = dir / "hZLQVR.socket";
  std::vector<std::string> received;
  HandOverServer server(socket, [&](const std::string& path) {
    received.push_back(path);
    return std::string();
  });
  ASSERT_TRUE(server.Listening());
  const std::string long_path = "/" + std::string(3000, 'x') + "/ディスク.cue";
  for (const std::string& path : {std::string("/images/二枚目.cue"), long_path}) {
    auto sent = std::async(std::launch::async, [&] { return SendHandOver(socket, path, 5s); });
    ASSERT_TRUE(SpinUntil([&] { return sent.wait_for(0s) == std::future_status::ready; }));
    const HandOverAnswer answer = sent.get();
    EXPECT_TRUE(answer.answered);
    EXPECT_EQ(answer.refusal, "");
  }
  EXPECT_EQ(received, (std::vector<std::string>{"/images/二枚目.cue", long_path}));
}

// A path the player cannot use comes back to the sender with the player's reason (a very long
// one cut to the bound), so the second start can say why and end with a failure.
TEST(HandOver, TheSenderHearsWhyThePlayerCannotUseThePath) {
  test::TempDir dir;
  const auto socket = dir / "hZLQVR.socket";
  const std::string long_reason(HandOverServer::kMaxReason + 100, 'r');
  HandOverServer server(socket, [&](const std::string& path) {
    if (path == "/long") return long_reason;
    return path == "/good.cue" ? std::string() : "CDイメージが見つかりません: " + path;
  });
  struct {
    std::string path, refusal;
  } cases[] = {{"/missing.cue", "CDイメージが見つかりません: /missing.cue"},
               {"/good.cue", ""},
               {"/long", long_reason.substr(0, HandOverServer::kMaxReason)}};
  for (const auto& c : cases) {
    auto sent = std::async(std::launch::async, [&] { return SendHandOver(socket, c.path, 5s); });
    ASSERT_TRUE(SpinUntil([&] { return sent.wait_for(0s) == std::future_status::ready; }));
    const HandOverAnswer answer = sent.get();
    EXPECT_TRUE(answer.answered) << c.path;
    EXPECT_EQ(answer.refusal, c.refusal) << c.path;
  }
}

TEST(HandOver, SenderWaitsForAPlayerThatIsStillStarting) {
  test::TempDir dir;
  const auto socket = dir / "hZLQVR.socket";
  // A socket file a crashed player left behind is replaced.
  test::WriteFile(socket, "");
  auto sent = std::async(std::launch::async, [&] { return SendHandOver(socket, "/a.cue", 10s); });
  std::this_thread::sleep_for(300ms);
  std::string received;
  HandOverServer server(socket, [&](const std::string& path) {
    received = path;
    return std::string();
  });
  ASSERT_TRUE(SpinUntil([&] { return sent.wait_for(0s) == std::future_status::ready; }));
  EXPECT_TRUE(sent.get().answered);
  EXPECT_EQ(received, "/a.cue");
}

TEST(HandOver, NoPlayerListeningFailsAfterTheWait) {
  test::TempDir dir;
  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(SendHandOver(dir / "nobody.socket", "/a.cue", 300ms).answered);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 3s);
  EXPECT_FALSE(SendHandOver(dir / "nobody.socket", std::string(HandOverServer::kMaxPath + 1, 'x'), 300ms).answered);
}

TEST(HandOver, TheSocketLivesBesideTheLock) {
  test::TempDir dir;
  fs::create_directory_symlink(dir.Path(), dir / "planted");
  SingleInstance guard("hZLQVR", std::vector<fs::path>{dir / "planted", dir / "run"});
  EXPECT_EQ(guard.HandOverSocket(), dir / "run" / "hZLQVR.socket");
}

}  // namespace
}  // namespace qvr
