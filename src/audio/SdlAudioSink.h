// The audio output port on SDL2's queued audio: SDL picks the system's sound server (PipeWire,
// PulseAudio, ALSA), or the driver named by SDL_AUDIODRIVER (tests use "disk").
#pragma once

#include <SDL2/SDL_audio.h>

#include <cstdint>
#include <mutex>

#include "audio/AudioSink.h"

namespace qvr {

class SdlAudioSink : public AudioSink {
 public:
  SdlAudioSink() = default;
  ~SdlAudioSink() override;
  SdlAudioSink(const SdlAudioSink&) = delete;
  SdlAudioSink& operator=(const SdlAudioSink&) = delete;

  void Open() override;
  void Close() override;
  bool IsOpen() const override;
  void Write(std::span<const std::int16_t> samples) override;
  std::size_t QueuedFrames() const override;
  void SetPaused(bool paused) override;
  void Clear() override;
  void Replace(std::span<const std::int16_t> samples) override;
  std::uint64_t PlayedFrames() const override;

 private:
  static constexpr std::uint32_t kBytesPerFrame = kChannels * sizeof(std::int16_t);

  mutable std::mutex mutex_;
  SDL_AudioDeviceID device_ = 0;
  // Frames handed to SDL since opening, less those dropped by Clear.
  std::uint64_t written_ = 0;
  // Frames the device holds in its own buffer after taking them from the queue.
  std::uint32_t deviceBufferFrames_ = 0;
};

}  // namespace qvr
