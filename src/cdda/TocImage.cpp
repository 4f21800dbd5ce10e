// The cdrdao .toc reader. libcdio's reader misplaces tracks after a hidden first track, adds the
// last track's START to the lead-out, puts data tracks in the wrong place and refuses files it
// could read without saying why, so .toc files are read here, after cdrdao's manual: a track's
// data statements (SILENCE, ZERO, FILE/AUDIOFILE, DATAFILE) follow each other, tracks follow
// each other with no gap of their own, and INDEX 01 of a track lies at its START (or after its
// PREGAP silence; else at its first sector). Disc sector 0 is frame 150, as on the disc.
#include "cdda/TocImage.h"

#include <fcntl.h>
#include <unistd.h>
#include <algorithm>

#include <cctype>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cdda/FlacFile.h"
#include "util/AtomicFile.h"
#include "util/Error.h"
#include "util/RegularFile.h"

namespace qvr {

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t kMaxTocBytes = 256 * 1024;
constexpr std::uint64_t kSampleFramesPerSector = kSamplesPerSector / 2;
// More sectors than any disc holds (99 minutes).
constexpr std::uint64_t kMaxSectors = 99 * 60 * 75;

constexpr char kCannotRead[] = "TOC ファイルを読めません: %s";
constexpr char kBadLine[] = "TOC ファイルの %s 行目を読めません: %s";

struct Token {
  enum Kind { Word, String, Number, Time, Offset, Symbol, End } kind = End;
  std::string text;
  int line = 0;
};

// Splits the file into words, strings (escapes resolved), numbers, times (mm:ss:ff), byte
// offsets (#n) and symbols, skipping // comments, with the line each begins on.
std::vector<Token> Tokens(std::string_view text) {
  std::vector<Token> tokens;
  int line = 1;
  std::size_t at = 0;
  while (at < text.size()) {
    const char c = text[at];
    if (c == '\n') {
      ++line;
      ++at;
    } else if (std::isspace(static_cast<unsigned char>(c))) {
      ++at;
    } else if (c == '/' && at + 1 < text.size() && text[at + 1] == '/') {
      while (at < text.size() && text[at] != '\n') ++at;
    } else if (c == '"') {
      Token token{Token::String, {}, line};
      ++at;
      while (at < text.size() && text[at] != '"') {
        if (text[at] == '\n') ++line;
        if (text[at] == '\\' && at + 1 < text.size()) {
          ++at;
          if (text[at] >= '0' && text[at] <= '7') {
            int code = 0;
            for (int n = 0; n < 3 && at < text.size() && text[at] >= '0' && text[at] <= '7'; ++n) {
              code = code * 8 + (text[at++] - '0');
            }
            token.text += static_cast<char>(code);
            continue;
          }
        }
        token.text += text[at++];
      }
      ++at;
      tokens.push_back(std::move(token));
    } else if (std::isdigit(static_cast<unsigned char>(c)) || c == '#') {
      Token token{c == '#' ? Token::Offset : Token::Number, {}, line};
      if (c == '#') ++at;
      while (at < text.size() && (std::isdigit(static_cast<unsigned char>(text[at])) || text[at] == ':')) {
        token.text += text[at++];
      }
      if (token.kind == Token::Number && token.text.find(':') != std::string::npos) token.kind = Token::Time;
      tokens.push_back(std::move(token));
    } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      Token token{Token::Word, {}, line};
      while (at < text.size() && (std::isalnum(static_cast<unsigned char>(text[at])) || text[at] == '_')) {
        token.text += static_cast<char>(std::toupper(static_cast<unsigned char>(text[at++])));
      }
      tokens.push_back(std::move(token));
    } else {
      tokens.push_back({Token::Symbol, std::string(1, c), line});
      ++at;
    }
  }
  tokens.push_back({Token::End, {}, line});
  return tokens;
}

bool StartsWithRiff(const fs::path& path) {
  int error = 0;
  const int descriptor = OpenRegularFile(path, O_RDONLY, error);
  if (descriptor < 0) return false;
  char head[4] = {};
  const bool riff = pread(descriptor, head, 4, 0) == 4 && std::string_view(head, 4) == "RIFF";
  ::close(descriptor);
  return riff;
}

// The bytes each sector of a track mode takes in a data file; 0 for no such mode.
std::uint32_t ModeBytes(const std::string& mode) {
  if (mode == "AUDIO" || mode == "MODE1_RAW" || mode == "MODE2_RAW") return 2352;
  if (mode == "MODE1" || mode == "MODE2_FORM1") return 2048;
  if (mode == "MODE0" || mode == "MODE2" || mode == "MODE2_FORM_MIX") return 2336;
  if (mode == "MODE2_FORM2") return 2324;
  return 0;
}

class TocReader {
 public:
  TocReader(ImageSectors& sectors, const fs::path& tocFile, std::string_view text)
      : sectors_(sectors), tocFile_(tocFile), tokens_(Tokens(text)) {}

  DiscToc Run() {
    while (Peek().kind != Token::End) Statement();
    if (track_) EndTrack();
    if (toc_.Tracks.empty()) Fail(Peek().line, "トラックがありません");
    toc_.LeadOut = static_cast<std::uint32_t>(disc_ + kLeadInFrames);
    return toc_;
  }

 private:
  struct Track {
    bool audio = true;
    std::uint32_t stride = kSectorBytes;  // bytes a sector takes in a file
    std::uint64_t samples = 0;            // audio: sample frames so far
    std::uint64_t sectors = 0;            // data: sectors so far
    std::optional<std::uint64_t> start;   // sectors from the track's beginning to INDEX 01
    bool hasData = false;
    bool preEmphasis = false;
    int line = 0;
    std::uint64_t Sectors() const {
      return audio ? (samples + kSampleFramesPerSector - 1) / kSampleFramesPerSector : sectors;
    }
  };

  [[noreturn]] static void Fail(int line, const std::string& reason) {
    throw Error(FormatMessage(FormatMessage(kBadLine, std::to_string(line)), reason));
  }
  const Token& Peek() const { return tokens_[at_]; }
  const Token& Next() { return tokens_[at_ < tokens_.size() - 1 ? at_++ : at_]; }
  bool PeekTime() const { return Peek().kind == Token::Number || Peek().kind == Token::Time; }

  Track& Current(const Token& token) {
    if (!track_) Fail(token.line, "「" + token.text + "」が TRACK より前にあります");
    return *track_;
  }

  // "mm:ss:ff" as sectors, or a plain number as it is.
  struct Amount {
    std::uint64_t value = 0;
    bool sectors = false;
  };
  Amount ReadAmount() {
    const Token& token = Next();
    if (token.kind == Token::Number) {
      if (token.text.size() > 12) Fail(token.line, "数が大きすぎます");
      return {std::stoull(token.text), false};
    }
    if (token.kind != Token::Time) Fail(token.line, "時間 (分:秒:フレーム) がありません");
    unsigned minutes = 0, seconds = 0, frames = 0;
    char rest = 0;
    if (token.text.size() > 12 ||
        std::sscanf(token.text.c_str(), "%u:%u:%u%c", &minutes, &seconds, &frames, &rest) != 3 || seconds >= 60 ||
        frames >= 75) {
      Fail(token.line, "時間「" + token.text + "」が正しくありません");
    }
    return {(std::uint64_t{minutes} * 60 + seconds) * 75 + frames, true};
  }
  // An amount of audio in sample frames (a plain number counts samples).
  std::uint64_t ReadSamples() {
    const Amount amount = ReadAmount();
    return amount.sectors ? amount.value * kSampleFramesPerSector : amount.value;
  }
  // An amount of data in bytes of `stride`-byte sectors (a plain number counts bytes).
  std::uint64_t ReadBytes(std::uint32_t stride) {
    const Amount amount = ReadAmount();
    return amount.sectors ? amount.value * stride : amount.value;
  }

  void SkipBlock() {
    const Token& open = Next();
    if (open.text != "{") Fail(open.line, "「{」がありません");
    int depth = 1;
    while (depth > 0) {
      const Token& token = Next();
      if (token.kind == Token::End) Fail(open.line, "「}」がありません");
      if (token.kind == Token::Symbol && token.text == "{") ++depth;
      if (token.kind == Token::Symbol && token.text == "}") --depth;
    }
  }

  std::string ReadString() {
    const Token& token = Next();
    if (token.kind != Token::String) Fail(token.line, "\"\" で囲んだ名前がありません");
    return token.text;
  }

  void EndTrack() {
    Track& track = *track_;
    const std::uint64_t length = track.Sectors();
    const std::uint64_t start = track.start.value_or(0);
    if (length == 0 || start >= length) Fail(track.line, "トラックに INDEX 01 より後のデータがありません");
    toc_.Tracks.push_back({static_cast<std::uint32_t>(disc_ + start + kLeadInFrames), track.audio, track.preEmphasis});
    disc_ += length;
    if (disc_ > kMaxSectors) Fail(track.line, "ディスクの長さを超えています");
    track_.reset();
  }

  // Where the next data of the track begins, in disc sectors; audio data that does not begin on
  // a sector (after a piece of odd length) cannot be placed.
  std::uint64_t DataSector(const Track& track, int line) const {
    if (track.audio && track.samples % kSampleFramesPerSector != 0) {
      Fail(line, "前のデータの長さがセクタ (588 サンプル) の倍数ではありません");
    }
    return disc_ + track.Sectors();
  }

  std::size_t OpenFile(const std::string& name, ImageSectors::FileKind kind, int line, bool audio = true) {
    fs::path path(name);
    if (path.is_relative()) {
      fs::path folder = tocFile_.parent_path();
      std::error_code error;
      path = folder / path;
      if (!fs::exists(path, error)) path = folder / fs::path(name).filename();
    }
    const std::string key = path.string() + '\n' + std::to_string(static_cast<int>(kind));
    if (auto found = opened_.find(key); found != opened_.end()) return found->second;
    // An audio file's own first bytes tell FLAC and WAVE apart from raw samples.
    if (audio && FlacFile::Sniff(path)) {
      kind = ImageSectors::FileKind::Flac;
    } else if (audio && StartsWithRiff(path)) {
      kind = ImageSectors::FileKind::Wave;
    }
    try {
      const std::size_t file = sectors_.AddFile(path, kind);
      opened_[key] = file;
      return file;
    } catch (const Error& error) {
      Fail(line, error.what());
    }
  }

  // An optional "#offset": a byte position in the file; 0 when none is given.
  std::uint64_t ReadOffset() {
    if (Peek().kind != Token::Offset) return 0;
    const Token& token = Next();
    if (token.text.empty() || token.text.size() > 12 || token.text.find(':') != std::string::npos) {
      Fail(token.line, "バイト位置「#" + token.text + "」が正しくありません");
    }
    return std::stoull(token.text);
  }

  // FILE/AUDIOFILE "name" [SWAP] [#offset] start [length]
  void AudioFile(const Token& keyword) {
    Track& track = Current(keyword);
    const std::string name = ReadString();
    bool swap = false;
    if (Peek().kind == Token::Word && Peek().text == "SWAP") {
      swap = true;
      Next();
    }
    const std::uint64_t offset = ReadOffset();
    if (!track.audio) {
      Fail(keyword.line, "データトラックの中身は DATAFILE で指定します");
    }
    const std::uint64_t first = ReadSamples();
    const std::uint64_t asked = PeekTime() ? ReadSamples() : 0;  // 0: to the file's end
    std::string lower = fs::path(name).extension().string();
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::size_t useFile = OpenFile(name,
                                         lower == ".wav" ? ImageSectors::FileKind::Wave
                                         : swap          ? ImageSectors::FileKind::LittleEndian
                                                         : ImageSectors::FileKind::BigEndian,
                                         keyword.line);
    const std::uint64_t size = sectors_.FileBytes(useFile);
    const std::uint64_t begin = offset + first * 4;
    if (begin > size) Fail(keyword.line, "ファイル " + name + " が開始位置より短いです");
    const std::uint64_t samples = asked > 0 ? asked : (size - begin) / 4;
    if (samples == 0) return;
    AddAudio(track, useFile, name, begin, samples, keyword.line);
  }

  // Adds `samples` sample frames of `file` from byte `begin` on to the audio of `track`, after
  // checking that the file holds them and the disc has room for them.
  void AddAudio(Track& track, std::size_t file, const std::string& name, std::uint64_t begin, std::uint64_t samples,
                int line) {
    if (begin + samples * 4 > sectors_.FileBytes(file)) Fail(line, "ファイル " + name + " が指定の長さより短いです");
    const std::uint64_t sector = DataSector(track, line);
    const std::uint64_t count = (samples + kSampleFramesPerSector - 1) / kSampleFramesPerSector;
    if (sector + count > kMaxSectors) Fail(line, "ディスクの長さを超えています");
    sectors_.AddExtent(static_cast<std::uint32_t>(sector), static_cast<std::uint32_t>(count), file, begin);
    track.samples += samples;
    track.hasData = true;
  }

  // DATAFILE "name" [#offset] [length]
  void DataFile(const Token& keyword) {
    Track& track = Current(keyword);
    const std::string name = ReadString();
    const std::uint64_t offset = ReadOffset();
    if (track.audio) {
      // An audio track's DATAFILE holds raw samples from its start.
      const std::size_t file = OpenFile(name, ImageSectors::FileKind::BigEndian, keyword.line);
      const std::uint64_t size = sectors_.FileBytes(file);
      if (offset > size) Fail(keyword.line, "ファイル " + name + " が開始位置より短いです");
      const std::uint64_t samples = PeekTime() ? ReadSamples() : (size - offset) / 4;
      AddAudio(track, file, name, offset, samples, keyword.line);
      return;
    }
    // A data track's sectors are never played: only their number matters.
    const std::size_t file = OpenFile(name, ImageSectors::FileKind::LittleEndian, keyword.line, false);
    const std::uint64_t size = sectors_.FileBytes(file);
    if (offset > size) Fail(keyword.line, "ファイル " + name + " が開始位置より短いです");
    const std::uint64_t bytes = PeekTime() ? ReadBytes(track.stride) : size - offset;
    if (offset + bytes > size) Fail(keyword.line, "ファイル " + name + " が指定の長さより短いです");
    if (bytes % track.stride != 0) Fail(keyword.line, "データの長さがセクタの倍数ではありません");
    track.sectors += bytes / track.stride;
    track.hasData = true;
    if (disc_ + track.sectors > kMaxSectors) Fail(keyword.line, "ディスクの長さを超えています");
  }

  // Silence (audio) or zero sectors (data) of a length.
  void Zero(const Token& keyword) {
    Track& track = Current(keyword);
    if (keyword.text == "ZERO") {
      // ZERO [mode] [sub-channel mode] length
      while (Peek().kind == Token::Word &&
             (ModeBytes(Peek().text) != 0 || Peek().text == "RW" || Peek().text == "RW_RAW")) {
        Next();
      }
    } else if (!track.audio) {
      Fail(keyword.line, "SILENCE はオーディオトラックにしか使えません");
    }
    if (track.audio) {
      const std::uint64_t samples = ReadSamples();
      DataSector(track, keyword.line);
      track.samples += samples;
      if (disc_ + track.Sectors() > kMaxSectors) Fail(keyword.line, "ディスクの長さを超えています");
    } else {
      const std::uint64_t bytes = ReadBytes(track.stride);
      if (bytes % track.stride != 0) Fail(keyword.line, "データの長さがセクタの倍数ではありません");
      track.sectors += bytes / track.stride;
      if (disc_ + track.sectors > kMaxSectors) Fail(keyword.line, "ディスクの長さを超えています");
    }
    track.hasData = true;
  }

  void Statement() {
    const Token& keyword = Next();
    if (keyword.kind != Token::Word) {
      Fail(keyword.line, keyword.kind == Token::Symbol ? "「" + keyword.text + "」が正しくありません"
                                                       : "「" + keyword.text + "」の前に命令がありません");
    }
    const std::string& word = keyword.text;
    if (word == "CD_DA" || word == "CD_ROM" || word == "CD_ROM_XA" || word == "CD_I" || word == "COPY" ||
        word == "TWO_CHANNEL_AUDIO" || word == "FOUR_CHANNEL_AUDIO") {
      return;
    }
    if (word == "CATALOG" || word == "ISRC") {
      ReadString();
    } else if (word == "CD_TEXT") {
      SkipBlock();  // read as CD-Text from the whole file
    } else if (word == "NO") {
      const Token& what = Next();
      if (what.text == "PRE_EMPHASIS") {
        Current(keyword).preEmphasis = false;
      } else if (what.text != "COPY") {
        Fail(what.line, "「NO " + what.text + "」は使えません");
      }
    } else if (word == "PRE_EMPHASIS") {
      Current(keyword).preEmphasis = true;
    } else if (word == "TRACK") {
      if (track_) EndTrack();
      if (toc_.Tracks.size() == 99) Fail(keyword.line, "トラックが 99 を超えています");
      const Token& mode = Next();
      const std::uint32_t bytes = ModeBytes(mode.text);
      if (mode.kind != Token::Word || bytes == 0) Fail(mode.line, "トラックの形式「" + mode.text + "」が分かりません");
      Track track;
      track.audio = mode.text == "AUDIO";
      track.stride = bytes;
      track.line = keyword.line;
      if (Peek().kind == Token::Word && (Peek().text == "RW" || Peek().text == "RW_RAW")) {
        if (track.audio) Fail(Peek().line, "サブチャンネル付きのオーディオトラックには対応していません");
        track.stride += 96;
        Next();
      }
      track_ = track;
    } else if (word == "PREGAP") {
      Track& track = Current(keyword);
      if (track.hasData || track.start) Fail(keyword.line, "PREGAP はトラックのデータより前に書きます");
      const Amount amount = ReadAmount();
      if (!amount.sectors) Fail(keyword.line, "PREGAP の長さは 分:秒:フレーム で書きます");
      if (track.audio) {
        track.samples = amount.value * kSampleFramesPerSector;
      } else {
        track.sectors = amount.value;
      }
      track.start = amount.value;
      track.hasData = true;
    } else if (word == "START") {
      Track& track = Current(keyword);
      if (track.start) Fail(keyword.line, "START が二度目です");
      if (Peek().kind == Token::Time) {
        track.start = ReadAmount().value;
      } else {
        if (track.audio && track.samples % kSampleFramesPerSector != 0) {
          Fail(keyword.line, "START の位置がセクタ (588 サンプル) の境目ではありません");
        }
        track.start = track.Sectors();
      }
    } else if (word == "INDEX") {
      Current(keyword);
      ReadAmount();  // index marks within the track change nothing the player reports
    } else if (word == "SILENCE" || word == "ZERO") {
      Zero(keyword);
    } else if (word == "FILE" || word == "AUDIOFILE") {
      AudioFile(keyword);
    } else if (word == "DATAFILE") {
      DataFile(keyword);
    } else if (word == "FIFO") {
      Fail(keyword.line, "FIFO からのデータは再生できません");
    } else {
      Fail(keyword.line, "「" + word + "」は TOC ファイルの命令ではありません");
    }
  }

  ImageSectors& sectors_;
  const fs::path& tocFile_;
  std::vector<Token> tokens_;
  std::size_t at_ = 0;
  std::optional<Track> track_;
  std::uint64_t disc_ = 0;  // sectors of the tracks before the current one
  DiscToc toc_;
  std::map<std::string, std::size_t> opened_;
};

}  // namespace

TocImage::TocImage(const fs::path& tocFile) {
  std::error_code error;
  const auto size = fs::file_size(tocFile, error);
  std::string text;
  if (error || size > kMaxTocBytes || !ReadWholeFile(tocFile, text) || text.find('\0') != std::string::npos) {
    throw Error(FormatMessage(kCannotRead, tocFile.string()));
  }
  toc_ = TocReader(*this, tocFile, text).Run();
  text_ = ReadTocCdText(text);
}

}  // namespace qvr
