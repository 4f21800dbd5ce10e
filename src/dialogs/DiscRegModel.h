// DiscRegModel: what the disc registration dialog edits, without any widget. It keeps the
// disc page's texts, date and type, a working copy of every track's five texts, the current
// track and the texts its page shows, and commits all of it into a disc record on Update.
//
// Texts are UTF-8 as the controls show them. Each remembers the bytes it came from (the record's
// Shift-JIS, which need not be valid Shift-JIS): a text the user leaves as it was stores those
// bytes unchanged; an edited text is trimmed, encoded and must fit its field whole, so nothing
// typed is lost or replaced by "?" at the store.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cddb/DateSource.h"
#include "cddb/DiscRecord.h"
#include "dialogs/EditText.h"

namespace qvr {

// The disc page's edits and the track page's, in the order the pages show them.
enum class DiscField : std::uint8_t { DiscName, ArtistName, LabelName, JacketFile, LyricsFile };
enum class TrackField : std::uint8_t { TrackName, Lyricsby, Musicby, Arrangeby, Genre };
inline constexpr std::size_t kDiscFieldCount = 5;
inline constexpr std::size_t kTrackFieldCount = 5;

// The field's capacity in Shift-JIS bytes (96 for names, 255 for file paths, 16 for a genre).
std::size_t Capacity(DiscField field);
std::size_t Capacity(TrackField field);

// An edited text that could not be stored whole: where it is and why.
struct UnstorableText {
  bool on_track_page = false;
  std::size_t track = 0;  // on the track page: the track (1..TrackCount)
  std::size_t field = 0;  // a DiscField or TrackField
  EditCheck check;
  std::size_t capacity = 0;
};

class DiscRegModel {
 public:
  // Starts from the controller's disc record: the disc page from its disc texts, the working
  // copy from tracks 1..TrackCount, the current track 1.
  explicit DiscRegModel(const TDiscRecord& disc);

  // The disc page.
  const std::string& DiscText(DiscField field) const;
  void SetDiscText(DiscField field, std::string utf8);
  // The sale day the date field shows: the record's day; none (unknown) when the record holds
  // no valid date, and for a disc not registered yet, whose record's date is only the day the
  // record was made.
  std::optional<CivilDate> SaleDay() const { return day_; }
  // A day, or none for "unknown" (stored as the database's unknown date).
  void SetSaleDay(std::optional<CivilDate> day);
  // The selected disc type 0..3, or -1 for no selection (a record's type outside 0..3).
  int DiscTypeIndex() const { return disc_type_; }
  void SetDiscTypeIndex(int index);
  // "総演奏時間": the disc's length as minutes:seconds:frames.
  std::string DiscTimeText() const;

  // The track page.
  std::size_t TrackCount() const { return track_count_; }
  std::size_t CurrentTrack() const { return current_; }
  // The texts the track page shows now (not yet committed to the working copy).
  const std::string& TrackText(TrackField field) const;
  void SetTrackText(TrackField field, std::string utf8);
  // Commits the track page into the working copy's entry of the current track.
  void CommitTrackPage();
  // Commits the page, then makes `track` current and loads its texts into the page. Does
  // nothing (and returns false) for a track outside 1..TrackCount or the current one.
  bool SelectTrack(std::size_t track);
  // One track back (-1) or on (+1), when there is one.
  bool StepTrack(int delta);
  // "3/12", "開始時間  4:5:12", "演奏時間  3:2:1" for the current track.
  std::string CurrentTrackText() const;
  std::string StartPosText() const;
  std::string LengthText() const;

  // Fills the fields that are still empty from a proposed record (disc texts, type when none
  // is selected, and the texts of tracks 1..TrackCount), leaving everything the user typed as
  // it is. The proposal's texts are record bytes, trimmed and cut to their fields. For a disc not
  // registered yet, the proposal's sale date (when it has one) too, unless the user picked a day.
  // Returns how many fields it filled.
  std::size_t Propose(const TDiscRecord& proposed);

  // The first edited text (after committing the track page) that cannot be stored whole: a
  // character without a Shift-JIS form, or more bytes than its field holds.
  std::optional<UnstorableText> FirstUnstorable();

  // Update: commits the track page, then writes the disc texts, date and type and the texts of
  // tracks 1..TrackCount into `disc`. Track positions and identity stay as `disc` has them.
  // A registered disc's date stays as stored (with its time of day) unless another day was
  // chosen; a disc registered now gets the unknown date unless a day was chosen or proposed.
  // A type with no selection keeps the record's type. An edited text that cannot be stored
  // (FirstUnstorable) keeps the record's previous bytes.
  void CommitInto(TDiscRecord& disc);

 private:
  // One text: the bytes it came from, and what the control shows now.
  struct Text {
    std::string bytes;  // record bytes (Shift-JIS, possibly invalid)
    std::string shown;  // UTF-8
  };
  using TrackTexts = std::array<Text, kTrackFieldCount>;

  static Text FromBytes(std::string_view bytes);
  static bool Edited(const Text& text);
  // The bytes to store for `text` in a field of `capacity`; empty when an edit cannot be stored.
  static std::optional<std::string> Stored(const Text& text, std::size_t capacity);
  static std::optional<UnstorableText> Check(const Text& text, std::size_t capacity);
  void LoadPage();

  std::array<Text, kDiscFieldCount> disc_{};
  TDateTime sale_date_ = 0;
  std::optional<CivilDate> day_;  // the day the field shows (none: unknown)
  bool day_picked_ = false;       // the user or a proposal chose `day_`
  bool registered_ = false;       // the record had a disc name when the dialog opened
  bool type_picked_ = false;      // set once the user chooses a type
  int disc_type_ = -1;
  std::uint32_t disc_time_ = 0;
  std::size_t track_count_ = 1;
  std::array<TrackTexts, kMaxTracks> tracks_{};
  std::array<std::uint32_t, kMaxTracks> start_{}, length_{};
  std::size_t current_ = 1;
  TrackTexts page_{};
};

}  // namespace qvr
