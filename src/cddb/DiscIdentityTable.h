// The validator's table of disc identities, where master and track records meet: one slot per
// identity (key, track count, disc time) with its first master record and its track records as
// runs, for the checks across them (repeated discs and tracks, discs without their tracks,
// tracks without their disc). A Table for HashPartition.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "cddb/CheckFindings.h"
#include "cddb/HashPartition.h"
#include "cddb/HashSlots.h"
#include "util/ShortString.h"

namespace qvr {

// A disc identity packed into two words: the key's bytes, then its length, the track count and
// the disc time, with the low byte free (a table marks its used slots there).
struct PackedIdentity {
  std::uint64_t Key = 0;
  std::uint64_t Rest = 0;  // length << 56 | count << 48 | time << 8

  static PackedIdentity Of(std::string_view key, std::uint8_t count, std::uint32_t time) {
    PackedIdentity identity;
    std::memcpy(&identity.Key, key.data(), key.size());
    identity.Rest = std::uint64_t{key.size()} << 56 | std::uint64_t{count} << 48 | std::uint64_t{time} << 8;
    return identity;
  }
  std::uint8_t Count() const { return static_cast<std::uint8_t>(Rest >> 48); }
  std::uint32_t Time() const { return static_cast<std::uint32_t>(Rest >> 8); }
  ShortString<8> DiscKey() const {
    char bytes[8];
    std::memcpy(bytes, &Key, sizeof bytes);
    return ShortString<8>(std::string_view(bytes, static_cast<std::size_t>(Rest >> 56)));
  }
  friend bool operator==(const PackedIdentity&, const PackedIdentity&) = default;
};

// "(KEY, N 曲, TIME)", as findings name a disc.
std::string IdentityText(const PackedIdentity& disc);

// Track records of one identity that follow each other with track numbers counting up by one,
// as a store writes a disc's tracks: one run usually holds them all.
struct TrackRun {
  std::uint32_t Record = 0;  // the first
  std::uint8_t FirstTrack = 0;
  std::uint8_t Tracks = 0;  // 0: no run
  bool Found = false;       // a search finds its records (their key length is not damaged)
};

// A master record or a run of track records, with its identity.
struct DiscEntry {
  enum Kind : std::uint8_t { kMaster, kTracks };
  PackedIdentity Disc;
  Kind What = kMaster;
  std::uint32_t Record = 0;  // kMaster
  TrackRun Run;              // kTracks
};

// What the checks across master and track records share.
struct DiscChecks {
  PartFindings& Masters;
  PartFindings& Tracks;
  bool TracksUsable;
  std::size_t Orphans = 0;  // track records whose identity has no master record
};

// The identities of masters and tracks, one slot each with its first master record and its runs
// of track records. Repeated master records are found as they come (the first is the one a
// search finds); repeated tracks, missing tracks and tracks without a disc once every record is
// in.
class DiscTable {
 public:
  using Entry = DiscEntry;

  DiscTable(std::size_t budget, std::size_t expected, DiscChecks& checks)
      : budget_(budget), checks_(checks), slots_(expected, budget) {}

  static std::uint64_t Hash(const DiscEntry& entry) { return MixHash(entry.Disc.Key ^ MixHash(entry.Disc.Rest)); }
  const void* SlotOf(const DiscEntry& entry) const { return slots_.First(Hash(entry)); }

  // Places a master record (a repeat of an earlier one is noted at once) or a run of tracks.
  bool Add(const DiscEntry& entry);

  template <class Emit>
  void Drain(Emit emit) {
    for (const Slot& slot : slots_) {
      if (!slot.Used()) continue;
      const PackedIdentity disc = slot.Identity();
      if (slot.FirstMaster != 0) emit(DiscEntry{disc, DiscEntry::kMaster, slot.FirstMaster, {}});
      ForEachRun(slot, [&](const TrackRun& run) { emit(DiscEntry{disc, DiscEntry::kTracks, 0, run}); });
    }
  }

  // Notes repeated tracks and missing tracks; counts the tracks of no disc.
  void Finish();

 private:
  struct Slot {
    PackedIdentity Disc;  // Rest's low byte is 1 in a used slot
    std::uint32_t FirstMaster = 0;
    std::uint32_t MoreRuns = 0;  // 1 + the index in more_ of its latest run past the first, or 0
    TrackRun Run;                // the first
    bool Used() const { return (Disc.Rest & 0xFF) != 0; }
    PackedIdentity Identity() const { return {Disc.Key, Disc.Rest & ~std::uint64_t{0xFF}}; }
  };
  struct MoreRun {
    TrackRun Run;
    std::uint32_t Next = 0;  // as Slot::MoreRuns
  };

  bool Fits(std::size_t slot_bytes, std::size_t more) const { return slot_bytes + more * sizeof(MoreRun) <= budget_; }

  template <class Visit>
  void ForEachRun(const Slot& slot, Visit visit) const {
    if (slot.Run.Tracks != 0) visit(slot.Run);
    for (std::uint32_t more = slot.MoreRuns; more != 0; more = more_[more - 1].Next) visit(more_[more - 1].Run);
  }

  std::size_t budget_;
  DiscChecks& checks_;
  HashSlots<Slot> slots_;
  std::vector<MoreRun> more_;
};

}  // namespace qvr
