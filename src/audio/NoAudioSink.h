// An audio output that cannot be opened, for programs that read discs but never play them
// (qvrdb's probe): the drive needs an output, and this one loads no sound library.
#pragma once

#include "audio/AudioSink.h"
#include "util/Error.h"

namespace qvr {

class NoAudioSink : public AudioSink {
 public:
  void Open() override { throw Error("このプログラムは音を再生しません"); }
  void Close() override {}
  bool IsOpen() const override { return false; }
  void Write(std::span<const std::int16_t> /*samples*/) override {}
  std::size_t QueuedFrames() const override { return 0; }
  void SetPaused(bool /*paused*/) override {}
  void Clear() override {}
  std::uint64_t PlayedFrames() const override { return 0; }
};

}  // namespace qvr
