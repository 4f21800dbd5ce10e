// FLAC decoding for the image readers. The decoder is libFLAC's stream decoder on a FILE of the
// program's own opening (a regular file only, so that a FIFO cannot block it). Decoded blocks
// land in a buffer that Read copies from; a read that does not continue the last one seeks,
// and libFLAC's seek delivers the block from the exact sample asked for. Opening runs on the
// caller's thread; Read runs on the player's reader thread, one call at a time.
#include "cdda/FlacFile.h"

#include <FLAC/stream_decoder.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "util/Error.h"
#include "util/RegularFile.h"

namespace qvr {

namespace {

constexpr char kNotFlac[] = "FLAC ファイルとして読めません: %s";
constexpr char kBadFormat[] = "44.1kHz 16ビット ステレオの FLAC ファイルではありません: %s";
constexpr char kNoLength[] = "長さの記録されていない FLAC ファイルは再生できません: %s";
constexpr char kCannotDecode[] = "FLAC ファイルが壊れているため読めません: %s";
constexpr char kMissing[] = "ファイルが見つかりません: %s";
// A cue sheet tag longer than this is no cue sheet.
constexpr std::size_t kMaxCueSheetTag = 256 * 1024;

bool IsCueSheetTag(const FLAC__StreamMetadata_VorbisComment_Entry& entry) {
  static constexpr char kName[] = "CUESHEET=";
  constexpr std::size_t kLength = sizeof kName - 1;
  if (entry.length < kLength) return false;
  for (std::size_t n = 0; n < kLength; ++n) {
    char c = static_cast<char>(entry.entry[n]);
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != kName[n]) return false;
  }
  return true;
}

}  // namespace

struct FlacFile::Decoder {
  FLAC__StreamDecoder* decoder = nullptr;
  FlacFile* owner = nullptr;
  // Stream information and metadata, as the metadata callback saw them.
  bool sawInfo = false;
  unsigned rate = 0, channels = 0, bits = 0;
  std::uint64_t total = 0;
  // The last decoded block: interleaved samples from sample frame `start`.
  std::vector<std::int16_t> block;
  std::uint64_t start = 0;
  bool badBlock = false;

  ~Decoder() {
    if (decoder != nullptr) {
      FLAC__stream_decoder_finish(decoder);  // closes the FILE
      FLAC__stream_decoder_delete(decoder);
    }
  }
  std::uint64_t End() const { return start + block.size() / 2; }

  static FLAC__StreamDecoderWriteStatus Write(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                              const FLAC__int32* const buffer[], void* data) {
    auto* self = static_cast<Decoder*>(data);
    // A stream may change its format from block to block: only CD audio is taken.
    if (frame->header.channels != 2 || frame->header.bits_per_sample != 16) {
      self->badBlock = true;
      return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    }
    const unsigned size = frame->header.blocksize;
    self->block.resize(std::size_t{size} * 2);
    for (unsigned n = 0; n < size; ++n) {
      self->block[2 * n] = static_cast<std::int16_t>(buffer[0][n]);
      self->block[2 * n + 1] = static_cast<std::int16_t>(buffer[1][n]);
    }
    self->start = frame->header.number.sample_number;
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
  }

  static void Metadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata, void* data) {
    auto* self = static_cast<Decoder*>(data);
    if (metadata->type == FLAC__METADATA_TYPE_STREAMINFO) {
      const auto& info = metadata->data.stream_info;
      self->sawInfo = true;
      self->rate = info.sample_rate;
      self->channels = info.channels;
      self->bits = info.bits_per_sample;
      self->total = info.total_samples;
    } else if (metadata->type == FLAC__METADATA_TYPE_CUESHEET && !self->owner->cueSheet_) {
      const auto& sheet = metadata->data.cue_sheet;
      FlacCueSheet cue;
      for (unsigned n = 0; n < sheet.num_tracks; ++n) {
        const FLAC__StreamMetadata_CueSheet_Track& track = sheet.tracks[n];
        if (track.number == 170) {
          cue.LeadOut = track.offset;
          continue;
        }
        FlacCueSheet::Track entry{track.number, track.offset, track.type == 0, track.pre_emphasis != 0, {}};
        for (unsigned i = 0; i < track.num_indices; ++i) {
          entry.Indices.push_back({track.indices[i].number, track.offset + track.indices[i].offset});
        }
        cue.Tracks.push_back(std::move(entry));
      }
      self->owner->cueSheet_ = std::move(cue);
    } else if (metadata->type == FLAC__METADATA_TYPE_VORBIS_COMMENT) {
      const auto& comments = metadata->data.vorbis_comment;
      for (unsigned n = 0; n < comments.num_comments; ++n) {
        const FLAC__StreamMetadata_VorbisComment_Entry& entry = comments.comments[n];
        if (!IsCueSheetTag(entry) || entry.length > kMaxCueSheetTag) continue;
        self->owner->cueSheetTag_.assign(reinterpret_cast<const char*>(entry.entry) + 9, entry.length - 9);
        break;
      }
    }
  }

  static void Failure(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void*) {
    // A block lost to a damaged stream: decoding goes on at the next one, and a read that needs
    // the lost samples finds them missing.
  }
};

bool FlacFile::Sniff(const std::filesystem::path& path) {
  int error = 0;
  const int descriptor = OpenRegularFile(path, O_RDONLY, error);
  if (descriptor < 0) return false;
  unsigned char head[10] = {};
  bool flac = false;
  if (pread(descriptor, head, sizeof head, 0) == static_cast<ssize_t>(sizeof head)) {
    if (std::memcmp(head, "fLaC", 4) == 0) {
      flac = true;
    } else if (std::memcmp(head, "ID3", 3) == 0) {
      // An ID3v2 tag some taggers put first: its size is in 7-bit bytes.
      off_t at = 10 + ((head[6] & 0x7F) << 21 | (head[7] & 0x7F) << 14 | (head[8] & 0x7F) << 7 | (head[9] & 0x7F));
      if ((head[5] & 0x10) != 0) at += 10;
      unsigned char marker[4] = {};
      flac = pread(descriptor, marker, 4, at) == 4 && std::memcmp(marker, "fLaC", 4) == 0;
    }
  }
  ::close(descriptor);
  return flac;
}

FlacFile::FlacFile(const std::filesystem::path& path) : path_(path), decoder_(std::make_unique<Decoder>()) {
  decoder_->owner = this;
  int error = 0;
  const int descriptor = OpenRegularFile(path, O_RDONLY, error);
  if (descriptor < 0) throw Error(FormatMessage(kMissing, path.string()));
  FILE* file = fdopen(descriptor, "rb");
  if (file == nullptr) {
    ::close(descriptor);
    throw Error(FormatMessage(kMissing, path.string()));
  }
  decoder_->decoder = FLAC__stream_decoder_new();
  if (decoder_->decoder == nullptr) {
    std::fclose(file);
    throw Error(FormatMessage(kNotFlac, path.string()));
  }
  FLAC__stream_decoder_set_metadata_respond(decoder_->decoder, FLAC__METADATA_TYPE_CUESHEET);
  FLAC__stream_decoder_set_metadata_respond(decoder_->decoder, FLAC__METADATA_TYPE_VORBIS_COMMENT);
  if (FLAC__stream_decoder_init_FILE(decoder_->decoder, file, Decoder::Write, Decoder::Metadata, Decoder::Failure,
                                     decoder_.get()) != FLAC__STREAM_DECODER_INIT_STATUS_OK) {
    std::fclose(file);  // init_FILE closes it only when it succeeds
    throw Error(FormatMessage(kNotFlac, path.string()));
  }
  if (!FLAC__stream_decoder_process_until_end_of_metadata(decoder_->decoder) || !decoder_->sawInfo) {
    throw Error(FormatMessage(kNotFlac, path.string()));
  }
  if (decoder_->rate != 44100 || decoder_->channels != 2 || decoder_->bits != 16) {
    throw Error(FormatMessage(kBadFormat, path.string()));
  }
  if (decoder_->total == 0) throw Error(FormatMessage(kNoLength, path.string()));
  samples_ = decoder_->total;
}

FlacFile::~FlacFile() = default;

void FlacFile::Seek(std::uint64_t sample) {
  FLAC__StreamDecoder* decoder = decoder_->decoder;
  decoder_->block.clear();
  if (FLAC__stream_decoder_get_state(decoder) == FLAC__STREAM_DECODER_SEEK_ERROR) {
    FLAC__stream_decoder_flush(decoder);
  }
  if (!FLAC__stream_decoder_seek_absolute(decoder, sample)) {
    if (FLAC__stream_decoder_get_state(decoder) == FLAC__STREAM_DECODER_SEEK_ERROR) {
      FLAC__stream_decoder_flush(decoder);
    }
    decoder_->block.clear();
    throw Error(FormatMessage(kCannotDecode, path_.string()));
  }
}

void FlacFile::Read(std::uint64_t first, std::uint32_t count, std::int16_t* samples) {
  Decoder& state = *decoder_;
  bool sought = false;
  while (count > 0) {
    if (!state.block.empty() && first >= state.start && first < state.End()) {
      const auto run = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, state.End() - first));
      std::memcpy(samples, state.block.data() + (first - state.start) * 2, std::size_t{run} * 4);
      samples += std::size_t{run} * 2;
      first += run;
      count -= run;
      continue;
    }
    if (!state.block.empty() && first >= state.End() && (first == state.End() || sought)) {
      // The next block follows (or, after a seek past a damaged stretch, a later one).
      state.block.clear();
      if (!FLAC__stream_decoder_process_single(state.decoder) || state.badBlock || state.block.empty()) {
        throw Error(FormatMessage(kCannotDecode, path_.string()));
      }
      continue;
    }
    if (!state.block.empty() && first < state.start && sought) {
      // Samples the stream lacks (a block lost to damage) are silence.
      const auto run = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, state.start - first));
      std::memset(samples, 0, std::size_t{run} * 4);
      samples += std::size_t{run} * 2;
      first += run;
      count -= run;
      continue;
    }
    if (sought) throw Error(FormatMessage(kCannotDecode, path_.string()));
    if (first >= samples_) throw Error(FormatMessage(kCannotDecode, path_.string()));
    Seek(first);
    sought = true;
    if (state.block.empty() || state.badBlock) throw Error(FormatMessage(kCannotDecode, path_.string()));
  }
}

}  // namespace qvr
