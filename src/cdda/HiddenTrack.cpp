// Finding the hidden first track: a read of the pregap of track 1 that ends at the first sound.
#include "cdda/HiddenTrack.h"

#include <algorithm>
#include <exception>
#include <vector>

namespace qvr {

namespace {
// Sectors per read: small, so that a cancel or another user of the drive waits little, and a
// pregap that begins with sound is decided after one read.
constexpr std::uint32_t kProbeSectors = 8;
}  // namespace

bool MayHaveHiddenTrack(const DiscToc& toc) {
  return !toc.Tracks.empty() && toc.Tracks.front().Audio &&
         toc.Tracks.front().Start > kLeadInFrames + kHiddenTrackMinFrames;
}

bool PregapHoldsAudio(const DiscToc& toc, AudioSectorSource& source, const std::atomic<bool>* cancel) {
  if (!MayHaveHiddenTrack(toc)) return false;
  const std::uint32_t end = toc.Tracks.front().Start;
  std::vector<std::int16_t> samples(std::size_t{kProbeSectors} * kSamplesPerSector);
  for (std::uint32_t frame = kLeadInFrames; frame < end; frame += kProbeSectors) {
    if (cancel != nullptr && cancel->load()) return false;
    const std::uint32_t count = std::min(kProbeSectors, end - frame);
    try {
      source.ReadAudio(frame, count, samples.data());
    } catch (const std::exception&) {
      return false;
    }
    const auto last = samples.begin() + static_cast<std::ptrdiff_t>(std::size_t{count} * kSamplesPerSector);
    if (std::any_of(samples.begin(), last, [](std::int16_t sample) { return sample != 0; })) return true;
  }
  return false;
}

HiddenTrackProbe::HiddenTrackProbe(const DiscToc& toc, AudioSectorSource& source) {
  thread_ = std::thread([this, toc, &source] { result_ = PregapHoldsAudio(toc, source, &cancel_) ? 1 : 0; });
}

HiddenTrackProbe::~HiddenTrackProbe() {
  cancel_ = true;
  thread_.join();
}

std::optional<bool> HiddenTrackProbe::Result() const {
  const int result = result_.load();
  if (result < 0) return std::nullopt;
  return result == 1;
}

}  // namespace qvr
