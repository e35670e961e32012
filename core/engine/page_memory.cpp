#include "core/engine/page_memory.h"

#include <cstdint>
#include <new>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace glossmith::detail {

PageMemory::PageMemory(std::size_t bytes) : size_(bytes) {
  if (bytes <= kSmallPagesBytes) {
    block_ = ::operator new(bytes == 0 ? 1 : bytes);
    data_ = static_cast<char*>(block_);
    return;
  }
  // Room to move the start so that the huge pages begin, 2 MB aligned, right
  // after the small part.
  const std::size_t blockBytes = bytes + kHugePageBytes;
  block_ = ::operator new(blockBytes);
  const auto begin = reinterpret_cast<std::uintptr_t>(block_);
  const std::uintptr_t huge =
      (begin + kSmallPagesBytes + kHugePageBytes - 1) & ~std::uintptr_t{kHugePageBytes - 1};
  data_ = reinterpret_cast<char*>(huge - kSmallPagesBytes);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  // Advice only: where it is refused the pages are small ones all the same.
  // The range ends at a page boundary inside the block.
  const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const std::uintptr_t end = (begin + blockBytes) & ~(page - 1);
  madvise(reinterpret_cast<void*>(huge), end - huge, MADV_HUGEPAGE);
#endif
}

PageMemory::~PageMemory() { ::operator delete(block_); }

PageMemory::PageMemory(PageMemory&& other) noexcept
    : block_(std::exchange(other.block_, nullptr)),
      data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)) {}

PageMemory& PageMemory::operator=(PageMemory&& other) noexcept {
  if (this != &other) {
    ::operator delete(block_);
    block_ = std::exchange(other.block_, nullptr);
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

}  // namespace glossmith::detail
