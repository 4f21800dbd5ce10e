// A FLAC file read through libFLAC as CD audio: 44.1 kHz, 16-bit, stereo samples read by sample
// number with sample-exact seeks, and the cue sheet a rip may carry inside it (a CUESHEET
// metadata block, or a cue sheet's text in a CUESHEET tag).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qvr {

// A FLAC file's CUESHEET metadata block, in sample frames from the file's start.
struct FlacCueSheet {
  struct Index {
    unsigned Number = 0;
    std::uint64_t Offset = 0;  // from the file's start
  };
  struct Track {
    unsigned Number = 0;
    std::uint64_t Offset = 0;  // from the file's start
    bool Audio = true;
    bool PreEmphasis = false;
    std::vector<Index> Indices;
  };
  std::vector<Track> Tracks;  // the lead-out (number 170) left out
  std::uint64_t LeadOut = 0;  // the lead-out track's offset
};

class FlacFile {
 public:
  // Opens the file and reads its stream information. Throws qvr::Error (Japanese) when it is not
  // a FLAC file, cannot be read, does not say its length, or is not 44.1 kHz 16-bit stereo.
  explicit FlacFile(const std::filesystem::path& path);
  ~FlacFile();
  FlacFile(const FlacFile&) = delete;
  FlacFile& operator=(const FlacFile&) = delete;

  // Whether the file begins as a FLAC stream does ("fLaC", possibly after an ID3v2 tag).
  static bool Sniff(const std::filesystem::path& path);

  const std::filesystem::path& Path() const { return path_; }
  // The number of stereo sample frames in the file.
  std::uint64_t Samples() const { return samples_; }
  // The CUESHEET metadata block; nullopt when the file has none.
  const std::optional<FlacCueSheet>& CueSheet() const { return cueSheet_; }
  // The text of a CUESHEET tag; empty when the file has none.
  const std::string& CueSheetTag() const { return cueSheetTag_; }

  // Decodes `count` sample frames from sample frame `first` into `samples` (2 * count
  // interleaved 16-bit native-endian samples). Reads that continue the last one go on decoding;
  // others seek first. Throws qvr::Error when the file cannot be decoded there.
  void Read(std::uint64_t first, std::uint32_t count, std::int16_t* samples);

 private:
  struct Decoder;
  void Seek(std::uint64_t sample);

  std::filesystem::path path_;
  std::uint64_t samples_ = 0;
  std::optional<FlacCueSheet> cueSheet_;
  std::string cueSheetTag_;
  std::unique_ptr<Decoder> decoder_;
};

}  // namespace qvr
