// Cue sheet reading. libcdio 2.1 ignores a sheet's FILE lines (it opens "<sheet name>.bin"), does
// not swap MOTOROLA data and reads no WAVE or FLAC files, so sheets are read here: FILE names
// are resolved relative to the sheet (with fall-backs for renamed and Windows-style names), each
// file's sectors are laid out one after the other, and INDEX 01 of each track is its start. A
// FLAC file's own cue sheet (a tag with the sheet's text, or the CUESHEET metadata block) is
// laid out the same way over the FLAC file alone.
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

#include "cdda/FlacFile.h"
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
constexpr char kUnsupportedFile[] = "この形式のファイルは再生できません: %s";
constexpr char kEmbeddedFiles[] = "FLAC ファイルに埋め込まれたキューシートがほかのファイルを指しています: %s";
constexpr char kBadBlock[] = "FLAC ファイルのキューシートが正しくありません: %s";
constexpr char kNoSheetInside[] =
    "キューシートを含まない FLAC ファイルです (この FLAC ファイルを指すキューシートを開いてください): %s";
constexpr char kTooLong[] = "CD に収まらない長さです: %s";
constexpr std::uint32_t kSampleFramesPerSector = kSamplesPerSector / 2;
// More sectors than any disc holds (99 minutes): a sheet reaching past them is not a CD's.
constexpr std::uint32_t kMaxSectors = 99 * 60 * 75;

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
  // A rip converted after its sheet was written: "track01.wav" is now "track01.flac".
  for (const char* extension : {".flac", ".FLAC"}) {
    fs::path converted = fs::path(named).replace_extension(extension);
    if (converted.string() == named) continue;
    if (auto found = ExistingIgnoringCase((folder / converted).parent_path(), converted.filename().string())) {
      return found;
    }
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

struct SheetIndex {
  std::size_t file = 0;  // which FILE line's file
  std::uint32_t time = 0;
};

struct SheetTrack {
  unsigned number = 0;
  std::uint32_t sectorBytes = kSectorBytes;
  bool audio = true;
  bool preEmphasis = false;   // FLAGS PRE
  std::uint32_t pregap = 0;   // PREGAP: silence before the track's first index, not in a file
  std::uint32_t postgap = 0;  // POSTGAP: silence after the track, not in a file
  std::optional<SheetIndex> index0;
  std::optional<SheetIndex> index1;
  std::optional<SheetIndex> lastIndex;
  int line = 0;
};

struct SheetFile {
  std::string name;
  std::string type;
  int line = 0;
};

// The sheet's CD-Text lines as written (bytes of the sheet's own code), by track (0 the disc,
// then the tracks in the sheet's order from 1, whatever their numbers).
struct SheetText {
  std::map<unsigned, std::map<std::string, std::string>> fields;
  std::string textFile;  // CDTEXTFILE
};

struct Sheet {
  std::vector<SheetFile> files;
  std::vector<SheetTrack> tracks;
  SheetText text;
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

// Reads a sheet's text. `embedded`: the sheet is a FLAC file's own, whose FILE line (one at
// most) can only mean the FLAC file itself.
Sheet ParseSheet(std::string text, const std::string& name, bool embedded) {
  if (text.find('\0') != std::string::npos) throw Error(FormatMessage(kNotCue, name));
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);

  Sheet sheet;
  if (embedded) sheet.files.push_back({name, "FLAC", 0});
  std::istringstream lines(text);
  std::string line;
  int lineNumber = 0;
  auto bad = [&] { return Error(FormatMessage(kBadLine, std::to_string(lineNumber))); };
  while (std::getline(lines, line)) {
    ++lineNumber;
    std::vector<std::string> words = Words(line);
    if (words.empty()) continue;
    std::string command = Upper(words[0]);
    if (command == "FILE") {
      if (words.size() < 2) throw bad();
      if (embedded) {
        if (!sheet.tracks.empty() || sheet.files.front().line != 0) throw Error(FormatMessage(kEmbeddedFiles, name));
        sheet.files.front().line = lineNumber;
      } else {
        sheet.files.push_back({words[1], words.size() >= 3 ? Upper(words[2]) : "BINARY", lineNumber});
      }
    } else if (command == "TRACK") {
      if (sheet.files.empty() || words.size() < 3) throw bad();
      auto number = ParseNumber(words[1], 99);
      std::uint32_t bytes = SectorBytesOf(Upper(words[2]));
      // The first track may have any number (the second disc of a set may begin at 04); the
      // others follow it one by one.
      if (!number || *number == 0 || bytes == 0) throw bad();
      if (!sheet.tracks.empty() && *number != sheet.tracks.back().number + 1) throw bad();
      SheetTrack track;
      track.number = *number;
      track.sectorBytes = bytes;
      track.audio = Upper(words[2]) == "AUDIO";
      track.line = lineNumber;
      sheet.tracks.push_back(track);
    } else if (command == "INDEX" || command == "PREGAP" || command == "POSTGAP") {
      if (sheet.tracks.empty()) throw bad();
      SheetTrack& track = sheet.tracks.back();
      if (command == "INDEX") {
        if (words.size() < 3) throw bad();
        auto number = ParseNumber(words[1], 99);
        auto time = ParseTime(words[2]);
        if (!number || !time) throw bad();
        // An index may lie in a later file than the track's line (a gap kept at the end of the
        // previous track's file), never before the one before it.
        const SheetIndex index{sheet.files.size() - 1, *time};
        if (track.lastIndex && index.file == track.lastIndex->file && index.time < track.lastIndex->time) throw bad();
        if (*number == 0) {
          if (track.index0 || track.index1) throw bad();
          track.index0 = index;
        } else if (*number == 1) {
          if (track.index1) throw bad();
          track.index1 = index;
        } else if (!track.index1) {
          throw bad();
        }
        track.lastIndex = index;
      } else {
        if (words.size() < 2) throw bad();
        auto time = ParseTime(words[1]);
        if (!time) throw bad();
        (command == "PREGAP" ? track.pregap : track.postgap) = *time;
      }
    } else if (command == "FLAGS") {
      if (sheet.tracks.empty()) throw bad();
      for (std::size_t n = 1; n < words.size(); ++n) {
        if (Upper(words[n]) == "PRE") sheet.tracks.back().preEmphasis = true;
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
      sheet.text.fields[static_cast<unsigned>(sheet.tracks.size())][field] = value;
    } else if (command == "CDTEXTFILE" && words.size() >= 2) {
      sheet.text.textFile = words[1];
    }
    // CATALOG, ISRC, other REM lines and anything unknown say nothing about where the audio is.
  }
  if (sheet.files.empty() || sheet.tracks.empty()) throw Error(FormatMessage(kNotCue, name));
  for (const SheetTrack& track : sheet.tracks) {
    if (!track.index1) {
      lineNumber = track.line;
      throw bad();
    }
  }
  return sheet;
}

Sheet ReadSheetFile(const fs::path& cueFile) {
  std::error_code error;
  auto size = fs::file_size(cueFile, error);
  if (error) throw Error(FormatMessage(kCannotRead, cueFile.string()));
  if (size > kMaxCueBytes) throw Error(FormatMessage(kNotCue, cueFile.string()));
  std::string text;
  if (!ReadWholeFile(cueFile, text)) throw Error(FormatMessage(kCannotRead, cueFile.string()));
  return ParseSheet(std::move(text), cueFile.string(), false);
}

// The sheet of a FLAC file's CUESHEET metadata block. Its offsets are in samples and, for a
// CD's sheet, whole sectors of 588 samples.
Sheet SheetOfBlock(const FlacCueSheet& block, const std::string& name) {
  Sheet sheet;
  sheet.files.push_back({name, "FLAC", 0});
  auto frames = [&](std::uint64_t samples) {
    if (samples % kSampleFramesPerSector != 0 || samples / kSampleFramesPerSector > 0xFFFFFF) {
      throw Error(FormatMessage(kBadBlock, name));
    }
    return static_cast<std::uint32_t>(samples / kSampleFramesPerSector);
  };
  for (const FlacCueSheet::Track& entry : block.Tracks) {
    SheetTrack track;
    track.number = entry.Number;
    track.audio = entry.Audio;
    track.preEmphasis = entry.PreEmphasis;
    if (track.number == 0 || track.number > 99 ||
        (!sheet.tracks.empty() && track.number != sheet.tracks.back().number + 1)) {
      throw Error(FormatMessage(kBadBlock, name));
    }
    for (const FlacCueSheet::Index& index : entry.Indices) {
      if (index.Number == 0 && !track.index0 && !track.index1) track.index0 = SheetIndex{0, frames(index.Offset)};
      if (index.Number == 1 && !track.index1) track.index1 = SheetIndex{0, frames(index.Offset)};
    }
    if (!track.index1) throw Error(FormatMessage(kBadBlock, name));
    sheet.tracks.push_back(track);
  }
  if (sheet.tracks.empty()) throw Error(FormatMessage(kBadBlock, name));
  return sheet;
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

// Lays a sheet's files out on the disc: each file's sectors one after the other, PREGAP and
// POSTGAP silence between them, each track's INDEX 01 its start. The sheet's order is the disc's:
// the layout walks it, taking each file's sectors up to the next index it names.
class SheetLayout {
 public:
  SheetLayout(ImageSectors& sectors, const Sheet& sheet, const fs::path& cueFile, std::unique_ptr<FlacFile> embedded)
      : sectors_(sectors), sheet_(sheet), cueFile_(cueFile), embedded_(std::move(embedded)) {}

  DiscToc Run() {
    DiscToc toc;
    toc.FirstTrack = sheet_.tracks.front().number;
    bytes_ = sheet_.tracks.front().sectorBytes;
    audio_ = sheet_.tracks.front().audio;
    std::uint32_t postgap = 0;
    for (const SheetTrack& track : sheet_.tracks) {
      const SheetIndex first = track.index0.value_or(*track.index1);
      MoveTo(first, track.line);
      sector_ += postgap + track.pregap;
      if (sector_ > kMaxSectors) throw BadLine(track.line);
      bytes_ = track.sectorBytes;
      audio_ = track.audio;
      if (track.index0) MoveTo(*track.index1, track.line);
      const std::uint32_t start = sector_ + kLeadInFrames;
      if (!toc.Tracks.empty() && start <= toc.Tracks.back().Start) throw BadLine(track.line);
      toc.Tracks.push_back({start, track.audio, track.preEmphasis});
      postgap = track.postgap;
    }
    // The last file runs to its end, then any files after it.
    while (true) {
      Enter();
      LayOut(RemainingSectors());
      if (file_ + 1 >= sheet_.files.size()) break;
      ++file_;
      entered_ = false;
    }
    sector_ += postgap;
    if (sector_ > kMaxSectors) throw Error(FormatMessage(kTooLong, sheet_.files.back().name));
    toc.LeadOut = sector_ + kLeadInFrames;
    if (toc.LeadOut <= toc.Tracks.back().Start) {
      throw Error(FormatMessage(kShortFile, sectors_.FilePath(sectors_.FileCount() - 1).string()));
    }
    return toc;
  }

 private:
  static Error BadLine(int line) { return Error(FormatMessage(kBadLine, std::to_string(line))); }

  // Opens the file the walk has reached.
  void Enter() {
    if (entered_) return;
    entered_ = true;
    frame_ = 0;
    byte_ = 0;
    const SheetFile& entry = sheet_.files[file_];
    if (embedded_) {
      sectors_.AddFile(std::move(embedded_));
      return;
    }
    if (entry.type != "BINARY" && entry.type != "MOTOROLA" && entry.type != "WAVE" && entry.type != "FLAC") {
      throw Error(FormatMessage(kUnsupportedFile, entry.name));
    }
    auto path = ResolveDataFile(cueFile_, entry.name, sheet_.files.size() == 1);
    if (!path) throw Error(FormatMessage(kMissingFile, entry.name));
    // Rippers name FLAC files with the type WAVE: the file's own first bytes tell.
    ImageSectors::FileKind kind = ImageSectors::FileKind::LittleEndian;
    if (entry.type == "FLAC" || FlacFile::Sniff(*path)) {
      kind = ImageSectors::FileKind::Flac;
    } else if (entry.type == "WAVE") {
      kind = ImageSectors::FileKind::Wave;
    } else if (entry.type == "MOTOROLA") {
      kind = ImageSectors::FileKind::BigEndian;
    }
    sectors_.AddFile(*path, kind);
  }

  // Sectors left in the current file from the walk's place: in a WAVE or FLAC file audio ends
  // with a sector the file may fill in part, elsewhere with the last whole sector.
  std::uint32_t RemainingSectors() const {
    const std::size_t file = sectors_.FileCount() - 1;
    const std::uint64_t size = sectors_.FileBytes(file);
    const std::uint64_t left = byte_ < size ? size - byte_ : 0;
    const bool partial = audio_ && bytes_ == kSectorBytes && !sectors_.WholeSectors(file);
    const std::uint64_t count = partial ? (left + bytes_ - 1) / bytes_ : left / bytes_;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(count, 0xFFFFFF));
  }

  void LayOut(std::uint32_t count) {
    sectors_.AddExtent(sector_, count, sectors_.FileCount() - 1, byte_, bytes_);
    sector_ += count;
    frame_ += count;
    byte_ += std::uint64_t{count} * bytes_;
  }

  // Walks on to an index, laying out the sectors on the way.
  void MoveTo(const SheetIndex& index, int line) {
    Enter();
    while (file_ < index.file) {
      LayOut(RemainingSectors());
      ++file_;
      entered_ = false;
      Enter();
    }
    if (index.time < frame_) throw BadLine(line);
    const std::uint32_t count = index.time - frame_;
    if (count > RemainingSectors())
      throw Error(FormatMessage(kShortFile, sectors_.FilePath(sectors_.FileCount() - 1).string()));
    LayOut(count);
    if (sector_ > kMaxSectors) throw BadLine(line);
  }

  ImageSectors& sectors_;
  const Sheet& sheet_;
  const fs::path& cueFile_;
  std::unique_ptr<FlacFile> embedded_;
  std::size_t file_ = 0;                // the sheet's file the walk is in
  bool entered_ = false;                // whether that file is open
  std::uint32_t frame_ = 0;             // the walk's place in the file, in sectors
  std::uint64_t byte_ = 0;              // and in bytes
  std::uint32_t sector_ = 0;            // the disc sector the walk has reached
  std::uint32_t bytes_ = kSectorBytes;  // the sector size of the track being laid out
  bool audio_ = true;
};

}  // namespace

CueImage::CueImage(const fs::path& cueFile) {
  if (Upper(cueFile.extension().string()) == ".FLAC" || FlacFile::Sniff(cueFile)) {
    OpenFlac(cueFile);
  } else {
    OpenSheet(cueFile);
  }
}

void CueImage::OpenSheet(const fs::path& cueFile) {
  const Sheet sheet = ReadSheetFile(cueFile);
  text_ = ReadSheetText(cueFile, sheet.text);
  toc_ = SheetLayout(*this, sheet, cueFile, nullptr).Run();
}

void CueImage::OpenFlac(const fs::path& flacFile) {
  auto flac = std::make_unique<FlacFile>(flacFile);
  // The tag's sheet carries the CD-Text lines; the metadata block is the exact one when the tag
  // is missing or cannot be read.
  std::optional<Sheet> sheet;
  if (!flac->CueSheetTag().empty()) {
    try {
      sheet = ParseSheet(flac->CueSheetTag(), flacFile.string(), true);
    } catch (const Error&) {
      if (!flac->CueSheet()) throw;
    }
  }
  if (!sheet && flac->CueSheet()) sheet = SheetOfBlock(*flac->CueSheet(), flacFile.string());
  if (!sheet) throw Error(FormatMessage(kNoSheetInside, flacFile.string()));
  text_ = ReadSheetText(flacFile, sheet->text);
  toc_ = SheetLayout(*this, *sheet, flacFile, std::move(flac)).Run();
}

bool CueImage::IsFlacWithCueSheet(const fs::path& file) {
  if (!FlacFile::Sniff(file)) return false;
  try {
    FlacFile flac(file);
    return flac.CueSheet() || !flac.CueSheetTag().empty();
  } catch (const Error&) {
    return false;
  }
}

}  // namespace qvr
