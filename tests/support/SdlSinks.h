// SDL's real output wrapped for tests and timing programs: every call passes through to an
// SdlAudioSink, and a wrapper adds what it watches around the output's opening and closing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "audio/SdlAudioSink.h"
#include "support/TempDir.h"

namespace qvr::test {

class ForwardingSdlSink : public AudioSink {
 public:
  void Open() override { sink_.Open(); }
  void Close() override { sink_.Close(); }
  bool IsOpen() const override { return sink_.IsOpen(); }
  void Write(std::span<const std::int16_t> samples) override { sink_.Write(samples); }
  std::size_t QueuedFrames() const override { return sink_.QueuedFrames(); }
  void SetPaused(bool paused) override { sink_.SetPaused(paused); }
  void Clear() override { sink_.Clear(); }
  void Replace(std::span<const std::int16_t> samples) override { sink_.Replace(samples); }
  std::uint64_t PlayedFrames() const override { return sink_.PlayedFrames(); }
  void SetRefillMark(std::size_t frames, std::function<void()> wake) override {
    sink_.SetRefillMark(frames, std::move(wake));
  }

 protected:
  SdlAudioSink sink_;
};

// SDL's disk driver starts its file anew at each opening and has written all it played once the
// output is closed, so each closing keeps what the file then holds: one entry per opening.
class RecordedSdlSink : public ForwardingSdlSink {
 public:
  explicit RecordedSdlSink(std::filesystem::path file) : file_(std::move(file)) {}
  void Close() override {
    const bool was_open = sink_.IsOpen();
    sink_.Close();
    if (was_open) {
      openings.push_back(ReadFile(file_));
      Closed();
    }
  }

  std::vector<std::string> openings;  // what each opening of the output played

 protected:
  // Called after each opening was recorded.
  virtual void Closed() {}

 private:
  std::filesystem::path file_;
};

}  // namespace qvr::test
