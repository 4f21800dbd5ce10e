// Single-pass ID -> name and name -> ID over a name file.
#include "cddb/NameFile.h"

#include <optional>
#include <unordered_map>

#include "cddb/Records.h"
#include "util/Error.h"
#include "util/ShiftJis.h"

namespace qvr {
namespace {

constexpr std::string_view kTooManyGenres =
    "ジャンル「%s」を登録できません。登録できるジャンルは255種類までです。既にあるジャンル名を使ってください。";

bool IsGenre(const RecordFile& file) { return file.Kind() == DBFile::Genre; }

std::int64_t IDAt(const RecordFile& file, const char* record) {
  if (IsGenre(file)) return static_cast<unsigned char>(record[genre_layout::ID.Offset]);
  return ReadInt32At(record, name_layout::ID.Offset);
}

std::string_view NameAt(const RecordFile& file, const char* record) {
  if (IsGenre(file)) return ShortStringAt(record, genre_layout::Name.Offset, 16);
  return ShortStringAt(record, name_layout::Name.Offset, 96);
}

}  // namespace

std::vector<std::string> NamesOf(const RecordFile& file, std::span<const std::int64_t> ids) {
  std::vector<std::string> names(ids.size());
  // Each distinct wanted ID, with the slots of `names` that ask for it.
  std::unordered_map<std::int64_t, std::vector<std::size_t>> wanted;
  for (std::size_t i = 0; i < ids.size(); ++i) wanted[ids[i]].push_back(i);

  RecordScanner scan(file);
  while (!wanted.empty()) {
    const char* record = scan.Next();
    if (!record) break;
    auto found = wanted.find(IDAt(file, record));
    if (found == wanted.end()) continue;
    std::string_view name = NameAt(file, record);
    for (std::size_t slot : found->second) names[slot] = name;
    wanted.erase(found);
  }
  return names;
}

std::string TooManyGenresMessage(std::string_view name) { return FormatMessage(kTooManyGenres, SjisToUtf8(name)); }

NameAssignment AssignIDs(const RecordFile& file, std::span<const std::string_view> names) {
  // Each distinct name with the ID of its first record, empty while none was seen.
  std::unordered_map<std::string_view, std::optional<std::int64_t>> known;
  for (std::string_view name : names) known.emplace(name, std::nullopt);

  std::size_t missing = known.size();
  RecordScanner scan(file);
  while (missing > 0) {
    const char* record = scan.Next();
    if (!record) break;
    auto found = known.find(NameAt(file, record));
    if (found == known.end() || found->second) continue;
    found->second = IDAt(file, record);
    --missing;
  }

  NameAssignment result;
  result.FirstNewRecord = file.Count();
  result.IDs.reserve(names.size());
  for (std::string_view name : names) {
    std::optional<std::int64_t>& id = known[name];
    if (!id) {
      id = static_cast<std::int64_t>(result.FirstNewRecord + result.NewNames.size());
      if (IsGenre(file) && *id > kMaxGenreID) throw Error(TooManyGenresMessage(name));
      result.NewNames.emplace_back(name);
    }
    result.IDs.push_back(*id);
  }
  return result;
}

void AppendNames(RecordFile& file, const NameAssignment& assignment) {
  if (assignment.NewNames.empty()) return;
  const std::size_t size = file.RecordSize();
  std::vector<char> bytes(assignment.NewNames.size() * size);
  for (std::size_t i = 0; i < assignment.NewNames.size(); ++i) {
    char* out = bytes.data() + i * size;
    const auto id = static_cast<std::int64_t>(assignment.FirstNewRecord + i);
    if (IsGenre(file)) {
      EncodeRecord(TGenreRecord{static_cast<std::uint8_t>(id), ShortString<16>(assignment.NewNames[i])},
                   std::span<char, kGenreRecordSize>(out, kGenreRecordSize));
    } else {
      EncodeRecord(TNameRecord{static_cast<std::int32_t>(id), ShortString<96>(assignment.NewNames[i])},
                   std::span<char, kNameRecordSize>(out, kNameRecordSize));
    }
  }
  file.Write(assignment.FirstNewRecord, bytes.data(), assignment.NewNames.size());
}

}  // namespace qvr
