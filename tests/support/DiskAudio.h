// SDL's disk audio driver for the playback tests: what an SdlAudioSink opened while the object
// lives plays goes into one file, written as fast as it comes (no delay between buffers), and a
// comparison of what was recorded with what should have been, saying where they part.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>

namespace qvr::test {

class DiskAudioOutput {
 public:
  explicit DiskAudioOutput(std::filesystem::path file) : file_(std::move(file)) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file_.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);
  }
  ~DiskAudioOutput() { unsetenv("SDL_AUDIODRIVER"); }
  DiskAudioOutput(const DiskAudioOutput&) = delete;
  DiskAudioOutput& operator=(const DiskAudioOutput&) = delete;

  const std::filesystem::path& File() const { return file_; }

 private:
  std::filesystem::path file_;
};

// Whether `played` is exactly `expected`; says where it differs when it is not.
inline testing::AssertionResult SameBytes(const std::string& played, const std::string& expected) {
  if (played.size() != expected.size()) {
    return testing::AssertionFailure() << "played " << played.size() << " bytes, expected " << expected.size();
  }
  const auto differ = std::mismatch(played.begin(), played.end(), expected.begin());
  if (differ.first != played.end()) {
    return testing::AssertionFailure() << "first difference at byte " << (differ.first - played.begin());
  }
  return testing::AssertionSuccess();
}

}  // namespace qvr::test
