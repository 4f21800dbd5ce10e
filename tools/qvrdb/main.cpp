// Entry point of the qvrdb tool.
#include <iostream>
#include <string>
#include <vector>

#include "tools/qvrdb/Qvrdb.h"
#include "util/Error.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  try {
    return qvr::RunQvrdb(arguments, std::cout, std::cerr, qvr::TIniGTEnvironment::FromProcess());
  } catch (const qvr::Error& error) {
    std::cerr << "qvrdb: " << error.what() << "\n";
    return qvr::kQvrdbError;
  }
}
