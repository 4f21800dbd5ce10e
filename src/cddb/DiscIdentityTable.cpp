// The table of disc identities: placing masters and runs of tracks, and the checks once every
// record is in.
#include "cddb/DiscIdentityTable.h"

#include <algorithm>
#include <array>

#include "cddb/DiscRecord.h"

namespace qvr {

std::string IdentityText(const PackedIdentity& disc) {
  return "(" + disc.DiscKey().ToUtf8() + ", " + std::to_string(disc.Count()) + " 曲, " + std::to_string(disc.Time()) +
         ")";
}

bool DiscTable::Add(const DiscEntry& entry) {
  const std::uint64_t hash = Hash(entry);
  const PackedIdentity marked{entry.Disc.Key, entry.Disc.Rest | 1};
  auto same = [&](const Slot& slot) { return slot.Disc == marked; };
  Slot* slot = slots_.Find(hash, same);
  if (!slot->Used()) {
    if (slots_.Full()) {
      if (!Fits(slots_.GrownBytes(), more_.capacity())) return false;
      slots_.Grow([](const Slot& used) { return Hash(DiscEntry{used.Identity(), DiscEntry::kMaster, 0, {}}); });
      slot = slots_.Find(hash, same);
    }
    slot->Disc = marked;
    slots_.Use();
  }
  if (entry.What == DiscEntry::kMaster) {
    if (slot->FirstMaster == 0) {
      slot->FirstMaster = entry.Record;
    } else {
      checks_.Masters.Problem(DBFile::Master, entry.Record, 0,
                              "ディスク " + IdentityText(entry.Disc) + " はレコード " +
                                  std::to_string(slot->FirstMaster) + " と重複しており、検索では見つかりません");
    }
    return true;
  }
  if (slot->Run.Tracks == 0) {
    slot->Run = entry.Run;
    return true;
  }
  if (more_.size() == more_.capacity()) {
    const std::size_t room = std::max<std::size_t>(16, more_.capacity() * 2);
    if (!Fits(slots_.Bytes(), room)) return false;
    more_.reserve(room);
  }
  more_.push_back({entry.Run, slot->MoreRuns});
  slot->MoreRuns = static_cast<std::uint32_t>(more_.size());
  return true;
}

void DiscTable::Finish() {
  std::vector<TrackRun> runs;
  for (const Slot& slot : slots_) {
    if (!slot.Used()) continue;
    const PackedIdentity disc = slot.Identity();
    // The first found record of each track number; each other record with it repeats it.
    std::array<std::uint32_t, 256> first{};
    std::size_t records = 0;
    if (slot.MoreRuns == 0) {
      if (slot.Run.Found) {
        for (unsigned i = 0; i < slot.Run.Tracks; ++i) first[slot.Run.FirstTrack + i] = slot.Run.Record + i;
      }
      records = slot.Run.Tracks;
    } else {
      runs.clear();
      ForEachRun(slot, [&](const TrackRun& run) { runs.push_back(run); });
      std::sort(runs.begin(), runs.end(), [](const TrackRun& a, const TrackRun& b) { return a.Record < b.Record; });
      for (const TrackRun& run : runs) {
        for (unsigned i = 0; i < run.Tracks && run.Found; ++i) {
          if (first[run.FirstTrack + i] == 0) first[run.FirstTrack + i] = run.Record + i;
        }
      }
      for (const TrackRun& run : runs) {
        records += run.Tracks;
        for (unsigned i = 0; i < run.Tracks; ++i) {
          const unsigned track_no = run.FirstTrack + i;
          if (first[track_no] != 0 && first[track_no] != run.Record + i) {
            checks_.Tracks.Problem(DBFile::Track, run.Record + i, 0,
                                   "ディスク " + IdentityText(disc) + " のトラック " + std::to_string(track_no) +
                                       " はレコード " + std::to_string(first[track_no]) + " と重複しています");
          }
        }
      }
    }
    if (slot.FirstMaster == 0) {
      checks_.Orphans += records;
    } else if (checks_.TracksUsable) {
      for (std::size_t n = 1; n <= UsedTracks(disc.Count()); ++n) {
        if (first[n] == 0) {
          checks_.Masters.Problem(DBFile::Master, slot.FirstMaster, static_cast<unsigned>(6 + n),
                                  "トラック " + std::to_string(n) + " のレコードが TrackDB.QVR にありません");
        }
      }
    }
  }
}

}  // namespace qvr
