// A fixed-size array of zero bytes taken straight from the system, for large tables that are
// filled at random places (the validator's hash tables): the kernel's pages come zeroed, so the
// array is not cleared again, and a large one is asked for in huge pages, so that lookups spread
// over megabytes do not each miss the processor's page cache. An array that grows keeps its pages
// where they are (the system moves the mapping), so that growing touches only the new part.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>

namespace qvr {

template <class T>
class ZeroedArray {
  static_assert(std::is_trivially_copyable_v<T>, "elements start as zero bytes");

 public:
  ZeroedArray() = default;
  // Raises std::bad_alloc when the system has no memory to give.
  explicit ZeroedArray(std::size_t count) : count_(count) {
    if (count == 0) return;
    const std::size_t unit = count * sizeof(T) >= kHugePage ? kHugePage : kPage;
    bytes_ = (count * sizeof(T) + unit - 1) / unit * unit;
    void* at = mmap(nullptr, bytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (at == MAP_FAILED) throw std::bad_alloc();
    if (unit == kHugePage) madvise(at, bytes_, MADV_HUGEPAGE);  // a hint: refused, small pages serve
    data_ = static_cast<T*>(at);
  }
  ~ZeroedArray() {
    if (data_) munmap(data_, bytes_);
  }
  ZeroedArray(ZeroedArray&& other) noexcept { swap(other); }
  ZeroedArray& operator=(ZeroedArray&& other) noexcept {
    ZeroedArray(std::move(other)).swap(*this);
    return *this;
  }
  ZeroedArray(const ZeroedArray&) = delete;
  ZeroedArray& operator=(const ZeroedArray&) = delete;

  void swap(ZeroedArray& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(count_, other.count_);
    std::swap(bytes_, other.bytes_);
  }

  // Makes room for `count` elements (more than size()): the elements kept stay as they are, the
  // new ones are zero bytes. Raises std::bad_alloc when the system has no memory to give.
  void Grow(std::size_t count) {
    if (!data_) {
      ZeroedArray(count).swap(*this);
      return;
    }
    const std::size_t unit = count * sizeof(T) >= kHugePage ? kHugePage : kPage;
    const std::size_t bytes = (count * sizeof(T) + unit - 1) / unit * unit;
    if (bytes > bytes_) {
      void* at = mremap(data_, bytes_, bytes, MREMAP_MAYMOVE);
      if (at == MAP_FAILED) throw std::bad_alloc();
      if (unit == kHugePage) madvise(at, bytes, MADV_HUGEPAGE);
      data_ = static_cast<T*>(at);
      bytes_ = bytes;
    }
    count_ = count;
  }

  std::size_t size() const { return count_; }
  T& operator[](std::size_t i) { return data_[i]; }
  const T& operator[](std::size_t i) const { return data_[i]; }
  T* begin() { return data_; }
  T* end() { return data_ + count_; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + count_; }

 private:
  static constexpr std::size_t kPage = 4096;
  static constexpr std::size_t kHugePage = std::size_t{2} << 20;

  T* data_ = nullptr;
  std::size_t count_ = 0;
  std::size_t bytes_ = 0;
};

}  // namespace qvr
