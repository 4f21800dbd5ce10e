// The play list dialog's rows, totals and edits.
#include "dialogs/PlayListModel.h"

#include <algorithm>

#include "cdda/HiddenTrack.h"
#include "cddb/DiscDatabase.h"
#include "util/Msf.h"
#include "util/ZLUtils.h"

namespace qvr {
namespace {

constexpr const char* kTotalLabel = "総演奏時間：";
constexpr const char* kTrackPrefix = "トラック ";

}  // namespace

std::string PlayListTrackTitle(const TDiscRecord& disc, int track) {
  if (track == 0) return kHiddenTrackTitle;
  if (track >= 1 && static_cast<std::size_t>(track) <= UsedTracks(disc.TrackCount)) {
    const auto& name = disc.Tracks[static_cast<std::size_t>(track)].TrackName;
    if (!name.Empty()) return name.ToUtf8();
  }
  return kTrackPrefix + std::to_string(track);
}

std::string FramesToText(std::uint64_t frames) {
  return std::to_string(frames / kFramesPerMinute) + ":" + std::to_string(frames / kFramesPerSecond % 60) + ":" +
         std::to_string(frames % kFramesPerSecond);
}

PlayListModel::PlayListModel(const TDiscRecord& disc, std::vector<std::string> entries,
                             std::optional<std::uint32_t> hidden_track)
    : disc_(disc), entries_(std::move(entries)), hidden_track_(hidden_track) {}

std::optional<std::uint32_t> PlayListModel::LengthOf(int track) const {
  if (track == 0) return hidden_track_;
  if (track < 1 || static_cast<std::size_t>(track) > UsedTracks(disc_.TrackCount)) return std::nullopt;
  return disc_.Tracks[static_cast<std::size_t>(track)].Length;
}

std::optional<int> PlayListModel::TrackOf(std::size_t row) const {
  if (row >= entries_.size()) return std::nullopt;
  std::int32_t track = 0;
  if (!StrToInt32(entries_[row], track) || !LengthOf(track)) return std::nullopt;
  return track;
}

PlayListRow PlayListModel::Row(std::size_t row) const {
  PlayListRow result;
  result.entry = entries_.at(row);
  if (std::optional<int> track = TrackOf(row)) {
    result.title = PlayListTrackTitle(disc_, *track);
    result.length = MSFToStr(*LengthOf(*track));
  } else {
    // An entry that names no track of this disc shows as it stands, with no length.
    result.title = kTrackPrefix + result.entry;
  }
  return result;
}

std::vector<PlayListTrackItem> PlayListModel::TrackItems() const {
  std::vector<PlayListTrackItem> items;
  if (hidden_track_) items.push_back({0, kHiddenTrackTitle});
  for (std::size_t n = 1; n <= UsedTracks(disc_.TrackCount); ++n) {
    items.push_back({static_cast<int>(n), PlayListTrackTitle(disc_, static_cast<int>(n))});
  }
  return items;
}

std::uint64_t PlayListModel::TotalFrames() const {
  std::uint64_t total = 0;
  for (std::size_t row = 0; row < entries_.size(); ++row) {
    if (std::optional<int> track = TrackOf(row)) total += MSFToFrames(*LengthOf(*track));
  }
  return total;
}

std::string PlayListModel::TotalText() const { return kTotalLabel + FramesToText(TotalFrames()); }

std::size_t PlayListModel::Insert(std::size_t at, int track) {
  at = std::min(at, entries_.size());
  entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(at), std::to_string(track));
  return at;
}

bool PlayListModel::Delete(std::vector<std::size_t> selected) {
  std::sort(selected.begin(), selected.end());
  selected.erase(std::unique(selected.begin(), selected.end()), selected.end());
  bool deleted = false;
  // From the last row to the first, so that each position still names the row it was chosen as.
  for (auto row = selected.rbegin(); row != selected.rend(); ++row) {
    if (*row >= entries_.size()) continue;
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(*row));
    deleted = true;
  }
  return deleted;
}

bool PlayListModel::Move(std::size_t from, std::optional<std::size_t> to) {
  if (from >= entries_.size()) return false;
  const std::size_t target = to && *to < entries_.size() ? *to : entries_.size() - 1;
  if (target == from) return false;
  const auto first = entries_.begin();
  if (from < target) {
    std::rotate(first + static_cast<std::ptrdiff_t>(from), first + static_cast<std::ptrdiff_t>(from) + 1,
                first + static_cast<std::ptrdiff_t>(target) + 1);
  } else {
    std::rotate(first + static_cast<std::ptrdiff_t>(target), first + static_cast<std::ptrdiff_t>(from),
                first + static_cast<std::ptrdiff_t>(from) + 1);
  }
  return true;
}

void PlayListModel::Reset() {
  entries_.clear();
  for (std::size_t n = 1; n <= UsedTracks(disc_.TrackCount); ++n) entries_.push_back(std::to_string(n));
}

}  // namespace qvr
