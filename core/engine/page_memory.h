#pragma once

// Memory for a large table that fills as it is used: its pages are touched
// (and paid for) only as rows are written.
//
// A fresh page costs a fault when first written: on a virtual machine some
// 1.7 us, as long as translating 2 KB, so a table that grows to a few
// megabytes would spend about as long faulting as filling its entries. Past
// its first kSmallPagesBytes the memory asks the system for transparent huge
// pages (Linux's madvise, where they are offered on request): one fault then
// clears 2 MB, in about a fifth of the time that 4 KB pages take for the same
// room. The first 64 KB (16 wide rows, enough for a line or two) stay in
// small pages, so that a small table does not pay for clearing 2 MB that it
// never uses; one that grows past them pays about what the 4 KB pages of its
// next hundred rows would cost. Where huge pages are not offered this is
// plain memory. It comes from operator new, so that heap accounting sees it
// (2 MB more than asked, for aligning the huge pages).

#include <cstddef>

namespace glossmith::detail {

class PageMemory {
 public:
  // Small pages cover at least this much of the start.
  static constexpr std::size_t kSmallPagesBytes = std::size_t{64} << 10;
  static constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

  PageMemory() = default;
  // `bytes` of memory, not zero-filled; throws std::bad_alloc.
  explicit PageMemory(std::size_t bytes);
  ~PageMemory();

  PageMemory(PageMemory&& other) noexcept;
  PageMemory& operator=(PageMemory&& other) noexcept;
  PageMemory(const PageMemory&) = delete;
  PageMemory& operator=(const PageMemory&) = delete;

  char* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  void* block_ = nullptr;  // from operator new; data_ lies in it
  char* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace glossmith::detail
