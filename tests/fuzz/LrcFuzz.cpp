// Fuzzes the timed lyrics reader with arbitrary file bytes. Besides not crashing, the lines come
// sorted by time and what one file gives stays within the reader's bounds, whatever its shape.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "lyrics/LrcFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto lines = qvr::ParseLrc(std::string_view(reinterpret_cast<const char*>(data), size));
  if (lines.size() > qvr::kMaxLrcLines) std::abort();
  std::size_t text_bytes = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    text_bytes += lines[i].text.size();
    if (i > 0 && lines[i - 1].time > lines[i].time) std::abort();
    if (!qvr::IsValidUtf8(lines[i].text)) std::abort();
  }
  if (text_bytes > qvr::kMaxLrcTextBytes) std::abort();
  return 0;
}
