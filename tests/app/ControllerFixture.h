// A controller wired to the simulated drive, real database and settings files in a temporary
// folder, and the recording doubles of the other ports.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/Doubles.h"
#include "app/TQVRDM.h"
#include "cdda/SimulatedDrive.h"
#include "cddb/DatabaseTestSupport.h"
#include "support/CaseName.h"
#include "support/TempDir.h"
#include "util/Error.h"
#include "util/Msf.h"

namespace qvr::test {

// What the lyrics line (after the reason and a full-width blank) and the tray hint (on its second
// line) advise while no drive or image can be used, without and with an installed demo disc.
inline const std::string kChooseDriveAdvice =
    "右クリックして「CDドライブの設定...」でCDドライブかCDイメージを選んでください";
inline const std::string kChooseDriveOrDemoAdvice =
    "右クリックして「CDドライブの設定...」でCDドライブかCDイメージを選ぶか、「デモディスクを再生」をお試しください";

class ControllerFixture : public testing::Test {
 protected:
  ControllerFixture() {
    std::filesystem::create_directories(dir / "DB");
    drive.SetNewsListener([this](DeviceNews posted) { news.Post(posted); });
  }

  // A disc of tracks with the given lengths in seconds, the first starting at 00:02:00.
  static DiscToc Toc(const std::vector<int>& seconds) {
    DiscToc toc;
    std::uint32_t at = 150;
    for (int length : seconds) {
      toc.Tracks.push_back({at, true});
      at += static_cast<std::uint32_t>(length) * 75;
    }
    toc.LeadOut = at;
    return toc;
  }

  // Settings that keep the tests quiet: no automatic play or registration unless `other`
  // (lines of the "Other" section, which win over the quiet ones) says so. `sections` adds
  // whole sections.
  void WriteSettings(const std::string& other = "", const std::string& sections = "") {
    WriteFile(dir / "Qvr.ini", "[Other]\r\n" + other + "AutoPlay=0\r\nAutoDLGOpen=0\r\n" + sections);
  }

  // The disc title the database holds for the disc of `disc` (empty when it is not stored).
  std::string StoredName(const TDiscRecord& disc) const {
    TDiscRecord key = disc;
    key.DiscName = "";
    return Database().DBLookup(key, progress_of_checks).DiscName.ToUtf8();
  }

  // The controller over the simulated drives, or over `device` whatever the setting when given.
  TQVRDM& Make(CDDevice* device = nullptr) {
    controller = std::make_unique<TQVRDM>(TQVRDMPorts{view,
                                                      timer,
                                                      random,
                                                      wallpaper,
                                                      [this, device](const std::string& name) -> CDDevice& {
                                                        drive_names.push_back(name);
                                                        if (device) return *device;
                                                        auto other = other_drives.find(name);
                                                        return other != other_drives.end() ? other->second : drive;
                                                      },
                                                      today,
                                                      progress,
                                                      {"qvr", dir.Path(), dir.Path()},
                                                      demo_disc});
    return *controller;
  }

  TQVRDM& Started() {
    Make().QVRDMCreate();
    return *controller;
  }

  // One second passes on the drive's clock, then the timer ticks.
  void Tick(std::uint32_t milliseconds = 1000) {
    drive.Advance(milliseconds);
    controller->TimerTimer();
  }

  // The news posted so far reaches the controller, as the program's event loop hands it over.
  void DeliverNews() {
    news.Drain([this](DeviceNews posted) { controller->CDControlNotify(posted); });
  }

  // Plays on for `milliseconds` as the program runs: the news is delivered 10 ms after it was
  // posted, and the timer (when enabled) ticks once each full second. `each` runs after every 10 ms step.
  void PlayFor(std::uint32_t milliseconds, const std::function<void()>& each = {}) {
    for (std::uint32_t elapsed = 0; elapsed < milliseconds; elapsed += 10) {
      drive.Advance(10);
      DeliverNews();
      since_tick_ += 10;
      if (since_tick_ >= 1000) {
        since_tick_ = 0;
        if (timer.Enabled()) controller->TimerTimer();
      }
      if (each) each();
    }
  }

  // The play requests the drive received, as "from-to" track numbers of the layer.
  int PlayRequests() const {
    int count = 0;
    for (const std::string& request : drive.Requests) count += request.rfind("Play ", 0) == 0;
    return count;
  }

  TDiscDatabase Database() const {
    TDiscDatabase db(today);
    db.DBOpen(dir / "DB" / "MasterDB.QVR");
    return db;
  }

  // Stores the disc the drive would report for `toc` with the given texts.
  void Register(const DiscToc& toc, const std::string& name, const std::string& artist,
                const std::vector<std::string>& titles = {}, const std::string& jacket = "",
                const std::string& lyrics = "") {
    SimulatedDrive probe;
    probe.InsertDisc(toc);
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
      if (n <= titles.size()) disc.Tracks[n].TrackName = ShortString<96>::FromUtf8(titles[n - 1]);
    }
    disc.DiscName = ShortString<96>::FromUtf8(name);
    disc.ArtistName = ShortString<96>::FromUtf8(artist);
    disc.JacketFile = jacket;
    disc.LyricsFile = lyrics;
    Database().DBStore(disc);
  }

  TempDir dir;
  SimulatedDrive drive;
  RecordingView view;
  ManualTimer timer;
  FixedRandom random;
  MemoryWallpaper wallpaper;
  FixedDate today{45292};
  RecordingProgress progress;
  mutable TNoSearchProgress progress_of_checks;
  std::vector<std::string> drive_names;  // the "Drive" settings the factory was asked for
  // Drives by setting, for a change of the "Drive" setting; any other setting gets `drive`.
  std::map<std::string, SimulatedDrive> other_drives;
  std::unique_ptr<TQVRDM> controller;
  NewsQueue news;
  std::filesystem::path demo_disc;  // the installed demo disc the controller is told of; empty: none

 private:
  std::uint32_t since_tick_ = 0;
};

}  // namespace qvr::test
