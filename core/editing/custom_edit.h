#pragma once

// The edits that the Custom String Editor makes to the Custom string list
// (core/rules/custom_list.h). Each function takes the two stored values
// exactly as just read ("search" and "replace" of section "change") and
// returns what to write back, or, when the stored lists cannot be edited
// without breaking the pairing of entries, why not; the caller then writes
// nothing.
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
#include <utility>
#include <vector>

namespace glossmith {

// Why an edit was refused.
enum class ListRefusal {
  kEmptySearch,       // the new search string is empty
  kSearchNotInForm,   // "search" is not its n entries, each followed by CR LF
  kReplaceNotPaired,  // "replace" lacks a replacement that is needed or kept,
                      // or (for an Add) is not exactly n entries, each followed by CR LF
  kNotListed,         // no search entry equals the selected string
};

// The result of an edit, or why it was refused.
template <typename T>
class ListEdit {
 public:
  ListEdit(T value) : value_(std::move(value)) {}
  ListEdit(ListRefusal refusal) : refusal_(refusal) {}

  bool has_value() const { return value_.has_value(); }
  explicit operator bool() const { return has_value(); }
  const T& operator*() const { return *value_; }
  T& operator*() { return *value_; }
  const T* operator->() const { return &*value_; }
  T* operator->() { return &*value_; }
  // Only for a refused edit.
  ListRefusal refusal() const { return refusal_; }

  bool operator==(const ListEdit&) const = default;

 private:
  std::optional<T> value_;
  ListRefusal refusal_ = ListRefusal::kEmptySearch;
};

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
// Refused when `search` is empty (after dropping line breaks), and when the
// stored values are not exactly n search entries and n replacements, each
// followed by CR LF: appending to such a store (one edited by hand) would
// join the new text onto an old entry, pair it with the wrong replacement,
// or hide it behind an empty entry.
ListEdit<CustomListValues> AddPair(std::string_view storedSearch, std::string_view storedReplace,
                                   std::string_view search, std::string_view replacement);

// The new "replace" value in which the replacement at the selected index of
// `selected` is `replacement`: exactly n entries, replacements beyond the
// n-th dropped. "search" does not change. Refused when no search entry
// equals `selected` or when "replace" lacks an element that is kept.
ListEdit<std::string> UpdateReplacement(std::string_view storedSearch,
                                        std::string_view storedReplace, std::string_view selected,
                                        std::string_view replacement);

struct ErasedPair {
  CustomListValues values;
  std::size_t index;  // the selected index: the position of the erased pair

  bool operator==(const ErasedPair&) const = default;
};

// Both lists rebuilt from their first n entries without the pair at the
// selected index of `selected`. Refused like UpdateReplacement.
ListEdit<ErasedPair> ErasePair(std::string_view storedSearch, std::string_view storedReplace,
                               std::string_view selected);

// `text` without any CR or LF.
std::string WithoutLineBreaks(std::string_view text);

}  // namespace glossmith
