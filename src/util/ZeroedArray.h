// A fixed-size array of zero bytes taken straight from the system, for large tables that are
// filled at random places (the validator's hash tables): the kernel's pages come zeroed, so the
// array is not cleared again, and a large one is asked for in huge pages, so that lookups spread
// over megabytes do not each miss the processor's page cache.
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
