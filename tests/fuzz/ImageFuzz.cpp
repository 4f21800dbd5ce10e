// Fuzzes an image format the player opens (QVR_FUZZ_EXTENSION: ".cue", ".toc" or ".nrg") through
// the driver the player uses for its "Drive" setting: the input is the image file itself (for
// cue sheets and .toc files the sheet, beside a raw data file "fuzz.bin" and a WAVE file
// "fuzz.wav" it may name). Besides not crashing or hanging, a disc the driver reports ready must
// answer every status request, and the sectors of a cue sheet's tracks must read or be refused.
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

  if (std::strcmp(QVR_FUZZ_EXTENSION, ".cue") == 0) {
    // The sectors playback reads: the first and last of every track.
    try {
      qvr::CueImage cue(image);
      const qvr::DiscToc& toc = cue.Toc();
      std::vector<std::int16_t> samples(qvr::kSamplesPerSector);
      for (std::size_t n = 0; n < toc.Tracks.size(); ++n) {
        const std::uint32_t start = toc.Tracks[n].Start;
        const std::uint32_t end = n + 1 < toc.Tracks.size() ? toc.Tracks[n + 1].Start : toc.LeadOut;
        for (std::uint32_t frame : {start, end - 1}) {
          try {
            cue.ReadAudio(frame, 1, samples.data());
          } catch (const qvr::Error&) {
          }
        }
      }
    } catch (const qvr::Error&) {
    }
  }
  return 0;
}
