#pragma once

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

}  // namespace glossmith
