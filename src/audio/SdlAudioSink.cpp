// SDL2 audio output: a queued (push) stream. SDL's audio thread takes frames from the queue; the
// played position is what was queued less what still waits in the queue and in SDL's buffer.
#include "audio/SdlAudioSink.h"

#include <SDL2/SDL.h>

#include <algorithm>

#include "util/Error.h"

namespace qvr {

namespace {
constexpr char kOpenFailed[] = "音声出力を開けません: %s";
}

SdlAudioSink::~SdlAudioSink() { Close(); }

void SdlAudioSink::Open() {
  std::lock_guard lock(mutex_);
  if (device_ != 0) return;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) throw Error(FormatMessage(kOpenFailed, SDL_GetError()));
  SDL_AudioSpec wanted{};
  wanted.freq = kSampleRate;
  wanted.format = AUDIO_S16SYS;
  wanted.channels = kChannels;
  wanted.samples = 1024;  // about 23 ms: the heard position stays close to the truth
  wanted.callback = nullptr;
  SDL_AudioSpec obtained{};
  SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
  if (device == 0) {
    std::string reason = SDL_GetError();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    throw Error(FormatMessage(kOpenFailed, reason.empty() ? "不明なエラー" : reason));
  }
  device_ = device;
  written_ = 0;
  deviceBufferFrames_ = obtained.samples;
}

void SdlAudioSink::Close() {
  std::lock_guard lock(mutex_);
  if (device_ == 0) return;
  SDL_CloseAudioDevice(device_);
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  device_ = 0;
  written_ = 0;
}

bool SdlAudioSink::IsOpen() const {
  std::lock_guard lock(mutex_);
  return device_ != 0;
}

void SdlAudioSink::Write(std::span<const std::int16_t> samples) {
  std::lock_guard lock(mutex_);
  if (device_ == 0 || samples.empty()) return;
  auto bytes = static_cast<Uint32>(samples.size_bytes());
  if (SDL_QueueAudio(device_, samples.data(), bytes) == 0) written_ += bytes / kBytesPerFrame;
}

std::size_t SdlAudioSink::QueuedFrames() const {
  std::lock_guard lock(mutex_);
  if (device_ == 0) return 0;
  return SDL_GetQueuedAudioSize(device_) / kBytesPerFrame;
}

void SdlAudioSink::SetPaused(bool paused) {
  std::lock_guard lock(mutex_);
  if (device_ != 0) SDL_PauseAudioDevice(device_, paused ? 1 : 0);
}

void SdlAudioSink::Clear() {
  std::lock_guard lock(mutex_);
  if (device_ == 0) return;
  // Lock out the audio thread so that no frame moves between reading the queue and clearing it.
  SDL_LockAudioDevice(device_);
  std::uint64_t queued = SDL_GetQueuedAudioSize(device_) / kBytesPerFrame;
  SDL_ClearQueuedAudio(device_);
  SDL_UnlockAudioDevice(device_);
  written_ -= std::min(queued, written_);
}

void SdlAudioSink::Replace(std::span<const std::int16_t> samples) {
  std::lock_guard lock(mutex_);
  if (device_ == 0) return;
  // The audio thread is locked out from dropping the old frames until the new ones are queued.
  SDL_LockAudioDevice(device_);
  std::uint64_t queued = SDL_GetQueuedAudioSize(device_) / kBytesPerFrame;
  SDL_ClearQueuedAudio(device_);
  written_ -= std::min(queued, written_);
  auto bytes = static_cast<Uint32>(samples.size_bytes());
  if (!samples.empty() && SDL_QueueAudio(device_, samples.data(), bytes) == 0) written_ += bytes / kBytesPerFrame;
  SDL_UnlockAudioDevice(device_);
}

std::uint64_t SdlAudioSink::PlayedFrames() const {
  std::lock_guard lock(mutex_);
  if (device_ == 0) return 0;
  std::uint64_t left = SDL_GetQueuedAudioSize(device_) / kBytesPerFrame;
  std::uint64_t taken = written_ - std::min(left, written_);
  // While frames still wait, the buffer SDL took last is still being played; once the queue has
  // run dry everything counts as heard, so the count ends at what was written.
  if (left == 0) return taken;
  return taken - std::min<std::uint64_t>(deviceBufferFrames_, taken);
}

}  // namespace qvr
