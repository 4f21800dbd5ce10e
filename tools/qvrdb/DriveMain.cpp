// Entry point of qvrdb-drive, the companion of qvrdb that reads the disc in a drive or an image
// for `qvrdb probe`: it writes the disc's key, track count, disc time and track positions to
// standard output as a DiscReport, and tells on standard error why it cannot. It links the device
// layer and nothing of qvrdb's commands, so that it starts quickly while qvrdb reads the
// database.
#include <cstring>
#include <iostream>

#include "app/Version.h"
#include "cdda/DriveLayer.h"
#include "tools/qvrdb/DiscReport.h"
#include "tools/qvrdb/Qvrdb.h"
#include "util/Error.h"

namespace {

void PrintUsage(std::ostream& out) {
  out << "使い方: qvrdb-drive --read DRIVE\n"
         "       qvrdb-drive --help | -h\n"
         "       qvrdb-drive --version | -V\n"
         "  DRIVE (ドライブかイメージ) のディスクを読んで、キー・曲数・時間と各曲の位置を表示します。\n"
         "  qvrdb probe が使う補助プログラムです。\n";
}

}  // namespace

int main(int argc, char** argv) {
  using namespace qvr;
  if (argc == 3 && std::strcmp(argv[1], "--read") == 0) {
    try {
      const std::optional<OpenedDisc> disc = OpenDiscIn(argv[2], std::cerr);
      if (!disc) return kQvrdbProblem;
      std::cout << DiscReport(disc->Record) << std::flush;
      return std::cout ? kQvrdbOk : kQvrdbError;
    } catch (const Error& error) {
      std::cerr << "qvrdb: " << error.what() << "\n";
      return kQvrdbError;
    }
  }
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    PrintUsage(std::cout);
    return kQvrdbOk;
  }
  if (argc == 2 && (std::strcmp(argv[1], "--version") == 0 || std::strcmp(argv[1], "-V") == 0)) {
    std::cout << "qvrdb-drive (" << kProductName << ") " << kVersionNumber << "\n";
    return kQvrdbOk;
  }
  PrintUsage(std::cerr);
  return kQvrdbError;
}
