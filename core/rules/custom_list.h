#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/rules/literal_replace.h"

namespace glossmith {

// The Custom string list is stored as two values, "search" and "replace" in
// section "change": parallel lists in which every entry is its text followed
// by a carriage return and line feed. So the entries "dude" and "rock" are
// stored as "dude\r\nrock\r\n".

inline constexpr std::string_view kListBreak = "\r\n";

// Splits a stored list at every CR LF. An empty value has no elements; a value
// ending in CR LF gives a final empty element; consecutive pairs give empty
// elements. A lone CR or LF is part of its element.
std::vector<std::string> SplitList(std::string_view stored);

// Inverse of SplitList for entries that hold no CR LF: every entry followed by CR LF.
std::string JoinList(const std::vector<std::string>& entries);

// The number of search entries: the elements before the first empty one.
std::size_t CountSearchEntries(const std::vector<std::string>& searchElements);

// The pairs that a translation applies, in list order, as (search, replacement).
// Pair i is applied while search element i exists and is not empty and
// replacement element i exists; the first pair that fails a test ends the
// list, and at most kMaxCustomPairs pairs are applied.
inline constexpr std::size_t kMaxCustomPairs = 32768;
Steps CustomPairs(std::string_view storedSearch, std::string_view storedReplace);

// Reads a stored list element by element, as SplitList splits it, without
// copying: each element is a view into `stored`.
class ListReader {
 public:
  explicit ListReader(std::string_view stored) : rest_(stored), more_(!stored.empty()) {}

  // The next element into `element`; false past the last one.
  bool Next(std::string_view& element) {
    if (!more_) return false;
    const std::size_t brk = rest_.find(kListBreak);
    if (brk == std::string_view::npos) {
      element = rest_;
      more_ = false;
    } else {
      element = rest_.substr(0, brk);
      rest_.remove_prefix(brk + kListBreak.size());
    }
    return true;
  }

 private:
  std::string_view rest_;
  bool more_;
};

// Calls visit(search, replacement) for each pair that CustomPairs gives, in
// the same order, as views into the stored values; returns how many there
// were. A long list is read without a copy of its strings.
template <typename Visit>
std::size_t ForEachCustomPair(std::string_view storedSearch, std::string_view storedReplace,
                              Visit visit) {
  ListReader search(storedSearch), replace(storedReplace);
  std::string_view find, replacement;
  std::size_t pairs = 0;
  while (pairs < kMaxCustomPairs && search.Next(find) && !find.empty() &&
         replace.Next(replacement)) {
    visit(find, replacement);
    ++pairs;
  }
  return pairs;
}

}  // namespace glossmith
