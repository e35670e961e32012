#pragma once

// Live heap bytes of the benchmark program, counted by the global operator new
// and delete of heap_meter.cpp at each block's usable size (what the block
// really takes from the heap). Blocks from malloc called directly are not
// counted; the engine and the reference allocate through new only.

#include <cstddef>
#include <string>

namespace glossmith::bench {

std::size_t LiveHeapBytes();

// The heap bytes that `text`'s buffer takes (0 for a short string held inline).
std::size_t HeapBytesOf(const std::string& text);

// The highest number of live heap bytes from its construction on, above a
// baseline (the live bytes at construction unless given). One at a time.
class HeapPeak {
 public:
  HeapPeak();
  explicit HeapPeak(std::size_t baseline);
  std::size_t Bytes() const;

 private:
  std::size_t baseline_;
};

}  // namespace glossmith::bench
