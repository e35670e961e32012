#include "core/rules/literal_replace.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <utility>

namespace glossmith {
namespace {

// The first index in [from, to) where a and b differ, or `to`; eight bytes
// at a time.
std::size_t Mismatch(const char* a, const char* b, std::size_t from, std::size_t to) {
  for (; from + 8 <= to; from += 8) {
    std::uint64_t x, y;
    std::memcpy(&x, a + from, 8);
    std::memcpy(&y, b + from, 8);
    if (const std::uint64_t differ = x ^ y; differ != 0) {
      const int bit = std::endian::native == std::endian::little ? std::countr_zero(differ)
                                                                 : std::countl_zero(differ);
      return from + static_cast<std::size_t>(bit / 8);
    }
  }
  while (from < to && a[from] == b[from]) ++from;
  return from;
}

// Crochemore and Perrin's two-way search for a long find string, its tables
// built once for all the occurrences in a text (memmem builds them again at
// every call): time linear in the text and the find string, whatever they
// hold, and the find string compared eight bytes at a time.
class TwoWay {
 public:
  explicit TwoWay(std::string_view find) : find_(find) {
    const auto m = static_cast<std::ptrdiff_t>(find.size());
    // The critical factorisation: the later of the maximal suffixes for the
    // two orders of the bytes, with its period.
    const auto [forward, forwardPeriod] = MaximalSuffix(false);
    const auto [backward, backwardPeriod] = MaximalSuffix(true);
    split_ = std::max(forward, backward) + 1;
    period_ = backward > forward ? backwardPeriod : forwardPeriod;
    if (std::memcmp(find.data(), find.data() + period_, static_cast<std::size_t>(split_)) == 0) {
      // Periodic: after a shift by the period, what matched of the right
      // half matches again.
      memory_ = m - period_;
    } else {
      memory_ = 0;
      period_ = std::max(split_ - 1, m - split_) + 1;
    }
    // How far the window may move on for its last byte: to line that byte up
    // with its last occurrence in the find string, or past it.
    shift_.fill(m);
    for (std::ptrdiff_t i = 0; i + 1 < m; ++i)
      shift_[static_cast<unsigned char>(find[i])] = m - 1 - i;
    shift_[static_cast<unsigned char>(find[m - 1])] = 0;
  }

  // The first occurrence in [from, end), or nullptr.
  const char* Find(const char* from, const char* end) const {
    const auto m = static_cast<std::ptrdiff_t>(find_.size());
    const char* const n = find_.data();
    std::ptrdiff_t memory = 0;  // bytes at the window's start known to match
    for (const char* h = from; end - h >= m;) {
      if (const std::ptrdiff_t skip = shift_[static_cast<unsigned char>(h[m - 1])]; skip != 0) {
        h += std::max(skip, memory);
        memory = 0;
        continue;
      }
      const auto right = static_cast<std::ptrdiff_t>(Mismatch(
          n, h, static_cast<std::size_t>(std::max(split_, memory)), static_cast<std::size_t>(m)));
      if (right < m) {
        h += right - split_ + 1;
        memory = 0;
        continue;
      }
      if (std::memcmp(n + memory, h + memory,
                      static_cast<std::size_t>(std::max<std::ptrdiff_t>(split_ - memory, 0))) == 0)
        return h;
      h += period_;
      memory = memory_;
    }
    return nullptr;
  }

 private:
  // The start of the longest suffix that is largest for the order of the
  // bytes (or of the reversed order), less one, and its period.
  std::pair<std::ptrdiff_t, std::ptrdiff_t> MaximalSuffix(bool reversed) const {
    const auto m = static_cast<std::ptrdiff_t>(find_.size());
    std::ptrdiff_t start = -1, j = 0, k = 1, period = 1;
    while (j + k < m) {
      const auto a = static_cast<unsigned char>(find_[start + k]);
      const auto b = static_cast<unsigned char>(find_[j + k]);
      if (a == b) {
        if (k == period) {
          j += period;
          k = 1;
        } else {
          ++k;
        }
      } else if (reversed ? a < b : a > b) {
        j += k;
        k = 1;
        period = j - start;
      } else {
        start = j++;
        k = period = 1;
      }
    }
    return {start, period};
  }

  std::string_view find_;
  std::ptrdiff_t split_;   // the right half starts here
  std::ptrdiff_t period_;  // the shift after the right half matched
  std::ptrdiff_t memory_;  // the bytes known to match after that shift
  std::array<std::ptrdiff_t, 256> shift_;
};

// Finds the occurrences of one find string (not empty), left to right.
// memchr for the first byte and a comparison of the rest is fastest on
// ordinary text, where that byte is rare, but costs a call and a comparison
// wherever it occurs: at nearly every byte of "a0a1a2..." against "a1a0",
// and of a long run of "a" against "aaa...ab", the whole find string. Once
// that work (the bytes compared, and kCallBytes a call) passes twice the
// bytes passed over, the rest of the text is searched with memmem, which
// skips ahead on a table of the find string's bytes and is linear in the
// worst case.
class Searcher {
 public:
  explicit Searcher(std::string_view find) : find_(find) {}

  // The first occurrence in [from, end), or nullptr.
  const char* Next(const char* from, const char* end) {
    const std::size_t m = find_.size();
    if (static_cast<std::size_t>(end - from) < m) return nullptr;
    if (m == 1)
      return static_cast<const char*>(
          std::memchr(from, find_[0], static_cast<std::size_t>(end - from)));
    if (twoWay_) return twoWay_->Find(from, end);
    if (linear_)
      return static_cast<const char*>(
          memmem(from, static_cast<std::size_t>(end - from), find_.data(), m));
    const char* const last = end - m;  // the last place an occurrence can start
    for (const char* p = from; p <= last; ++p) {
      p = static_cast<const char*>(
          std::memchr(p, find_[0], static_cast<std::size_t>(last - p) + 1));
      if (!p) return nullptr;
      if (std::memcmp(p + 1, find_.data() + 1, m - 1) == 0) return p;
      compared_ += m + kCallBytes;
      passed_ += static_cast<std::size_t>(p - from) + 1;
      from = p + 1;
      if (compared_ > 2 * passed_ + kAllowance) {
        linear_ = true;
        if (m >= kTwoWayFind) twoWay_.emplace(find_);
        return Next(from, end);
      }
    }
    return nullptr;
  }

 private:
  // A call of memchr costs about as much as scanning this many bytes.
  static constexpr std::size_t kCallBytes = 32;
  // Work allowed up front, so that a short text is not searched with
  // memmem, which builds its table at every call, for a few hits.
  static constexpr std::size_t kAllowance = 128;
  // Find strings this long are searched with TwoWay rather than memmem.
  static constexpr std::size_t kTwoWayFind = 64;
  std::string_view find_;
  std::size_t compared_ = 0, passed_ = 0;
  bool linear_ = false;
  std::optional<TwoWay> twoWay_;
};

// Writes the result of replacing every occurrence, the first at `hit`, after
// `out`'s contents.
void AppendReplaced(std::string_view text, const char* hit, Searcher& searcher,
                    std::string_view find, std::string_view replacement, std::string& out) {
  const char* done = text.data();
  const char* const end = text.data() + text.size();
  while (hit) {
    out.append(done, hit);
    out.append(replacement);
    done = hit + find.size();
    hit = searcher.Next(done, end);
  }
  out.append(done, end);
}

}  // namespace

std::string ReplaceAll(std::string_view text, std::string_view find, std::string_view replacement) {
  std::string out(text);
  std::string spare;
  ReplaceStep(out, spare, find, replacement);
  return out;
}

void ReplaceAllInPlace(std::string& text, std::string_view find, std::string_view replacement) {
  std::string spare;
  ReplaceStep(text, spare, find, replacement);
}

void ReplaceStep(std::string& text, std::string& spare, std::string_view find,
                 std::string_view replacement) {
  if (find.empty() || find.size() > text.size()) return;
  char* const begin = text.data();
  char* const end = begin + text.size();
  Searcher searcher(find);
  const char* hit = searcher.Next(begin, end);
  if (!hit) return;

  if (find.size() == 1 && replacement.size() == 1) {
    // One pass that the compiler vectorises: memchr per occurrence would
    // cost more where they are dense.
    const char from = find[0], to = replacement[0];
    for (char* c = begin + (hit - begin); c != end; ++c) *c = *c == from ? to : *c;
    return;
  }
  if (replacement.size() <= find.size()) {
    // Compact in place: what is written never passes what is still to read.
    char* write = begin + (hit - begin);
    const char* read = hit;
    while (hit) {
      if (write != hit) std::memmove(write, read, static_cast<std::size_t>(hit - read));
      write += hit - read;
      std::memcpy(write, replacement.data(), replacement.size());
      write += replacement.size();
      read = hit + find.size();
      hit = searcher.Next(read, end);
    }
    std::memmove(write, read, static_cast<std::size_t>(end - read));
    write += end - read;
    text.resize(static_cast<std::size_t>(write - begin));
    return;
  }
  spare.clear();
  spare.reserve(text.size() + text.size() / 8 + replacement.size());
  AppendReplaced(text, hit, searcher, find, replacement, spare);
  text.swap(spare);
}

std::size_t HeapBytes(const std::string& text) {
  // Short strings live inside the string object itself.
  return text.capacity() > std::string().capacity() ? text.capacity() + 1 : 0;
}

std::size_t HeapBytes(const Steps& steps) {
  std::size_t bytes = steps.capacity() * sizeof(Steps::value_type);
  for (const auto& [find, replacement] : steps) bytes += HeapBytes(find) + HeapBytes(replacement);
  return bytes;
}

}  // namespace glossmith
