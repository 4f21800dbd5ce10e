// Writes cue/bin CD images for the driver tests: tracks of generated audio (no sample frame is
// all zero, so silence the output inserts can be told apart), data tracks, pregaps, big-endian
// files, renamed and sparse data files. Returns what the drive should report and play.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cdda/DiscToc.h"
#include "support/TempDir.h"
#include "util/Msf.h"

namespace qvr::test {

struct ImageTrack {
  std::uint32_t frames = 150;  // sectors from INDEX 01 to the next track's INDEX 00 (or the end)
  bool audio = true;
  std::uint32_t index0 = 0;        // sectors of pregap stored before INDEX 01 (INDEX 00)
  std::uint32_t silentPregap = 0;  // PREGAP: silence not stored in the file
  bool preEmphasis = false;        // FLAGS DCP PRE
  bool zeroIndex0 = false;         // the INDEX 00 sectors stored as digital silence
};

struct ImageOptions {
  std::string cueName = "disc.cue";
  std::string binName = "disc.bin";
  std::string fileLine;  // the name the FILE line gives; binName when empty
  bool bigEndian = false;
  std::uint32_t leadingFrames = 0;  // sectors in the file before track 1's first index
  std::string extraLines;           // added after the FILE line (CD-Text, REM, ...)
};

inline ImageOptions Options(std::string cueName, std::string binName, std::string fileLine = "", bool bigEndian = false,
                            std::string extraLines = "") {
  ImageOptions options;
  options.cueName = std::move(cueName);
  options.binName = std::move(binName);
  options.fileLine = std::move(fileLine);
  options.bigEndian = bigEndian;
  options.extraLines = std::move(extraLines);
  return options;
}

// The 16-bit sample at position `index` of disc sector `sector`; odd, so never zero.
inline std::int16_t TestSample(std::uint32_t sector, std::uint32_t index) {
  std::uint32_t x = sector * 2654435761u ^ (index * 40503u + 0x9E37u);
  x ^= x >> 13;
  return static_cast<std::int16_t>((x & 0xFFFF) | 1);
}

struct GeneratedImage {
  std::filesystem::path cue;
  std::filesystem::path bin;
  DiscToc toc;
  std::string sectors;  // every disc sector from frame 150 on, little-endian (silence for PREGAP)

  // The little-endian bytes of frames [from, to).
  std::string Bytes(std::uint32_t from, std::uint32_t to) const {
    return sectors.substr(std::size_t{from - kLeadInFrames} * kSectorBytes, std::size_t{to - from} * kSectorBytes);
  }
  // Only the audio frames within [from, to).
  std::string AudioBytes(std::uint32_t from, std::uint32_t to) const {
    std::string bytes;
    for (const FrameRange& range : toc.AudioRanges(from, to)) bytes += Bytes(range.From, range.To);
    return bytes;
  }
};

inline std::string MsfText(std::uint32_t frames) {
  char text[16];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u", frames / 4500, frames / 75 % 60, frames % 75);
  return text;
}

// What an output recorded, without the silence it adds on its own (before the first chunk, while
// paused): the generated audio has no all-zero sample frame, so only that silence is dropped.
inline std::string WithoutSilence(const std::string& bytes) {
  std::string kept;
  kept.reserve(bytes.size());
  for (std::size_t at = 0; at + 4 <= bytes.size(); at += 4) {
    if (bytes.compare(at, 4, std::string(4, '\0')) != 0) kept.append(bytes, at, 4);
  }
  return kept;
}

inline GeneratedImage WriteImage(const std::filesystem::path& folder, const std::vector<ImageTrack>& tracks,
                                 const ImageOptions& options = {}) {
  GeneratedImage image;
  image.cue = folder / options.cueName;
  image.bin = folder / options.binName;
  std::string cue = "REM generated for a test\nFILE \"" +
                    (options.fileLine.empty() ? options.binName : options.fileLine) + "\" " +
                    (options.bigEndian ? "MOTOROLA" : "BINARY") + "\n" + options.extraLines;
  std::string file;
  auto addSectors = [&](std::uint32_t count, bool audio, bool stored, bool zero = false) {
    for (std::uint32_t n = 0; n < count; ++n) {
      auto sector = static_cast<std::uint32_t>(image.sectors.size() / kSectorBytes);
      std::string bytes(kSectorBytes, '\0');
      if (stored && zero) {
        file += bytes;
      } else if (stored) {
        for (std::uint32_t i = 0; i < kSamplesPerSector; ++i) {
          auto value = static_cast<std::uint16_t>(audio ? TestSample(sector, i) : 0xA5A5);
          bytes[2 * i] = static_cast<char>(value & 0xFF);
          bytes[2 * i + 1] = static_cast<char>(value >> 8);
        }
        std::string storedBytes = bytes;
        if (options.bigEndian) {
          for (std::size_t i = 0; i < storedBytes.size(); i += 2) std::swap(storedBytes[i], storedBytes[i + 1]);
        }
        file += storedBytes;
      }
      image.sectors += bytes;
    }
  };
  addSectors(options.leadingFrames, true, true);
  std::uint32_t fileFrames = options.leadingFrames;
  for (std::size_t n = 0; n < tracks.size(); ++n) {
    const ImageTrack& track = tracks[n];
    char header[64];
    std::snprintf(header, sizeof header, "  TRACK %02zu %s\n", n + 1, track.audio ? "AUDIO" : "MODE1/2352");
    cue += header;
    if (track.preEmphasis) cue += "    FLAGS DCP PRE\n";
    if (track.silentPregap) cue += "    PREGAP " + MsfText(track.silentPregap) + "\n";
    addSectors(track.silentPregap, track.audio, false);
    if (track.index0) {
      cue += "    INDEX 00 " + MsfText(fileFrames) + "\n";
      addSectors(track.index0, track.audio, true, track.zeroIndex0);
      fileFrames += track.index0;
    }
    cue += "    INDEX 01 " + MsfText(fileFrames) + "\n";
    image.toc.Tracks.push_back({static_cast<std::uint32_t>(image.sectors.size() / kSectorBytes) + kLeadInFrames,
                                track.audio, track.preEmphasis});
    addSectors(track.frames, track.audio, true);
    fileFrames += track.frames;
  }
  image.toc.LeadOut = static_cast<std::uint32_t>(image.sectors.size() / kSectorBytes) + kLeadInFrames;
  WriteFile(image.cue, cue);
  WriteFile(image.bin, file);
  return image;
}

// An image whose tracks start at the given absolute frames, with a sparse (unwritten) data file,
// for checking tables of contents of full-length discs.
inline DiscToc WriteSparseImage(const std::filesystem::path& cueFile, const std::vector<std::uint32_t>& starts,
                                std::uint32_t leadOut) {
  std::filesystem::path bin = cueFile;
  bin.replace_extension(".bin");
  std::string cue = "FILE \"" + bin.filename().string() + "\" BINARY\n";
  DiscToc toc;
  for (std::size_t n = 0; n < starts.size(); ++n) {
    char header[64];
    std::snprintf(header, sizeof header, "  TRACK %02zu AUDIO\n", n + 1);
    cue += header;
    cue += "    INDEX 01 " + MsfText(starts[n] - kLeadInFrames) + "\n";
    toc.Tracks.push_back({starts[n], true});
  }
  toc.LeadOut = leadOut;
  WriteFile(cueFile, cue);
  WriteFile(bin, "");
  std::filesystem::resize_file(bin, std::uint64_t{leadOut - kLeadInFrames} * kSectorBytes);  // a hole, no data written
  return toc;
}

}  // namespace qvr::test
