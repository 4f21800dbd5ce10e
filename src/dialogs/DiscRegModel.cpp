// The registration dialog's working copy: pages, tracks, and the commit into the disc record.
#include "dialogs/DiscRegModel.h"

#include <algorithm>

#include "cddb/DiscDatabase.h"
#include "util/ShiftJis.h"
#include "util/ZLUtils.h"

namespace qvr {
namespace {

// Calls `visit` with the record's short string that holds `field`.
template <class Entry, class Visit>
decltype(auto) WithTrackText(Entry& entry, TrackField field, Visit visit) {
  switch (field) {
    case TrackField::TrackName: return visit(entry.TrackName);
    case TrackField::Lyricsby: return visit(entry.Lyricsby);
    case TrackField::Musicby: return visit(entry.Musicby);
    case TrackField::Arrangeby: return visit(entry.Arrangeby);
    case TrackField::Genre: break;
  }
  return visit(entry.Genre);
}

template <class Disc, class Visit>
decltype(auto) WithDiscText(Disc& disc, DiscField field, Visit visit) {
  switch (field) {
    case DiscField::DiscName: return visit(disc.DiscName);
    case DiscField::ArtistName: return visit(disc.ArtistName);
    case DiscField::LabelName: return visit(disc.LabelName);
    case DiscField::JacketFile: return visit(disc.JacketFile);
    case DiscField::LyricsFile: break;
  }
  return visit(disc.LyricsFile);
}

constexpr auto kView = [](const auto& text) { return text.View(); };

std::string_view TrackBytes(const TTrackEntry& entry, TrackField field) { return WithTrackText(entry, field, kView); }
std::string_view DiscBytes(const TDiscRecord& disc, DiscField field) { return WithDiscText(disc, field, kView); }

void SetTrackBytes(TTrackEntry& entry, TrackField field, std::string_view bytes) {
  WithTrackText(entry, field, [bytes](auto& text) { text.Assign(bytes); });
}
void SetDiscBytes(TDiscRecord& disc, DiscField field, std::string_view bytes) {
  WithDiscText(disc, field, [bytes](auto& text) { text.Assign(bytes); });
}

constexpr std::array<DiscField, kDiscFieldCount> kDiscFields{
    DiscField::DiscName, DiscField::ArtistName, DiscField::LabelName, DiscField::JacketFile, DiscField::LyricsFile};
constexpr std::array<TrackField, kTrackFieldCount> kTrackFields{
    TrackField::TrackName, TrackField::Lyricsby, TrackField::Musicby, TrackField::Arrangeby, TrackField::Genre};

}  // namespace

std::size_t Capacity(DiscField field) {
  return field == DiscField::JacketFile || field == DiscField::LyricsFile ? 255 : 96;
}

std::size_t Capacity(TrackField field) { return field == TrackField::Genre ? 16 : 96; }

DiscRegModel::Text DiscRegModel::FromBytes(std::string_view bytes) {
  return Text{std::string(bytes), SjisToUtf8(bytes)};
}

bool DiscRegModel::Edited(const Text& text) { return text.shown != SjisToUtf8(text.bytes); }

std::optional<std::string> DiscRegModel::Stored(const Text& text, std::size_t capacity) {
  if (!Edited(text)) return text.bytes;
  const SjisEncoding encoded = Utf8ToSjis(Trim(text.shown));
  if (!encoded.ok() || encoded.bytes.size() > capacity) return std::nullopt;
  return encoded.bytes;
}

std::optional<UnstorableText> DiscRegModel::Check(const Text& text, std::size_t capacity) {
  if (!Edited(text)) return std::nullopt;
  EditCheck check = CheckEditText(Trim(text.shown), capacity);
  if (check.ok()) return std::nullopt;
  UnstorableText problem;
  problem.check = std::move(check);
  problem.capacity = capacity;
  return problem;
}

DiscRegModel::DiscRegModel(const TDiscRecord& disc)
    : sale_date_(disc.SaleDate),
      registered_(!disc.DiscName.Empty()),
      disc_type_(disc.DiscType < 4 ? disc.DiscType : -1),
      disc_time_(disc.DiscTime),
      track_count_(UsedTracks(disc.TrackCount)) {
  for (DiscField field : kDiscFields) disc_[static_cast<std::size_t>(field)] = FromBytes(DiscBytes(disc, field));
  for (std::size_t n = 1; n <= track_count_; ++n) {
    for (TrackField field : kTrackFields) {
      tracks_[n - 1][static_cast<std::size_t>(field)] = FromBytes(TrackBytes(disc.Tracks[n], field));
    }
    start_[n - 1] = disc.Tracks[n].StartPos;
    length_[n - 1] = disc.Tracks[n].Length;
  }
  if (registered_) day_ = CivilFromDate(sale_date_);
  LoadPage();
}

const std::string& DiscRegModel::DiscText(DiscField field) const {
  return disc_[static_cast<std::size_t>(field)].shown;
}

void DiscRegModel::SetDiscText(DiscField field, std::string utf8) {
  disc_[static_cast<std::size_t>(field)].shown = std::move(utf8);
}

void DiscRegModel::SetSaleDay(std::optional<CivilDate> day) {
  day_ = day;
  // The day a registered record already holds keeps the record's value (with its time of day,
  // or the invalid value it may hold when the field shows it as unknown).
  day_picked_ = !(registered_ && CivilFromDate(sale_date_) == day);
}

void DiscRegModel::SetDiscTypeIndex(int index) {
  disc_type_ = index >= 0 && index < 4 ? index : -1;
  type_picked_ = true;
}

std::string DiscRegModel::DiscTimeText() const { return MSFToStr(disc_time_); }

const std::string& DiscRegModel::TrackText(TrackField field) const {
  return page_[static_cast<std::size_t>(field)].shown;
}

void DiscRegModel::SetTrackText(TrackField field, std::string utf8) {
  page_[static_cast<std::size_t>(field)].shown = std::move(utf8);
}

void DiscRegModel::CommitTrackPage() { tracks_[current_ - 1] = page_; }

void DiscRegModel::LoadPage() { page_ = tracks_[current_ - 1]; }

bool DiscRegModel::SelectTrack(std::size_t track) {
  if (track < 1 || track > track_count_ || track == current_) return false;
  CommitTrackPage();
  current_ = track;
  LoadPage();
  return true;
}

bool DiscRegModel::StepTrack(int delta) {
  if (delta < 0 && current_ <= 1) return false;
  return SelectTrack(delta < 0 ? current_ - 1 : current_ + 1);
}

std::string DiscRegModel::CurrentTrackText() const {
  return std::to_string(current_) + "/" + std::to_string(track_count_);
}

std::string DiscRegModel::StartPosText() const { return "開始時間  " + MSFToStr(start_[current_ - 1]); }

std::string DiscRegModel::LengthText() const { return "演奏時間  " + MSFToStr(length_[current_ - 1]); }

std::size_t DiscRegModel::Propose(const TDiscRecord& proposed) {
  std::size_t filled = 0;
  auto fill = [&filled](Text& text, std::string_view bytes) {
    if (Trim(text.shown).empty() && !Trim(bytes).empty()) {
      text = FromBytes(Trim(bytes));
      ++filled;
    }
  };
  CommitTrackPage();
  for (DiscField field : kDiscFields) fill(disc_[static_cast<std::size_t>(field)], DiscBytes(proposed, field));
  // A disc not registered yet has only the type guessed from its track count, which a proposed
  // type replaces unless the user chose one.
  if ((disc_type_ < 0 || (!registered_ && !type_picked_)) && proposed.DiscType < 4 && disc_type_ != proposed.DiscType) {
    disc_type_ = proposed.DiscType;
    ++filled;
  }
  // The sale date of a disc not registered yet is only the day its record was made: a proposed
  // date takes its place unless the user picked a day.
  // (A proposal that carries the record's own date, as one made from CD-Text does, says nothing.)
  if (!registered_ && !day_picked_ && proposed.SaleDate != 0 && proposed.SaleDate != sale_date_) {
    if (const auto day = CivilFromDate(proposed.SaleDate)) SetSaleDay(*day);
  }
  const std::size_t tracks = std::min(track_count_, UsedTracks(proposed.TrackCount));
  for (std::size_t n = 1; n <= tracks; ++n) {
    for (TrackField field : kTrackFields) {
      fill(tracks_[n - 1][static_cast<std::size_t>(field)], TrackBytes(proposed.Tracks[n], field));
    }
  }
  LoadPage();
  return filled;
}

std::optional<UnstorableText> DiscRegModel::FirstUnstorable() {
  CommitTrackPage();
  for (DiscField field : kDiscFields) {
    if (auto problem = Check(disc_[static_cast<std::size_t>(field)], Capacity(field))) {
      problem->field = static_cast<std::size_t>(field);
      return problem;
    }
  }
  for (std::size_t n = 1; n <= track_count_; ++n) {
    for (TrackField field : kTrackFields) {
      if (auto problem = Check(tracks_[n - 1][static_cast<std::size_t>(field)], Capacity(field))) {
        problem->on_track_page = true;
        problem->track = n;
        problem->field = static_cast<std::size_t>(field);
        return problem;
      }
    }
  }
  return std::nullopt;
}

void DiscRegModel::CommitInto(TDiscRecord& disc) {
  CommitTrackPage();
  for (DiscField field : kDiscFields) {
    if (auto bytes = Stored(disc_[static_cast<std::size_t>(field)], Capacity(field))) {
      SetDiscBytes(disc, field, *bytes);
    }
  }
  if (day_picked_) {
    disc.SaleDate = day_ ? DateFromCivil(*day_) : kUnknownDate;
  } else if (!registered_) {
    disc.SaleDate = kUnknownDate;
  }
  if (disc_type_ >= 0) disc.DiscType = static_cast<std::uint8_t>(disc_type_);
  for (std::size_t n = 1; n <= track_count_; ++n) {
    for (TrackField field : kTrackFields) {
      if (auto bytes = Stored(tracks_[n - 1][static_cast<std::size_t>(field)], Capacity(field))) {
        SetTrackBytes(disc.Tracks[n], field, *bytes);
      }
    }
  }
}

}  // namespace qvr
