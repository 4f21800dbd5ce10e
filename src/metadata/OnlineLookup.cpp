// The online lookup's steps: which source is asked when, retries, pacing and the cover file.
#include "metadata/OnlineLookup.h"

#include <algorithm>
#include <mutex>
#include <thread>

#include "app/Version.h"
#include "metadata/DiscIds.h"
#include "metadata/Gnudb.h"
#include "metadata/MusicBrainz.h"
#include "util/AtomicFile.h"

namespace qvr {
namespace {

using Clock = std::chrono::steady_clock;

// Attempts of a MusicBrainz request that the server answers with 503 (busy or over its rate).
constexpr int kMusicBrainzAttempts = 3;
constexpr std::chrono::seconds kLongestRetryWait{10};

[[noreturn]] void ThrowCancelled() { throw LookupError(LookupFailure::Cancelled, "検索を中止しました"); }

// Waits `duration`, looking at the cancel flag every 20 ms.
void SleepFor(Clock::duration duration, const CancelFlag& cancel) {
  const Clock::time_point until = Clock::now() + duration;
  while (Clock::now() < until) {
    if (cancel.Cancelled()) ThrowCancelled();
    std::this_thread::sleep_for(std::min<Clock::duration>(until - Clock::now(), std::chrono::milliseconds(20)));
  }
  if (cancel.Cancelled()) ThrowCancelled();
}

// MusicBrainz allows one request a second from a client; every lookup of the process takes its
// turn here.
void WaitMusicBrainzTurn(std::chrono::milliseconds interval, const CancelFlag& cancel) {
  static std::mutex mutex;
  static Clock::time_point next_turn;
  Clock::time_point turn;
  {
    std::lock_guard lock(mutex);
    turn = std::max(Clock::now(), next_turn);
    next_turn = turn + interval;
  }
  SleepFor(turn - Clock::now(), cancel);
}

LookupError StatusError(const std::string& server, long status) {
  return LookupError(LookupFailure::ServerError,
                     "サーバー " + server + " がエラーを返しました (HTTP " + std::to_string(status) + ")");
}

bool SaysNotFound(const LookupError& error) { return error.Failure() == LookupFailure::NotFound; }

std::string_view ImageSuffix(std::string_view bytes) {
  if (bytes.starts_with("\xFF\xD8\xFF")) return "jpg";
  if (bytes.starts_with("\x89PNG\r\n\x1A\n")) return "png";
  if (bytes.starts_with("GIF87a") || bytes.starts_with("GIF89a")) return "gif";
  if (bytes.size() >= 12 && bytes.starts_with("RIFF") && bytes.substr(8, 4) == "WEBP") return "webp";
  return {};
}

std::string TrimSlash(std::string server) {
  while (!server.empty() && server.back() == '/') server.pop_back();
  return server;
}

}  // namespace

std::string QvrUserAgent() {
  return "QVR/" + std::to_string(kFileVersion.major) + "." + std::to_string(kFileVersion.minor) + "." +
         std::to_string(kFileVersion.release) + "." + std::to_string(kFileVersion.build) + " ( " + kProductName + " )";
}

std::string JacketBaseName(std::string_view disc_key) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string name;
  for (unsigned char c : disc_key) {
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
      name += static_cast<char>(c);
    } else {
      name += {'%', kHex[c >> 4], kHex[c & 15]};
    }
  }
  return name.empty() ? "disc" : name;
}

OnlineLookup::OnlineLookup(OnlineLookupSettings settings)
    : settings_(std::move(settings)), http_(QvrUserAgent(), settings_.Timeout) {
  settings_.MusicBrainzServer = TrimSlash(settings_.MusicBrainzServer);
  settings_.GnudbServer = TrimSlash(settings_.GnudbServer);
  settings_.CoverArtServer = TrimSlash(settings_.CoverArtServer);
}

std::vector<DiscProposal> OnlineLookup::Find(const DiscToc& toc, const TDiscRecord& disc, const CancelFlag& cancel,
                                             const Progress& progress) {
  std::optional<LookupError> first_failure;
  bool all_not_found = true;
  std::string skipped;  // why a source could not be asked, told with the next step
  auto attempt = [&](const std::string& server, const char* step, auto find) -> std::vector<DiscProposal> {
    if (server.empty()) return {};
    if (progress) progress(skipped.empty() ? std::string(step) : skipped + "。" + step);
    try {
      return (this->*find)(toc, disc, cancel);
    } catch (const LookupError& error) {
      if (error.Failure() == LookupFailure::Cancelled) throw;
      if (error.Failure() == LookupFailure::NoDiscId) {
        skipped = error.what();
        return {};
      }
      // A server that could not be asked says more than one that does not know the disc, since
      // the disc may be known there.
      if (!SaysNotFound(error)) all_not_found = false;
      if (!first_failure || (SaysNotFound(*first_failure) && !SaysNotFound(error))) first_failure = error;
      return {};
    }
  };
  std::vector<DiscProposal> proposals =
      attempt(settings_.MusicBrainzServer, "MusicBrainz で検索しています…", &OnlineLookup::FindMusicBrainz);
  if (proposals.empty())
    proposals = attempt(settings_.GnudbServer, "gnudb で検索しています…", &OnlineLookup::FindGnudb);
  if (!proposals.empty()) return proposals;
  if (!first_failure && !skipped.empty()) throw LookupError(LookupFailure::NoDiscId, skipped);
  if (!first_failure || all_not_found) {
    // A source that could not be asked at all is named with the reason.
    throw LookupError(LookupFailure::NotFound, "このディスクはオンラインのデータベースに見つかりませんでした" +
                                                   (skipped.empty() ? std::string() : " (" + skipped + ")"));
  }
  throw *first_failure;
}

HttpResponse OnlineLookup::MusicBrainzGet(const std::string& url, const CancelFlag& cancel) {
  const std::string server = ServerOf(url);
  for (int attempt = 1;; ++attempt) {
    WaitMusicBrainzTurn(settings_.MusicBrainzInterval, cancel);
    HttpResponse response = http_.Get(url, server, cancel);
    if (response.Status != 503 || attempt == kMusicBrainzAttempts) return response;
    // Busy or over the rate: wait as the server asks (within reason), then take a new turn.
    if (response.RetryAfter > 0) {
      SleepFor(std::min<Clock::duration>(std::chrono::seconds(response.RetryAfter), kLongestRetryWait), cancel);
    }
  }
}

std::vector<DiscProposal> OnlineLookup::FindMusicBrainz(const DiscToc& toc, const TDiscRecord& disc,
                                                        const CancelFlag& cancel) {
  std::string disc_id;
  try {
    disc_id = MusicBrainzDiscId(toc);
  } catch (const Error& error) {
    // A layout libdiscid refuses (a data track too close to the audio, say) still has a CDDB ID.
    throw LookupError(LookupFailure::NoDiscId, std::string("MusicBrainz では検索できません: ") + error.what());
  }
  const std::string url = settings_.MusicBrainzServer + MusicBrainzDiscIdPath(disc_id);
  const HttpResponse response = MusicBrainzGet(url, cancel);
  if (response.Status == 404) {
    throw LookupError(LookupFailure::NotFound, "このディスクは MusicBrainz に登録されていません");
  }
  if (response.Status != 200) throw StatusError(ServerOf(url), response.Status);
  return ParseMusicBrainzDiscId(response.Body, disc_id, disc);
}

DiscLyrics OnlineLookup::FetchLyrics(const TDiscRecord& disc, const CancelFlag& cancel, const Progress& progress) {
  return FetchDiscLyrics(http_, settings_.LyricsServer, disc, cancel, progress);
}

std::vector<DiscProposal> OnlineLookup::FindGnudb(const DiscToc& toc, const TDiscRecord& disc,
                                                  const CancelFlag& cancel) {
  const std::string cgi = settings_.GnudbServer + "/~cddb/cddb.cgi?";
  const std::string version = QvrUserAgent().substr(4, QvrUserAgent().find(' ') - 4);
  auto get = [&](const std::string& command) {
    const std::string url = cgi + CddbRequestQuery(command, version, settings_.GnudbEmail);
    HttpResponse response = http_.Get(url, ServerOf(url), cancel);
    if (response.Status != 200) throw StatusError(ServerOf(url), response.Status);
    return response.Body;
  };
  const std::vector<CddbMatch> matches = ParseCddbQuery(get(CddbQueryCommand(toc)));
  std::vector<DiscProposal> proposals;
  for (const CddbMatch& match : matches) {
    if (proposals.size() == kMaxCddbReads) break;
    proposals.push_back(ParseCddbRead(get("cddb read " + match.Category + " " + match.DiscId), match, disc));
  }
  return proposals;
}

std::filesystem::path OnlineLookup::FetchCover(const DiscProposal& proposal, const std::filesystem::path& jacket_folder,
                                               const CancelFlag& cancel, const Progress& progress) {
  if (proposal.ReleaseId.empty() || settings_.CoverArtServer.empty()) return {};
  if (progress) progress("カバー画像を取得しています…");
  // The 1200-pixel thumbnail is plenty for the jacket viewer and the wallpaper and far smaller
  // than many originals; an image without one falls back to the original.
  const std::string release = settings_.CoverArtServer + "/release/" + UrlEncode(proposal.ReleaseId);
  HttpResponse response;
  for (const char* size : {"/front-1200", "/front"}) {
    const std::string url = release + size;
    response = http_.Get(url, ServerOf(url), cancel);
    if (response.Status != 404) break;
  }
  if (response.Status == 404) return {};
  if (response.Status != 200) throw StatusError(ServerOf(release), response.Status);
  const std::string_view suffix = ImageSuffix(response.Body);
  if (suffix.empty()) {
    throw LookupError(LookupFailure::BadAnswer,
                      "サーバー " + ServerOf(release) + " のカバー画像は画像ファイルではありません");
  }
  std::error_code error;
  std::filesystem::create_directories(jacket_folder, error);
  if (error) throw FileWriteError(jacket_folder, error.message());
  std::filesystem::path path =
      jacket_folder / (JacketBaseName(proposal.Record.DiscKey.View()) + "." + std::string(suffix));
  ReplaceFileContents(path, response.Body);
  return path;
}

}  // namespace qvr
