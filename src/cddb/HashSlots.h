// The slots of an open-addressing hash table with linear probing, for the validator's tables of
// disc identities and names: kept at most 5/8 full, placed by the high 32 bits of a hash (a
// HashPartition splits by its low bits), in zeroed memory straight from the system, so that a
// slot of zero bytes is an empty one (Slot::Used() tells them apart).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "util/ZeroedArray.h"

namespace qvr {

template <class Slot>
class HashSlots {
 public:
  // Room for `expected` entries when `budget` bytes allow it, else as many slots as they do (8
  // at least).
  HashSlots(std::size_t expected, std::size_t budget)
      : slots_(std::max<std::size_t>(8, std::min(expected * 8 / 5 + 1, budget / sizeof(Slot)))) {}

  std::size_t Bytes() const { return slots_.size() * sizeof(Slot); }
  // Whether one more slot can be used only after Grow, and the bytes the slots then take.
  bool Full() const { return (used_ + 1) * 8 > slots_.size() * 5; }
  std::size_t GrownBytes() const { return 2 * Bytes(); }

  // The first slot a search for `hash` looks at.
  const Slot* First(std::uint64_t hash) const { return &slots_[Home(hash)]; }
  // The used slot that `same` accepts, or else the empty one where such an entry goes.
  template <class Same>
  Slot* Find(std::uint64_t hash, Same same) {
    for (std::size_t at = Home(hash);; at = at + 1 == slots_.size() ? 0 : at + 1) {
      Slot& slot = slots_[at];
      if (!slot.Used() || same(slot)) return &slot;
    }
  }
  // Counts an empty slot from Find as used.
  void Use() { ++used_; }

  // Doubles the slots, placing each used one again by `hash_of(slot)`.
  template <class HashOf>
  void Grow(HashOf hash_of) {
    ZeroedArray<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    for (const Slot& slot : old) {
      if (slot.Used()) *Find(hash_of(slot), [](const Slot&) { return false; }) = slot;
    }
  }

  const Slot* begin() const { return slots_.begin(); }
  const Slot* end() const { return slots_.end(); }

 private:
  std::size_t Home(std::uint64_t hash) const { return static_cast<std::size_t>(((hash >> 32) * slots_.size()) >> 32); }

  ZeroedArray<Slot> slots_;
  std::size_t used_ = 0;
};

}  // namespace qvr
