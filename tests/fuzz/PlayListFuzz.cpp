// Fuzzes the play list reader with arbitrary file bytes. Besides not crashing, a file either
// reads as entries that each name a track of the disc, within the reader's bound, or is refused
// with a message.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "dialogs/PlayListFile.h"
#include "util/Error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr int kTracks = 12;
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  try {
    const auto entries = qvr::ParsePlayList(in, "0A1B2C3D", kTracks);
    if (!entries) return 0;
    if (entries->size() > qvr::kMaxPlayListEntries) std::abort();
    for (const std::string& entry : *entries) {
      const int track = std::stoi(entry);
      if (track < 1 || track > kTracks || std::to_string(track) != entry) std::abort();
    }
  } catch (const qvr::Error& error) {
    if (std::string(error.what()).empty()) std::abort();
  }
  return 0;
}
