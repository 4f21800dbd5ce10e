// Fuzzes the profile-file parser and the settings component's reads with arbitrary file text.
// Besides not crashing, a write must always be read back, whatever the file held before.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "ini/IniGT.h"
#include "ini/ProfileFile.h"
#include "util/Error.h"

namespace {

std::filesystem::path FuzzFolder() {
  static const std::filesystem::path folder = [] {
    auto path = std::filesystem::temp_directory_path() / ("qvr-fuzz-" + std::to_string(getpid()));
    std::filesystem::create_directories(path);
    return path;
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  // Pure parsing, with fixed names and with names taken from the input itself.
  std::string section = size > 4 ? text.substr(0, data[0] % 8) : "Other";
  std::string key = size > 12 ? text.substr(4, data[1] % 8) : "Key";
  qvr::FindProfileValue(text, "Lyrics", "Font.Name");
  qvr::FindProfileValue(text, section, key);
  if (qvr::IsWritableProfileEntry(section, key, "v")) {
    std::string written = qvr::SetProfileValue(text, section, key, "v");
    auto back = qvr::FindProfileValue(written, section, key);
    if (!back || *back != "v") std::abort();
  }

  // The settings component over the same text as a file.
  const auto folder = FuzzFolder();
  {
    std::ofstream out(folder / "Fuzz.ini", std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
  }
  qvr::TIniGT ini({"fuzz", folder, folder});
  ini.SetFence(qvr::TIniGTFence::fnVer11Mode);
  ini.Loaded();
  for (const char* name : {"Key", "Font.Name", "Drive"}) {
    ini.ReadString("Other", name, "d");
    ini.ReadInteger("Other", name, 1);
    ini.ReadBool("Other", name, true);
    ini.ReadFencedString("Other", name, " d ");
    try {
      ini.ReadHex("Other", name, 0);
    } catch (const qvr::Error&) {
    }
  }
  qvr::TIniFont font{"Sans", 9, 0, 0};
  try {
    ini.ReadFont("Lyrics", "Font", font);
  } catch (const qvr::Error&) {
  }
  return 0;
}
