// A temporary file that a pass over more data than memory should hold writes its overflow to and
// reads back once, from the start: made in $TMPDIR (else /tmp) and unnamed from the moment it is
// created, so nothing is left behind however the program ends.
#pragma once

#include <cstddef>
#include <memory>

namespace qvr {

class SpillFile {
 public:
  // Raises Error (with the folder and the system's reason) when no file can be made there.
  SpillFile();
  ~SpillFile();
  SpillFile(const SpillFile&) = delete;
  SpillFile& operator=(const SpillFile&) = delete;
  SpillFile(SpillFile&& other) noexcept;
  SpillFile& operator=(SpillFile&&) = delete;

  // Appends `size` bytes, through a buffer. Raises Error when the file cannot be written (a
  // full disk, ...).
  void Write(const void* data, std::size_t size);

  // Ends the writing: what follows reads the file from its first byte.
  void StartReading();
  // Reads up to `size` bytes; fewer only at the end. Raises Error on a read error.
  std::size_t Read(void* data, std::size_t size);

 private:
  void Flush();

  int fd_ = -1;
  std::unique_ptr<char[]> buffer_;
  std::size_t buffered_ = 0;  // bytes waiting in buffer_ to be written
};

}  // namespace qvr
