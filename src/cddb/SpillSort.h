// Sorting more entries than memory should hold, for passes over a whole database whose memory
// must not grow with it (the validator): entries are gathered up to a fixed number; each full
// batch is sorted and written to a temporary file (removed when closed), and the batches are
// merged as the entries are read back in order. A database whose entries fit one batch never
// touches the disk.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <queue>
#include <string>
#include <type_traits>
#include <vector>

#include "util/Error.h"

namespace qvr {

template <class Entry>
class SpillSort {
  static_assert(std::is_trivially_copyable_v<Entry>, "entries are written to files byte for byte");

 public:
  // `batch_bytes`: the memory the gathered entries may take.
  explicit SpillSort(std::size_t batch_bytes) : batch_(std::max<std::size_t>(1, batch_bytes / sizeof(Entry))) {}
  ~SpillSort() {
    for (Run& run : runs_) std::fclose(run.file);
  }
  SpillSort(const SpillSort&) = delete;
  SpillSort& operator=(const SpillSort&) = delete;

  // Raises Error when a temporary file cannot be written.
  void Add(const Entry& entry) {
    if (entries_.capacity() == 0) entries_.reserve(std::min<std::size_t>(batch_, 1024));
    entries_.push_back(entry);
    if (entries_.size() >= batch_) Spill();
  }

  // Ends the gathering; Next then gives the entries in ascending order (operator<).
  void Finish() {
    if (runs_.empty()) {
      std::sort(entries_.begin(), entries_.end());
      return;
    }
    if (!entries_.empty()) Spill();
    std::vector<Entry>().swap(entries_);
    for (std::size_t i = 0; i < runs_.size(); ++i) {
      Run& run = runs_[i];
      std::rewind(run.file);
      run.buffer.resize(kReadEntries);
      if (Refill(run)) heads_.push({run.buffer[0], i});
    }
  }

  // The next entry in order (valid until the next call), or null after the last.
  const Entry* Next() {
    if (runs_.empty()) return at_ < entries_.size() ? &entries_[at_++] : nullptr;
    if (heads_.empty()) return nullptr;
    current_ = heads_.top().entry;
    const std::size_t i = heads_.top().run;
    heads_.pop();
    Run& run = runs_[i];
    if (++run.at < run.count || Refill(run)) heads_.push({run.buffer[run.at], i});
    return &current_;
  }

 private:
  static constexpr std::size_t kReadEntries = 4096;

  struct Run {
    std::FILE* file = nullptr;
    std::vector<Entry> buffer;
    std::size_t at = 0, count = 0;
  };
  struct Head {
    Entry entry;
    std::size_t run;
    bool operator<(const Head& other) const { return other.entry < entry; }  // smallest on top
  };

  [[noreturn]] static void Fail() { throw Error(std::string("一時ファイルを書き込めません: ") + std::strerror(errno)); }

  void Spill() {
    std::sort(entries_.begin(), entries_.end());
    std::FILE* file = std::tmpfile();
    if (!file) Fail();
    runs_.push_back({file, {}, 0, 0});
    if (std::fwrite(entries_.data(), sizeof(Entry), entries_.size(), file) != entries_.size() ||
        std::fflush(file) != 0) {
      Fail();
    }
    entries_.clear();
  }

  bool Refill(Run& run) {
    run.at = 0;
    run.count = std::fread(run.buffer.data(), sizeof(Entry), run.buffer.size(), run.file);
    return run.count > 0;
  }

  std::size_t batch_;
  std::vector<Entry> entries_;
  std::size_t at_ = 0;
  std::vector<Run> runs_;
  std::priority_queue<Head> heads_;
  Entry current_{};
};

}  // namespace qvr
