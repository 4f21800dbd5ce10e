// Export of every disc as JSON, resolved as a lookup resolves it (the import is QvrdbImport.cpp).
// Texts are Shift-JIS in the files and UTF-8 in the JSON.
#include "tools/qvrdb/QvrdbJson.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <ostream>

#include "cddb/DatabaseReader.h"
#include "cddb/DateSource.h"

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

}  // namespace qvr
