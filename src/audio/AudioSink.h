// The audio output port: one 44.1 kHz, 16-bit, stereo stream that the digital CD player feeds.
// The SDL2 implementation plays it through the system's sound server; tests can record it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace qvr {

class AudioSink {
 public:
  static constexpr int kSampleRate = 44100;
  static constexpr int kChannels = 2;

  virtual ~AudioSink() = default;

  // Opens the output stream (44.1 kHz, signed 16-bit native-endian, interleaved stereo), paused
  // and empty, with the played counter at 0. Does nothing when already open. Any thread, but not
  // concurrently with Close. Throws qvr::Error with a Japanese message carrying the system's
  // reason when no output can be opened.
  virtual void Open() = 0;

  // Stops and closes the stream, dropping what is queued. Nothing happens when it is not open.
  // Any thread, not concurrently with Open or Write.
  virtual void Close() = 0;

  virtual bool IsOpen() const = 0;

  // Appends interleaved sample frames (2 samples each) to the stream; they are heard after what
  // is already queued. Never blocks on the device. Any thread; the stream must be open.
  virtual void Write(std::span<const std::int16_t> samples) = 0;

  // Sample frames written but not yet handed to the device. Any thread; 0 when closed.
  virtual std::size_t QueuedFrames() const = 0;

  // Holds (true) or releases (false) the stream. While held nothing queued is lost or played.
  // Any thread.
  virtual void SetPaused(bool paused) = 0;

  // Drops every queued frame that was not yet played. Any thread.
  virtual void Clear() = 0;

  // Drops every queued frame that was not yet played and appends `samples` in their place, with
  // nothing played in between (no silence when the output was about to run dry). Any thread;
  // the stream must be open.
  virtual void Replace(std::span<const std::int16_t> samples) {
    Clear();
    Write(samples);
  }

  // Sample frames played since the stream was opened, as far as the listener has heard them
  // (dropped frames do not count). Any thread; 0 when closed.
  virtual std::uint64_t PlayedFrames() const = 0;

  // Asks for `wake` to be called once, from the output's own thread and with no lock of the
  // sink held, when the output takes frames and fewer than `frames` stay queued; a Write or
  // Replace, or another call, arms it again. `wake` must not call the sink. The writer can then
  // sleep until the output wants more instead of looking at the queue on a timer. Outputs
  // without a thread of their own never call it (the default).
  // NOLINTNEXTLINE(performance-unnecessary-value-param): by value, as an output keeps `wake`
  virtual void SetRefillMark(std::size_t frames, std::function<void()> wake) {
    (void)frames;
    (void)wake;
  }
};

}  // namespace qvr
