// The audio output port on SDL2's pull callback: SDL picks the system's sound server (PipeWire,
// PulseAudio, ALSA), or the driver named by SDL_AUDIODRIVER (tests use "disk"). Frames wait in
// a queue of the sink's own, from which SDL's audio thread takes one device buffer at a time.
#pragma once

#include <SDL2/SDL_audio.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "audio/AudioSink.h"

namespace qvr {

class SdlAudioSink : public AudioSink {
 public:
  // Frames in SDL's device buffer: about 46 ms, the period at which SDL's audio thread wakes.
  static constexpr std::uint16_t kBufferFrames = 2048;

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
  void SetRefillMark(std::size_t frames, std::function<void()> wake) override;

 private:
  using Clock = std::chrono::steady_clock;
  static void Take(void* sink, Uint8* stream, int length);
  void TakeFrames(std::int16_t* out, std::size_t frames);
  void AppendLocked(std::span<const std::int16_t> samples);
  void DropQueuedLocked();
  std::uint64_t PlayedLocked() const;

  // Set by Open and Close only (which the caller serializes); read by any thread.
  std::atomic<SDL_AudioDeviceID> device_{0};
  mutable std::mutex mutex_;  // guards all below; SDL's audio thread takes it in Take
  // The queue: a ring of interleaved samples, `queued_` of them from `head_`.
  std::vector<std::int16_t> ring_;
  std::size_t head_ = 0;
  std::size_t queued_ = 0;
  // Frames of sound the device took since opening, and of those, how many in its last buffer
  // and when: that buffer is heard over the buffer's length from then on.
  std::uint64_t taken_ = 0;
  std::uint32_t lastTaken_ = 0;
  Clock::time_point lastTakenAt_;
  std::optional<std::uint64_t> held_;  // the heard position while paused
  std::size_t refillMark_ = 0;
  std::function<void()> wake_;
  bool armed_ = false;
};

}  // namespace qvr
