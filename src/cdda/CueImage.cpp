// Cue sheet reading. libcdio 2.1 ignores a sheet's FILE lines (it opens "<sheet name>.bin"), does
// not swap MOTOROLA data and reads no WAVE files, so sheets are read here: FILE names are
// resolved relative to the sheet (with fall-backs for renamed and Windows-style names), each
// file's sectors are laid out one after the other, and INDEX 01 of each track is its start.
#include "cdda/CueImage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "util/AtomicFile.h"
#include "util/Error.h"
#include "util/RegularFile.h"
#include "util/ShiftJis.h"

namespace qvr {

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t kMaxCueBytes = 256 * 1024;
// The largest CDTEXTFILE: 8 blocks of 256 packs, a header and a spare byte.
constexpr std::uintmax_t kMaxCdTextFileBytes = 8 * 256 * 18 + 5;

const std::set<std::string> kCdTextFields = {"TITLE", "PERFORMER", "SONGWRITER", "COMPOSER", "ARRANGER", "GENRE"};

constexpr char kCannotRead[] = "キューシートを読めません: %s";
constexpr char kNotCue[] = "キューシートではありません: %s";
constexpr char kBadLine[] = "キューシートの %s 行目が正しくありません";
constexpr char kMissingFile[] = "キューシートの指すファイルが見つかりません: %s";
constexpr char kShortFile[] = "イメージファイルが途中で切れています: %s";
constexpr char kBadWave[] = "44.1kHz 16ビット ステレオの WAVE ファイルではありません: %s";
constexpr char kUnsupportedFile[] = "この形式のファイルは再生できません: %s";

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// Splits a line into words; a double-quoted word may hold blanks.
std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && std::isspace(static_cast<unsigned char>(line[at]))) ++at;
    if (at == line.size()) break;
    std::string word;
    if (line[at] == '"') {
      std::size_t end = line.find('"', at + 1);
      if (end == std::string::npos) end = line.size();
      word = line.substr(at + 1, end - at - 1);
      at = end + 1;
    } else {
      std::size_t end = at;
      while (end < line.size() && !std::isspace(static_cast<unsigned char>(line[end]))) ++end;
      word = line.substr(at, end - at);
      at = end;
    }
    words.push_back(word);
  }
  return words;
}

// "mm:ss:ff" as a frame count.
std::optional<std::uint32_t> ParseTime(const std::string& text) {
  unsigned minutes = 0, seconds = 0, frames = 0;
  char colon1 = 0, colon2 = 0, rest = 0;
  std::istringstream in(text);
  if (!(in >> minutes >> colon1 >> seconds >> colon2 >> frames) || colon1 != ':' || colon2 != ':') return std::nullopt;
  if (in >> rest) return std::nullopt;
  if (seconds >= 60 || frames >= 75 || minutes > 999) return std::nullopt;
  return (minutes * 60 + seconds) * 75 + frames;
}

std::optional<unsigned> ParseNumber(const std::string& text, unsigned max) {
  if (text.empty() || text.size() > 3) return std::nullopt;
  unsigned value = 0;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value > max) return std::nullopt;
  return value;
}

std::optional<fs::path> ExistingIgnoringCase(const fs::path& folder, const std::string& name) {
  std::error_code error;
  fs::path direct = folder / name;
  if (fs::is_regular_file(direct, error)) return direct;
  std::string wanted = Upper(name);
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    if (Upper(entry.path().filename().string()) == wanted && entry.is_regular_file(error)) return entry.path();
  }
  return std::nullopt;
}

// Finds the file a FILE line names: as written (relative to the sheet), by its bare name beside
// the sheet (paths written on Windows), decoded from Shift-JIS, and, when the sheet names one
// file only, the sheet's own name with the data file's extension or ".bin" (a renamed image).
std::optional<fs::path> ResolveDataFile(const fs::path& cueFile, std::string named, bool onlyFile) {
  fs::path folder = cueFile.parent_path();
  if (folder.empty()) folder = ".";
  std::replace(named.begin(), named.end(), '\\', '/');
  std::vector<std::string> names = {named};
  std::string decoded = SjisToUtf8(named);
  if (decoded != named && decoded.find("\xEF\xBF\xBD") == std::string::npos) names.push_back(decoded);
  std::error_code error;
  for (const std::string& name : names) {
    fs::path path(name);
    if (path.is_absolute() && fs::is_regular_file(path, error)) return path;
    if (!path.is_absolute()) {
      if (auto found = ExistingIgnoringCase((folder / path).parent_path(), path.filename().string())) return found;
    }
    if (auto found = ExistingIgnoringCase(folder, path.filename().string())) return found;
  }
  if (onlyFile) {
    std::string stem = cueFile.stem().string();
    std::string extension = fs::path(named).extension().string();
    for (const std::string& candidate : {stem + extension, stem + ".bin", stem + ".BIN"}) {
      if (candidate == stem) continue;
      if (auto found = ExistingIgnoringCase(folder, candidate)) return found;
    }
  }
  return std::nullopt;
}

struct WaveData {
  std::uint64_t offset = 0;
  std::uint64_t bytes = 0;
};

std::uint32_t Le32(const unsigned char* bytes) {
  return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (std::uint32_t{bytes[3]} << 24);
}
std::uint16_t Le16(const unsigned char* bytes) { return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8)); }

// Finds the sample data of a RIFF WAVE file holding 44.1 kHz, 16-bit, stereo PCM.
WaveData ReadWaveHeader(int descriptor, const fs::path& path, std::uint64_t fileBytes) {
  unsigned char header[12];
  if (pread(descriptor, header, 12, 0) != 12 || std::memcmp(header, "RIFF", 4) != 0 ||
      std::memcmp(header + 8, "WAVE", 4) != 0) {
    throw Error(FormatMessage(kBadWave, path.string()));
  }
  bool formatOk = false;
  std::uint64_t at = 12;
  while (at + 8 <= fileBytes) {
    unsigned char chunk[24];
    if (pread(descriptor, chunk, 8, static_cast<off_t>(at)) != 8) break;
    std::uint64_t size = Le32(chunk + 4);
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      if (size < 16 || pread(descriptor, chunk + 8, 16, static_cast<off_t>(at + 8)) != 16) break;
      formatOk = Le16(chunk + 8) == 1 && Le16(chunk + 10) == 2 && Le32(chunk + 12) == 44100 && Le16(chunk + 22) == 16;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!formatOk) break;
      return {at + 8, std::min(size, fileBytes - (at + 8))};
    }
    at += 8 + size + (size & 1);
  }
  throw Error(FormatMessage(kBadWave, path.string()));
}

struct SheetTrack {
  unsigned number = 0;
  std::uint32_t sectorBytes = kSectorBytes;
  bool audio = true;
  bool preEmphasis = false;   // FLAGS PRE
  std::uint32_t pregap = 0;   // PREGAP: silence before INDEX 01, not in the file
  std::uint32_t postgap = 0;  // POSTGAP: silence after the track, not in the file
  std::optional<std::uint32_t> index0;
  std::optional<std::uint32_t> index1;
  std::uint32_t lastIndex = 0;
  int line = 0;
};

struct SheetFile {
  std::string name;
  std::string type;
  std::vector<SheetTrack> tracks;
  int line = 0;
};

// The sheet's CD-Text lines as written (bytes of the sheet's own code), by track (0 the disc).
struct SheetText {
  std::map<unsigned, std::map<std::string, std::string>> fields;
  std::string textFile;  // CDTEXTFILE
};

// Sector size of a track mode; 0 for a mode that is not known.
std::uint32_t SectorBytesOf(const std::string& mode) {
  if (mode == "AUDIO" || mode == "MODE1/2352" || mode == "MODE2/2352" || mode == "CDI/2352") return 2352;
  if (mode == "MODE1/2048" || mode == "MODE2/2048") return 2048;
  if (mode == "MODE2/2336" || mode == "CDI/2336") return 2336;
  if (mode == "MODE2/2324") return 2324;
  if (mode == "CDG") return 2448;
  return 0;
}

std::vector<SheetFile> ParseSheet(const fs::path& cueFile, SheetText& sheetText) {
  std::error_code error;
  auto size = fs::file_size(cueFile, error);
  if (error) throw Error(FormatMessage(kCannotRead, cueFile.string()));
  if (size > kMaxCueBytes) throw Error(FormatMessage(kNotCue, cueFile.string()));
  std::string text;
  if (!ReadWholeFile(cueFile, text)) throw Error(FormatMessage(kCannotRead, cueFile.string()));
  if (text.find('\0') != std::string::npos) throw Error(FormatMessage(kNotCue, cueFile.string()));
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);

  std::vector<SheetFile> files;
  std::istringstream lines(text);
  std::string line;
  int lineNumber = 0;
  unsigned lastTrack = 0;
  auto bad = [&] { return Error(FormatMessage(kBadLine, std::to_string(lineNumber))); };
  while (std::getline(lines, line)) {
    ++lineNumber;
    std::vector<std::string> words = Words(line);
    if (words.empty()) continue;
    std::string command = Upper(words[0]);
    if (command == "FILE") {
      if (words.size() < 2) throw bad();
      files.push_back({words[1], words.size() >= 3 ? Upper(words[2]) : "BINARY", {}, lineNumber});
    } else if (command == "TRACK") {
      if (files.empty() || words.size() < 3) throw bad();
      auto number = ParseNumber(words[1], 99);
      std::uint32_t bytes = SectorBytesOf(Upper(words[2]));
      if (!number || *number != lastTrack + 1 || bytes == 0) throw bad();
      lastTrack = *number;
      SheetTrack track;
      track.number = *number;
      track.sectorBytes = bytes;
      track.audio = Upper(words[2]) == "AUDIO";
      track.line = lineNumber;
      files.back().tracks.push_back(track);
    } else if (command == "FLAGS" && !files.empty() && !files.back().tracks.empty()) {
      SheetTrack& track = files.back().tracks.back();
      for (std::size_t n = 1; n < words.size(); ++n) track.preEmphasis |= Upper(words[n]) == "PRE";
    } else if (command == "INDEX" || command == "PREGAP" || command == "POSTGAP") {
      if (files.empty() || files.back().tracks.empty()) throw bad();
      SheetTrack& track = files.back().tracks.back();
      if (command == "INDEX") {
        if (words.size() < 3) throw bad();
        auto number = ParseNumber(words[1], 99);
        auto time = ParseTime(words[2]);
        if (!number || !time) throw bad();
        if ((track.index0 || track.index1) && *time < track.lastIndex) throw bad();
        if (*number == 0) {
          if (track.index1) throw bad();
          track.index0 = *time;
        } else if (*number == 1) {
          track.index1 = *time;
        } else if (!track.index1) {
          throw bad();
        }
        track.lastIndex = *time;
      } else {
        if (words.size() < 2) throw bad();
        auto time = ParseTime(words[1]);
        if (!time) throw bad();
        (command == "PREGAP" ? track.pregap : track.postgap) = *time;
      }
    }
    // CD-Text lines: before the first TRACK the disc's, after it the track's. "REM GENRE" is
    // how ripping programs write the genre.
    std::string field = command == "REM" && words.size() >= 3 && Upper(words[1]) == "GENRE" ? "GENRE" : command;
    const std::size_t valueAt = command == "REM" ? 2 : 1;
    if (kCdTextFields.contains(field) && words.size() > valueAt) {
      std::string value = words[valueAt];
      // An unquoted value with blanks (REM GENRE J-Pop Rock) is the rest of the line.
      for (std::size_t n = valueAt + 1; n < words.size(); ++n) value += " " + words[n];
      sheetText.fields[lastTrack][field] = value;
    } else if (command == "CDTEXTFILE" && words.size() >= 2) {
      sheetText.textFile = words[1];
    }
    // CATALOG, ISRC and anything unknown say nothing about where the audio is.
  }
  if (files.empty() || lastTrack == 0) throw Error(FormatMessage(kNotCue, cueFile.string()));
  for (const SheetFile& file : files) {
    for (const SheetTrack& track : file.tracks) {
      if (!track.index1) {
        lineNumber = track.line;
        throw bad();
      }
    }
  }
  return files;
}

// The sheet's CD-Text: a CDTEXTFILE's packs (a missing or unreadable one is passed over), with
// the text lines filling what it lacks. The lines are in the sheet's code, guessed from them all.
CdText ReadSheetText(const fs::path& cueFile, const SheetText& sheetText) {
  CdText text;
  if (!sheetText.textFile.empty()) {
    if (auto path = ResolveDataFile(cueFile, sheetText.textFile, false)) {
      std::error_code error;
      std::string packs;
      if (fs::file_size(*path, error) <= kMaxCdTextFileBytes && !error && ReadWholeFile(*path, packs)) {
        text = DecodeCdTextPacks(packs);
      }
    }
  }
  std::vector<std::string_view> values;
  for (const auto& entry : sheetText.fields) {
    for (const auto& field : entry.second) values.push_back(field.second);
  }
  const CdTextCharset charset = GuessTextCharset(values);
  static constexpr std::pair<const char*, CdTextString CdTextEntry::*> kMembers[] = {
      {"TITLE", &CdTextEntry::Title},           {"PERFORMER", &CdTextEntry::Performer},
      {"SONGWRITER", &CdTextEntry::Songwriter}, {"COMPOSER", &CdTextEntry::Composer},
      {"ARRANGER", &CdTextEntry::Arranger},     {"GENRE", &CdTextEntry::Genre},
  };
  CdText lines;
  for (const auto& [track, fields] : sheetText.fields) {
    CdTextEntry& entry = track == 0 ? lines.Disc : lines.Track(track);
    for (const auto& [name, member] : kMembers) {
      auto found = fields.find(name);
      if (found != fields.end() && !found->second.empty()) entry.*member = CdTextString{found->second, charset};
    }
  }
  text.FillFrom(lines);
  return text;
}

}  // namespace

CueImage::CueImage(const fs::path& cueFile) {
  SheetText sheetText;
  std::vector<SheetFile> sheet = ParseSheet(cueFile, sheetText);
  text_ = ReadSheetText(cueFile, sheetText);
  std::uint32_t sector = 0;  // next disc sector to lay out
  try {
    for (const SheetFile& entry : sheet) {
      if (entry.type != "BINARY" && entry.type != "MOTOROLA" && entry.type != "WAVE") {
        throw Error(FormatMessage(kUnsupportedFile, entry.name));
      }
      auto path = ResolveDataFile(cueFile, entry.name, sheet.size() == 1);
      if (!path) throw Error(FormatMessage(kMissingFile, entry.name));
      int open_error = 0;
      int descriptor = OpenRegularFile(*path, O_RDONLY, open_error);
      if (descriptor < 0) throw Error(FormatMessage(kMissingFile, path->string()));
      files_.push_back({*path, descriptor, entry.type == "MOTOROLA"});
      std::size_t fileIndex = files_.size() - 1;
      struct stat status {};
      if (fstat(descriptor, &status) != 0) throw Error(FormatMessage(kMissingFile, path->string()));
      std::uint64_t dataOffset = 0;
      std::uint64_t dataBytes = static_cast<std::uint64_t>(status.st_size);
      if (entry.type == "WAVE") {
        WaveData wave = ReadWaveHeader(descriptor, *path, dataBytes);
        dataOffset = wave.offset;
        dataBytes = wave.bytes;
      }

      // Lays the file's frames [fileFrame, untilFrame) out as disc sectors of `bytes` each.
      std::uint64_t byteCursor = 0;
      std::uint32_t fileFrame = 0;
      auto layOut = [&](std::uint32_t untilFrame, std::uint32_t bytes) {
        if (untilFrame <= fileFrame) return;
        std::uint32_t count = untilFrame - fileFrame;
        if (byteCursor + std::uint64_t{count} * bytes > dataBytes)
          throw Error(FormatMessage(kShortFile, path->string()));
        extents_.push_back({sector, count, fileIndex, dataOffset + byteCursor, bytes});
        byteCursor += std::uint64_t{count} * bytes;
        sector += count;
        fileFrame = untilFrame;
      };

      if (entry.tracks.empty()) {
        // A file with no track of its own continues the previous track.
        std::uint32_t bytes = extents_.empty() ? kSectorBytes : extents_.back().sectorBytes;
        layOut(static_cast<std::uint32_t>(dataBytes / bytes), bytes);
        continue;
      }
      std::uint32_t previousBytes = entry.tracks.front().sectorBytes;
      std::uint32_t pendingPostgap = 0;
      for (const SheetTrack& track : entry.tracks) {
        std::uint32_t first = track.index0.value_or(*track.index1);
        if (first < fileFrame) throw Error(FormatMessage(kBadLine, std::to_string(track.line)));
        layOut(first, previousBytes);
        sector += pendingPostgap + track.pregap;
        std::uint32_t start = sector + (*track.index1 - first);
        toc_.Tracks.push_back({start + kLeadInFrames, track.audio, track.audio && track.preEmphasis});
        previousBytes = track.sectorBytes;
        pendingPostgap = track.postgap;
      }
      // The last track of the file runs to the file's end, which must reach past its INDEX 01.
      std::uint32_t endFrame =
          fileFrame + static_cast<std::uint32_t>((dataBytes - std::min(byteCursor, dataBytes)) / previousBytes);
      std::uint32_t lastStart = *entry.tracks.back().index1;
      if (endFrame <= lastStart) throw Error(FormatMessage(kShortFile, path->string()));
      layOut(endFrame, previousBytes);
      sector += pendingPostgap;
    }
  } catch (...) {
    for (DataFile& file : files_) ::close(file.descriptor);
    throw;
  }
  toc_.LeadOut = sector + kLeadInFrames;
}

CueImage::~CueImage() {
  for (DataFile& file : files_) ::close(file.descriptor);
}

void CueImage::ReadRun(const Extent& extent, std::uint32_t sector, std::uint32_t count, std::int16_t* samples) {
  std::size_t bytes = std::size_t{count} * kSectorBytes;
  if (extent.sectorBytes != kSectorBytes) {
    std::memset(samples, 0, bytes);  // data sectors are never sound
    return;
  }
  const DataFile& file = files_[extent.file];
  auto offset = static_cast<off_t>(extent.offset + std::uint64_t{sector - extent.firstSector} * kSectorBytes);
  auto* out = reinterpret_cast<char*>(samples);
  std::size_t done = 0;
  while (done < bytes) {
    ssize_t got = pread(file.descriptor, out + done, bytes - done, offset + static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) throw Error(FormatMessage(kShortFile, file.path.string()));
    done += static_cast<std::size_t>(got);
  }
  // Samples are little-endian in BINARY and WAVE files and big-endian in MOTOROLA ones.
  bool swap = file.bigEndian != (std::endian::native == std::endian::big);
  if (swap) {
    for (std::size_t n = 0; n < bytes / 2; ++n) {
      auto value = static_cast<std::uint16_t>(samples[n]);
      samples[n] = static_cast<std::int16_t>((value >> 8) | (value << 8));
    }
  }
}

void CueImage::ReadAudio(std::uint32_t frame, std::uint32_t count, std::int16_t* samples) {
  std::uint32_t sector = frame >= kLeadInFrames ? frame - kLeadInFrames : 0;
  std::uint32_t end = sector + count;
  if (frame < kLeadInFrames) {
    std::uint32_t silent = std::min(count, kLeadInFrames - frame);
    std::memset(samples, 0, std::size_t{silent} * kSectorBytes);
    samples += std::size_t{silent} * kSamplesPerSector;
    end = sector + (count - silent);
  }
  while (sector < end) {
    auto extent = std::find_if(extents_.begin(), extents_.end(), [&](const Extent& e) {
      return sector >= e.firstSector && sector < e.firstSector + e.count;
    });
    std::uint32_t run = 0;
    if (extent == extents_.end()) {
      // A gap that no file holds (PREGAP, POSTGAP) is silence up to the next extent.
      std::uint32_t next = end;
      for (const Extent& e : extents_) {
        if (e.firstSector > sector) next = std::min(next, e.firstSector);
      }
      run = next - sector;
      std::memset(samples, 0, std::size_t{run} * kSectorBytes);
    } else {
      run = std::min(end, extent->firstSector + extent->count) - sector;
      ReadRun(*extent, sector, run, samples);
    }
    samples += std::size_t{run} * kSamplesPerSector;
    sector += run;
  }
}

}  // namespace qvr
