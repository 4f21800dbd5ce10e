// Writes Nero (.nrg, version 2) CD images of audio tracks for the driver tests: the sectors, then
// the chunks libcdio reads (CUEX, DAOX, SINF, MTYP, END!) and the "NER5" footer pointing at them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace qvr::test {

namespace nrg {
inline void Be(std::string& out, std::uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<char>(value >> (8 * i)));
}
inline std::string Bcd(int value) { return std::string(1, static_cast<char>((value / 10) << 4 | value % 10)); }
}  // namespace nrg

// Where the CUEX chunk's length field lies in a written image (from its end).
struct NrgImage {
  std::string bytes;
  std::size_t cue_length_at = 0;  // offset of the CUEX chunk's 4-byte length
};

// An image of audio tracks of `sectors` each (no sample zero), the first at 00:02:00; with
// `cdText`, a CDTX chunk of those CD-Text packs.
inline NrgImage MakeNrgImage(const std::vector<std::uint32_t>& sectors, const std::string& cdText = "") {
  using nrg::Be;
  NrgImage image;
  std::string& out = image.bytes;
  for (std::size_t n = 0; n < sectors.size(); ++n) {
    for (std::uint32_t s = 0; s < sectors[n] * 2352; ++s) out.push_back(static_cast<char>((s * 7 + n * 13) % 251 + 1));
  }
  const std::uint64_t chunks = out.size();
  std::string cue;
  auto entry = [&](int track, int index, std::int32_t lsn) {
    cue += '\x01';
    cue += track == 0xAA ? std::string(1, '\xAA') : nrg::Bcd(track);
    cue += nrg::Bcd(index);
    cue += '\0';
    Be(cue, static_cast<std::uint32_t>(lsn), 4);
  };
  entry(0, 0, -150);
  std::int32_t lsn = 0;
  for (std::size_t n = 0; n < sectors.size(); ++n) {
    entry(static_cast<int>(n + 1), 0, n == 0 ? lsn - 150 : lsn);
    entry(static_cast<int>(n + 1), 1, lsn);
    lsn += static_cast<std::int32_t>(sectors[n]);
  }
  entry(0xAA, 1, lsn);
  out += "CUEX";
  image.cue_length_at = out.size();
  Be(out, cue.size(), 4);
  out += cue;

  std::string dao(13 + 1, '\0');
  Be(dao, 0, 2);
  dao += '\x01';
  dao += static_cast<char>(sectors.size());
  std::uint64_t at = 0;
  for (std::uint32_t count : sectors) {
    dao += std::string(12, '\0');
    Be(dao, 2352, 2);
    Be(dao, 0x0700, 2);
    Be(dao, 0, 2);
    Be(dao, at, 8);
    Be(dao, at, 8);
    Be(dao, at + count * 2352ull, 8);
    at += count * 2352ull;
  }
  out += "DAOX";
  Be(out, dao.size() + 4, 4);
  Be(out, dao.size() + 4 + 8, 4);
  out += dao;
  out += "SINF";
  Be(out, 4, 4);
  Be(out, sectors.size(), 4);
  out += "MTYP";
  Be(out, 4, 4);
  Be(out, 1, 4);
  if (!cdText.empty()) {
    out += "CDTX";
    Be(out, cdText.size(), 4);
    out += cdText;
  }
  out += "END!";
  Be(out, 0, 4);
  out += "NER5";
  Be(out, chunks, 8);
  return image;
}

}  // namespace qvr::test
