// A CD image described by a cue sheet: its table of contents and its audio sectors, read from the
// files the sheet names (BINARY or MOTOROLA raw sectors, 16-bit 44.1 kHz stereo WAVE or FLAC
// files, one for the disc or one per track), with INDEX 00 pregaps (in the track's file or at the
// end of the previous one) and PREGAP/POSTGAP silence laid out as the disc has them, and the
// sheet's CD-Text. A FLAC file that carries its cue sheet (a CUESHEET metadata block or tag) is
// opened the same way.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "cdda/CdText.h"
#include "cdda/DiscToc.h"
#include "cdda/ImageSectors.h"

namespace qvr {

class CueImage : public ImageSectors {
 public:
  // Reads the cue sheet (or the FLAC file with its cue sheet inside) and opens the files it
  // names. Throws qvr::Error with a Japanese message when the sheet is not a usable cue sheet or
  // a file is missing, unreadable, of another format or too short.
  explicit CueImage(const std::filesystem::path& cueFile);

  const DiscToc& Toc() const { return toc_; }
  // The sheet's CD-Text (its CDTEXTFILE and its TITLE, PERFORMER, ... lines); empty when none.
  const CdText& Text() const { return text_; }

  // Whether `file` is a FLAC file that carries a cue sheet (one that CueImage can open as a
  // disc). Reads the file's metadata only.
  static bool IsFlacWithCueSheet(const std::filesystem::path& file);

 private:
  void OpenSheet(const std::filesystem::path& cueFile);
  void OpenFlac(const std::filesystem::path& flacFile);

  DiscToc toc_;
  CdText text_;
};

}  // namespace qvr
