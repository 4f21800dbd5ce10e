// qvrdb import: the discs of a JSON file (as export writes it) stored through the bulk store.
// Texts are UTF-8 in the JSON and Shift-JIS in the files.
//
// The file is read as a stream: each disc object is parsed when it is reached, checked, stored
// and dropped, so memory does not grow with the file. The whole file is one transaction: bad
// input anywhere (or an interruption) leaves the database as it was.
#include <fcntl.h>

#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <thread>

#include "cddb/BulkStore.h"
#include "cddb/DateSource.h"
#include "cddb/DiscDatabase.h"
#include "tools/qvrdb/JsonStream.h"
#include "tools/qvrdb/QvrdbJson.h"
#include "util/Error.h"
#include "util/RegularFile.h"
#include "util/SameBytes.h"
#include "util/ShiftJis.h"
#include "util/ZeroedArray.h"

namespace qvr {
namespace {

using simdjson::dom::element;

// Where a complaint is: "discs[3]", "discs[3].Tracks[2]", made only when there is one.
struct Place {
  std::size_t Disc = 0;
  std::optional<std::size_t> Track;

  std::string Text() const {
    std::string text = "discs[" + std::to_string(Disc) + "]";
    if (Track) text += ".Tracks[" + std::to_string(*Track) + "]";
    return text;
  }
};

[[noreturn]] void Fail(const std::string& where, std::string_view what) {
  throw Error("インポートできません: " + where + ": " + std::string(what));
}

// Reads "YYYY-MM-DD" written in digits, as export writes every date, without sscanf (which reads
// the other forms it takes, such as "+999-1-01"). False for any other text.
bool DigitsDate(std::string_view text, CivilDate& date) {
  int values[3] = {0, 0, 0};
  for (std::size_t i = 0, field = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (i == 4 || i == 7) {
      if (c != '-') return false;
      ++field;
    } else if (c >= '0' && c <= '9') {
      values[field] = values[field] * 10 + (c - '0');
    } else {
      return false;
    }
  }
  date.Year = values[0];
  date.Month = values[1];
  date.Day = values[2];
  return true;
}

// Whether the key `a` is `b`, compared in place: every member of every disc is compared.
bool SameKey(std::string_view a, std::string_view b) {
  return a.size() == b.size() && SameBytes(a.data(), b.data(), a.size());
}

// The members of one JSON object that a reader asks for, each by its index in `names`; a
// member given twice counts with its last value, as JSON readers commonly take it.
template <std::size_t N>
class Members {
 public:
  Members(const element& value, const std::array<std::string_view, N>& names, const Place& place)
      : names_(names), place_(place) {
    simdjson::dom::object object;
    if (value.get_object().get(object)) Fail(place.Text(), "オブジェクトではありません");
    // Members mostly come in the order export writes them: the one after the last found is
    // tried first.
    std::size_t next = 0;
    for (const simdjson::dom::key_value_pair member : object) {
      std::size_t i = next < N && SameKey(member.key, names[next]) ? next : 0;
      while (i < N && !SameKey(member.key, names[i])) ++i;
      if (i < N) {
        values_[i] = member.value;
        next = i + 1;
      }
    }
  }

  std::string Where(std::size_t i) const { return place_.Text() + "." + std::string(names_[i]); }
  const std::optional<element>& Find(std::size_t i) const { return values_[i]; }
  const element& Field(std::size_t i) const {
    if (!values_[i]) Fail(Where(i), "ありません");
    return *values_[i];
  }

  std::uint64_t Unsigned(std::size_t i, std::uint64_t max) const {
    std::uint64_t number = 0;
    if (Field(i).get_uint64().get(number) || number > max) {
      Fail(Where(i), "0 から " + std::to_string(max) + " までの整数ではありません");
    }
    return number;
  }

  // Sets `out` to the text of member `i`, in Shift-JIS.
  template <std::size_t Capacity>
  void Text(std::size_t i, ShortString<Capacity>& out) const {
    std::string_view text;
    if (Field(i).get_string().get(text)) Fail(Where(i), "文字列ではありません");
    // ASCII is the same in Shift-JIS; most texts are, and need no conversion.
    if (text.size() <= Capacity && IsAsciiText(text)) {
      out.Assign(text);
      return;
    }
    SjisEncoding encoded = Utf8ToSjis(text);
    if (!encoded.ok()) {
      std::string characters;
      for (const std::string& c : encoded.unmappable) characters += " " + c;
      Fail(Where(i), "Shift-JIS で表せない文字があります:" + characters);
    }
    if (encoded.bytes.size() > Capacity) {
      Fail(Where(i), "Shift-JIS で " + std::to_string(encoded.bytes.size()) + " バイトあり、" +
                         std::to_string(Capacity) + " バイトまでしか入りません");
    }
    out.Assign(encoded.bytes);
  }

  // A date, or unknown when the member is null or missing.
  TDateTime Date(std::size_t i) const {
    if (!values_[i] || values_[i]->is_null()) return kUnknownDate;
    std::string_view text;
    CivilDate date;
    char rest = 0;
    if (values_[i]->get_string().get(text) || text.size() != 10 ||
        !(DigitsDate(text, date) ||
          std::sscanf(std::string(text).c_str(), "%4d-%2d-%2d%c", &date.Year, &date.Month, &date.Day, &rest) == 3) ||
        !IsValidCivil(date)) {
      Fail(Where(i), "\"YYYY-MM-DD\" の形の日付か null ではありません");
    }
    return DateFromCivil(date);
  }

 private:
  const std::array<std::string_view, N>& names_;
  const Place& place_;
  std::array<std::optional<element>, N> values_;
};

constexpr std::array<std::string_view, 11> kDiscMembers = {"DiscKey",    "TrackCount", "DiscTime",  "DiscName",
                                                           "ArtistName", "SaleDate",   "LabelName", "DiscType",
                                                           "JacketFile", "LyricsFile", "Tracks"};
enum DiscMember : std::size_t {
  kDiscKey,
  kTrackCount,
  kDiscTime,
  kDiscName,
  kArtistName,
  kSaleDate,
  kLabelName,
  kDiscType,
  kJacketFile,
  kLyricsFile,
  kTracks
};
constexpr std::array<std::string_view, 8> kTrackMembers = {"TrackNo",  "StartPos", "Length",    "TrackName",
                                                           "Lyricsby", "Musicby",  "Arrangeby", "Genre"};
enum TrackMember : std::size_t { kTrackNo, kStartPos, kLength, kTrackName, kLyricsby, kMusicby, kArrangeby, kGenre };

// Reads one JSON disc into `disc`, which keeps no field of the disc read before it. Every
// complaint names the place in the file ("discs[3].Tracks[2].Genre"); the members are checked
// in a fixed order, so that the first fault is the one named.
void ReadDisc(const element& json, std::size_t index, TDiscRecord& disc) {
  Place place{index, std::nullopt};
  const Members members(json, kDiscMembers, place);
  disc.Reserved = 0;
  members.Text(kDiscKey, disc.DiscKey);
  const auto track_count = static_cast<std::uint8_t>(members.Unsigned(kTrackCount, 255));
  disc.DiscTime = static_cast<std::uint32_t>(members.Unsigned(kDiscTime, 0xFFFFFFFF));
  members.Text(kDiscName, disc.DiscName);
  members.Text(kArtistName, disc.ArtistName);
  disc.SaleDate = members.Date(kSaleDate);
  members.Text(kLabelName, disc.LabelName);
  disc.DiscType = static_cast<std::uint8_t>(members.Unsigned(kDiscType, 255));
  members.Text(kJacketFile, disc.JacketFile);
  members.Text(kLyricsFile, disc.LyricsFile);
  const std::size_t used = UsedTracks(track_count);
  simdjson::dom::array tracks;
  if (members.Field(kTracks).get_array().get(tracks) || tracks.size() != used) {
    Fail(members.Where(kTracks), std::to_string(used) + " 曲分の配列ではありません");
  }
  // Only the tracks the disc before used hold anything (TrackCount still counts them): those
  // past this disc's are cleared, and this disc's are written whole below.
  for (std::size_t n = used + 1; n <= UsedTracks(disc.TrackCount); ++n) disc.Tracks[n] = TTrackEntry{};
  disc.TrackCount = track_count;
  std::size_t n = 1;
  for (const element track : tracks) {
    place.Track = n - 1;
    const Members fields(track, kTrackMembers, place);
    if (fields.Unsigned(kTrackNo, 255) != n) Fail(fields.Where(kTrackNo), std::to_string(n) + " ではありません");
    TTrackEntry& entry = disc.Tracks[n];
    entry.StartPos = static_cast<std::uint32_t>(fields.Unsigned(kStartPos, 0xFFFFFFFF));
    entry.Length = static_cast<std::uint32_t>(fields.Unsigned(kLength, 0xFFFFFFFF));
    fields.Text(kTrackName, entry.TrackName);
    fields.Text(kLyricsby, entry.Lyricsby);
    fields.Text(kMusicby, entry.Musicby);
    fields.Text(kArrangeby, entry.Arrangeby);
    fields.Text(kGenre, entry.Genre);
    ++n;
  }
}

// The discs read, handed from the reading thread to the storing one through a ring of records:
// a record is large, so it is filled in place and never copied. The records start as zero bytes
// (a record of no tracks) from the system, so that the pages of track entries no disc uses are
// never touched. Each side sleeps until a batch is ready for it, so that the threads wake each
// other seldom.
class DiscRing {
 public:
  static constexpr std::size_t kSize = 128, kBatch = 64;

  DiscRing() : slots_(kSize) {}

  // Reading side: the record to fill next, waiting while the ring is full; nullptr once the
  // storing side has stopped.
  TDiscRecord* Free() {
    std::unique_lock lock(mutex_);
    if (filled_ - taken_ == kSize) {
      reader_waiting_ = true;
      changed_.wait(lock, [&] { return stopped_ || filled_ - taken_ <= kSize - kBatch; });
      reader_waiting_ = false;
    }
    return stopped_ ? nullptr : &slots_[filled_ % kSize];
  }
  void Filled() {
    const std::lock_guard lock(mutex_);
    ++filled_;
    if (store_waiting_ && filled_ - taken_ >= kBatch) changed_.notify_all();
  }
  // Reading side: no more discs; `failure` is why, when reading failed.
  void Finish(std::exception_ptr failure) {
    const std::lock_guard lock(mutex_);
    finished_ = true;
    failure_ = std::move(failure);
    changed_.notify_all();
  }

  // Storing side: the next disc read, waiting for it; nullptr after the last (then raises the
  // reading side's failure, if any).
  TDiscRecord* Take() {
    std::unique_lock lock(mutex_);
    if (taken_ == filled_ && !finished_) {
      store_waiting_ = true;
      changed_.wait(lock, [&] { return finished_ || filled_ - taken_ >= kBatch; });
      store_waiting_ = false;
    }
    if (taken_ < filled_) return &slots_[taken_ % kSize];
    if (failure_) std::rethrow_exception(failure_);
    return nullptr;
  }
  void Release() {
    const std::lock_guard lock(mutex_);
    ++taken_;
    if (reader_waiting_ && filled_ - taken_ <= kSize - kBatch) changed_.notify_all();
  }
  // Storing side: takes no more discs; the reading side stops at its next record.
  void Stop() {
    const std::lock_guard lock(mutex_);
    stopped_ = true;
    changed_.notify_all();
  }

 private:
  ZeroedArray<TDiscRecord> slots_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t filled_ = 0, taken_ = 0;
  bool reader_waiting_ = false, store_waiting_ = false, finished_ = false, stopped_ = false;
  std::exception_ptr failure_;
};

// Reads the document's discs into `ring`. The document is an object; its "discs" member (every
// one, when given more than once) an array of discs. Other members are checked as JSON and
// dropped. Raises Error for a fault anywhere, after handing over the discs before it.
void ReadDiscs(JsonStream& json, DiscRing& ring) {
  if (json.AtEnd()) json.Fail(0, "ファイルが空です");
  if (!json.NextIs('{')) Fail("(ファイル全体)", "オブジェクトではありません");
  json.Enter();
  bool saw_discs = false;
  std::size_t index = 0;
  while (const std::optional<std::string> key = json.NextKey()) {
    if (*key != "discs") {
      json.Value();
      continue;
    }
    saw_discs = true;
    if (!json.NextIs('[')) Fail("discs", "配列ではありません");
    json.Enter();
    while (json.NextElement()) {
      TDiscRecord* disc = ring.Free();
      if (!disc) return;
      ReadDisc(json.Value(), index++, *disc);
      ring.Filled();
    }
  }
  json.ExpectEnd();
  if (!saw_discs) Fail("(ファイル全体).discs", "ありません");
}

}  // namespace

int RunImport(const QvrdbContext& context, std::span<const std::string> arguments) {
  if (arguments.size() != 1) {
    context.Err << "qvrdb: 使い方: qvrdb [--db DIR] import FILE\n";
    return kQvrdbError;
  }
  const std::string& name = arguments[0];
  int error = 0;
  const int fd = OpenRegularFile(name, O_RDONLY, error);
  if (fd < 0) {
    if (error == ENOENT || error == ENOTDIR) throw Error(name + " がありません");
    throw Error(name + " を読み込めません: " + OpenFailureReason(error));
  }
  JsonStream json(fd, name);

  SystemDateSource today;
  TDiscDatabase database(today);
  database.DBOpen(context.MasterPath);
  std::optional<BulkStore> store;  // made at the first good disc: bad input creates nothing
  std::size_t stored = 0;

  // One thread reads and checks the discs while this one stores them: the two halves of the
  // work take about as long each.
  DiscRing ring;
  const std::jthread reader([&] {
    try {
      ReadDiscs(json, ring);
      ring.Finish(nullptr);
    } catch (...) {
      ring.Finish(std::current_exception());
    }
  });
  struct StopReading {
    DiscRing& ring;
    ~StopReading() { ring.Stop(); }  // before the reader is joined, when this side fails
  } stop_reading{ring};
  while (const TDiscRecord* disc = ring.Take()) {
    if (!store) store.emplace(database);
    try {
      store->Store(*disc);
    } catch (const Error& failure) {
      throw Error("discs[" + std::to_string(stored) + "] (" + disc->DiscKey.ToUtf8() +
                  ") を登録できません (何も登録していません): " + failure.what());
    }
    ++stored;
    ring.Release();
  }
  if (store) store->Commit();
  context.Out << stored << " 枚のディスクを登録しました\n";
  return kQvrdbOk;
}

}  // namespace qvr
