// Finding equal keys among more entries than memory should hold, in one pass over them, with
// memory that does not grow with their number (the validator's checks across records). Entries
// go into an in-memory table while it fits a fixed budget, and for any database that fits, the
// work ends there. When the table would grow past its budget, what it holds and every later entry
// are split by their hash into kPartitions temporary files; each is then read back into a fresh
// table on its own (and split again, by other bits of the hash, if it is still too large). Equal
// keys have equal hashes and so meet in one partition, in the order they were added: "the first
// record with a key" means there what it means in one pass in memory.
//
// A Table provides:
//   using Entry = ...;                        trivially copyable: written to files byte for byte
//   static std::uint64_t Hash(const Entry&);  equal keys, equal hashes; the table places entries
//                                             by its high bits, the partitions take the low ones
//   const void* SlotOf(const Entry&) const;   the memory the entry's Add looks at first: it is
//                                             prefetched, and the entry added a few calls later,
//                                             so that a table larger than the caches is filled
//                                             at the speed of memory rather than its latency
//   bool Add(const Entry&);                   false, with nothing changed, when the entry would
//                                             take the table past its budget
//   template <class Emit> void Drain(Emit);   emits entries that, added to an empty table before
//                                             the later ones, make it find what this one would
//   void Finish();                            the checks that need every entry of its keys
// and `make(budget, expected)` makes an empty one for about `expected` entries (0: unknown).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "util/SpillFile.h"

namespace qvr {

template <class Table, class Make>
class HashPartition {
 public:
  using Entry = typename Table::Entry;
  static_assert(std::is_trivially_copyable_v<Entry>, "entries are written to files byte for byte");

  static constexpr std::size_t kPartitions = 16;
  static constexpr unsigned kPartitionBits = 4;
  // Past this depth a partition is kept in memory whatever its size: only entries that share
  // most of their hash bits (one key repeated without end) get there.
  static constexpr unsigned kMaxLevel = 5;

  HashPartition(std::size_t budget, Make make, std::size_t expected = 0, unsigned level = 0)
      : budget_(budget), make_(std::move(make)), level_(level) {
    table_.emplace(make_(level < kMaxLevel ? budget : SIZE_MAX, expected));
  }

  // Adds `entry` after the ones before it (it waits among the next few to be placed). Raises
  // Error when a temporary file cannot be written.
  void Add(const Entry& entry) {
    __builtin_prefetch(table_->SlotOf(entry));
    if (waiting_ < kAhead) {
      ahead_[(first_ + waiting_++) % kAhead] = entry;
      return;
    }
    Place(ahead_[first_]);
    ahead_[first_] = entry;
    first_ = (first_ + 1) % kAhead;
  }

  // Runs the table's checks, on each partition in turn when they were spilled.
  void Finish() {
    for (; waiting_ > 0; --waiting_, first_ = (first_ + 1) % kAhead) Place(ahead_[first_]);
    if (files_.empty()) {
      table_->Finish();
      return;
    }
    std::vector<Entry> block(kReadEntries);
    for (SpillFile& spilled : files_) {
      SpillFile file = std::move(spilled);  // closed, and its disk space given back, after its part
      file.StartReading();
      HashPartition part(budget_, make_, 0, level_ + 1);
      while (const std::size_t n = file.Read(block.data(), block.size() * sizeof(Entry)) / sizeof(Entry)) {
        for (std::size_t i = 0; i < n; ++i) part.Add(block[i]);
      }
      part.Finish();
    }
  }

 private:
  static constexpr std::size_t kReadEntries = 4096;
  static constexpr std::size_t kAhead = 8;  // entries prefetched and waiting to be placed

  void Place(const Entry& entry) {
    if (files_.empty()) {
      if (table_->Add(entry)) return;
      Spill();
    }
    Write(entry);
  }

  void Spill() {
    files_.reserve(kPartitions);
    for (std::size_t i = 0; i < kPartitions; ++i) files_.emplace_back();
    table_->Drain([&](const Entry& entry) { Write(entry); });
    // An empty table of a few slots stays, so that Add prefetches without a test (a prefetch
    // under a condition is one the compiler may drop).
    table_.emplace(make_(0, 0));
  }

  void Write(const Entry& entry) {
    const std::uint64_t part = (Table::Hash(entry) >> (kPartitionBits * level_)) & (kPartitions - 1);
    files_[part].Write(&entry, sizeof entry);
  }

  std::size_t budget_;
  Make make_;
  unsigned level_;
  std::optional<Table> table_;
  std::array<Entry, kAhead> ahead_{};
  std::size_t first_ = 0, waiting_ = 0;
  std::vector<SpillFile> files_;  // one per partition once spilled
};

// A 64-bit hash mixed so that every bit depends on every input bit (the finaliser of MurmurHash3).
constexpr std::uint64_t MixHash(std::uint64_t x) {
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdULL;
  x ^= x >> 33;
  x *= 0xc4ceb9fe1a85ec53ULL;
  x ^= x >> 33;
  return x;
}

}  // namespace qvr
