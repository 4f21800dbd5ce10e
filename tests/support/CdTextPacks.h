// Writes CD-Text packs as a disc writer lays them out: per block, each text type's strings one
// after the other (the disc's, then track by track) cut into packs of 12 text bytes with track
// numbers, sequence numbers, character positions and CRCs, followed by the size information.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "cdda/CdText.h"

namespace qvr::test {

struct PackBlock {
  std::uint8_t charset = 0x00;   // 0x00 ISO 8859-1, 0x01 ASCII, 0x80 MS-JIS
  std::uint8_t language = 0x09;  // English; 0x69 Japanese
  bool doubleByte = false;
  // Texts by pack type (0x80 title ... 0x84 arranger): [0] the disc's, [n] track n's.
  std::map<std::uint8_t, std::vector<std::string>> texts;
  std::uint16_t genre = 0;
  std::string genreText;
};

inline void PutPack(std::string& out, std::uint8_t type, std::uint8_t track, std::uint8_t sequence, std::uint8_t flags,
                    const std::string& text12) {
  std::string pack;
  pack += static_cast<char>(type);
  pack += static_cast<char>(track);
  pack += static_cast<char>(sequence);
  pack += static_cast<char>(flags);
  pack += text12;
  pack.resize(16, '\0');
  const std::uint16_t crc = CdTextPackCrc(pack);
  pack += static_cast<char>(crc >> 8);
  pack += static_cast<char>(crc & 0xFF);
  out += pack;
}

// The packs of the blocks; with `header`, the 4-byte header of a drive's reply first.
inline std::string MakeCdTextPacks(const std::vector<PackBlock>& blocks, bool header = false) {
  std::string out;
  for (std::size_t number = 0; number < blocks.size(); ++number) {
    const PackBlock& block = blocks[number];
    std::uint8_t sequence = 0;
    std::uint8_t counts[16] = {};
    const std::string terminator(block.doubleByte ? 2 : 1, '\0');
    const auto flagsFor = [&](std::size_t position) {
      return static_cast<std::uint8_t>((block.doubleByte ? 0x80 : 0) | number << 4 | (position > 15 ? 15 : position));
    };
    std::uint8_t lastTrack = 0;
    for (const auto& [type, strings] : block.texts) {
      // Where each string starts in the run of this type's text.
      std::string run;
      std::vector<std::size_t> starts;
      for (const std::string& text : strings) {
        starts.push_back(run.size());
        run += text + terminator;
      }
      lastTrack = static_cast<std::uint8_t>(std::max<std::size_t>(lastTrack, strings.size() - 1));
      for (std::size_t at = 0; at < run.size(); at += 12) {
        std::size_t track = 0;
        while (track + 1 < starts.size() && starts[track + 1] <= at) ++track;
        PutPack(out, type, static_cast<std::uint8_t>(track), sequence++, flagsFor(at - starts[track]),
                run.substr(at, 12));
        ++counts[type & 0x0F];
      }
    }
    if (block.genre != 0 || !block.genreText.empty()) {
      std::string run;
      run += static_cast<char>(block.genre >> 8);
      run += static_cast<char>(block.genre & 0xFF);
      run += block.genreText + terminator;
      for (std::size_t at = 0; at < run.size(); at += 12) {
        PutPack(out, 0x87, 0, sequence++, flagsFor(at), run.substr(at, 12));
        ++counts[7];
      }
    }
    std::string size(36, '\0');
    size[0] = static_cast<char>(block.charset);
    size[1] = 1;
    size[2] = static_cast<char>(lastTrack);
    counts[15] = 3;
    for (int type = 0; type < 16; ++type) size[4 + type] = static_cast<char>(counts[type]);
    size[20 + number] = static_cast<char>(sequence + 2);
    for (std::size_t other = 0; other < blocks.size(); ++other)
      size[28 + other] = static_cast<char>(blocks[other].language);
    for (std::uint8_t part = 0; part < 3; ++part)
      PutPack(out, 0x8F, part, sequence++, flagsFor(0), size.substr(part * 12, 12));
  }
  if (header) {
    const std::size_t length = out.size() + 2;
    out = std::string{static_cast<char>(length >> 8), static_cast<char>(length & 0xFF), '\0', '\0'} + out;
  }
  return out;
}

}  // namespace qvr::test
