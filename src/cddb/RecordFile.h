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
  // Reads up to `length` bytes at file offset `offset` into `buffer`; fewer only at the end of
  // the file. Raises Error on a read error.
  std::size_t ReadBytes(std::size_t offset, std::size_t length, char* buffer) const;

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

// Reads the records of a file one by one from record `first`, a block at a time. Each block is
// read when it is reached, so records appended while the scan runs are still seen. Blocks start
// at page boundaries of the file and land at a page boundary in memory, which the kernel copies
// fastest; a record that a block's end cuts is read whole with the next block, which starts at
// the page that holds the record's first byte.
class RecordScanner {
 public:
  explicit RecordScanner(const RecordFile& file, std::size_t first = 1);

  // The bytes of the next record (valid until the next call), or nullptr at the end.
  const char* Next() {
    const std::size_t offset = next_ * record_size_;
    if (offset < block_offset_ || offset + record_size_ > block_offset_ + block_length_) {
      if (!ReadBlock(offset)) return nullptr;
    }
    ++next_;
    return buffer_.get() + (offset - block_offset_);
  }
  // The number of the record that Next() returned last.
  std::size_t Index() const { return next_ - 1; }

 private:
  struct FreeBuffer {
    void operator()(char* buffer) const;
  };

  // Reads the block that holds the record at file offset `offset`; false when the file ends
  // before the record does.
  bool ReadBlock(std::size_t offset);

  const RecordFile& file_;
  std::size_t record_size_;
  std::size_t buffer_size_;                     // a whole number of pages
  std::unique_ptr<char[], FreeBuffer> buffer_;  // not zeroed: only what was read is looked at
  std::size_t block_offset_ = 0;                // file offset of buffer_[0]
  std::size_t block_length_ = 0;                // bytes read there
  std::size_t next_;
};

}  // namespace qvr
