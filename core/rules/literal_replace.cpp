#include "core/rules/literal_replace.h"

#include <algorithm>
#include <cstring>

namespace glossmith {
namespace {

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
  std::string_view find_;
  std::size_t compared_ = 0, passed_ = 0;
  bool linear_ = false;
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
  if (find.empty()) return;
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
