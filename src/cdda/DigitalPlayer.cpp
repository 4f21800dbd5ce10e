// The digital player's threads. The GUI thread calls Play, Stop, Pause, Resume and the state and
// position queries; each takes the player mutex only for bookkeeping and never waits for a disc
// read. The reader thread loops: while a job is active and the output holds less than a second,
// it takes the next chunk of sectors from the job, reads it with the mutex released, then
// re-takes the mutex and hands the chunk to the output unless the job changed meanwhile (its
// generation moved on). The output's own thread plays what was handed over; the heard position
// is the output's played count mapped back through the job's ranges. Pause holds the output, so
// nothing queued is lost or played twice.
#include "cdda/DigitalPlayer.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <span>

namespace qvr {

namespace {
constexpr std::uint32_t kChunkSectors = 8;  // about 107 ms of sound per read
constexpr std::size_t kFramesPerSector = kSamplesPerSector / 2;
constexpr std::size_t kAheadFrames = AudioSink::kSampleRate;  // one second queued ahead
}  // namespace

DigitalPlayer::DigitalPlayer(AudioSink& sink) : sink_(sink) { reader_ = std::thread([this] { Run(); }); }

DigitalPlayer::~DigitalPlayer() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
    StopLocked();
  }
  wake_.notify_all();
  reader_.join();
}

void DigitalPlayer::Play(AudioSectorSource& source, std::vector<FrameRange> ranges, bool paused) {
  std::lock_guard lock(mutex_);
  sink_.Open();  // throws before anything changes
  if (active_) sink_.Clear();
  ++generation_;
  active_ = true;
  paused_ = paused;
  readDone_ = ranges.empty();
  source_ = &source;
  ranges_ = std::move(ranges);
  rangeIndex_ = 0;
  nextFrame_ = ranges_.empty() ? 0 : ranges_.front().From;
  stoppedAt_ = nextFrame_;
  playedBase_ = sink_.PlayedFrames();
  lastError_.clear();
  sink_.SetPaused(paused);
  wake_.notify_all();
}

void DigitalPlayer::StopLocked() {
  if (active_) stoppedAt_ = HeardFrameLocked();
  ++generation_;
  active_ = false;
  paused_ = false;
  sink_.Close();
}

void DigitalPlayer::Stop() {
  std::lock_guard lock(mutex_);
  StopLocked();
}

void DigitalPlayer::Detach() {
  std::unique_lock lock(mutex_);
  StopLocked();
  idle_.wait(lock, [this] { return !reading_; });
  source_ = nullptr;
}

bool DigitalPlayer::Pause() {
  std::lock_guard lock(mutex_);
  FinishLocked();
  if (!active_ || paused_) return false;
  sink_.SetPaused(true);
  paused_ = true;
  return true;
}

bool DigitalPlayer::Resume() {
  std::lock_guard lock(mutex_);
  if (!active_ || !paused_) return false;
  sink_.SetPaused(false);
  paused_ = false;
  return true;
}

void DigitalPlayer::FinishLocked() {
  // The range is over once everything was read and the output has played it all.
  if (active_ && !paused_ && readDone_ && sink_.QueuedFrames() == 0) StopLocked();
}

DigitalPlayer::State DigitalPlayer::CurrentState() {
  std::lock_guard lock(mutex_);
  FinishLocked();
  if (!active_) return State::Stopped;
  return paused_ ? State::Paused : State::Playing;
}

std::uint32_t DigitalPlayer::HeardFrameLocked() {
  if (!active_) return stoppedAt_;
  std::uint64_t played = sink_.PlayedFrames();
  std::uint64_t sectors = (played > playedBase_ ? played - playedBase_ : 0) / kFramesPerSector;
  for (const FrameRange& range : ranges_) {
    std::uint64_t length = range.To - range.From;
    if (sectors < length) return range.From + static_cast<std::uint32_t>(sectors);
    sectors -= length;
  }
  return ranges_.empty() ? stoppedAt_ : ranges_.back().To;
}

std::uint32_t DigitalPlayer::HeardFrame() {
  std::lock_guard lock(mutex_);
  FinishLocked();
  return HeardFrameLocked();
}

std::string DigitalPlayer::LastError() {
  std::lock_guard lock(mutex_);
  return lastError_;
}

void DigitalPlayer::Run() {
  std::vector<std::int16_t> buffer(std::size_t{kChunkSectors} * kSamplesPerSector);
  std::unique_lock lock(mutex_);
  while (!quit_) {
    if (!active_ || readDone_) {
      wake_.wait(lock);
      continue;
    }
    std::size_t queued = sink_.QueuedFrames();
    if (queued >= kAheadFrames) {
      // Sleep until about half of the queue may have been played, looking again at least every
      // 20 ms in case the output plays faster than real time.
      auto wait = std::chrono::milliseconds((queued - kAheadFrames / 2) * 1000 / AudioSink::kSampleRate);
      wake_.wait_for(lock, std::clamp(wait, std::chrono::milliseconds(2), std::chrono::milliseconds(20)));
      continue;
    }
    const FrameRange range = ranges_[rangeIndex_];
    std::uint32_t frame = nextFrame_;
    std::uint32_t count = std::min(kChunkSectors, range.To - frame);
    std::uint64_t generation = generation_;
    AudioSectorSource* source = source_;
    std::string error;
    reading_ = true;
    lock.unlock();
    try {
      source->ReadAudio(frame, count, buffer.data());
    } catch (const std::exception& failure) {
      error = failure.what();
    }
    lock.lock();
    reading_ = false;
    idle_.notify_all();
    if (generation != generation_) continue;
    if (!error.empty()) {
      // What was read so far still plays; then the range ends.
      lastError_ = error;
      readDone_ = true;
      continue;
    }
    sink_.Write(std::span<const std::int16_t>(buffer.data(), std::size_t{count} * kSamplesPerSector));
    nextFrame_ = frame + count;
    if (nextFrame_ >= range.To) {
      if (++rangeIndex_ == ranges_.size()) {
        readDone_ = true;
      } else {
        nextFrame_ = ranges_[rangeIndex_].From;
      }
    }
  }
}

}  // namespace qvr
