// What is playing, as the controller shows it to clients outside the windows (the media-player
// bus interface): a plain value read in one go, so a client never reaches into the controller.
#pragma once

#include <cstdint>
#include <string>

namespace qvr {

struct NowPlaying {
  enum class Status : std::uint8_t { Stopped, Playing, Paused };
  // `track` when there is none; track 0 is the hidden first track, titled "トラック 0 (隠しトラック)".
  static constexpr int kNoTrack = -1;

  Status status = Status::Stopped;
  bool disc = false;              // a readable disc is in the drive
  std::string disc_key;           // the disc's key (8 hexadecimal digits), empty without a disc
  int track = kNoTrack;           // the track heard, or the one the play command starts
  std::string title;              // the track's name (UTF-8), empty when the disc record has none
  std::string album, artist;      // the disc's name and artist (UTF-8)
  std::string jacket;             // the jacket image file, empty when none is given
  std::uint32_t length_ms = 0;    // the track's length
  std::uint32_t position_ms = 0;  // the play head inside the track
  bool can_play = false;          // the play command has something to play
};

}  // namespace qvr
