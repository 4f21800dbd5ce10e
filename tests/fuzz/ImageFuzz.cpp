// Fuzzes an image format the player opens (QVR_FUZZ_EXTENSION: ".cue", ".toc", ".nrg" or ".flac")
// through the driver the player uses for its "Drive" setting: the input is the image file itself
// (for cue sheets and .toc files the sheet, beside a raw data file "fuzz.bin", a WAVE file
// "fuzz.wav" and a FLAC file "fuzz.flac" it may name; for FLAC a file with its cue sheet inside).
// Besides not crashing or hanging, a disc the driver reports ready must answer every status
// request, and the sectors of its tracks must read or be refused.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "audio/AudioSink.h"
#include "cdda/CDDevice.h"
#include "cdda/CdioDrive.h"
#include "cdda/CueImage.h"
#include "cdda/TocImage.h"
#include "util/Error.h"

#ifndef QVR_FUZZ_EXTENSION
#error "QVR_FUZZ_EXTENSION names the image format"
#endif

namespace {

namespace fs = std::filesystem;

// An output that takes what is played and forgets it.
class QuietSink : public qvr::AudioSink {
 public:
  void Open() override { open_ = true; }
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  void Write(std::span<const std::int16_t>) override {}
  std::size_t QueuedFrames() const override { return 0; }
  void SetPaused(bool) override {}
  void Clear() override {}
  std::uint64_t PlayedFrames() const override { return 0; }

 private:
  bool open_ = false;
};

void Write(const fs::path& path, const void* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// A FLAC file of 10 sectors of noise, as the flac tool writes it (no cue sheet inside).
#include "FuzzFlac.inc"

// A private folder with the data files a sheet may name: 10 raw sectors and a 44.1 kHz WAVE
// file of 10 sectors, none of their samples zero.
fs::path FuzzFolder() {
  static const fs::path folder = [] {
    auto path = fs::temp_directory_path() / ("qvr-image-fuzz-" + std::to_string(getpid()));
    fs::create_directories(path);
    std::vector<char> sectors(10 * 2352);
    for (std::size_t i = 0; i < sectors.size(); ++i) sectors[i] = static_cast<char>(i * 7 % 251 + 1);
    Write(path / "fuzz.bin", sectors.data(), sectors.size());
    auto le32 = [](std::uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    auto le16 = [](std::uint16_t v) { return std::string{char(v), char(v >> 8)}; };
    std::string wave = "RIFF" + le32(36 + static_cast<std::uint32_t>(sectors.size())) + "WAVEfmt " + le32(16) +
                       le16(1) + le16(2) + le32(44100) + le32(44100 * 4) + le16(4) + le16(16) + "data" +
                       le32(static_cast<std::uint32_t>(sectors.size()));
    wave.append(sectors.begin(), sectors.end());
    Write(path / "fuzz.wav", wave.data(), wave.size());
    Write(path / "fuzz.flac", kFlac, sizeof kFlac);
    return path;
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Each input under a name of its own: the driver does not read again an image it could not
  // read while the file looks unchanged, and two inputs of one size written within the file
  // system's clock tick would look the same.
  static std::uint64_t count = 0;
  std::error_code error;
  fs::remove(FuzzFolder() / ("fuzz" + std::to_string(count) + QVR_FUZZ_EXTENSION), error);
  const fs::path image = FuzzFolder() / ("fuzz" + std::to_string(++count) + QVR_FUZZ_EXTENSION);
  Write(image, data, size);

  static QuietSink sink;
  qvr::CdioDrive drive(image.string(), sink);
  drive.Open();
  if (drive.StatusMode() != qvr::kModeNotReady) {
    const std::uint32_t tracks = drive.StatusNumberOfTracks();
    if (tracks == 0) std::abort();  // ready without a track
    for (auto format : {qvr::TimeFormat::TMSF, qvr::TimeFormat::MSF}) {
      drive.SetTimeFormat(format);
      drive.StatusLength();
      drive.StatusPosition();
      for (std::uint32_t n = 1; n <= tracks && n <= 99; ++n) {
        drive.StatusTrackLength(static_cast<std::uint8_t>(n));
        drive.StatusTrackPosition(static_cast<std::uint8_t>(n));
      }
    }
    drive.MediaIdentity();
  } else if (drive.Problem().empty()) {
    std::abort();  // not ready without a reason
  }
  drive.Close();

  // The sectors playback reads: the first and last of every track, and one sector before each
  // track's start (continuing a read, then seeking back).
  auto readTracks = [](qvr::AudioSectorSource& source, const qvr::DiscToc& toc) {
    std::vector<std::int16_t> samples(2 * qvr::kSamplesPerSector);
    for (std::size_t n = 0; n < toc.Tracks.size(); ++n) {
      const std::uint32_t start = toc.Tracks[n].Start;
      const std::uint32_t end = n + 1 < toc.Tracks.size() ? toc.Tracks[n + 1].Start : toc.LeadOut;
      for (std::uint32_t frame : {start - 1, start, end - 1}) {
        try {
          source.ReadAudio(frame, frame + 1 < end ? 2 : 1, samples.data());
        } catch (const qvr::Error&) {
        }
      }
    }
  };
  try {
    if (std::strcmp(QVR_FUZZ_EXTENSION, ".cue") == 0 || std::strcmp(QVR_FUZZ_EXTENSION, ".flac") == 0) {
      qvr::CueImage cue(image);
      readTracks(cue, cue.Toc());
    } else if (std::strcmp(QVR_FUZZ_EXTENSION, ".toc") == 0) {
      qvr::TocImage toc(image);
      readTracks(toc, toc.Toc());
    }
  } catch (const qvr::Error&) {
  }
  return 0;
}
