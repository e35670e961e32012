#include "core/rules/custom_list.h"

#include <algorithm>

namespace glossmith {

std::vector<std::string> SplitList(std::string_view stored) {
  std::vector<std::string> elements;
  ListReader reader(stored);
  for (std::string_view element; reader.Next(element);) elements.emplace_back(element);
  return elements;
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
  Steps pairs;
  ForEachCustomPair(storedSearch, storedReplace,
                    [&](std::string_view search, std::string_view replacement) {
                      pairs.emplace_back(search, replacement);
                    });
  return pairs;
}

}  // namespace glossmith
