// SDL2 audio output through a pull callback. SDL's audio thread calls Take once per device
// buffer; Take copies from the sink's queue under the sink's mutex, so that Clear and Replace
// are atomic against it without locking SDL's device, and tells the writer when the queue ran
// below its refill mark. The heard position is what the device took before its last buffer plus
// the part of that buffer its length in time has played since.
//
// Locks: SDL holds its device lock around Take, and Take takes the sink's mutex; so SDL calls
// that take the device lock (pause, close) are made without the sink's mutex. The caller
// serializes Open, Close, SetPaused and the writes (the player does, under its own lock).
#include "audio/SdlAudioSink.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "util/Error.h"

namespace qvr {

namespace {
constexpr char kOpenFailed[] = "音声出力を開けません: %s";
constexpr std::size_t kChannelCount = AudioSink::kChannels;

// SDL keeps state of its own (its error text) for each thread that calls it. A thread SDL did
// not start frees that state itself before it ends; the program's threads that open the output
// (the start ahead of the windows) end long before the program does.
struct SdlThreadState {
  SdlThreadState() = default;
  SdlThreadState(const SdlThreadState&) = delete;
  SdlThreadState& operator=(const SdlThreadState&) = delete;
  ~SdlThreadState() { SDL_TLSCleanup(); }
};

// SDL's audio alone, counted over the program's sinks: SDL_InitSubSystem would also start SDL's
// event subsystem and connect to the session and the system D-Bus (for thread priorities and
// screen savers this program does not ask SDL for), 2 to 15 ms on the way to the first sample.
// SDL_AudioInit must not run while the audio is up (it would close every device first).
std::mutex audio_mutex;
int audio_users = 0;

bool AudioUp() {
  std::lock_guard lock(audio_mutex);
  if (audio_users == 0 && SDL_AudioInit(nullptr) != 0) return false;
  ++audio_users;
  return true;
}

void AudioDown() {
  std::lock_guard lock(audio_mutex);
  if (--audio_users == 0) SDL_AudioQuit();
}
}  // namespace

SdlAudioSink::~SdlAudioSink() { Close(); }

void SdlAudioSink::Open() {
  if (device_ != 0) return;
  // The program answers its signals itself: SDL's event subsystem, should anything start it,
  // would otherwise take SIGINT and SIGTERM for an event no one reads.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  static thread_local SdlThreadState thread_state;
  if (!AudioUp()) throw Error(FormatMessage(kOpenFailed, SDL_GetError()));
  {
    std::lock_guard lock(mutex_);
    head_ = queued_ = 0;
    taken_ = 0;
    lastTaken_ = 0;
    held_.reset();
  }
  SDL_AudioSpec wanted{};
  wanted.freq = kSampleRate;
  wanted.format = AUDIO_S16SYS;
  wanted.channels = kChannels;
  wanted.samples = kBufferFrames;
  wanted.callback = &SdlAudioSink::Take;
  wanted.userdata = this;
  SDL_AudioSpec obtained{};
  // Opened paused: Take is not called before SetPaused(false).
  SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
  if (device == 0) {
    std::string reason = SDL_GetError();
    AudioDown();
    throw Error(FormatMessage(kOpenFailed, reason.empty() ? "不明なエラー" : reason));
  }
  device_ = device;
}

void SdlAudioSink::Close() {
  const SDL_AudioDeviceID device = device_.exchange(0);
  if (device == 0) return;
  SDL_CloseAudioDevice(device);  // waits for SDL's audio thread to end
  AudioDown();
  std::lock_guard lock(mutex_);
  head_ = queued_ = 0;
  taken_ = 0;
  lastTaken_ = 0;
  held_.reset();
  wake_ = nullptr;
  armed_ = false;
}

bool SdlAudioSink::IsOpen() const { return device_ != 0; }

void SdlAudioSink::AppendLocked(std::span<const std::int16_t> samples) {
  const std::size_t needed = queued_ + samples.size();
  if (needed > ring_.size()) {
    // Grows (rarely: the player keeps a bounded amount queued), keeping the queue in order.
    std::vector<std::int16_t> grown(std::max(needed, ring_.size() * 2));
    for (std::size_t n = 0; n < queued_; ++n) grown[n] = ring_[(head_ + n) % ring_.size()];
    ring_ = std::move(grown);
    head_ = 0;
  }
  std::size_t tail = (head_ + queued_) % ring_.size();
  const std::size_t first = std::min(samples.size(), ring_.size() - tail);
  std::memcpy(ring_.data() + tail, samples.data(), first * sizeof(std::int16_t));
  std::memcpy(ring_.data(), samples.data() + first, (samples.size() - first) * sizeof(std::int16_t));
  queued_ += samples.size();
  armed_ = wake_ != nullptr;
}

void SdlAudioSink::DropQueuedLocked() {
  head_ = 0;
  queued_ = 0;
}

void SdlAudioSink::Write(std::span<const std::int16_t> samples) {
  if (device_ == 0 || samples.empty()) return;
  std::lock_guard lock(mutex_);
  AppendLocked(samples.first(samples.size() / kChannelCount * kChannelCount));
}

std::size_t SdlAudioSink::QueuedFrames() const {
  if (device_ == 0) return 0;
  std::lock_guard lock(mutex_);
  return queued_ / kChannelCount;
}

void SdlAudioSink::SetPaused(bool paused) {
  const SDL_AudioDeviceID device = device_;
  if (device == 0) return;
  if (!paused) {
    std::lock_guard lock(mutex_);
    held_.reset();
  }
  SDL_PauseAudioDevice(device, paused ? 1 : 0);  // returns once Take is not running
  if (paused) {
    // The heard position stays where the pause found it; on resuming it goes on from the frames
    // the device took last.
    std::lock_guard lock(mutex_);
    if (!held_) held_ = PlayedLocked();
  }
}

void SdlAudioSink::Clear() {
  if (device_ == 0) return;
  std::lock_guard lock(mutex_);
  DropQueuedLocked();
}

void SdlAudioSink::Replace(std::span<const std::int16_t> samples) {
  if (device_ == 0) return;
  // One hold of the mutex: the audio thread takes either the old frames or the new ones.
  std::lock_guard lock(mutex_);
  DropQueuedLocked();
  AppendLocked(samples.first(samples.size() / kChannelCount * kChannelCount));
}

std::uint64_t SdlAudioSink::PlayedFrames() const {
  if (device_ == 0) return 0;
  std::lock_guard lock(mutex_);
  return held_ ? *held_ : PlayedLocked();
}

std::uint64_t SdlAudioSink::PlayedLocked() const {
  // Once the queue has run dry everything counts as heard, so the count ends at what was taken.
  if (queued_ == 0) return taken_;
  const auto since = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - lastTakenAt_).count();
  const auto played = static_cast<std::uint64_t>(std::max<std::int64_t>(since, 0)) * kSampleRate / 1000000;
  return taken_ - lastTaken_ + std::min<std::uint64_t>(played, lastTaken_);
}

void SdlAudioSink::SetRefillMark(std::size_t frames, std::function<void()> wake) {
  std::lock_guard lock(mutex_);
  refillMark_ = frames;
  wake_ = std::move(wake);
  armed_ = wake_ != nullptr;
}

void SdlAudioSink::Take(void* sink, Uint8* stream, int length) {
  static_cast<SdlAudioSink*>(sink)->TakeFrames(
      reinterpret_cast<std::int16_t*>(stream),
      static_cast<std::size_t>(length) / (kChannelCount * sizeof(std::int16_t)));
}

void SdlAudioSink::TakeFrames(std::int16_t* out, std::size_t frames) {
  std::function<void()> wake;
  {
    std::lock_guard lock(mutex_);
    const std::size_t samples = std::min(frames * kChannelCount, queued_);
    const std::size_t first = std::min(samples, ring_.size() - head_);
    if (samples > 0) {
      std::memcpy(out, ring_.data() + head_, first * sizeof(std::int16_t));
      std::memcpy(out + first, ring_.data(), (samples - first) * sizeof(std::int16_t));
      head_ = (head_ + samples) % ring_.size();
      queued_ -= samples;
      lastTaken_ = static_cast<std::uint32_t>(samples / kChannelCount);
      lastTakenAt_ = Clock::now();
      taken_ += lastTaken_;
    }
    // What the queue could not give is silence.
    std::memset(out + samples, 0, (frames * kChannelCount - samples) * sizeof(std::int16_t));
    if (armed_ && queued_ / kChannelCount < refillMark_) {
      armed_ = false;
      wake = wake_;
    }
  }
  if (wake) wake();
}

}  // namespace qvr
