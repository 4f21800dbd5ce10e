// PlayListModel: the play list dialog's rows without the widgets. One row per play order entry,
// each showing the entry, the track's title and its length, looked up in the disc record by the
// entry's track number; the total playing time of all rows; the edits the dialog offers
// (insert, delete a selection, move one row, reset to disc order).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cddb/DiscRecord.h"

namespace qvr {

// What a row shows (UTF-8).
struct PlayListRow {
  std::string entry;   // the play order entry, the track number in decimal
  std::string title;   // the track's title, or "トラック " and the number
  std::string length;  // the track's length as minutes:seconds:frames
  friend bool operator==(const PlayListRow&, const PlayListRow&) = default;
};

// One item of the track menu: a track of the disc.
struct PlayListTrackItem {
  int track = 0;
  std::string caption;  // the same text as a row's title
};

class PlayListModel {
 public:
  // Rows for `entries` over `disc`, which must outlive the model. `hidden_track`: the length
  // (packed MSF) of the disc's hidden first track, which rows and the track menu offer as track 0;
  // none when the disc has none.
  PlayListModel(const TDiscRecord& disc, std::vector<std::string> entries,
                std::optional<std::uint32_t> hidden_track = std::nullopt);

  std::size_t Count() const { return entries_.size(); }
  const std::vector<std::string>& Entries() const { return entries_; }
  PlayListRow Row(std::size_t row) const;
  // The track a row plays: its entry as a number when that is a track of the disc, else none.
  std::optional<int> TrackOf(std::size_t row) const;

  // The disc's tracks in disc order, for the track menu: the hidden first track (track 0) first
  // when the disc has one.
  std::vector<PlayListTrackItem> TrackItems() const;

  // The sum of the lengths of all rows' tracks, in frames (rows that name no track add nothing).
  std::uint64_t TotalFrames() const;
  // The total as the info panel shows it: "総演奏時間：" and minutes:seconds:frames, the minutes
  // as many as there are.
  std::string TotalText() const;

  // Inserts track `track` in front of row `at` (the row count or more: after the last row).
  // Returns the row it went to.
  std::size_t Insert(std::size_t at, int track);
  // Deletes the rows in `selected` (any order, repeats and rows past the end ignored). Returns
  // false when none was deleted.
  bool Delete(std::vector<std::size_t> selected);
  // Takes the entry of row `from` out and puts it in at row `to` (none: below the last row, that
  // is the last row), the rows in between moving up or down by one. Returns false when nothing
  // moved (the same row, or a row that is not there).
  bool Move(std::size_t from, std::optional<std::size_t> to);
  // Rows for tracks 1 to the disc's track count (the disc's own order: a hidden first track is
  // not part of it, as a home player does not start there).
  void Reset();
  // Replaces every row with these entries.
  void Assign(std::vector<std::string> entries) { entries_ = std::move(entries); }

 private:
  // The length (packed MSF) of a track of the disc, track 0 included when it has one.
  std::optional<std::uint32_t> LengthOf(int track) const;

  const TDiscRecord& disc_;
  std::vector<std::string> entries_;
  std::optional<std::uint32_t> hidden_track_;
};

// The title a row and the track menu show for track `track` of `disc`: its title, or
// "トラック " and its number when it has none; for track 0, the hidden first track,
// "トラック 0 (隠しトラック)".
std::string PlayListTrackTitle(const TDiscRecord& disc, int track);

// Minutes:seconds:frames of a frame count, in decimal without leading zeros ("4:5:12").
std::string FramesToText(std::uint64_t frames);

}  // namespace qvr
