#include "core/rules/custom_list.h"

#include <algorithm>

namespace glossmith {

std::vector<std::string> SplitList(std::string_view stored) {
  std::vector<std::string> elements;
  if (stored.empty()) return elements;
  size_t start = 0;
  for (;;) {
    size_t brk = stored.find(kListBreak, start);
    if (brk == std::string_view::npos) {
      elements.emplace_back(stored.substr(start));
      return elements;
    }
    elements.emplace_back(stored.substr(start, brk - start));
    start = brk + kListBreak.size();
  }
}

std::string JoinList(const std::vector<std::string>& entries) {
  std::string stored;
  for (const auto& entry : entries) {
    stored += entry;
    stored += kListBreak;
  }
  return stored;
}

std::size_t CountSearchEntries(const std::vector<std::string>& searchElements) {
  auto firstEmpty = std::find_if(searchElements.begin(), searchElements.end(),
                                 [](const std::string& s) { return s.empty(); });
  return static_cast<std::size_t>(firstEmpty - searchElements.begin());
}

Steps CustomPairs(std::string_view storedSearch, std::string_view storedReplace) {
  std::vector<std::string> search = SplitList(storedSearch);
  std::vector<std::string> replace = SplitList(storedReplace);
  Steps pairs;
  for (size_t i = 0; i < kMaxCustomPairs; ++i) {
    if (i >= search.size() || search[i].empty()) break;
    if (i >= replace.size()) break;
    pairs.emplace_back(std::move(search[i]), std::move(replace[i]));
  }
  return pairs;
}

}  // namespace glossmith
