#include "core/engine/page_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

namespace glossmith::detail {
namespace {

// Every byte asked for is usable and keeps its value through moves, on both
// sides of the size where huge pages start; past it they start 2 MB aligned.
TEST(PageMemoryTest, HoldsEveryByteAndAlignsTheHugePart) {
  constexpr std::size_t kSmall = PageMemory::kSmallPagesBytes;
  for (const std::size_t size : {std::size_t{0}, std::size_t{1}, kSmall - 1, kSmall, kSmall + 1,
                                 kSmall + PageMemory::kHugePageBytes + 4097}) {
    PageMemory memory(size);
    ASSERT_EQ(memory.size(), size);
    for (std::size_t i = 0; i < size; ++i) memory.data()[i] = static_cast<char>(i % 251);
    if (size > kSmall) {
      const auto huge = reinterpret_cast<std::uintptr_t>(memory.data() + kSmall);
      EXPECT_EQ(huge % PageMemory::kHugePageBytes, 0u) << size;
    }
    PageMemory moved(std::move(memory));
    PageMemory assigned(64);
    assigned = std::move(moved);
    ASSERT_EQ(assigned.size(), size);
    std::size_t wrong = 0;
    for (std::size_t i = 0; i < size; ++i)
      wrong += assigned.data()[i] != static_cast<char>(i % 251);
    EXPECT_EQ(wrong, 0u) << size;
  }
}

}  // namespace
}  // namespace glossmith::detail
