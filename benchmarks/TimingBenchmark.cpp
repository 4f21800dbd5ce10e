// What a listener notices of the player's timing: the real controller, the cdio driver on a
// generated disc and SDL's disk audio driver at the real pace, driven like the program drives
// them (a tick every second, device news handled as it arrives). From the recorded output it
// finds every place where one stretch of the disc follows another and prints, for each play mode
// and for next/previous, median and worst of 10 of: the silence there beyond what the disc holds,
// how late the track title follows the first sample of the new track, and how late a timed
// lyrics line follows the sample at its time tag. Times of samples are the moments SDL wrote the
// buffer holding them, plus their place in it. Also the process's CPU while playing.
// Usage: build/bin/timing_benchmark
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "app/Doubles.h"
#include "app/TQVRDM.h"
#include "audio/SdlAudioSink.h"
#include "cdda/CDDA.h"
#include "cdda/CdioDrive.h"
#include "cddb/DateSource.h"
#include "cddb/DiscDatabase.h"
#include "support/CdImage.h"
#include "support/SdlSinks.h"
#include "support/TempDir.h"

namespace qvr {
namespace {

using Clock = std::chrono::steady_clock;
constexpr double kBytesPerSecond = 44100.0 * 4;
constexpr int kTracks = 5;
constexpr std::uint32_t kTrackFrames = 150;      // 2 s
constexpr std::uint32_t kLyricsAt[] = {30, 90};  // 0.4 s and 1.2 s into each track
constexpr std::size_t kSamples = 10;

const Clock::time_point kStart = Clock::now();
double Now() { return std::chrono::duration<double>(Clock::now() - kStart).count(); }

double ThreadCpu(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return now.tv_sec + now.tv_nsec / 1e9;
}

// The output: SDL's sink, but every opening writes a file of its own, and a watcher thread notes
// when each file grows (SDL's disk driver writes one buffer at a time, then sleeps for its
// length).
class SegmentedSink : public test::ForwardingSdlSink {
 public:
  struct Segment {
    std::filesystem::path file;
    std::vector<std::pair<double, std::uint64_t>> growth;  // (time, size) at each change
  };

  explicit SegmentedSink(std::filesystem::path folder) : folder_(std::move(folder)) {
    watcher_ = std::thread([this] { Watch(); });
  }
  ~SegmentedSink() override {
    sink_.Close();
    quit_ = true;
    watcher_.join();
  }
  void Open() override {
    if (sink_.IsOpen()) return;
    {
      std::lock_guard lock(mutex_);
      segments_.push_back({folder_ / ("out" + std::to_string(segments_.size()) + ".raw"), {}});
      setenv("SDL_DISKAUDIOFILE", segments_.back().file.c_str(), 1);
    }
    sink_.Open();
  }

  // Takes the segments recorded so far and starts anew.
  std::vector<Segment> Take() {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::lock_guard lock(mutex_);
    std::vector<Segment> taken;
    taken.swap(segments_);
    return taken;
  }
  double WatcherCpu() const { return watcherCpu_; }

 private:
  void Watch() {
    while (!quit_) {
      {
        std::lock_guard lock(mutex_);
        for (std::size_t n = segments_.size() >= 2 ? segments_.size() - 2 : 0; n < segments_.size(); ++n) {
          struct stat status {};
          if (::stat(segments_[n].file.c_str(), &status) != 0) continue;
          auto size = static_cast<std::uint64_t>(status.st_size);
          auto& growth = segments_[n].growth;
          if (growth.empty() ? size > 0 : size != growth.back().second) growth.emplace_back(Now(), size);
        }
      }
      watcherCpu_ = ThreadCpu(CLOCK_THREAD_CPUTIME_ID);
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
  }

  std::filesystem::path folder_;
  std::mutex mutex_;
  std::vector<Segment> segments_;
  std::atomic<bool> quit_{false};
  std::atomic<double> watcherCpu_{0};
  std::thread watcher_;
};

// The view, noting when each text reached the lyrics line.
class TimedView : public test::RecordingView {
 public:
  void SetLyricsText(const std::string& text) override {
    RecordingView::SetLyricsText(text);
    shown.emplace_back(Now(), text);
  }
  std::vector<std::pair<double, std::string>> shown;
};

// The GUI thread's queue of posted work, as the program's event loop has it.
class EventLoop {
 public:
  void Post(std::function<void()> work) {
    {
      std::lock_guard lock(mutex_);
      posted_.push_back(std::move(work));
    }
    wake_.notify_one();
  }
  // Runs posted work and the ticks until `until`, and `action` at its time.
  void RunUntil(double until, const std::function<void()>& tick) {
    while (Now() < until) {
      std::unique_lock lock(mutex_);
      double wait = std::min(until, next_tick_) - Now();
      if (wait > 0 && posted_.empty()) wake_.wait_for(lock, std::chrono::duration<double>(wait));
      std::deque<std::function<void()>> work;
      work.swap(posted_);
      lock.unlock();
      for (auto& item : work) item();
      if (Now() >= next_tick_) {
        tick();
        next_tick_ += 1.0;
      }
    }
  }
  // Ticks half a second out of step with the presses of next/previous, as a user's would be.
  void StartTicks() { next_tick_ = Now() + 0.5; }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> posted_;
  double next_tick_ = 0;
};

struct Heard {
  std::uint32_t sector;  // absolute frame address
  double time;           // when its first sample left
  double silenceBefore;  // seconds of silence between it and the sector heard before it
};

// The sectors in the order they were played, found by their first two sample frames (the
// generated audio is different in every sector and has no all-zero frame).
std::vector<Heard> Analyse(const test::GeneratedImage& image, const std::vector<SegmentedSink::Segment>& segments) {
  std::unordered_map<std::uint64_t, std::uint32_t> sectorOf;
  for (std::uint32_t frame = kLeadInFrames; frame < image.toc.LeadOut; ++frame) {
    std::string bytes = image.Bytes(frame, frame + 1).substr(0, 8);
    std::uint64_t key = 0;
    std::memcpy(&key, bytes.data(), 8);
    sectorOf[key] = frame;
  }
  std::vector<Heard> heard;
  double silence = 0;
  double previousEnd = -1;
  for (const auto& segment : segments) {
    std::string bytes = test::ReadFile(segment.file);
    if (segment.growth.empty()) continue;
    auto timeOf = [&](std::uint64_t offset) {
      std::uint64_t before = 0;
      for (const auto& [time, size] : segment.growth) {
        if (size > offset) return time + (offset - before) / kBytesPerSecond;
        before = size;
      }
      return segment.growth.back().first;
    };
    // The wall time between the end of the last segment's sound and this one's first buffer.
    if (previousEnd >= 0) silence += std::max(0.0, segment.growth.front().first - previousEnd);
    for (std::size_t at = 0; at + 4 <= bytes.size();) {
      if (bytes.compare(at, 4, std::string(4, '\0')) == 0) {
        silence += 4 / kBytesPerSecond;
        at += 4;
        continue;
      }
      std::uint64_t key = 0;
      if (at + 8 <= bytes.size()) std::memcpy(&key, bytes.data() + at, 8);
      auto found = sectorOf.find(key);
      if (found == sectorOf.end()) {
        at += 4;
        continue;
      }
      heard.push_back({found->second, timeOf(at), silence});
      silence = 0;
      // A sector can be cut short where the output dropped what was queued (a new play): only
      // what matches the disc belongs to it.
      const std::string disc = image.Bytes(found->second, found->second + 1);
      std::size_t same = 0;
      while (same < kSectorBytes && at + same < bytes.size() && bytes[at + same] == disc[same]) ++same;
      at += std::max<std::size_t>(4, same / 4 * 4);
    }
    const auto& last = segment.growth.back();
    previousEnd = last.first + 1024 * 4 / kBytesPerSecond;
  }
  return heard;
}

struct Figures {
  std::vector<double> gaps, titles, lyrics;
};

std::string Summary(std::vector<double> values) {
  if (values.empty()) return "        -            -   ";
  if (values.size() > kSamples) values.resize(kSamples);
  std::vector<double> sorted = values;
  std::sort(sorted.begin(), sorted.end());
  double median =
      sorted.size() % 2 ? sorted[sorted.size() / 2] : (sorted[sorted.size() / 2 - 1] + sorted[sorted.size() / 2]) / 2;
  double worst =
      *std::max_element(values.begin(), values.end(), [](double a, double b) { return std::abs(a) < std::abs(b); });
  char text[64];
  std::snprintf(text, sizeof text, "%7.0f ms  %7.0f ms (%zu)", median * 1000, worst * 1000, values.size());
  return text;
}

Figures Measure(const test::GeneratedImage& image, const std::vector<Heard>& heard,
                const std::vector<std::pair<double, std::string>>& shown) {
  Figures figures;
  auto firstShown = [&](const std::string& text, double after, double before) -> std::optional<double> {
    for (const auto& [time, line] : shown) {
      if (time >= after && time < before && line == text) return time;
    }
    return std::nullopt;
  };
  // Where one stretch of the disc gives way to another, or a track begins.
  std::vector<std::size_t> boundaries;
  for (std::size_t n = 1; n < heard.size(); ++n) {
    std::uint32_t track = image.toc.TrackAt(heard[n].sector);
    bool trackStart = heard[n].sector == image.toc.Tracks[track - 1].Start;
    if (heard[n].sector != heard[n - 1].sector + 1 || trackStart) boundaries.push_back(n);
  }
  for (std::size_t b = 0; b < boundaries.size(); ++b) {
    const std::size_t n = boundaries[b];
    const Heard& now = heard[n];
    figures.gaps.push_back(now.silenceBefore);
    std::uint32_t track = image.toc.TrackAt(now.sector);
    if (now.sector != image.toc.Tracks[track - 1].Start) continue;
    const double previous = b > 0 ? heard[boundaries[b - 1]].time : 0;
    const double next = b + 1 < boundaries.size() ? heard[boundaries[b + 1]].time : now.time + 10;
    // The title, where it changes: shown after the previous boundary (a play command shows it
    // before the sound) and before the next one.
    if (image.toc.TrackAt(heard[n - 1].sector) != track) {
      if (auto at = firstShown("[T" + std::to_string(track) + "]", previous, next))
        figures.titles.push_back(*at - now.time);
    }
    // Each lyrics line of this play of the track, against its sector.
    for (std::uint32_t offset : kLyricsAt) {
      for (std::size_t k = n; k < heard.size() && (k == n || heard[k].sector == heard[k - 1].sector + 1); ++k) {
        if (heard[k].sector != now.sector + offset) continue;
        std::string text = "L" + std::to_string(track) + "-" + std::to_string(offset);
        if (auto at = firstShown(text, now.time, next + 0.5)) figures.lyrics.push_back(*at - heard[k].time);
        break;
      }
    }
  }
  return figures;
}

}  // namespace
}  // namespace qvr

int main() {
  using namespace qvr;
  setenv("SDL_AUDIODRIVER", "disk", 1);
  unsetenv("SDL_DISKAUDIODELAY");  // one buffer's length: the real pace
  test::TempDir dir;
  std::filesystem::create_directories(dir / "DB");
  std::vector<test::ImageTrack> tracks(kTracks, test::ImageTrack{kTrackFrames});
  test::GeneratedImage image = test::WriteImage(dir.Path(), tracks);

  // Titles T1..T5 and timed lyrics "L<track>-<frame>" at the frames of kLyricsAt.
  std::string lrc;
  for (int track = 1; track <= kTracks; ++track) {
    lrc += "[track:" + std::to_string(track) + "]\n";
    for (std::uint32_t frame : kLyricsAt) {
      char tag[32];
      std::snprintf(tag, sizeof tag, "[00:%02u.%02u]", frame / 75, frame % 75 * 100 / 75);
      lrc += tag + ("L" + std::to_string(track) + "-" + std::to_string(frame)) + "\n";
    }
  }
  test::WriteFile(dir / "lyrics.lrc", lrc);
  SystemDateSource today;
  {
    SdlAudioSink probeSink;
    CdioDrive probe(image.cue.string(), probeSink);
    CDDA layer(probe);
    layer.CDPoll();
    TDiscRecord disc;
    ClearDisc(disc, today);
    disc.DiscKey = layer.CDMediaID();
    disc.TrackCount = static_cast<std::uint8_t>(layer.CDTrackCount());
    disc.DiscTime = layer.CDDiscLength();
    for (std::uint8_t n = 1; n <= disc.TrackCount; ++n) {
      disc.Tracks[n].StartPos = layer.CDTrackStart(n);
      disc.Tracks[n].Length = layer.CDTrackLength(n);
      disc.Tracks[n].TrackName = ShortString<96>::FromUtf8("T" + std::to_string(n));
    }
    disc.DiscName = ShortString<96>::FromUtf8("Timing");
    disc.ArtistName = ShortString<96>::FromUtf8("Bench");
    disc.LyricsFile = (dir / "lyrics.lrc").string();
    TDiscDatabase database(today);
    database.DBOpen(dir / "DB" / "MasterDB.QVR");
    database.DBStore(disc);
  }
  test::WriteFile(dir / "Qvr.ini", "[Other]\r\nAutoPlay=0\r\nAutoDLGOpen=0\r\n");

  SegmentedSink sink(dir.Path());
  CdioDrive drive(image.cue.string(), sink);
  TimedView view;
  test::ManualTimer timer;
  ClockRandomSource random;
  test::MemoryWallpaper wallpaper;
  TNoSearchProgress progress;
  EventLoop loop;
  TQVRDM dm(TQVRDMPorts{view,
                        timer,
                        random,
                        wallpaper,
                        [&](const std::string&) -> CDDevice& { return drive; },
                        today,
                        progress,
                        {"qvr", dir.Path(), dir.Path()},
                        {}});
  dm.QVRDMCreate();
  if (dm.CD.CDState != cdStopped || !dm.LyricsLoaded) {
    std::fprintf(stderr, "the disc could not be played: %s\n", drive.Problem().c_str());
    return 1;
  }
  // The drive's news, from its reader thread, through the event loop as the program has it.
  drive.SetNewsListener([&](DeviceNews news) { loop.Post([&dm, news] { dm.CDControlNotify(news); }); });
  auto tick = [&] { dm.TimerTimer(); };

  struct Mode {
    const char* name;
    std::vector<std::string> order;
    MenuItemId mode;  // PlayMNU: none
    int press;        // 0 none, 1 next, -1 previous (one second into each track)
  };
  const Mode modes[] = {
      {"disc order (repeat all)", {"1", "2", "3", "4", "5"}, MenuItemId::RepeatAllMNU, 0},
      {"order 3,1,2,5,4 (repeat all)", {"3", "1", "2", "5", "4"}, MenuItemId::RepeatAllMNU, 0},
      {"repeat one", {"1", "2", "3", "4", "5"}, MenuItemId::RepeatOneMNU, 0},
      {"random", {"1", "2", "3", "4", "5"}, MenuItemId::RandomMNU, 0},
      {"next", {"1", "2", "3", "4", "5"}, MenuItemId::PlayMNU, 1},
      {"previous", {"1", "2", "3", "4", "5"}, MenuItemId::PlayMNU, -1},
  };
  std::printf("%-30s %-28s %-28s %-28s\n", "mode", "gap median/worst (n)", "title delay", "lyrics delay");
  double cpu = 0, wall = 0;
  for (const Mode& mode : modes) {
    dm.PlayOrder = mode.order;
    dm.PlayIndex = mode.mode == MenuItemId::RepeatOneMNU ? 2 : 1;
    if (mode.mode == MenuItemId::RepeatAllMNU) dm.RepeatAllMNUClick();
    if (mode.mode == MenuItemId::RepeatOneMNU) dm.RepeatOneMNUClick();
    if (mode.mode == MenuItemId::RandomMNU) dm.RandomMNUClick();
    sink.Take();
    view.shown.clear();
    const double cpuBefore = ThreadCpu(CLOCK_PROCESS_CPUTIME_ID) - sink.WatcherCpu();
    const double start = Now();
    timer.SetEnabled(true);
    dm.PlayMNUClick();
    loop.StartTicks();
    const double seconds = kTrackFrames / 75.0;
    if (mode.press == 0) {
      loop.RunUntil(start + (kSamples + 1.5) * seconds, tick);
    } else {
      for (std::size_t n = 0; n < kSamples + 1; ++n) {
        loop.RunUntil(start + (n + 1) * seconds / 2, tick);
        if (mode.press > 0) {
          dm.NextMNUClick();
        } else {
          dm.PreviousMNUClick();
        }
      }
      loop.RunUntil(Now() + seconds / 2, tick);
    }
    cpu += ThreadCpu(CLOCK_PROCESS_CPUTIME_ID) - sink.WatcherCpu() - cpuBefore;
    wall += Now() - start;
    dm.StopMNUClick();
    if (mode.mode != MenuItemId::PlayMNU && dm.QVRMenu.Checked(mode.mode)) {
      if (mode.mode == MenuItemId::RepeatAllMNU) dm.RepeatAllMNUClick();
      if (mode.mode == MenuItemId::RepeatOneMNU) dm.RepeatOneMNUClick();
      if (mode.mode == MenuItemId::RandomMNU) dm.RandomMNUClick();
    }
    Figures figures = Measure(image, Analyse(image, sink.Take()), view.shown);
    std::printf("%-30s %-28s %-28s %-28s\n", mode.name, Summary(figures.gaps).c_str(), Summary(figures.titles).c_str(),
                Summary(figures.lyrics).c_str());
    std::fflush(stdout);
  }
  std::printf("CPU while playing: %.2f %% of one core (SDL's disk driver thread included)\n", cpu / wall * 100);
  dm.QVRDMDestroy();
  return 0;
}
