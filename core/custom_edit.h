#pragma once

// The edits that the Custom String Editor makes to the Custom string list
// (custom_list.h). Each function takes the two stored values exactly as just
// read ("search" and "replace" of section "change") and returns what to write
// back; it returns nothing when the stored lists cannot be edited without
// breaking the pairing of entries, and the caller then writes nothing.
//
// Terms used below:
//   - the search entries are the elements of "search" before its first empty
//     element; there are n of them;
//   - replacement j is element j of "replace", which may be empty;
//   - the selected index of a search string is the index of the LAST search
//     entry equal to it (exactly, letter case counts), while a lookup for
//     display uses the FIRST; the two differ only for a string stored twice.
//
// New texts never carry a line break into a list: every CR and LF in them is
// dropped, so a pasted line cannot split one entry into two.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glossmith {

struct CustomListValues {
  std::string search;
  std::string replace;

  bool operator==(const CustomListValues&) const = default;
};

// The search entries, in stored order: what the editor lists.
std::vector<std::string> SearchEntries(std::string_view storedSearch);

// The replacement of the first search entry equal to `selected`; nothing when
// no entry matches or "replace" has no element at that index.
std::optional<std::string> ShownReplacement(std::string_view storedSearch,
                                            std::string_view storedReplace,
                                            std::string_view selected);

// Appends the pair (search, replacement) to the end of both lists.
// Fails when `search` is empty (after dropping line breaks), and when the
// stored values are not exactly n search entries and n replacements, each
// followed by CR LF: appending to such a store (one edited by hand) would
// join the new text onto an old entry, pair it with the wrong replacement,
// or hide it behind an empty entry.
std::optional<CustomListValues> AddPair(std::string_view storedSearch,
                                        std::string_view storedReplace,
                                        std::string_view search, std::string_view replacement);

// The new "replace" value in which the replacement at the selected index of
// `selected` is `replacement`: exactly n entries, replacements beyond the
// n-th dropped. "search" does not change. Fails when no search entry equals
// `selected` or when "replace" lacks an element that is kept.
std::optional<std::string> UpdateReplacement(std::string_view storedSearch,
                                             std::string_view storedReplace,
                                             std::string_view selected,
                                             std::string_view replacement);

struct ErasedPair {
  CustomListValues values;
  std::size_t index;  // the selected index: the position of the erased pair

  bool operator==(const ErasedPair&) const = default;
};

// Both lists rebuilt from their first n entries without the pair at the
// selected index of `selected`. Fails like UpdateReplacement.
std::optional<ErasedPair> ErasePair(std::string_view storedSearch, std::string_view storedReplace,
                                    std::string_view selected);

// `text` without any CR or LF.
std::string WithoutLineBreaks(std::string_view text);

}  // namespace glossmith
