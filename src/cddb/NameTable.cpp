// The table of names: placing a name, and comparing names of equal hashes by their bytes.
#include "cddb/NameTable.h"

#include <algorithm>

#include "util/ShiftJis.h"

namespace qvr {

bool NameTable::Add(const NameEntry& entry) {
  const std::uint64_t hash = Hash(entry);
  auto same = [&](const NameEntry& slot) { return slot.Hash == entry.Hash; };
  NameEntry* slot = slots_.Find(hash, same);
  if (!slot->Used()) {
    if (slots_.Full()) {
      if (!Fits(slots_.GrownBytes(), others_.capacity())) return false;
      slots_.Grow([](const NameEntry& used) { return Hash(used); });
      slot = slots_.Find(hash, same);
    }
    *slot = entry;
    slots_.Use();
    return true;
  }
  const std::string name = NameAt(entry.Record);
  std::uint32_t first = NameAt(slot->Record) == name ? slot->Record : 0;
  for (const NameEntry& other : others_) {
    if (first == 0 && other.Hash == entry.Hash && NameAt(other.Record) == name) first = other.Record;
  }
  if (first != 0) {
    findings_.Problem(file_.Kind(), entry.Record, 2,
                      "名前「" + SjisToUtf8(name) + "」はレコード " + std::to_string(first) + " と重複しています");
    return true;
  }
  if (others_.size() == others_.capacity()) {
    const std::size_t room = std::max<std::size_t>(4, others_.capacity() * 2);
    if (!Fits(slots_.Bytes(), room)) return false;
    others_.reserve(room);
  }
  others_.push_back(entry);
  return true;
}

std::string NameTable::NameAt(std::uint32_t record) const {
  char bytes[kNameRecordSize];
  if (file_.Read(record, 1, bytes) != 1) return {};
  return std::string(ShortStringAt(bytes, name_.Offset, name_.Size - 1));
}

}  // namespace qvr
