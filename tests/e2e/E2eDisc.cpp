// qvr_e2e_disc FOLDER DBFOLDER [FRAMES | other]: writes the disc image the end-to-end tests give
// the player as its drive (three audio tracks of FRAMES sectors each, 30 seconds unless given,
// FOLDER/e2e.cue and e2e.bin) and registers it in the database in DBFOLDER through the real drive
// and database code, with Japanese titles. With "other", a second disc instead (FOLDER/other.cue
// and other.bin: two 20-second tracks after a 2-second stored pregap, so its first sound differs
// from the first disc's). With "hidden", the first disc's three tracks after a 5-second pregap of
// sound, a hidden first track (FOLDER/hidden.cue and hidden.bin).
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "audio/SdlAudioSink.h"
#include "cdda/CDDA.h"
#include "cdda/CdioDrive.h"
#include "cddb/DateSource.h"
#include "cddb/DiscDatabase.h"
#include "support/CdImage.h"

int main(int argc, char** argv) {
  using namespace qvr;
  const bool other = argc == 4 && std::string(argv[3]) == "other";
  const bool hidden = argc == 4 && std::string(argv[3]) == "hidden";
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: qvr_e2e_disc FOLDER DBFOLDER [FRAMES | other | hidden]\n");
    return 2;
  }
  const std::uint32_t frames =
      argc == 4 && !other && !hidden ? static_cast<std::uint32_t>(std::strtoul(argv[3], nullptr, 10)) : 2250;
  if (frames < 75) {
    std::fprintf(stderr, "a track needs at least 75 sectors\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1], db = argv[2];
  std::filesystem::create_directories(folder);
  std::filesystem::create_directories(db);
  test::ImageOptions options;
  options.cueName = other ? "other.cue" : hidden ? "hidden.cue" : "e2e.cue";
  options.binName = other ? "other.bin" : hidden ? "hidden.bin" : "e2e.bin";
  const auto image = other    ? test::WriteImage(folder, {{1500, true, 150}, {1500}}, options)
                     : hidden ? test::WriteImage(folder, {{frames, true, 375}, {frames}, {frames}}, options)
                              : test::WriteImage(folder, {{frames}, {frames}, {frames}}, options);

  SdlAudioSink sink;
  CdioDrive drive(image.cue.string(), sink);
  CDDA layer(drive);
  layer.CDPoll();
  if (layer.CDState != cdStopped) {
    std::fprintf(stderr, "the image could not be read: %s\n", drive.Problem().c_str());
    return 1;
  }
  SystemDateSource today;
  TDiscRecord disc;
  ClearDisc(disc, today);
  disc.DiscKey = layer.CDMediaID();
  disc.TrackCount = static_cast<std::uint8_t>(layer.CDTrackCount());
  disc.DiscTime = layer.CDDiscLength();
  const char* first_titles[] = {"最初の曲 & 二番", "二曲目", "三曲目"};
  const char* other_titles[] = {"別の盤の一曲目", "別の盤の二曲目", ""};
  const char* const* titles = other ? other_titles : first_titles;
  for (std::uint8_t n = 1; n <= disc.TrackCount; ++n) {
    disc.Tracks[n].StartPos = layer.CDTrackStart(n);
    disc.Tracks[n].Length = layer.CDTrackLength(n);
    disc.Tracks[n].TrackName = ShortString<96>::FromUtf8(titles[n - 1]);
  }
  disc.DiscName = ShortString<96>::FromUtf8(other ? "別の盤" : "試験盤");
  disc.ArtistName = ShortString<96>::FromUtf8("テスト楽団");
  TDiscDatabase database(today);
  database.DBOpen(db / "MasterDB.QVR");
  database.DBStore(disc);
  layer.CDClose();
  std::printf("%s\n", image.cue.c_str());
  return 0;
}
