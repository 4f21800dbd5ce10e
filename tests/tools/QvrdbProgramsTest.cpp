// qvrdb as the user runs it, a process: it loads only what its database commands use, reads
// drives through its drive module and hands the network commands to its companion program.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "../../benchmarks/GeneratedDatabase.h"
#include "support/TempDir.h"

namespace qvr {
namespace {

struct ProcessRun {
  int status = -1;
  std::string out;  // standard output and standard error
};

// Runs `command` through the shell, both output streams captured.
ProcessRun RunShell(const std::string& command) {
  ProcessRun run;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, got);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string Quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

// qvrdb starts without the drive, sound and network libraries; qvrdb-online without the drive
// libraries too (both load the drive module when a command reads a drive).
TEST(QvrdbProgramsTest, TheProgramsLoadNoDriveLibraryUntilADriveIsRead) {
  const std::filesystem::path online = std::filesystem::path(QVR_QVRDB).parent_path() / "qvrdb-online";
  for (const auto& [program, absent] :
       {std::pair{std::filesystem::path(QVR_QVRDB), std::vector<const char*>{"libcdio", "libudev", "libFLAC", "libSDL2",
                                                                             "libcurl", "libdiscid", "libQt6"}},
        std::pair{online, std::vector<const char*>{"libcdio", "libudev", "libFLAC", "libSDL2", "libQt6"}}}) {
    // The dynamic loader lists what it would load instead of running the program.
    const ProcessRun loaded = RunShell("LD_TRACE_LOADED_OBJECTS=1 " + Quoted(program));
    ASSERT_EQ(loaded.status, 0) << loaded.out;
    ASSERT_NE(loaded.out.find("libc.so"), std::string::npos) << loaded.out;
    for (const char* library : absent) {
      EXPECT_EQ(loaded.out.find(library), std::string::npos) << library << " in " << program << "\n" << loaded.out;
    }
  }
}

TEST(QvrdbProgramsTest, ProbeReadsTheDiscThroughTheDriveModule) {
  test::TempDir dir;
  const ProcessRun probe =
      RunShell(Quoted(QVR_QVRDB) + " --db " + Quoted(dir / "db") + " probe --json " + Quoted(QVR_DEMO_CUE));
  EXPECT_EQ(probe.status, 0) << probe.out;
  EXPECT_EQ(probe.out.rfind("{\"DiscKey\":", 0), 0u) << probe.out;
  EXPECT_NE(probe.out.find("\"Registered\":false}"), std::string::npos) << probe.out;
  EXPECT_FALSE(std::filesystem::exists(dir / "db")) << "a probe creates no database";

  const ProcessRun usage = RunShell(Quoted(QVR_QVRDB) + " probe a b");
  EXPECT_EQ(usage.status, 2);
  EXPECT_NE(usage.out.find("使い方: qvrdb [--db DIR] probe"), std::string::npos) << usage.out;
}

// The module loads libFLAC only for a FLAC image, and reads it as the same disc as its cue sheet
// with the raw image.
TEST(QvrdbProgramsTest, TheDriveModuleLoadsTheFlacLibraryOnlyForAFlacImage) {
  test::TempDir dir;
  const std::filesystem::path demo_bin = std::filesystem::path(QVR_DEMO_CUE).replace_extension(".bin");
  const std::filesystem::path flac = dir / "demo.flac";
  ASSERT_EQ(RunShell("flac -s -f --force-raw-format --endian=little --sign=signed --channels=2 --bps=16 "
                     "--sample-rate=44100 --cuesheet=" +
                     Quoted(QVR_DEMO_CUE) + " -o " + Quoted(flac) + " " + Quoted(demo_bin))
                .status,
            0);
  // The dynamic loader tells each library it loads.
  const std::string probe = "LD_DEBUG=files " + Quoted(QVR_QVRDB) + " --db " + Quoted(dir / "db") + " probe --json ";
  const ProcessRun raw = RunShell(probe + Quoted(QVR_DEMO_CUE));
  const ProcessRun encoded = RunShell(probe + Quoted(flac));
  ASSERT_EQ(raw.status, 0) << raw.out;
  ASSERT_EQ(encoded.status, 0) << encoded.out;
  EXPECT_NE(raw.out.find("qvrdb-drive.so"), std::string::npos) << raw.out;
  EXPECT_EQ(raw.out.find("libFLAC"), std::string::npos) << raw.out;
  EXPECT_NE(encoded.out.find("libFLAC"), std::string::npos) << encoded.out;
  auto result = [](const std::string& out) {
    const std::size_t at = out.find("{\"DiscKey\":");
    return at == std::string::npos ? out : out.substr(at, out.find('\n', at) - at);
  };
  EXPECT_EQ(result(encoded.out), result(raw.out));
}

// An installed qvrdb (PREFIX/bin) finds the module in PREFIX/lib/qvr; one without a usable module
// names it, and its database commands still work.
TEST(QvrdbProgramsTest, TheDriveModuleIsFoundWhereTheInstallPutsItAndAMissingOneIsNamed) {
  test::TempDir dir;
  const std::filesystem::path module = std::filesystem::path(QVR_QVRDB).parent_path() / "qvrdb-drive.so";
  std::filesystem::create_directories(dir / "bin");
  std::filesystem::copy_file(QVR_QVRDB, dir / "bin" / "qvrdb");
  const std::string qvrdb = Quoted(dir / "bin" / "qvrdb") + " --db " + Quoted(dir / "db");
  const std::string installed = (dir / "lib" / "qvr" / "qvrdb-drive.so").string();

  const ProcessRun missing = RunShell(qvrdb + " probe " + Quoted(QVR_DEMO_CUE));
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.out, "qvrdb: ドライブとイメージを読むモジュール " + installed + " がありません\n");
  const ProcessRun lookup = RunShell(Quoted(dir / "bin" / "qvrdb") + " lookup " + Quoted(QVR_DEMO_CUE));
  EXPECT_EQ(lookup.status, 2) << lookup.out;  // qvrdb-online is missing as well
  const ProcessRun check = RunShell(Quoted(dir / "bin" / "qvrdb") + " --db " + Quoted(dir.Path()) + " check");
  EXPECT_EQ(check.status, 0) << check.out;

  std::filesystem::create_directories(dir / "lib" / "qvr");
  std::filesystem::copy_file(module, installed);
  const ProcessRun found = RunShell(qvrdb + " probe " + Quoted(QVR_DEMO_CUE));
  EXPECT_EQ(found.status, 0) << found.out;
  EXPECT_NE(found.out.find("Registered: no\n"), std::string::npos) << found.out;

  // One beside the program comes first (a build tree); a file that is no library is refused.
  test::WriteFile(dir / "bin" / "qvrdb-drive.so", "not a library");
  const ProcessRun broken = RunShell(qvrdb + " probe " + Quoted(QVR_DEMO_CUE));
  EXPECT_EQ(broken.status, 2);
  EXPECT_EQ(broken.out.rfind("qvrdb: ドライブとイメージを読むモジュール " + (dir / "bin" / "qvrdb-drive.so").string() +
                                 " を読み込めません: ",
                             0),
            0u)
      << broken.out;
}

TEST(QvrdbProgramsTest, ProbeFindsARegisteredDiscAndPassesOnWhyADiscCannotBeRead) {
  test::TempDir dir;
  const std::string db = " --db " + Quoted(dir / "db");
  const std::string json = std::filesystem::path(QVR_DEMO_CUE).replace_extension(".json").string();
  ASSERT_EQ(RunShell(Quoted(QVR_QVRDB) + db + " import " + Quoted(json)).status, 0);
  const ProcessRun probe = RunShell(Quoted(QVR_QVRDB) + db + " probe " + Quoted(QVR_DEMO_CUE));
  EXPECT_EQ(probe.status, 0) << probe.out;
  EXPECT_NE(probe.out.find("Registered: yes\n"), std::string::npos) << probe.out;

  const ProcessRun missing = RunShell(Quoted(QVR_QVRDB) + db + " probe " + Quoted(dir / "missing.cue"));
  EXPECT_EQ(missing.status, 1) << missing.out;
  EXPECT_EQ(missing.out.rfind("qvrdb: ディスクを読めません", 0), 0u) << missing.out;
}

// check reads a database four times larger than the address space it is given (24 MB): its
// memory does not grow with the database (the sanitizers reserve more address space than any such
// limit). Given less memory than its tables take (--memory 1), it splits them into temporary
// files in $TMPDIR and finds the same; with no such folder it stops and names it.
TEST(QvrdbProgramsTest, CheckReadsADatabaseLargerThanItsMemoryLimit) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "address space limits do not apply under the sanitizers";
#endif
  test::TempDir dir;
  bench::Generate(dir / "db", 40000);  // 480,000 track records, about 95 MB in all
  std::filesystem::create_directory(dir / "tmp");
  const std::string check = Quoted(QVR_QVRDB) + " --db " + Quoted(dir / "db") + " check";
  for (const std::string& command : {"ulimit -v 24000 && " + check, "ulimit -v 24000 && TMPDIR=" + Quoted(dir / "tmp") +
                                                                        " " + check + " --memory 1"}) {
    const ProcessRun run = RunShell(command);
    EXPECT_EQ(run.status, 0) << command << "\n" << run.out;
    EXPECT_EQ(run.out,
              "ディスク 40000 枚、トラック 480000 曲、アーティスト 30000 件、レーベル 50 件、ジャンル 30 件。"
              "問題は見つかりませんでした。\n")
        << command;
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir / "tmp"));

  const ProcessRun nowhere = RunShell("TMPDIR=" + Quoted(dir / "none") + " " + check + " --memory 1");
  EXPECT_EQ(nowhere.status, 2) << nowhere.out;
  EXPECT_NE(nowhere.out.find("一時ファイルを書き込めません (" + (dir / "none").string() + ")"), std::string::npos)
      << nowhere.out;
}

}  // namespace
}  // namespace qvr
