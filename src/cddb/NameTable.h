// The validator's table of the names of a name file, for finding names that repeat an earlier
// one. A Table for HashPartition.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cddb/CheckFindings.h"
#include "cddb/HashPartition.h"
#include "cddb/HashSlots.h"
#include "cddb/RecordFile.h"
#include "cddb/Records.h"

namespace qvr {

// The hash of a name's bytes (FNV-1a).
inline std::uint64_t NameHash(std::string_view bytes) {
  std::uint64_t h = 1469598103934665603ull;
  for (char c : bytes) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return h;
}

// A name record by the hash of its name.
struct NameEntry {
  std::uint64_t Hash = 0;
  std::uint32_t Record = 0;  // 0 in an empty slot
  bool Used() const { return Record != 0; }
};

// The names of a name file, one slot per name: a name equal to an earlier one is found as it
// comes. Names are compared by their bytes, read back from the file, only when their hashes are
// equal; names of one hash that differ are kept beside the table.
class NameTable {
 public:
  using Entry = NameEntry;

  NameTable(std::size_t budget, std::size_t expected, const RecordFile& file, FieldSpan name, PartFindings& findings)
      : budget_(budget), file_(file), name_(name), findings_(findings), slots_(expected, budget) {}

  static std::uint64_t Hash(const NameEntry& entry) { return MixHash(entry.Hash); }
  const void* SlotOf(const NameEntry& entry) const { return slots_.First(Hash(entry)); }

  // Places a name, or notes it as a repeat of the first record with the same name.
  bool Add(const NameEntry& entry);

  template <class Emit>
  void Drain(Emit emit) {
    for (const NameEntry& slot : slots_) {
      if (slot.Used()) emit(slot);
    }
    for (const NameEntry& other : others_) emit(other);
  }

  void Finish() {}

 private:
  bool Fits(std::size_t slot_bytes, std::size_t others) const {
    return slot_bytes + others * sizeof(NameEntry) <= budget_;
  }

  // The name of `record`, read back from the file.
  std::string NameAt(std::uint32_t record) const;

  std::size_t budget_;
  const RecordFile& file_;
  FieldSpan name_;
  PartFindings& findings_;
  HashSlots<NameEntry> slots_;
  std::vector<NameEntry> others_;  // names whose hash an earlier, other name in the table has
};

}  // namespace qvr
