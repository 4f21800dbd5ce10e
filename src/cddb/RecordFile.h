// One open database file seen as numbered fixed-size records, and a buffered forward scan over
// it. Only whole records count: a partial record at the end (left by a crash in the middle of an
// append) is never read, and the next append overwrites it from its first byte.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>

#include "cddb/DatabaseFiles.h"

namespace qvr {

class RecordFile {
 public:
  enum class Access { ReadWrite, ReadOnly };

  // Opens `path` for reading and writing, as every database operation does (ReadOnly: for
  // readers that never write, such as the inspection tool). Raises Error with the system's
  // reason when the file cannot be opened (missing folder, no permission, ...).
  RecordFile(std::filesystem::path path, DBFile kind, Access access = Access::ReadWrite);
  ~RecordFile();
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;
  RecordFile(RecordFile&& other) noexcept;
  RecordFile& operator=(RecordFile&&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  DBFile Kind() const { return kind_; }
  std::size_t RecordSize() const { return record_size_; }

  // Whole records in the file now.
  std::size_t Count() const;

  // Reads up to `count` whole records starting at record `first` into `buffer` (room for
  // `count` records); returns how many whole records were read. Raises Error on a read error.
  std::size_t Read(std::size_t first, std::size_t count, char* buffer) const;

  // Writes `count` records from `data` at record `index` (Count() appends). Raises Error when
  // the write fails or is short.
  void Write(std::size_t index, const char* data, std::size_t count = 1);

  // True when record 0 exists and carries the file's version text.
  bool HasValidHeader() const;

 private:
  std::filesystem::path path_;
  DBFile kind_;
  std::size_t record_size_;
  int fd_ = -1;
};

// Reads the records of a file one by one from record `first`, a chunk at a time. Each chunk is
// read when it is reached, so records appended while the scan runs are still seen.
class RecordScanner {
 public:
  explicit RecordScanner(const RecordFile& file, std::size_t first = 1);

  // The bytes of the next record (valid until the next call), or nullptr at the end.
  const char* Next() {
    if (next_ >= chunk_first_ + chunk_count_ && !ReadChunk()) return nullptr;
    return buffer_.get() + (next_++ - chunk_first_) * record_size_;
  }
  // The number of the record that Next() returned last.
  std::size_t Index() const { return next_ - 1; }

 private:
  // Reads the chunk that starts at next_; false at the end of the file.
  bool ReadChunk();

  const RecordFile& file_;
  std::size_t record_size_;
  std::unique_ptr<char[]> buffer_;  // not zeroed: only what was read is looked at
  std::size_t buffer_records_;
  std::size_t chunk_first_;  // record number of buffer_[0]
  std::size_t chunk_count_ = 0;
  std::size_t next_;
};

}  // namespace qvr
