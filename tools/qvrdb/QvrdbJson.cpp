// Export of every disc as JSON, resolved as a lookup resolves it, and import of such a file
// through the store. Texts are Shift-JIS in the files and UTF-8 in the JSON.
#include "tools/qvrdb/QvrdbJson.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <ostream>
#include <vector>

#include "cddb/DatabaseSnapshot.h"
#include "cddb/DateSource.h"
#include "cddb/DiscDatabase.h"
#include "util/AtomicFile.h"
#include "util/Error.h"
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
  json["SaleDate"] = FormatSaleDate(disc.SaleDate);
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

  static TDateTime Date(const Json& object, const std::string& where, const char* name) {
    const Json& value = Field(object, where, name);
    CivilDate date;
    char rest = 0;
    if (!value.is_string() || value.get<std::string>().size() != 10 ||
        std::sscanf(value.get<std::string>().c_str(), "%4d-%2d-%2d%c", &date.Year, &date.Month, &date.Day, &rest) != 3 ||
        !IsValidCivil(date)) {
      Fail(where + "." + name, "\"YYYY-MM-DD\" の形の日付ではありません");
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

}  // namespace

std::string FormatSaleDate(TDateTime value) {
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
  const DatabaseSnapshot snapshot = DatabaseSnapshot::Read(context.MasterPath);
  std::vector<TDiscRecord> discs;
  for (std::size_t i = 0; i < snapshot.Masters().size(); ++i) discs.push_back(snapshot.Disc(i));
  context.Out << DiscsDocument(discs);
  return ReportUnusableFiles(snapshot, context.Err);
}

int RunImport(const QvrdbContext& context, std::span<const std::string> arguments) {
  if (arguments.size() != 1) {
    context.Err << "qvrdb: 使い方: qvrdb [--db DIR] import FILE\n";
    return kQvrdbError;
  }
  std::string text;
  if (!ReadWholeFile(arguments[0], text)) throw Error(arguments[0] + " がありません");
  Json document;
  try {
    document = Json::parse(text);
  } catch (const Json::exception& error) {
    throw Error(arguments[0] + " は JSON として読めません: " + error.what());
  }
  const Json& discs = DiscReader::Field(document, "(ファイル全体)", "discs");
  if (!discs.is_array()) DiscReader::Fail("discs", "配列ではありません");

  // Everything is read and checked before the first disc is stored.
  std::vector<TDiscRecord> records;
  records.reserve(discs.size());
  for (std::size_t i = 0; i < discs.size(); ++i) records.push_back(DiscReader::Disc(discs[i], "discs[" + std::to_string(i) + "]"));

  SystemDateSource today;
  TDiscDatabase database(today);
  database.DBOpen(context.MasterPath);
  for (std::size_t i = 0; i < records.size(); ++i) {
    try {
      database.DBStore(records[i]);
    } catch (const Error& error) {
      throw Error("discs[" + std::to_string(i) + "] (" + records[i].DiscKey.ToUtf8() + ") を登録できません (" +
                  std::to_string(i) + " 枚は登録済み): " + error.what());
    }
  }
  database.DBClose();
  context.Out << records.size() << " 枚のディスクを登録しました\n";
  return kQvrdbOk;
}

}  // namespace qvr
