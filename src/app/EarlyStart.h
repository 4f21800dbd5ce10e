// The program's start ahead of its windows. Loading the toolkit and building the windows takes
// most of the start, and the disc needs none of it: while the GUI thread does that work, a
// thread of this component reads the settings, opens the drive they name and reads its disc,
// and, when the start-up's first tick will play it (automatic play, a disc with audio), starts
// the very range that tick will choose. The start-up itself keeps its order: its first tick
// takes the device over (Take) and runs as always; its play request for the same range goes on
// with the sound already playing, and whatever else it decides ends that sound first
// (CdioDrive::PlayAhead, CDDA::CDDropAhead). Only the sound may come before the windows.
//
// Threads: the constructor starts the thread; Take and the destructor wait for it to end, so
// the device is used by one thread at a time and never by both.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "app/RandomSource.h"
#include "cdda/CdioDrive.h"
#include "ini/IniGT.h"

namespace qvr {

// What the start-up's first tick plays for a disc of `track_count` tracks that has just arrived:
// the play order is the disc order and its first entry plays, under the play mode the settings
// start with ("Repeat"/"PlayMode": 0 none, 1 repeat-one, 2 repeat-all, 3 random) unless the
// disc's arrival releases it (its unlock value is 0). Random play draws from `random` (none:
// the draw cannot be known, and nothing is said). The first and last track; none when nothing plays.
std::optional<std::pair<std::uint8_t, std::uint8_t>> FirstTickRange(int track_count, int play_mode, int mode_unlock,
                                                                    RandomSource* random);

class EarlyStart {
 public:
  // Makes the device for a drive (file-system encoding), as the program's drive port does.
  using DriveMaker = std::function<std::unique_ptr<CdioDrive>(const std::string& drive)>;

  // Begins at once on a thread of its own. `settings`: where the settings file is. `drive`: the
  // drive of this run when the command line names one (file-system encoding; empty: the "Drive"
  // setting's). `random`: the controller's source, already seeded; its draws are looked at
  // through a fork, never taken.
  EarlyStart(TIniGTEnvironment settings, std::string drive, const RandomSource& random, DriveMaker make);
  // Waits for the thread; a device not taken is closed, and what it plays ends.
  ~EarlyStart();
  EarlyStart(const EarlyStart&) = delete;
  EarlyStart& operator=(const EarlyStart&) = delete;

  // The device opened ahead for `drive` (file-system encoding), which the caller binds to the
  // device layer; nullptr when it was made for another drive (it is closed now) or already
  // taken. Waits for the thread first.
  std::unique_ptr<CdioDrive> Take(const std::string& drive);
  // Whether sound was started ahead. Waits for the thread first.
  bool Played();

 private:
  void Run();
  void Wait();

  TIniGTEnvironment settings_;
  std::string drive_;  // the drive the device is made for
  std::unique_ptr<RandomSource> random_;
  DriveMaker make_;
  std::unique_ptr<CdioDrive> device_;
  bool played_ = false;
  std::thread thread_;
};

}  // namespace qvr
