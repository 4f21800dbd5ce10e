// Reading an image's audio sectors from its data files: raw files with pread (swapped to the
// machine's byte order), WAVE files past their header, FLAC files through FlacFile. Runs on the
// player's reader thread; the files are opened beforehand by the image's reader.
#include "cdda/ImageSectors.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

#include "util/Error.h"
#include "util/RegularFile.h"

namespace qvr {

namespace fs = std::filesystem;

namespace {

constexpr char kMissingFile[] = "イメージの指すファイルが見つかりません: %s";
constexpr char kShortFile[] = "イメージファイルが途中で切れています: %s";
constexpr char kBadWave[] = "44.1kHz 16ビット ステレオの WAVE ファイルではありません: %s";

std::uint32_t Le32(const unsigned char* bytes) {
  return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (std::uint32_t{bytes[3]} << 24);
}
std::uint16_t Le16(const unsigned char* bytes) { return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8)); }

struct WaveData {
  std::uint64_t offset = 0;
  std::uint64_t bytes = 0;
};

// Finds the sample data of a RIFF WAVE file holding 44.1 kHz, 16-bit, stereo PCM.
WaveData ReadWaveHeader(int descriptor, const fs::path& path, std::uint64_t fileBytes) {
  unsigned char header[12];
  if (pread(descriptor, header, 12, 0) != 12 || std::memcmp(header, "RIFF", 4) != 0 ||
      std::memcmp(header + 8, "WAVE", 4) != 0) {
    throw Error(FormatMessage(kBadWave, path.string()));
  }
  bool formatOk = false;
  std::uint64_t at = 12;
  while (at + 8 <= fileBytes) {
    unsigned char chunk[24];
    if (pread(descriptor, chunk, 8, static_cast<off_t>(at)) != 8) break;
    std::uint64_t size = Le32(chunk + 4);
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      if (size < 16 || pread(descriptor, chunk + 8, 16, static_cast<off_t>(at + 8)) != 16) break;
      formatOk = Le16(chunk + 8) == 1 && Le16(chunk + 10) == 2 && Le32(chunk + 12) == 44100 && Le16(chunk + 22) == 16;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!formatOk) break;
      return {at + 8, std::min(size, fileBytes - (at + 8)) & ~std::uint64_t{3}};
    }
    at += 8 + size + (size & 1);
  }
  throw Error(FormatMessage(kBadWave, path.string()));
}

}  // namespace

ImageSectors::~ImageSectors() {
  for (DataFile& file : files_) {
    if (file.descriptor >= 0) ::close(file.descriptor);
  }
}

std::size_t ImageSectors::AddFile(const fs::path& path, FileKind kind) {
  if (kind == FileKind::Flac) return AddFile(std::make_unique<FlacFile>(path));
  int open_error = 0;
  const int descriptor = OpenRegularFile(path, O_RDONLY, open_error);
  if (descriptor < 0) throw Error(FormatMessage(kMissingFile, path.string()));
  DataFile file;
  file.path = path;
  file.descriptor = descriptor;
  file.bigEndian = kind == FileKind::BigEndian;
  files_.push_back(std::move(file));  // closed by the destructor from here on
  DataFile& added = files_.back();
  struct stat status {};
  if (fstat(descriptor, &status) != 0) throw Error(FormatMessage(kMissingFile, path.string()));
  added.bytes = static_cast<std::uint64_t>(status.st_size);
  if (kind == FileKind::Wave) {
    added.wholeSectors = false;
    const WaveData wave = ReadWaveHeader(descriptor, path, added.bytes);
    added.dataOffset = wave.offset;
    added.bytes = wave.bytes;
  }
  return files_.size() - 1;
}

std::size_t ImageSectors::AddFile(std::unique_ptr<FlacFile> flac) {
  DataFile file;
  file.path = flac->Path();
  file.bytes = flac->Samples() * 4;
  file.wholeSectors = false;
  file.flac = std::move(flac);
  files_.push_back(std::move(file));
  return files_.size() - 1;
}

void ImageSectors::AddExtent(std::uint32_t firstSector, std::uint32_t count, std::size_t file, std::uint64_t offset,
                             std::uint32_t sectorBytes) {
  if (count == 0) return;
  extents_.push_back({firstSector, count, file, offset, sectorBytes});
}

void ImageSectors::ReadRun(const Extent& extent, std::uint32_t sector, std::uint32_t count, std::int16_t* samples) {
  const std::size_t bytes = std::size_t{count} * kSectorBytes;
  if (extent.sectorBytes != kSectorBytes) {
    std::memset(samples, 0, bytes);  // data sectors are never sound
    return;
  }
  const DataFile& file = files_[extent.file];
  const std::uint64_t from = extent.offset + std::uint64_t{sector - extent.firstSector} * kSectorBytes;
  // A last sector the file fills only in part ends in silence.
  const std::size_t stored =
      from >= file.bytes ? 0 : static_cast<std::size_t>(std::min<std::uint64_t>(bytes, file.bytes - from));
  std::memset(reinterpret_cast<char*>(samples) + stored, 0, bytes - stored);
  if (file.flac) {
    file.flac->Read(from / 4, static_cast<std::uint32_t>(stored / 4), samples);
    return;
  }
  auto* out = reinterpret_cast<char*>(samples);
  const auto offset = static_cast<off_t>(file.dataOffset + from);
  std::size_t done = 0;
  while (done < stored) {
    ssize_t got = pread(file.descriptor, out + done, stored - done, offset + static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) throw Error(FormatMessage(kShortFile, file.path.string()));
    done += static_cast<std::size_t>(got);
  }
  // Samples are little-endian in BINARY and WAVE files and big-endian in MOTOROLA ones.
  if (file.bigEndian != (std::endian::native == std::endian::big)) {
    for (std::size_t n = 0; n < stored / 2; ++n) {
      auto value = static_cast<std::uint16_t>(samples[n]);
      samples[n] = static_cast<std::int16_t>((value >> 8) | (value << 8));
    }
  }
}

void ImageSectors::ReadAudio(std::uint32_t frame, std::uint32_t count, std::int16_t* samples) {
  std::uint32_t sector = frame >= kLeadInFrames ? frame - kLeadInFrames : 0;
  std::uint32_t end = sector + count;
  if (frame < kLeadInFrames) {
    const std::uint32_t silent = std::min(count, kLeadInFrames - frame);
    std::memset(samples, 0, std::size_t{silent} * kSectorBytes);
    samples += std::size_t{silent} * kSamplesPerSector;
    end = sector + (count - silent);
  }
  while (sector < end) {
    // The first extent that ends after `sector` (extents are in disc order).
    auto extent = std::upper_bound(extents_.begin(), extents_.end(), sector,
                                   [](std::uint32_t at, const Extent& e) { return at < e.firstSector + e.count; });
    std::uint32_t run = 0;
    if (extent == extents_.end() || extent->firstSector > sector) {
      // A gap that no file holds (PREGAP, POSTGAP, SILENCE) is silence up to the next extent.
      const std::uint32_t next = extent == extents_.end() ? end : std::min(end, extent->firstSector);
      run = next - sector;
      std::memset(samples, 0, std::size_t{run} * kSectorBytes);
    } else {
      run = std::min(end, extent->firstSector + extent->count) - sector;
      ReadRun(*extent, sector, run, samples);
    }
    samples += std::size_t{run} * kSamplesPerSector;
    sector += run;
  }
}

}  // namespace qvr
