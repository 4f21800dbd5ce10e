// A CD image described by a cdrdao .toc file: its table of contents laid out as cdrdao writes the
// disc (each track's data one after the other, START and PREGAP marking where INDEX 01 lies),
// its audio from the files it names (raw big-endian samples unless SWAP, WAVE, FLAC) and its
// CD_TEXT blocks.
#pragma once

#include <filesystem>

#include "cdda/CdText.h"
#include "cdda/DiscToc.h"
#include "cdda/ImageSectors.h"

namespace qvr {

class TocImage : public ImageSectors {
 public:
  // Reads the .toc file and opens the files it names. Throws qvr::Error with a Japanese message
  // naming the line and the reason when it cannot be played.
  explicit TocImage(const std::filesystem::path& tocFile);

  const DiscToc& Toc() const { return toc_; }
  const CdText& Text() const { return text_; }

 private:
  DiscToc toc_;
  CdText text_;
};

}  // namespace qvr
