// The online sources of disc titles, tried in order: MusicBrainz (by its disc ID), then gnudb
// (CDDB over HTTP); and the Cover Art Archive's front cover of a chosen MusicBrainz release.
//
// Everything here blocks: it runs on a worker thread (LookupWorker) or in a command-line tool.
// A CancelFlag set from another thread ends any request or wait within 50 ms with a LookupError
// (Cancelled). Requests to MusicBrainz keep to its rule of one a second for the whole process.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "cdda/DiscToc.h"
#include "metadata/DiscLyrics.h"
#include "metadata/DiscProposal.h"
#include "metadata/HttpClient.h"

namespace qvr {

inline constexpr const char* kDefaultMusicBrainzServer = "https://musicbrainz.org";
inline constexpr const char* kDefaultGnudbServer = "https://gnudb.gnudb.org";
inline constexpr const char* kDefaultCoverArtServer = "https://coverartarchive.org";

struct OnlineLookupSettings {
  // Base addresses; an empty one leaves its source out.
  std::string MusicBrainzServer = kDefaultMusicBrainzServer;
  std::string GnudbServer = kDefaultGnudbServer;  // its CGI is "<server>/~cddb/cddb.cgi"
  std::string CoverArtServer = kDefaultCoverArtServer;
  std::string LyricsServer = kDefaultLyricsServer;  // LRCLIB
  // The user's e-mail address, sent in gnudb's greeting (see CddbRequestQuery); may be empty.
  std::string GnudbEmail;
  // The least time between two requests to MusicBrainz.
  std::chrono::milliseconds MusicBrainzInterval{1000};
  // The time limit of each request.
  std::chrono::milliseconds Timeout = HttpClient::kDefaultTimeout;
};

// "QVR/<version> ( Quaver CD-DA Player [Q.V.R.] )", the User-Agent the services ask for.
std::string QvrUserAgent();

class OnlineLookup {
 public:
  // Called with a short text before each step ("MusicBrainz で検索しています…").
  using Progress = std::function<void(const std::string&)>;

  explicit OnlineLookup(OnlineLookupSettings settings);

  // The proposals for a disc whose table of contents is `toc` and whose record (key, tracks,
  // positions) is `disc`: MusicBrainz's releases, or when it has none or cannot be reached,
  // gnudb's entries (at most kMaxCddbReads of them). Raises LookupError when no source proposes
  // anything: NotFound when every source answered that it does not know the disc, otherwise the
  // first source's failure.
  std::vector<DiscProposal> Find(const DiscToc& toc, const TDiscRecord& disc, const CancelFlag& cancel,
                                 const Progress& progress = {});

  // Downloads the front cover of the proposal's MusicBrainz release into `jacket_folder` (made
  // when missing) as "<disc key>.<jpg|png|gif|webp>", replacing an earlier one, and returns its
  // path; an empty path when the archive has no front cover for it (or the proposal is not a
  // MusicBrainz release). Raises LookupError for failures of the request, Error when the file
  // cannot be written.
  std::filesystem::path FetchCover(const DiscProposal& proposal, const std::filesystem::path& jacket_folder,
                                   const CancelFlag& cancel, const Progress& progress = {});

  // The disc's timed lyrics from the lyrics server (FetchDiscLyrics); nothing is written.
  DiscLyrics FetchLyrics(const TDiscRecord& disc, const CancelFlag& cancel, const Progress& progress = {});

  static constexpr std::size_t kMaxCddbReads = 5;

 private:
  std::vector<DiscProposal> FindMusicBrainz(const DiscToc& toc, const TDiscRecord& disc, const CancelFlag& cancel);
  std::vector<DiscProposal> FindGnudb(const DiscToc& toc, const TDiscRecord& disc, const CancelFlag& cancel);
  HttpResponse MusicBrainzGet(const std::string& url, const CancelFlag& cancel);

  OnlineLookupSettings settings_;
  HttpClient http_;
};

// The jacket file name of a disc key: the key's letters and digits, other bytes as hex.
std::string JacketBaseName(std::string_view disc_key);

}  // namespace qvr
