// Reading the MusicBrainz disc ID answer. Only the fields used are read; anything missing or of
// another type than documented is treated as absent, so that a partial answer still proposes
// what it has, while an answer that is not JSON, or has no release list, is refused.
#include "metadata/MusicBrainz.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "cddb/DateSource.h"
#include "metadata/HttpClient.h"
#include "metadata/RecordText.h"
#include "util/JsonBounds.h"

namespace qvr {
namespace {

using Json = nlohmann::json;

const Json& Field(const Json& object, const char* name) {
  static const Json kNull;
  if (!object.is_object()) return kNull;
  const auto found = object.find(name);
  return found == object.end() ? kNull : *found;
}

std::string Text(const Json& object, const char* name) {
  const Json& value = Field(object, name);
  return value.is_string() ? value.get<std::string>() : std::string();
}

const Json& Array(const Json& object, const char* name) {
  static const Json kEmpty = Json::array();
  const Json& value = Field(object, name);
  return value.is_array() ? value : kEmpty;
}

// "Artist A & Artist B": each credited name with its join phrase.
std::string ArtistCredit(const Json& object) {
  std::string text;
  for (const Json& credit : Array(object, "artist-credit")) {
    std::string name = Text(credit, "name");
    if (name.empty()) name = Text(Field(credit, "artist"), "name");
    text += name + Text(credit, "joinphrase");
  }
  return text;
}

// A release date "YYYY", "YYYY-MM" or "YYYY-MM-DD" as a record date; a missing month or day
// counts as the first. 0 for anything else.
TDateTime SaleDateOf(const std::string& date) {
  int year = 0, month = 1, day = 1;
  auto number = [&](std::size_t at, std::size_t length, int& value) {
    if (date.size() < at + length) return false;
    value = 0;
    for (std::size_t i = at; i < at + length; ++i) {
      if (date[i] < '0' || date[i] > '9') return false;
      value = value * 10 + (date[i] - '0');
    }
    return true;
  };
  if (!number(0, 4, year)) return 0;
  if (date.size() >= 7 && (date[4] != '-' || !number(5, 2, month))) return 0;
  if (date.size() >= 10 && (date[7] != '-' || !number(8, 2, day))) return 0;
  const CivilDate civil{year, month, day};
  return IsValidCivil(civil) ? DateFromCivil(civil) : 0;
}

std::uint8_t DiscTypeOf(const Json& release_group) {
  const std::string type = Text(release_group, "primary-type");
  if (type == "Single") return dtSingle;
  if (type == "Album") return dtAlbum;
  if (type == "EP") return dtMiniAlbum;
  return kNoDiscType;
}

bool IsJapanese(const Json& release) {
  if (Text(release, "country") == "JP") return true;
  if (Text(Field(release, "text-representation"), "language") == "jpn") return true;
  for (const Json& event : Array(release, "release-events")) {
    for (const Json& code : Array(Field(event, "area"), "iso-3166-1-codes")) {
      if (code.is_string() && code.get<std::string>() == "JP") return true;
    }
  }
  return false;
}

const Json* MediumOf(const Json& release, std::string_view disc_id, std::size_t track_count) {
  const Json& media = Array(release, "media");
  for (const Json& medium : media) {
    for (const Json& disc : Array(medium, "discs")) {
      if (Text(disc, "id") == disc_id) return &medium;
    }
  }
  for (const Json& medium : media) {
    if (Array(medium, "tracks").size() == track_count) return &medium;
  }
  return media.empty() ? nullptr : &media.front();
}

// The people a track credits: lyricist, composer and arranger from the recording's relations and
// those of the works it performs; several names are joined with "、".
struct Credits {
  std::vector<std::string> lyrics, music, arrangement, writers;

  static void Add(std::vector<std::string>& names, const Json& relation) {
    std::string name = Text(relation, "target-credit");
    if (name.empty()) name = Text(Field(relation, "artist"), "name");
    if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  }

  void Read(const Json& relations, bool from_work) {
    for (const Json& relation : relations) {
      const std::string type = Text(relation, "type");
      if (Text(relation, "target-type") == "work" || Field(relation, "work").is_object()) {
        if (!from_work) Read(Array(Field(relation, "work"), "relations"), true);
        continue;
      }
      if (type == "lyricist") Add(lyrics, relation);
      if (type == "composer") Add(music, relation);
      if (type == "writer") Add(writers, relation);
      if (type == "arranger" || type == "instrument arranger" || type == "vocal arranger" || type == "orchestrator") {
        Add(arrangement, relation);
      }
    }
  }

  static std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : "、") + name;
    return text;
  }
};

DiscProposal ProposalOf(const Json& release, std::string_view disc_id, const TDiscRecord& disc) {
  DiscProposal proposal;
  proposal.Source = "MusicBrainz";
  proposal.Title = Text(release, "title");
  proposal.Artist = ArtistCredit(release);
  proposal.Country = Text(release, "country");
  proposal.Date = Text(release, "date");
  for (const Json& info : Array(release, "label-info")) {
    proposal.Label = Text(Field(info, "label"), "name");
    if (!proposal.Label.empty()) break;
  }
  proposal.ReleaseId = Text(release, "id");
  const Json& front = Field(Field(release, "cover-art-archive"), "front");
  proposal.FrontCover = front.is_boolean() && front.get<bool>();
  proposal.Japanese = IsJapanese(release);

  TDiscRecord& record = proposal.Record;
  record = disc;
  record.DiscName = ToRecordText(proposal.Title, 96);
  record.ArtistName = ToRecordText(proposal.Artist, 96);
  record.LabelName = ToRecordText(proposal.Label, 96);
  record.SaleDate = SaleDateOf(proposal.Date);
  record.DiscType = DiscTypeOf(Field(release, "release-group"));
  record.JacketFile = "";
  record.LyricsFile = "";
  const std::size_t tracks = UsedTracks(disc.TrackCount);
  for (std::size_t n = 1; n <= tracks; ++n) {
    TTrackEntry& entry = record.Tracks[n];
    entry.TrackName = entry.Lyricsby = entry.Musicby = entry.Arrangeby = "";
    entry.Genre = "";
  }
  if (const Json* medium = MediumOf(release, disc_id, tracks)) {
    const Json& listed = Array(*medium, "tracks");
    for (std::size_t n = 1; n <= tracks && n <= listed.size(); ++n) {
      const Json& track = listed[n - 1];
      const Json& recording = Field(track, "recording");
      std::string title = Text(track, "title");
      if (title.empty()) title = Text(recording, "title");
      Credits credits;
      credits.Read(Array(recording, "relations"), false);
      if (credits.lyrics.empty()) credits.lyrics = credits.writers;
      if (credits.music.empty()) credits.music = credits.writers;
      TTrackEntry& entry = record.Tracks[n];
      entry.TrackName = ToRecordText(title, 96);
      entry.Lyricsby = ToRecordText(Credits::Joined(credits.lyrics), 96);
      entry.Musicby = ToRecordText(Credits::Joined(credits.music), 96);
      entry.Arrangeby = ToRecordText(Credits::Joined(credits.arrangement), 96);
    }
  }
  return proposal;
}

}  // namespace

std::string MusicBrainzDiscIdPath(std::string_view disc_id) {
  return "/ws/2/discid/" + UrlEncode(disc_id) +
         "?inc=artist-credits+labels+recordings+release-groups+artist-rels+work-rels+recording-level-rels+"
         "work-level-rels&cdstubs=no&fmt=json";
}

std::vector<DiscProposal> ParseMusicBrainzDiscId(std::string_view json, std::string_view disc_id,
                                                 const TDiscRecord& disc) {
  // A tree costs many times its text: an answer nested deeper or holding more values than any
  // real one is refused before it is built.
  if (!JsonWithinLimits(json)) {
    throw LookupError(LookupFailure::BadAnswer, "MusicBrainz の応答が大きすぎるか深すぎるため読めません");
  }
  Json document = Json::parse(json, nullptr, false);
  if (document.is_discarded() || !document.is_object() || !Field(document, "releases").is_array()) {
    throw LookupError(LookupFailure::BadAnswer, "MusicBrainz の応答を読めません");
  }
  std::vector<DiscProposal> proposals;
  for (const Json& release : Field(document, "releases")) {
    if (release.is_object()) proposals.push_back(ProposalOf(release, disc_id, disc));
  }
  if (proposals.empty()) throw LookupError(LookupFailure::NotFound, "このディスクは MusicBrainz に登録されていません");
  std::stable_sort(proposals.begin(), proposals.end(),
                   [](const DiscProposal& a, const DiscProposal& b) { return a.Japanese && !b.Japanese; });
  return proposals;
}

}  // namespace qvr
