// The audio sectors of a CD image described by a text file (a cue sheet, a cdrdao .toc): the
// data files it names (raw sectors in either byte order, WAVE, FLAC) and where on the disc each
// stretch of them lies. Sectors no file holds (pregaps, silence) read as silence.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "cdda/AudioSectorSource.h"
#include "cdda/DiscToc.h"
#include "cdda/FlacFile.h"

namespace qvr {

class ImageSectors : public AudioSectorSource {
 public:
  enum class FileKind {
    LittleEndian,  // raw 16-bit samples, least significant byte first (a cue sheet's BINARY)
    BigEndian,     // raw 16-bit samples, most significant byte first (MOTOROLA, cdrdao's raw files)
    Wave,          // RIFF WAVE, 44.1 kHz 16-bit stereo PCM
    Flac,          // FLAC, 44.1 kHz 16-bit stereo
  };

  ImageSectors() = default;
  ~ImageSectors() override;
  ImageSectors(const ImageSectors&) = delete;
  ImageSectors& operator=(const ImageSectors&) = delete;

  // Opens a data file (a regular file only). Throws qvr::Error (Japanese) when it cannot be
  // opened or is not of its kind. Returns its number for AddExtent.
  std::size_t AddFile(const std::filesystem::path& path, FileKind kind);
  // Opens a FLAC file already read.
  std::size_t AddFile(std::unique_ptr<FlacFile> flac);
  std::size_t FileCount() const { return files_.size(); }
  // Whether the file holds whole sectors only (raw sector files do; in WAVE and FLAC files the
  // last sector may be partly filled, as a rip's track files of any length are).
  bool WholeSectors(std::size_t file) const { return files_[file].wholeSectors; }
  // The bytes of sample data the file holds (for FLAC, 4 for each stereo sample frame).
  std::uint64_t FileBytes(std::size_t file) const { return files_[file].bytes; }
  const std::filesystem::path& FilePath(std::size_t file) const { return files_[file].path; }
  // Places `count` sectors of `sectorBytes` bytes each, from byte `offset` of the file's sample
  // data on, at disc sector `firstSector` (frame address less the lead-in). Audio sectors reach
  // past the file's end only by a partly filled last sector, whose rest is silence.
  void AddExtent(std::uint32_t firstSector, std::uint32_t count, std::size_t file, std::uint64_t offset,
                 std::uint32_t sectorBytes = kSectorBytes);

  void ReadAudio(std::uint32_t frame, std::uint32_t count, std::int16_t* samples) override;

 private:
  struct DataFile {
    std::filesystem::path path;
    int descriptor = -1;
    bool bigEndian = false;
    bool wholeSectors = true;
    std::unique_ptr<FlacFile> flac;
    std::uint64_t dataOffset = 0;  // where the samples begin in the file (a WAVE file's header)
    std::uint64_t bytes = 0;
  };
  // A run of disc sectors stored back to back in one file.
  struct Extent {
    std::uint32_t firstSector = 0;
    std::uint32_t count = 0;
    std::size_t file = 0;
    std::uint64_t offset = 0;  // byte offset of the first sector in the file's sample data
    std::uint32_t sectorBytes = kSectorBytes;
  };

  void ReadRun(const Extent& extent, std::uint32_t sector, std::uint32_t count, std::int16_t* samples);

  std::vector<DataFile> files_;
  std::vector<Extent> extents_;  // in disc order
};

}  // namespace qvr
