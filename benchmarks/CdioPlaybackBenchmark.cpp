// Speed of digital playback from a CD image: CPU per minute of audio, delay from the play request
// to the first frame the output plays, and the cost of the whole one-second monitor tick while
// playing (the controller over the real drive, with the view a recording double). The output
// is SDL's disk driver writing to /dev/null at real-time pace, so SDL's own thread counts too.
// Targets: under 1% of one core while playing; first frame under 150 ms; a tick under 1 ms.
// De-emphasis: the same disc played unflagged and with every track flagged with pre-emphasis,
// side by side; the flagged disc costs at most 1.2 times the CPU of the unflagged one.
#include <benchmark/benchmark.h>

#include <time.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "app/Doubles.h"
#include "app/TQVRDM.h"
#include "audio/SdlAudioSink.h"
#include "cdda/CDDA.h"
#include "cdda/CdioDrive.h"
#include "cddb/DateSource.h"
#include "cddb/SearchProgress.h"
#include "support/CdImage.h"
#include "support/TempDir.h"

namespace qvr {
namespace {

using Clock = std::chrono::steady_clock;

double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return now.tv_sec + now.tv_nsec / 1e9;
}

// A drive on a generated two-track image, 40 s and 30 s long, behind the device layer.
struct Bench {
  Bench() {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    unsetenv("SDL_DISKAUDIODELAY");  // real-time pace
    image = test::WriteImage(dir.Path(), {{40 * 75}, {30 * 75}});
    drive = std::make_unique<CdioDrive>(image.cue.string(), sink);
    layer.CDInit(*drive);
    layer.CDPoll();
  }
  test::TempDir dir;
  test::GeneratedImage image;
  SdlAudioSink sink;
  std::unique_ptr<CdioDrive> drive;
  CDDA layer;
};

void BM_CpuPerMinuteOfAudio(benchmark::State& state) {
  Bench bench;
  constexpr double kSeconds = 10;
  for (auto _ : state) {
    bench.layer.CDPlay(1, 2);
    double cpuBefore = ProcessCpuSeconds();
    auto wallBefore = Clock::now();
    // Poll once a second like the playback monitor.
    while (Clock::now() - wallBefore < std::chrono::duration<double>(kSeconds)) {
      std::this_thread::sleep_for(std::chrono::seconds(1));
      bench.layer.CDPoll();
      bench.layer.CDPosition();
    }
    double cpu = ProcessCpuSeconds() - cpuBefore;
    double wall = std::chrono::duration<double>(Clock::now() - wallBefore).count();
    bench.layer.CDStop();
    state.counters["cpu_s_per_audio_min"] = cpu / wall * 60;
    state.counters["core_percent"] = cpu / wall * 100;
  }
}
BENCHMARK(BM_CpuPerMinuteOfAudio)->Iterations(1)->Unit(benchmark::kSecond);

void BM_PlayRequestToFirstFrame(benchmark::State& state) {
  Bench bench;
  double worst = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    bench.layer.CDPlay(2, 2);
    while (bench.sink.PlayedFrames() == 0) std::this_thread::yield();
    double latency = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    state.SetIterationTime(latency / 1000);
    worst = std::max(worst, latency);
    state.PauseTiming();
    bench.layer.CDStop();
    state.ResumeTiming();
  }
  state.counters["worst_ms"] = worst;
}
BENCHMARK(BM_PlayRequestToFirstFrame)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

// CPU per minute of audio of the same 60 s disc, its three tracks unflagged and then flagged
// with pre-emphasis (cue FLAGS PRE), played one after the other in each round. Argument 0: the
// output takes the sound as fast as it comes (no real-time pace), so that reading and filtering
// are nearly all that is measured (the harshest comparison); 1: real-time pace for 10 s each,
// polled once a second like the playback monitor (what playing costs).
void BM_DeEmphasisCpuSideBySide(benchmark::State& state) {
  const bool paced = state.range(0) != 0;
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
  if (paced) {
    unsetenv("SDL_DISKAUDIODELAY");
  } else {
    setenv("SDL_DISKAUDIODELAY", "0", 1);
  }
  test::TempDir dir;
  std::vector<test::ImageTrack> tracks = {{20 * 75}, {25 * 75}, {15 * 75}};
  const test::GeneratedImage plain = test::WriteImage(dir.Path(), tracks, test::Options("plain.cue", "plain.bin"));
  for (test::ImageTrack& track : tracks) track.preEmphasis = true;
  const test::GeneratedImage flagged =
      test::WriteImage(dir.Path(), tracks, test::Options("flagged.cue", "flagged.bin"));
  SdlAudioSink sink;
  // CPU seconds per minute of audio.
  auto cpuPerMinute = [&](const test::GeneratedImage& image) {
    CdioDrive drive(image.cue.string(), sink);
    CDDA layer(drive);
    layer.CDPoll();
    const double before = ProcessCpuSeconds();
    const auto wallBefore = Clock::now();
    layer.CDPlay(1, 3);
    double audioSeconds = 60;
    if (paced) {
      for (int second = 0; second < 10; ++second) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        layer.CDPoll();
        layer.CDPosition();
      }
      audioSeconds = std::chrono::duration<double>(Clock::now() - wallBefore).count();
    } else {
      while (layer.CDMode() == cdPlaying) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const double cpu = ProcessCpuSeconds() - before;
    layer.CDClose();
    return cpu / audioSeconds * 60;
  };
  double plainTotal = 0, flaggedTotal = 0;
  for (auto _ : state) {
    plainTotal += cpuPerMinute(plain);
    flaggedTotal += cpuPerMinute(flagged);
  }
  const auto rounds = static_cast<double>(state.iterations());
  state.counters["unflagged_cpu_s_per_audio_min"] = plainTotal / rounds;
  state.counters["flagged_cpu_s_per_audio_min"] = flaggedTotal / rounds;
  state.counters["ratio"] = flaggedTotal / plainTotal;
}
BENCHMARK(BM_DeEmphasisCpuSideBySide)->Arg(0)->Iterations(10)->Unit(benchmark::kSecond);
BENCHMARK(BM_DeEmphasisCpuSideBySide)->Arg(1)->Iterations(2)->Unit(benchmark::kSecond);

// The monitor's tick as the program runs it every second while a disc plays: the drive's state
// and position, the hand-over and track checks, the blinking tray icon, the enabled states, and
// the lyrics line's step through a lyrics file of the track.
void BM_MonitorTickWhilePlaying(benchmark::State& state) {
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
  unsetenv("SDL_DISKAUDIODELAY");
  test::TempDir dir;
  std::filesystem::create_directories(dir / "DB");
  test::WriteFile(dir / "Qvr.ini", "[Other]\r\nAutoPlay=1\r\nAutoDLGOpen=0\r\n");
  const test::GeneratedImage image = test::WriteImage(dir.Path(), {{40 * 75}, {30 * 75}});
  SdlAudioSink sink;
  CdioDrive drive(image.cue.string(), sink);
  test::RecordingView view;
  test::ManualTimer timer;
  test::FixedRandom random;
  test::MemoryWallpaper wallpaper;
  SystemDateSource today;
  TNoSearchProgress progress;
  TQVRDM dm({view,
             timer,
             random,
             wallpaper,
             [&](const std::string&) -> CDDevice& { return drive; },
             today,
             progress,
             {"qvr", dir.Path(), dir.Path()},
             {}});
  dm.QVRDMCreate();
  if (dm.CD.CDState != cdPlaying) state.SkipWithError("the disc does not play");
  for (auto _ : state) {
    dm.TimerTimer();
    view.log.clear();
  }
  dm.QVRDMDestroy();
}
BENCHMARK(BM_MonitorTickWhilePlaying)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace qvr

BENCHMARK_MAIN();
