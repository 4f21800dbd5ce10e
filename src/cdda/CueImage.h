// A CD image described by a cue sheet: its table of contents and its audio sectors, read from the
// files the sheet names (BINARY or MOTOROLA raw sectors, or 16-bit 44.1 kHz stereo WAVE files),
// with INDEX 00 pregaps and PREGAP/POSTGAP silence laid out as the disc has them, and the
// sheet's CD-Text.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "cdda/AudioSectorSource.h"
#include "cdda/CdText.h"
#include "cdda/DiscToc.h"

namespace qvr {

class CueImage : public AudioSectorSource {
 public:
  // Reads the cue sheet and opens the files it names. Throws qvr::Error with a Japanese message
  // when the sheet is not a usable cue sheet or a file is missing, unreadable or too short.
  explicit CueImage(const std::filesystem::path& cueFile);
  ~CueImage() override;
  CueImage(const CueImage&) = delete;
  CueImage& operator=(const CueImage&) = delete;

  const DiscToc& Toc() const { return toc_; }
  // The sheet's CD-Text (its CDTEXTFILE and its TITLE, PERFORMER, ... lines); empty when none.
  const CdText& Text() const { return text_; }

  void ReadAudio(std::uint32_t frame, std::uint32_t count, std::int16_t* samples) override;

 private:
  struct DataFile {
    std::filesystem::path path;
    int descriptor = -1;
    bool bigEndian = false;
  };
  // A run of disc sectors stored back to back in one file.
  struct Extent {
    std::uint32_t firstSector = 0;  // disc sector (frame address less the lead-in)
    std::uint32_t count = 0;
    std::size_t file = 0;
    std::uint64_t offset = 0;  // byte offset of the first sector in the file
    std::uint32_t sectorBytes = kSectorBytes;
  };

  void ReadRun(const Extent& extent, std::uint32_t sector, std::uint32_t count, std::int16_t* samples);

  DiscToc toc_;
  CdText text_;
  std::vector<DataFile> files_;
  std::vector<Extent> extents_;
};

}  // namespace qvr
