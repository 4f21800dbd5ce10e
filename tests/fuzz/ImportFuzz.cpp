// Fuzzes `qvrdb import` with arbitrary file text, run as the tool runs (in-process) into a fresh
// database folder. Besides not crashing, an import either stores everything it reports and
// leaves a database that check finds healthy, or fails with a message and a usage status.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/qvrdb/Qvrdb.h"

namespace {

namespace fs = std::filesystem;

fs::path FuzzFolder() {
  static const fs::path folder = [] {
    auto path = fs::temp_directory_path() / ("qvr-import-fuzz-" + std::to_string(getpid()));
    fs::create_directories(path);
    return path;
  }();
  return folder;
}

int Run(std::vector<std::string> arguments, std::string& out, std::string& err) {
  std::ostringstream out_stream, err_stream;
  const qvr::TIniGTEnvironment environment{"qvrdb", FuzzFolder(), FuzzFolder()};
  const int status = qvr::RunQvrdb(arguments, out_stream, err_stream, environment);
  out = out_stream.str();
  err = err_stream.str();
  return status;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fs::path folder = FuzzFolder();
  const fs::path db = folder / "db";
  std::error_code error;
  fs::remove_all(db, error);
  {
    std::ofstream file(folder / "import.json", std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  std::string out, err;
  const int status = Run({"--db", db.string(), "import", (folder / "import.json").string()}, out, err);
  if (status == qvr::kQvrdbOk) {
    std::string check_out, check_err;
    if (Run({"--db", db.string(), "check"}, check_out, check_err) != qvr::kQvrdbOk) std::abort();
  } else if (status != qvr::kQvrdbError || err.empty()) {
    std::abort();
  }
  return 0;
}
