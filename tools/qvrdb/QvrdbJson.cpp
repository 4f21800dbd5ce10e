// Export of every disc as JSON, resolved as a lookup resolves it, and import of such a file
// through the bulk store. Texts are Shift-JIS in the files and UTF-8 in the JSON.
//
// The import reads the file as a stream: each disc object is taken from the parser when it is
// complete, checked, stored and dropped, so memory does not grow with the file. The whole file is
// one transaction: bad input anywhere (or an interruption) leaves the database as it was.
#include "tools/qvrdb/QvrdbJson.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <vector>

#include "cddb/BulkStore.h"
#include "cddb/DatabaseReader.h"
#include "cddb/DateSource.h"
#include "cddb/DiscDatabase.h"
#include "util/AtomicFile.h"
#include "util/Error.h"
#include "util/RegularFile.h"
#include "util/ShiftJis.h"

namespace qvr {
namespace {

using Json = nlohmann::ordered_json;

Json TrackJson(std::size_t n, const TTrackEntry& track) {
  Json json;
  json["TrackNo"] = n;
  json["StartPos"] = track.StartPos;
  json["Length"] = track.Length;
  json["TrackName"] = track.TrackName.ToUtf8();
  json["Lyricsby"] = track.Lyricsby.ToUtf8();
  json["Musicby"] = track.Musicby.ToUtf8();
  json["Arrangeby"] = track.Arrangeby.ToUtf8();
  json["Genre"] = track.Genre.ToUtf8();
  return json;
}

Json DiscJson(const TDiscRecord& disc) {
  Json json;
  json["DiscKey"] = disc.DiscKey.ToUtf8();
  json["TrackCount"] = disc.TrackCount;
  json["DiscTime"] = disc.DiscTime;
  json["DiscName"] = disc.DiscName.ToUtf8();
  json["ArtistName"] = disc.ArtistName.ToUtf8();
  // A value that is no day (unknown, or damaged) is written as null: "no known date".
  if (CivilFromDate(disc.SaleDate))
    json["SaleDate"] = FormatSaleDate(disc.SaleDate);
  else
    json["SaleDate"] = nullptr;
  json["LabelName"] = disc.LabelName.ToUtf8();
  json["DiscType"] = disc.DiscType;
  json["JacketFile"] = disc.JacketFile.ToUtf8();
  json["LyricsFile"] = disc.LyricsFile.ToUtf8();
  Json tracks = Json::array();
  for (std::size_t n = 1; n <= UsedTracks(disc.TrackCount); ++n) tracks.push_back(TrackJson(n, disc.Tracks[n]));
  json["Tracks"] = std::move(tracks);
  return json;
}

// Reads the fields of one JSON disc into a TDiscRecord; every complaint names the place in the
// file ("discs[3].Tracks[2].Genre").
class DiscReader {
 public:
  [[noreturn]] static void Fail(const std::string& where, std::string_view what) {
    throw Error("インポートできません: " + where + ": " + std::string(what));
  }

  static const Json& Field(const Json& object, const std::string& where, const char* name) {
    if (!object.is_object()) Fail(where, "オブジェクトではありません");
    auto found = object.find(name);
    if (found == object.end()) Fail(where + "." + name, "ありません");
    return *found;
  }

  static std::uint64_t Unsigned(const Json& object, const std::string& where, const char* name, std::uint64_t max) {
    const Json& value = Field(object, where, name);
    if (!value.is_number_unsigned() || value.get<std::uint64_t>() > max) {
      Fail(where + "." + name, "0 から " + std::to_string(max) + " までの整数ではありません");
    }
    return value.get<std::uint64_t>();
  }

  template <std::size_t N>
  static ShortString<N> Text(const Json& object, const std::string& where, const char* name) {
    const Json& value = Field(object, where, name);
    if (!value.is_string()) Fail(where + "." + name, "文字列ではありません");
    SjisEncoding encoded = Utf8ToSjis(value.get<std::string>());
    if (!encoded.ok()) {
      std::string characters;
      for (const std::string& c : encoded.unmappable) characters += " " + c;
      Fail(where + "." + name, "Shift-JIS で表せない文字があります:" + characters);
    }
    if (encoded.bytes.size() > N) {
      Fail(where + "." + name, "Shift-JIS で " + std::to_string(encoded.bytes.size()) + " バイトあり、" +
                                   std::to_string(N) + " バイトまでしか入りません");
    }
    return ShortString<N>(encoded.bytes);
  }

  // A date, or unknown when the field is null or missing.
  static TDateTime Date(const Json& object, const std::string& where, const char* name) {
    if (!object.is_object()) Fail(where, "オブジェクトではありません");
    auto found = object.find(name);
    if (found == object.end() || found->is_null()) return kUnknownDate;
    const Json& value = *found;
    CivilDate date;
    char rest = 0;
    if (!value.is_string() || value.get<std::string>().size() != 10 ||
        std::sscanf(value.get<std::string>().c_str(), "%4d-%2d-%2d%c", &date.Year, &date.Month, &date.Day, &rest) !=
            3 ||
        !IsValidCivil(date)) {
      Fail(where + "." + name, "\"YYYY-MM-DD\" の形の日付か null ではありません");
    }
    return DateFromCivil(date);
  }

  static TDiscRecord Disc(const Json& json, const std::string& where) {
    TDiscRecord disc;
    ClearDisc(disc, SystemDateSource());
    disc.DiscKey = Text<8>(json, where, "DiscKey");
    disc.TrackCount = static_cast<std::uint8_t>(Unsigned(json, where, "TrackCount", 255));
    disc.DiscTime = static_cast<std::uint32_t>(Unsigned(json, where, "DiscTime", 0xFFFFFFFF));
    disc.DiscName = Text<96>(json, where, "DiscName");
    disc.ArtistName = Text<96>(json, where, "ArtistName");
    disc.SaleDate = Date(json, where, "SaleDate");
    disc.LabelName = Text<96>(json, where, "LabelName");
    disc.DiscType = static_cast<std::uint8_t>(Unsigned(json, where, "DiscType", 255));
    disc.JacketFile = Text<255>(json, where, "JacketFile");
    disc.LyricsFile = Text<255>(json, where, "LyricsFile");
    const Json& tracks = Field(json, where, "Tracks");
    const std::size_t used = UsedTracks(disc.TrackCount);
    if (!tracks.is_array() || tracks.size() != used) {
      Fail(where + ".Tracks", std::to_string(used) + " 曲分の配列ではありません");
    }
    for (std::size_t n = 1; n <= used; ++n) {
      const std::string at = where + ".Tracks[" + std::to_string(n - 1) + "]";
      const Json& track = tracks[n - 1];
      if (Unsigned(track, at, "TrackNo", 255) != n) Fail(at + ".TrackNo", std::to_string(n) + " ではありません");
      TTrackEntry& entry = disc.Tracks[n];
      entry.StartPos = static_cast<std::uint32_t>(Unsigned(track, at, "StartPos", 0xFFFFFFFF));
      entry.Length = static_cast<std::uint32_t>(Unsigned(track, at, "Length", 0xFFFFFFFF));
      entry.TrackName = Text<96>(track, at, "TrackName");
      entry.Lyricsby = Text<96>(track, at, "Lyricsby");
      entry.Musicby = Text<96>(track, at, "Musicby");
      entry.Arrangeby = Text<96>(track, at, "Arrangeby");
      entry.Genre = Text<16>(track, at, "Genre");
    }
    return disc;
  }
};

// A file read a megabyte at a time, as the characters the JSON parser asks for one by one (the
// parser's own stream reader is about a third slower).
class FileChars {
 public:
  FileChars(int fd, std::string name) : fd_(fd), name_(std::move(name)), buffer_(1 << 20) { Fill(); }
  ~FileChars() { close(fd_); }
  FileChars(const FileChars&) = delete;
  FileChars& operator=(const FileChars&) = delete;

  // An input iterator; all iterators of one file share its position, as the parser needs.
  class Iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    explicit Iterator(FileChars* file = nullptr) : file_(file) {}
    const char& operator*() const { return file_->buffer_[file_->at_]; }
    Iterator& operator++() {
      if (++file_->at_ == file_->end_) file_->Fill();
      return *this;
    }
    Iterator operator++(int) {
      Iterator before = *this;
      ++*this;
      return before;
    }
    bool operator==(const Iterator& other) const { return AtEnd() == other.AtEnd(); }

   private:
    bool AtEnd() const { return !file_ || file_->at_ == file_->end_; }
    FileChars* file_;
  };

  Iterator begin() { return Iterator(this); }
  Iterator end() { return Iterator(); }

 private:
  void Fill() {
    at_ = end_ = 0;
    for (;;) {
      const ssize_t got = read(fd_, buffer_.data(), buffer_.size());
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) throw Error(name_ + " を読み込めません: " + std::strerror(errno));
      end_ = static_cast<std::size_t>(got);
      return;
    }
  }

  int fd_;
  std::string name_;
  std::vector<char> buffer_;
  std::size_t at_ = 0, end_ = 0;
};

}  // namespace

std::string FormatSaleDate(TDateTime value) {
  if (!CivilFromDate(value)) return "不明";
  const CivilDate date = CivilFromDate(value).value_or(CivilDate{});
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.Year, date.Month, date.Day);
  return text;
}

std::string DiscsDocument(std::span<const TDiscRecord> discs) {
  Json list = Json::array();
  for (const TDiscRecord& disc : discs) list.push_back(DiscJson(disc));
  Json document;
  document["discs"] = std::move(list);
  return document.dump(2) + "\n";
}

int RunExport(const QvrdbContext& context, std::span<const std::string> arguments) {
  if (!arguments.empty()) {
    context.Err << "qvrdb: 使い方: qvrdb [--db DIR] export\n";
    return kQvrdbError;
  }
  DatabaseReader reader(context.MasterPath);
  reader.IndexTracks();
  // The document {"discs": [...]} as dump(2) writes it, one disc at a time: each disc is dumped
  // alone and indented to its place in the array.
  std::ostream& out = context.Out;
  out << "{\n  \"discs\": [";
  bool first = true;
  reader.ForEachMaster([&](const TMasterRecord& master) {
    std::string text = DiscJson(reader.Resolve(master)).dump(2);
    std::string indented;
    indented.reserve(text.size() + text.size() / 8);
    for (char c : text) {
      indented += c;
      if (c == '\n') indented += "    ";
    }
    out << (first ? "\n    " : ",\n    ") << indented;
    first = false;
    return true;
  });
  out << (first ? "]\n}\n" : "\n  ]\n}\n");
  return ReportUnusableFiles(reader, context.Err);
}

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
  FileChars input(fd, name);

  SystemDateSource today;
  TDiscDatabase database(today);
  database.DBOpen(context.MasterPath);
  std::optional<BulkStore> store;  // made at the first good disc: bad input creates nothing
  std::size_t stored = 0;

  // Where the parser is: the top-level object's current key, and whether its "discs" array is
  // open. Everything but the discs themselves is dropped as soon as it is parsed.
  bool top_is_object = false, saw_discs = false, in_discs = false;
  std::string key;
  using Event = Json::parse_event_t;
  auto take = [&](int depth, Event event, Json& parsed) -> bool {
    if (in_discs && depth >= 3) return true;  // the fields of the disc being read
    if (depth == 0 && event == Event::object_start) top_is_object = true;
    if (depth == 1 && event == Event::key) {
      key = parsed.get<std::string>();
      if (key == "discs") saw_discs = true;
      return true;
    }
    if (depth == 1 && key == "discs") {
      if (event == Event::array_start) in_discs = true;
      if (event == Event::array_end) in_discs = false;
      if (event == Event::value || event == Event::object_end) DiscReader::Fail("discs", "配列ではありません");
    }
    if (depth == 2 && in_discs && (event == Event::object_end || event == Event::value || event == Event::array_end)) {
      const std::string where = "discs[" + std::to_string(stored) + "]";
      if (event != Event::object_end) DiscReader::Fail(where, "オブジェクトではありません");
      const TDiscRecord disc = DiscReader::Disc(parsed, where);
      if (!store) store.emplace(database);
      try {
        store->Store(disc);
      } catch (const Error& failure) {
        throw Error(where + " (" + disc.DiscKey.ToUtf8() +
                    ") を登録できません (何も登録していません): " + failure.what());
      }
      ++stored;
      return false;
    }
    // Dropped once complete: nothing outside the disc being read is kept.
    return event == Event::object_start || event == Event::array_start || event == Event::key || depth == 0;
  };
  try {
    // What is left is the top-level object without its discs.
    [[maybe_unused]] const Json rest = Json::parse(input.begin(), input.end(), take);
  } catch (const Json::exception& failure) {
    throw Error(name + " は JSON として読めません: " + failure.what());
  }
  if (!top_is_object) DiscReader::Fail("(ファイル全体)", "オブジェクトではありません");
  if (!saw_discs) DiscReader::Fail("(ファイル全体).discs", "ありません");
  if (store) store->Commit();
  context.Out << stored << " 枚のディスクを登録しました\n";
  return kQvrdbOk;
}

}  // namespace qvr
