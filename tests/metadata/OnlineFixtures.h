// Answers in the services' documented formats for the online lookup's tests: MusicBrainz's
// ws/2 disc ID lookup (JSON), gnudb's CDDB query and read answers, and the twelve-track disc.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cdda/DiscToc.h"
#include "cddb/DiscRecord.h"
#include "metadata/DiscIds.h"
#include "util/Msf.h"

namespace qvr::test {

// The twelve-track disc of the device tests, as the player's record holds it.
inline TDiscRecord TwelveTrackDisc() {
  const std::uint8_t starts[][3] = {{0, 2, 33},   {4, 32, 65},  {8, 46, 55},  {13, 1, 13},  {18, 10, 3}, {23, 30, 70},
                                    {29, 39, 15}, {34, 24, 33}, {40, 12, 73}, {43, 22, 53}, {47, 7, 63}, {52, 9, 30}};
  DiscToc toc;
  for (const auto& start : starts) toc.Tracks.push_back({MSFToFrames(PackMSF(start[0], start[1], start[2])), true});
  toc.LeadOut = MSFToFrames(PackMSF(56, 0, 0));
  TDiscRecord disc;
  disc.DiscKey = "0137EBFA";
  disc.TrackCount = 12;
  disc.DiscTime = FramesToMSF(toc.DiscLength());
  for (std::uint32_t n = 1; n <= 12; ++n) {
    disc.Tracks[n].StartPos = FramesToMSF(toc.Tracks[n - 1].Start);
    disc.Tracks[n].Length = FramesToMSF(toc.TrackLength(n));
  }
  return disc;
}

struct ReleaseFixture {
  std::string id = "9e1d6ffa-6c43-4b4b-a4b5-9a2a4c1b0f01";
  std::string title = "Album";
  std::string artist = "Artist";
  std::string country = "US";
  std::string date = "2001-03-07";
  std::string label = "Label";
  std::string language = "eng";
  std::string type = "Album";
  std::string disc_id;  // the medium carrying it; empty: none
  int tracks = 12;
  bool front = true;
};

// One release of a disc ID answer, with a lyricist and composer (through the work) and an
// arranger (on the recording) credited on track 1.
inline nlohmann::json ReleaseJson(const ReleaseFixture& release) {
  using Json = nlohmann::json;
  Json tracks = Json::array();
  for (int n = 1; n <= release.tracks; ++n) {
    Json recording = {{"id", "rec-" + std::to_string(n)}, {"title", "Recording " + std::to_string(n)}};
    if (n == 1) {
      recording["relations"] = Json::array(
          {{{"type", "arranger"}, {"target-type", "artist"}, {"artist", {{"name", "編曲者"}}}},
           {{"type", "performance"},
            {"target-type", "work"},
            {"work",
             {{"title", "Work"},
              {"relations",
               Json::array({{{"type", "lyricist"}, {"target-type", "artist"}, {"artist", {{"name", "作詞者"}}}},
                            {{"type", "composer"}, {"target-type", "artist"}, {"artist", {{"name", "作曲者"}}}},
                            {{"type", "composer"},
                             {"target-type", "artist"},
                             {"target-credit", "Second Composer"},
                             {"artist", {{"name", "Other Name"}}}}})}}}}});
    }
    tracks.push_back({{"position", n},
                      {"number", std::to_string(n)},
                      {"title", release.title + " " + std::to_string(n)},
                      {"recording", recording}});
  }
  Json discs = Json::array();
  if (!release.disc_id.empty()) discs.push_back({{"id", release.disc_id}, {"sectors", 252000}});
  Json media = Json::array();
  // A first medium that does not carry the disc, so that the right one must be found.
  media.push_back({{"position", 1}, {"format", "CD"}, {"discs", Json::array()}, {"tracks", Json::array()}});
  media.push_back({{"position", 2}, {"format", "CD"}, {"discs", discs}, {"tracks", tracks}});
  return {
      {"id", release.id},
      {"title", release.title},
      {"status", "Official"},
      {"country", release.country},
      {"date", release.date},
      {"text-representation", {{"language", release.language}, {"script", "Jpan"}}},
      {"artist-credit",
       Json::array({{{"name", release.artist}, {"joinphrase", " & "}, {"artist", {{"name", release.artist}}}},
                    {{"name", "Guest"}, {"joinphrase", ""}}})},
      {"label-info", Json::array({{{"catalog-number", "X-1"}, {"label", {{"name", release.label}}}}})},
      {"release-group", {{"primary-type", release.type}, {"title", release.title}}},
      {"cover-art-archive", {{"front", release.front}, {"artwork", release.front}, {"count", release.front ? 1 : 0}}},
      {"media", media}};
}

inline std::string DiscIdAnswer(const std::string& disc_id, const std::vector<ReleaseFixture>& releases) {
  nlohmann::json answer = {
      {"id", disc_id}, {"sectors", 252000}, {"offset-count", 12}, {"releases", nlohmann::json::array()}};
  for (ReleaseFixture release : releases) {
    if (release.disc_id.empty()) release.disc_id = disc_id;
    answer["releases"].push_back(ReleaseJson(release));
  }
  return answer.dump();
}

inline std::string CddbReadAnswer(const std::string& category, const std::string& disc_id) {
  std::string answer = "210 " + category + " " + disc_id + " CD database entry follows (until terminating `.')\r\n";
  answer += "# xmcd\r\n#\r\n# Track frame offsets:\r\n#\t183\r\n#\r\nDISCID=" + disc_id + "\r\n";
  answer += "DTITLE=CDDB Artist / CDDB Title\r\nDYEAR=1999\r\nDGENRE=J-Pop\r\n";
  for (int n = 0; n < 12; ++n) answer += "TTITLE" + std::to_string(n) + "=Song " + std::to_string(n + 1) + "\r\n";
  // A title continued on a second line, with escapes.
  answer += "TTITLE11= (long\\tversion)\r\nEXTD=\r\nPLAYORDER=\r\n.\r\n";
  return answer;
}

}  // namespace qvr::test
