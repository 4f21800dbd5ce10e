// CDDB over HTTP: building requests and reading the answers.
#include "metadata/Gnudb.h"

#include <algorithm>
#include <charconv>
#include <map>

#include "lyrics/LrcFile.h"
#include "metadata/DiscIds.h"
#include "metadata/HttpClient.h"
#include "metadata/RecordText.h"

namespace qvr {
namespace {

// No real answer comes near these: an entry of 99 tracks has a few hundred lines, and a query
// lists a handful of matches. Each line costs a view of 16 bytes, whatever its length, so a
// hostile answer of bare line ends would cost eight times its size without the bound.
constexpr std::size_t kMaxAnswerLines = 10000;
constexpr std::size_t kMaxMatches = 100;
// The bytes kept of one key's value (its lines joined): far more than a field holds.
constexpr std::size_t kMaxValueBytes = 4096;

// The answer's lines without their CR LF ends; refuses an answer of more than kMaxAnswerLines.
std::vector<std::string_view> Lines(std::string_view answer) {
  std::vector<std::string_view> lines;
  while (!answer.empty()) {
    if (lines.size() == kMaxAnswerLines) {
      throw LookupError(LookupFailure::BadAnswer, "gnudb の応答が長すぎるため読めません");
    }
    const auto end = answer.find('\n');
    std::string_view line = answer.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    answer.remove_prefix(end + 1);
  }
  return lines;
}

// The answer as UTF-8: protocol level 6 answers in UTF-8, but old entries were stored in Latin-1
// (as Windows' code page 1252, which also has letters at 0x80..0x9F): an answer that is not
// valid UTF-8 is read so.
std::string AsUtf8(std::string_view answer) {
  if (IsValidUtf8(answer)) return std::string(answer);
  // Code page 1252's characters at 0x80..0x9F (0: unassigned there, kept as the C1 control).
  static constexpr char16_t kWindows1252[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  std::string text;
  text.reserve(answer.size() * 2);
  for (const char c : answer) {
    const auto byte = static_cast<unsigned char>(c);
    char32_t code = byte;
    if (byte >= 0x80 && byte < 0xA0 && kWindows1252[byte - 0x80] != 0) code = kWindows1252[byte - 0x80];
    if (code < 0x80) {
      text += static_cast<char>(code);
    } else if (code < 0x800) {
      text += static_cast<char>(0xC0 | code >> 6);
      text += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      text += static_cast<char>(0xE0 | code >> 12);
      text += static_cast<char>(0x80 | (code >> 6 & 0x3F));
      text += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return text;
}

int StatusOf(std::string_view line) {
  int code = 0;
  if (line.size() < 3 || std::from_chars(line.data(), line.data() + 3, code).ec != std::errc()) return -1;
  return code;
}

[[noreturn]] void FailStatus(int code, std::string_view line) {
  if (code == 202) throw LookupError(LookupFailure::NotFound, "このディスクは gnudb に登録されていません");
  if (code >= 400 && code < 600)
    throw LookupError(LookupFailure::ServerError, "gnudb がエラーを返しました: " + std::string(line));
  throw LookupError(LookupFailure::BadAnswer, "gnudb の応答を読めません");
}

// "category discid title" of a query's answer line.
CddbMatch MatchOf(std::string_view line) {
  CddbMatch match;
  const auto first = line.find(' ');
  const auto second = first == std::string_view::npos ? first : line.find(' ', first + 1);
  if (second == std::string_view::npos) throw LookupError(LookupFailure::BadAnswer, "gnudb の応答を読めません");
  match.Category = line.substr(0, first);
  match.DiscId = line.substr(first + 1, second - first - 1);
  match.Title = line.substr(second + 1);
  return match;
}

std::string Unescape(std::string_view value) {
  std::string text;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) {
      const char next = value[++i];
      text += next == 'n' ? '\n' : next == 't' ? '\t' : next;
    } else {
      text += value[i];
    }
  }
  return text;
}

bool SafeWord(std::string_view word) {
  if (word.empty()) return false;
  for (char c : word) {
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-'))
      return false;
  }
  return true;
}

}  // namespace

bool UsableEmailAddress(std::string_view address) {
  const std::size_t at = address.find('@');
  if (address.size() > 254 || at == std::string_view::npos || at == 0 || at + 1 == address.size()) return false;
  if (address.find('@', at + 1) != std::string_view::npos) return false;
  return std::all_of(address.begin(), address.end(), [](char c) { return c > ' ' && c < 0x7F; });
}

std::string CddbRequestQuery(std::string_view command, std::string_view program_version, std::string_view email) {
  std::string query = "cmd=";
  for (char c : command) query += c == ' ' ? std::string("+") : UrlEncode(std::string_view(&c, 1));
  std::string hello = "qvr+localhost";
  if (UsableEmailAddress(email)) {
    const std::size_t at = email.find('@');
    hello = UrlEncode(email.substr(0, at)) + "+" + UrlEncode(email.substr(at + 1));
  }
  query += "&hello=" + hello + "+QVR+" + UrlEncode(program_version) + "&proto=6";
  return query;
}

std::string CddbQueryCommand(const DiscToc& toc) {
  std::string command = "cddb query " + CddbDiscIdText(toc) + " " + std::to_string(toc.Tracks.size());
  for (const TocTrack& track : toc.Tracks) command += " " + std::to_string(track.Start);
  return command + " " + std::to_string(toc.LeadOut / 75);
}

std::vector<CddbMatch> ParseCddbQuery(std::string_view answer_bytes) {
  const std::string answer = AsUtf8(answer_bytes);
  const std::vector<std::string_view> lines = Lines(answer);
  const int code = lines.empty() ? -1 : StatusOf(lines.front());
  std::vector<CddbMatch> matches;
  if (code == 200) {
    // "200 category discid title"; a bare code names no entry.
    const std::string_view line = lines.front();
    matches.push_back(MatchOf(line.size() > 4 ? line.substr(4) : std::string_view()));
  } else if (code == 210 || code == 211) {
    for (std::size_t i = 1; i < lines.size() && lines[i] != "." && matches.size() < kMaxMatches; ++i) {
      if (!lines[i].empty()) matches.push_back(MatchOf(lines[i]));
    }
  } else {
    FailStatus(code, lines.empty() ? "" : lines.front());
  }
  // The category and ID go back into a read command: only plain words are taken.
  std::erase_if(matches, [](const CddbMatch& match) { return !SafeWord(match.Category) || !SafeWord(match.DiscId); });
  if (matches.empty()) throw LookupError(LookupFailure::NotFound, "このディスクは gnudb に登録されていません");
  return matches;
}

DiscProposal ParseCddbRead(std::string_view answer_bytes, const CddbMatch& match, const TDiscRecord& disc) {
  const std::string answer = AsUtf8(answer_bytes);
  const std::vector<std::string_view> lines = Lines(answer);
  const int code = lines.empty() ? -1 : StatusOf(lines.front());
  if (code != 210) FailStatus(code, lines.empty() ? "" : lines.front());
  std::map<std::string, std::string, std::less<>> values;
  for (std::size_t i = 1; i < lines.size() && lines[i] != "."; ++i) {
    const std::string_view line = lines[i];
    if (line.starts_with("#")) continue;
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    std::string& value = values[std::string(line.substr(0, equals))];
    value += line.substr(equals + 1, kMaxValueBytes - std::min(value.size(), kMaxValueBytes));
  }
  auto value = [&](const std::string& key) {
    const auto found = values.find(key);
    return found == values.end() ? std::string() : Unescape(found->second);
  };

  DiscProposal proposal;
  proposal.Source = "gnudb";
  const std::string title = value("DTITLE");
  const auto slash = title.find(" / ");
  proposal.Artist = slash == std::string::npos ? title : title.substr(0, slash);
  proposal.Title = slash == std::string::npos ? title : title.substr(slash + 3);
  proposal.Date = value("DYEAR");
  std::string genre = value("DGENRE");
  if (genre.empty()) genre = match.Category;

  TDiscRecord& record = proposal.Record;
  record = disc;
  record.DiscName = ToRecordText(proposal.Title, 96);
  record.ArtistName = ToRecordText(proposal.Artist, 96);
  record.LabelName = "";
  record.SaleDate = 0;
  record.DiscType = kNoDiscType;
  record.JacketFile = "";
  record.LyricsFile = "";
  for (std::size_t n = 1; n <= UsedTracks(disc.TrackCount); ++n) {
    TTrackEntry& entry = record.Tracks[n];
    entry.TrackName = ToRecordText(value("TTITLE" + std::to_string(n - 1)), 96);
    entry.Lyricsby = entry.Musicby = entry.Arrangeby = "";
    entry.Genre = ToRecordText(genre, 16);
  }
  return proposal;
}

}  // namespace qvr
