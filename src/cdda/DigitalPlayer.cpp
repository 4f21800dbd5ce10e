// The digital player's threads. The GUI thread calls Play, Stop, Pause, Resume, PlayNext and the
// state and position queries; each takes the player mutex only for bookkeeping and never waits
// for a disc read. The reader thread loops: while a job is active and the output holds less than
// a second, it takes the next chunk of sectors from the job, reads it with the mutex released,
// then re-takes the mutex and hands the chunk to the output unless the job changed meanwhile (its
// generation moved on). The output's own thread plays what was handed over; the heard position
// is the output's played count mapped back through the job's ranges. Pause holds the output, so
// nothing queued is lost or played twice.
//
// Hand-over: PlayNext cuts the job at a frame the reader has not read past and appends the
// ranges that follow; the reader begins them only when less than half a second is left in the
// output, so that until then a later PlayNext (a play mode switched at the last moment) can
// still replace them. While playing, the reader also looks at the heard position whenever it
// wakes, and it wakes when the next mark, range or the end is due to be heard; it gives news
// when a mark or a handed-over range is heard, and when everything was heard. The news goes to
// the listener outside the lock.
#include "cdda/DigitalPlayer.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <limits>
#include <span>

namespace qvr {

namespace {
constexpr std::uint32_t kChunkSectors = 8;  // about 107 ms of sound per read
constexpr std::size_t kFramesPerSector = kSamplesPerSector / 2;
// The reader fills the output up to a second and a half ahead, then sleeps until less than a
// second is left (the output's thread wakes it), and reads the half second in one go: about one
// wake-up a second instead of one per chunk.
constexpr std::size_t kAheadFrames = AudioSink::kSampleRate * 3 / 2;
constexpr std::size_t kRefillFrames = AudioSink::kSampleRate;
constexpr std::size_t kHandoverFrames = AudioSink::kSampleRate / 2;  // begin a hand-over this late
// While playing, the reader also sleeps until the heard position reaches its next mark, range or
// end. The output's wake-up can be missed (it comes just before the reader waits), so the reader
// also wakes when the queue should have reached its mark, this much later; within these bounds.
constexpr std::size_t kLateWakeMs = 50;
constexpr std::size_t kShortestSleepMs = 3;
constexpr std::size_t kLongestSleepMs = 1000;
}  // namespace

DigitalPlayer::DigitalPlayer(AudioSink& sink) : sink_(sink) {}

DigitalPlayer::~DigitalPlayer() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
    StopLocked();
  }
  wake_.notify_all();
  if (reader_.joinable()) reader_.join();
}

void DigitalPlayer::Play(AudioSectorSource& source, std::vector<FrameRange> ranges, bool paused) {
  std::lock_guard lock(mutex_);
  sink_.Open();  // throws before anything changes
  // The reader starts with the first play: a player that only reads a disc's table of contents
  // never needs it.
  if (!reader_.joinable()) reader_ = std::thread([this] { Run(); });
  // What plays now goes on until the first chunk of the new range replaces it (Run), so that
  // the listener hears no silence while it is read.
  replacing_ = active_ && !paused_ && !ranges.empty();
  if (active_ && paused_) sink_.Clear();
  ++generation_;
  active_ = true;
  paused_ = paused;
  readDone_ = ranges.empty();
  source_ = &source;
  ranges_ = std::move(ranges);
  rangeIndex_ = 0;
  nextFrame_ = ranges_.empty() ? 0 : ranges_.front().From;
  stoppedAt_ = nextFrame_;
  // Until the new sound replaces the old one, the heard position is the range's start.
  playedBase_ = replacing_ ? std::numeric_limits<std::uint64_t>::max() : sink_.PlayedFrames();
  lastError_.clear();
  readingTo_ = nextFrame_;
  handover_.reset();
  readNews_ = false;
  heardRange_ = 0;
  heardMark_ = MarkIndexLocked(nextFrame_);
  sink_.SetPaused(paused);
  wake_.notify_all();
}

void DigitalPlayer::StopLocked() {
  if (active_) stoppedAt_ = HeardFrameLocked();
  ++generation_;
  active_ = false;
  paused_ = false;
  replacing_ = false;
  handover_.reset();
  readNews_ = false;
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
  // The old sound still waiting to be replaced is dropped: it must not play on resuming.
  if (replacing_) {
    sink_.Clear();
    playedBase_ = sink_.PlayedFrames();
    replacing_ = false;
  }
  sink_.SetPaused(true);
  paused_ = true;
  return true;
}

bool DigitalPlayer::Resume() {
  std::lock_guard lock(mutex_);
  if (!active_ || !paused_) return false;
  sink_.SetPaused(false);
  paused_ = false;
  wake_.notify_all();
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

DigitalPlayer::HeardAt DigitalPlayer::HeardLocked() {
  std::uint64_t played = sink_.PlayedFrames();
  std::uint64_t sectors = (played > playedBase_ ? played - playedBase_ : 0) / kFramesPerSector;
  for (std::size_t index = 0; index < ranges_.size(); ++index) {
    std::uint64_t length = ranges_[index].To - ranges_[index].From;
    if (sectors < length) return {index, ranges_[index].From + static_cast<std::uint32_t>(sectors)};
    sectors -= length;
  }
  if (ranges_.empty()) return {0, stoppedAt_};
  return {ranges_.size() - 1, ranges_.back().To};
}

std::uint32_t DigitalPlayer::HeardFrameLocked() {
  if (!active_) return stoppedAt_;
  return HeardLocked().frame;
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

bool DigitalPlayer::ReadThrough() {
  std::lock_guard lock(mutex_);
  return active_ && readDone_;
}

void DigitalPlayer::SetListener(NewsListener listener) {
  std::lock_guard lock(mutex_);
  listener_ = std::move(listener);
}

std::size_t DigitalPlayer::MarkIndexLocked(std::uint32_t frame) const {
  return static_cast<std::size_t>(std::upper_bound(marks_.begin(), marks_.end(), frame) - marks_.begin());
}

void DigitalPlayer::SetMarks(std::vector<std::uint32_t> frames) {
  std::lock_guard lock(mutex_);
  std::sort(frames.begin(), frames.end());
  marks_ = std::move(frames);
  heardMark_ = MarkIndexLocked(HeardFrameLocked());
}

bool DigitalPlayer::PlayNext(std::uint32_t at, std::vector<FrameRange> ranges) {
  std::lock_guard lock(mutex_);
  FinishLocked();
  if (!active_) return false;
  // A hand-over that the reader has begun stays; one not begun is replaced.
  if (handover_ && rangeIndex_ >= *handover_) return false;
  const std::size_t end = handover_ ? *handover_ : ranges_.size();
  const std::uint32_t readTo = reading_ ? readingTo_ : nextFrame_;
  std::size_t cut = rangeIndex_;
  while (cut < end && !(ranges_[cut].From < at && at <= ranges_[cut].To)) ++cut;
  if (cut == end || (cut == rangeIndex_ && readTo > at)) return false;
  ranges_.resize(cut + 1);
  ranges_[cut].To = at;
  if (ranges.empty()) {
    handover_.reset();
  } else {
    handover_ = ranges_.size();
    ranges_.insert(ranges_.end(), ranges.begin(), ranges.end());
  }
  readDone_ = rangeIndex_ + 1 >= ranges_.size() && nextFrame_ >= ranges_[rangeIndex_].To;
  wake_.notify_all();
  return true;
}

bool DigitalPlayer::FollowHeardRangeLocked() {
  HeardAt heard = HeardLocked();
  if (heard.range == heardRange_) return false;
  heardRange_ = heard.range;
  if (handover_ && heard.range >= *handover_) handover_.reset();
  return true;
}

bool DigitalPlayer::NextPending() {
  std::lock_guard lock(mutex_);
  FinishLocked();
  if (!active_) return false;
  FollowHeardRangeLocked();
  return handover_.has_value();
}

bool DigitalPlayer::MayReadLocked(std::size_t queued) {
  if (queued >= kAheadFrames) return false;
  if (nextFrame_ < ranges_[rangeIndex_].To) return true;
  if (rangeIndex_ + 1 >= ranges_.size()) return false;
  // The next range begins: a handed-over one only when the output is about to run dry.
  if (handover_ && rangeIndex_ + 1 >= *handover_ && queued >= kHandoverFrames) return false;
  ++rangeIndex_;
  nextFrame_ = ranges_[rangeIndex_].From;
  return true;
}

void DigitalPlayer::WatchLocked(std::vector<DeviceNews>& news) {
  if (!active_) return;
  if (readNews_) {
    readNews_ = false;
    news.push_back(DeviceNews::RangeRead);
  }
  if (paused_) return;
  if (readDone_ && sink_.QueuedFrames() == 0) {
    StopLocked();
    news.push_back(DeviceNews::Ended);
    return;
  }
  bool heard = FollowHeardRangeLocked();
  std::size_t mark = MarkIndexLocked(HeardLocked().frame);
  if (mark != heardMark_) {
    heardMark_ = mark;
    heard = true;
  }
  if (heard) news.push_back(DeviceNews::Heard);
}

std::size_t DigitalPlayer::RefillMarkLocked() const {
  if (readDone_) return 1;  // the end: the output has played everything
  const bool handover = nextFrame_ >= ranges_[rangeIndex_].To && handover_ && rangeIndex_ + 1 >= *handover_;
  return handover ? kHandoverFrames : kRefillFrames;
}

std::chrono::milliseconds DigitalPlayer::SleepLocked(std::size_t queued, std::size_t mark) {
  if (ranges_.empty()) return std::chrono::milliseconds(kLongestSleepMs);
  auto milliseconds = [](std::uint64_t frames) { return frames * 1000 / AudioSink::kSampleRate; };
  std::uint64_t sleep = kLongestSleepMs;
  // When the output should have woken the reader.
  sleep = std::min<std::uint64_t>(sleep, milliseconds(queued >= mark ? queued - mark + 1 : 0) + kLateWakeMs);
  // The next mark or range to be heard, a sector (75 a second) at a time.
  const HeardAt heard = HeardLocked();
  std::uint32_t ahead = ranges_[heard.range].To - heard.frame;
  if (heardMark_ < marks_.size() && marks_[heardMark_] > heard.frame) {
    ahead = std::min(ahead, marks_[heardMark_] - heard.frame);
  }
  sleep = std::min<std::uint64_t>(sleep, std::uint64_t{ahead} * 1000 / 75);
  return std::chrono::milliseconds(std::clamp<std::uint64_t>(sleep + 1, kShortestSleepMs, kLongestSleepMs));
}

void DigitalPlayer::SetTracks(const DiscToc& toc) {
  std::lock_guard lock(mutex_);
  trackStarts_.clear();
  emphasis_.clear();
  for (const TocTrack& track : toc.Tracks) {
    trackStarts_.push_back(track.Start);
    emphasis_.push_back(track.Audio && track.PreEmphasis);
  }
}

void DigitalPlayer::SetDeEmphasis(bool on) {
  std::lock_guard lock(mutex_);
  deEmphasisOn_ = on;
}

bool DigitalPlayer::DeEmphasised(std::uint32_t track) {
  std::lock_guard lock(mutex_);
  // Track 0, the hidden first track, is track 1's pregap and carries its flag.
  const std::uint32_t flagged = std::max<std::uint32_t>(track, 1);
  return deEmphasisOn_ && flagged <= emphasis_.size() && emphasis_[flagged - 1];
}

std::size_t DigitalPlayer::TrackIndexLocked(std::uint32_t frame) const {
  const auto after = std::upper_bound(trackStarts_.begin(), trackStarts_.end(), frame);
  return after == trackStarts_.begin() ? 0 : static_cast<std::size_t>(after - trackStarts_.begin() - 1);
}

std::vector<bool> DigitalPlayer::EmphasisLocked(std::uint32_t frame, std::uint32_t count) const {
  std::vector<bool> flagged(count, false);
  if (!deEmphasisOn_ || trackStarts_.empty()) return flagged;
  // Frames before track 1 (its pregap, a hidden first track) carry track 1's flag, as its
  // sub-channel does.
  std::size_t track = TrackIndexLocked(frame);
  for (std::uint32_t n = 0; n < count; ++n) {
    while (track + 1 < trackStarts_.size() && frame + n >= trackStarts_[track + 1]) ++track;
    flagged[n] = emphasis_[track];
  }
  return flagged;
}

void DigitalPlayer::DeEmphasise(std::uint32_t frame, const std::vector<bool>& flagged, std::int16_t* samples) {
  for (std::uint32_t n = 0; n < flagged.size(); ++n) {
    if (!flagged[n]) continue;
    if (filteredTo_ != frame + n) filter_.Reset();
    filter_.Process(std::span<std::int16_t>(samples + std::size_t{n} * kSamplesPerSector, kSamplesPerSector));
    filteredTo_ = frame + n + 1;
  }
}

void DigitalPlayer::Run() {
  std::vector<std::int16_t> buffer(std::size_t{kChunkSectors} * kSamplesPerSector);
  std::vector<DeviceNews> news;
  std::unique_lock lock(mutex_);
  while (!quit_) {
    news.clear();
    WatchLocked(news);
    if (!news.empty()) {
      NewsListener listener = listener_;
      lock.unlock();
      if (listener) {
        for (DeviceNews item : news) listener(item);
      }
      lock.lock();
      continue;
    }
    if (!active_) {
      wake_.wait(lock);
      continue;
    }
    // The old sound that the new range's first chunk replaces does not count as queued.
    std::size_t queued = replacing_ ? 0 : sink_.QueuedFrames();
    if (readDone_ || !MayReadLocked(queued)) {
      // Nothing to read now. While playing, sleep until the output runs below the mark that
      // gives the reader work, or the heard position reaches the next news; paused, nothing
      // moves until Resume, Play or Stop wakes the reader.
      if (paused_) {
        wake_.wait(lock);
      } else {
        const std::size_t mark = RefillMarkLocked();
        sink_.SetRefillMark(mark, [this] { wake_.notify_all(); });
        if (replacing_ || sink_.QueuedFrames() >= mark) wake_.wait_for(lock, SleepLocked(queued, mark));
      }
      continue;
    }
    const FrameRange range = ranges_[rangeIndex_];
    std::uint32_t frame = nextFrame_;
    std::uint32_t count = std::min(kChunkSectors, range.To - frame);
    std::uint64_t generation = generation_;
    AudioSectorSource* source = source_;
    std::vector<bool> flagged = EmphasisLocked(frame, count);
    const std::size_t firstTrack = TrackIndexLocked(frame);
    const std::vector<std::uint32_t> starts = trackStarts_;
    const bool on = deEmphasisOn_;
    std::string error;
    std::optional<AudioSectorSource::PositionQ> positionQ;
    reading_ = true;
    readingTo_ = frame + count;
    lock.unlock();
    try {
      source->ReadAudio(frame, count, buffer.data());
      positionQ = source->ReadPositionQ();
    } catch (const std::exception& failure) {
      error = failure.what();
    }
    if (error.empty()) {
      if (positionQ && positionQ->track >= 1 && positionQ->track <= starts.size()) {
        // The sectors of the track the sub-channel names follow its flag.
        const std::size_t named = positionQ->track - 1;
        std::size_t track = firstTrack;
        for (std::uint32_t n = 0; n < count; ++n) {
          while (track + 1 < starts.size() && frame + n >= starts[track + 1]) ++track;
          if (track == named && frame + n >= starts[track]) flagged[n] = on && positionQ->preEmphasis;
        }
      }
      DeEmphasise(frame, flagged, buffer.data());
    }
    lock.lock();
    reading_ = false;
    if (positionQ && positionQ->track >= 1 && positionQ->track <= emphasis_.size() && starts == trackStarts_) {
      emphasis_[positionQ->track - 1] = positionQ->preEmphasis;
    }
    idle_.notify_all();
    if (generation != generation_) continue;
    if (!error.empty()) {
      // What was read so far still plays; then the range ends.
      lastError_ = error;
      readDone_ = true;
      continue;
    }
    const std::span<const std::int16_t> samples(buffer.data(), std::size_t{count} * kSamplesPerSector);
    if (replacing_) {
      sink_.Replace(samples);
      playedBase_ = sink_.PlayedFrames();
      replacing_ = false;
    } else {
      sink_.Write(samples);
    }
    nextFrame_ = frame + count;
    if (nextFrame_ >= ranges_[rangeIndex_].To && rangeIndex_ + 1 == ranges_.size()) {
      readDone_ = true;
      readNews_ = true;
    }
  }
}

}  // namespace qvr
