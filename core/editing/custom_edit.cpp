#include "core/editing/custom_edit.h"

#include <algorithm>

#include "core/rules/custom_list.h"

namespace glossmith {

namespace {

// The search entries split off the stored value, with their count.
struct Entries {
  std::vector<std::string> elements;
  std::size_t count;
};

Entries ReadSearch(std::string_view storedSearch) {
  Entries entries{SplitList(storedSearch), 0};
  entries.count = CountSearchEntries(entries.elements);
  return entries;
}

std::optional<std::size_t> LastIndexOf(const Entries& entries, std::string_view selected) {
  for (std::size_t i = entries.count; i-- > 0;)
    if (entries.elements[i] == selected) return i;
  return std::nullopt;
}

// Replacements 0..n-1 with the one at `skip` left to the caller; fails when a
// needed element is missing, which only a store edited by hand can cause.
ListEdit<std::vector<std::string>> KeptReplacements(std::string_view storedReplace,
                                                         std::size_t n, std::size_t skip) {
  std::vector<std::string> replace = SplitList(storedReplace);
  if (replace.size() < n && !(replace.size() == n - 1 && skip == n - 1))
    return ListRefusal::kReplaceNotPaired;
  replace.resize(n);
  return replace;
}

// The pair that Update and Erase act on: the last search entry equal to
// `selected`, with the replacements kept as stored.
struct SelectedPair {
  Entries entries;
  std::size_t index;
  std::vector<std::string> replace;
};

ListEdit<SelectedPair> FindSelected(std::string_view storedSearch, std::string_view storedReplace,
                                    std::string_view selected) {
  Entries entries = ReadSearch(storedSearch);
  const std::optional<std::size_t> index = LastIndexOf(entries, selected);
  if (!index) return ListRefusal::kNotListed;
  ListEdit<std::vector<std::string>> kept =
      KeptReplacements(storedReplace, entries.count, *index);
  if (!kept) return kept.refusal();
  return SelectedPair{std::move(entries), *index, std::move(*kept)};
}

}  // namespace

std::vector<std::string> SearchEntries(std::string_view storedSearch) {
  Entries entries = ReadSearch(storedSearch);
  entries.elements.resize(entries.count);
  return std::move(entries.elements);
}

std::optional<std::string> ShownReplacement(std::string_view storedSearch,
                                            std::string_view storedReplace,
                                            std::string_view selected) {
  const Entries entries = ReadSearch(storedSearch);
  const auto end = entries.elements.begin() + static_cast<std::ptrdiff_t>(entries.count);
  const auto first = std::find(entries.elements.begin(), end, selected);
  if (first == end) return std::nullopt;
  const auto index = static_cast<std::size_t>(first - entries.elements.begin());
  std::vector<std::string> replace = SplitList(storedReplace);
  if (index >= replace.size()) return std::nullopt;
  return std::move(replace[index]);
}

ListEdit<CustomListValues> AddPair(std::string_view storedSearch, std::string_view storedReplace,
                                   std::string_view search, std::string_view replacement) {
  std::string newSearch = WithoutLineBreaks(search);
  if (newSearch.empty()) return ListRefusal::kEmptySearch;

  Entries entries = ReadSearch(storedSearch);
  const std::size_t n = entries.count;
  entries.elements.resize(n);
  if (JoinList(entries.elements) != storedSearch) return ListRefusal::kSearchNotInForm;
  std::vector<std::string> replace = SplitList(storedReplace);
  if (replace.size() < n) return ListRefusal::kReplaceNotPaired;
  replace.resize(n);
  if (JoinList(replace) != storedReplace) return ListRefusal::kReplaceNotPaired;

  CustomListValues values{std::string(storedSearch), std::string(storedReplace)};
  values.search += newSearch;
  values.search += kListBreak;
  values.replace += WithoutLineBreaks(replacement);
  values.replace += kListBreak;
  return values;
}

ListEdit<std::string> UpdateReplacement(std::string_view storedSearch,
                                        std::string_view storedReplace, std::string_view selected,
                                        std::string_view replacement) {
  ListEdit<SelectedPair> pair = FindSelected(storedSearch, storedReplace, selected);
  if (!pair) return pair.refusal();
  pair->replace[pair->index] = WithoutLineBreaks(replacement);
  return JoinList(pair->replace);
}

ListEdit<ErasedPair> ErasePair(std::string_view storedSearch, std::string_view storedReplace,
                               std::string_view selected) {
  ListEdit<SelectedPair> pair = FindSelected(storedSearch, storedReplace, selected);
  if (!pair) return pair.refusal();
  std::vector<std::string>& search = pair->entries.elements;
  search.resize(pair->entries.count);
  const auto at = static_cast<std::ptrdiff_t>(pair->index);
  search.erase(search.begin() + at);
  pair->replace.erase(pair->replace.begin() + at);
  return ErasedPair{{JoinList(search), JoinList(pair->replace)}, pair->index};
}

std::string WithoutLineBreaks(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (char c : text)
    if (c != '\r' && c != '\n') result += c;
  return result;
}

}  // namespace glossmith
