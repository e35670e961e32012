#include "bench/core/heap_meter.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace glossmith::bench {
namespace {

std::atomic<std::size_t> live{0};
std::atomic<std::size_t> peak{0};

void* Counted(void* block) {
  if (block == nullptr) return nullptr;
  const std::size_t size = malloc_usable_size(block);
  const std::size_t now = live.fetch_add(size, std::memory_order_relaxed) + size;
  std::size_t high = peak.load(std::memory_order_relaxed);
  while (now > high && !peak.compare_exchange_weak(high, now, std::memory_order_relaxed)) {
  }
  return block;
}

void* Allocate(std::size_t size, std::size_t alignment = 0) {
  if (size == 0) size = 1;
  void* block = nullptr;
  if (alignment <= alignof(std::max_align_t)) {
    block = std::malloc(size);
  } else if (posix_memalign(&block, alignment, size) != 0) {
    block = nullptr;
  }
  return Counted(block);
}

void* AllocateOrThrow(std::size_t size, std::size_t alignment = 0) {
  void* block = Allocate(size, alignment);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void Release(void* block) noexcept {
  if (block == nullptr) return;
  live.fetch_sub(malloc_usable_size(block), std::memory_order_relaxed);
  std::free(block);
}

}  // namespace

std::size_t LiveHeapBytes() { return live.load(std::memory_order_relaxed); }

std::size_t HeapBytesOf(const std::string& text) {
  const char* data = text.data();
  const char* self = reinterpret_cast<const char*>(&text);
  if (data >= self && data < self + sizeof text) return 0;
  return malloc_usable_size(const_cast<char*>(data));
}

HeapPeak::HeapPeak() : HeapPeak(LiveHeapBytes()) {}

HeapPeak::HeapPeak(std::size_t baseline) : baseline_(baseline) {
  peak.store(LiveHeapBytes(), std::memory_order_relaxed);
}

std::size_t HeapPeak::Bytes() const {
  const std::size_t high = peak.load(std::memory_order_relaxed);
  return high > baseline_ ? high - baseline_ : 0;
}

}  // namespace glossmith::bench

using glossmith::bench::Allocate;
using glossmith::bench::AllocateOrThrow;
using glossmith::bench::Release;

void* operator new(std::size_t size) { return AllocateOrThrow(size); }
void* operator new[](std::size_t size) { return AllocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new(std::size_t size, std::align_val_t a) {
  return AllocateOrThrow(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a) {
  return AllocateOrThrow(size, static_cast<std::size_t>(a));
}
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
  return Allocate(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
  return Allocate(size, static_cast<std::size_t>(a));
}

void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Release(p); }
void operator delete(void* p, std::align_val_t) noexcept { Release(p); }
void operator delete[](void* p, std::align_val_t) noexcept { Release(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { Release(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { Release(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { Release(p); }
