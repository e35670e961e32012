// The automaton against a plain search: every occurrence of every pattern at
// every position, and the depth of the node reached, for pattern sets full of
// shared prefixes and suffixes, with the dense table cut at different sizes
// so that the scan crosses between dense and sparse nodes everywhere.

#include "core/engine/aho_corasick.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

namespace glossmith::detail {
namespace {

std::string RandomString(std::mt19937& rng, std::string_view alphabet, std::size_t length) {
  std::string s(length, ' ');
  for (char& c : s) c = alphabet[rng() % alphabet.size()];
  return s;
}

struct Case {
  const char* name;
  std::vector<std::string> patterns;
  std::string text;
};

std::vector<Case> Cases() {
  std::mt19937 rng(7);
  std::vector<Case> cases;
  {
    Case c{"200 words over abc", {}, RandomString(rng, "abc", 3000)};
    for (int i = 0; i < 200; ++i) c.patterns.push_back(RandomString(rng, "abc", 1 + rng() % 8));
    cases.push_back(std::move(c));
  }
  {
    Case c{"runs of a, ab and ba", {}, RandomString(rng, "aab", 2000) + std::string(40, 'a')};
    for (int n = 1; n <= 12; ++n) c.patterns.emplace_back(n, 'a');
    c.patterns.insert(c.patterns.end(), {"ab", "ba", "aab", "b"});
    cases.push_back(std::move(c));
  }
  {
    std::string bytes;
    for (int b = 0; b < 256; b += 37) bytes += static_cast<char>(b);
    Case c{"bytes, with split bytes in the text", {}, RandomString(rng, bytes + "xyz", 3000)};
    for (int i = 0; i < 60; ++i) c.patterns.push_back(RandomString(rng, bytes, 1 + rng() % 5));
    cases.push_back(std::move(c));
  }
  {
    // Long unbranched tails below a few shared prefixes, and a text made of
    // pieces of them: scans deep into the sparse nodes and out again.
    Case c{"long strings over ab", {}, {}};
    for (int i = 0; i < 40; ++i) c.patterns.push_back(RandomString(rng, "ab", 30 + rng() % 30));
    for (int i = 0; i < 60; ++i) {
      const std::string& p = c.patterns[rng() % c.patterns.size()];
      c.text += p.substr(rng() % 10, 20 + rng() % 40) + RandomString(rng, "ab", rng() % 5);
    }
    cases.push_back(std::move(c));
  }
  return cases;
}

TEST(AhoCorasickTest, FindsWhatAPlainSearchFinds) {
  for (const Case& c : Cases()) {
    std::unordered_set<std::string> prefixes;
    std::size_t longest = 0;
    for (const std::string& p : c.patterns) {
      for (std::size_t n = 0; n <= p.size(); ++n) prefixes.insert(p.substr(0, n));
      longest = std::max(longest, p.size());
    }
    // Every cut of the dense table, from the root alone to all of it.
    for (const std::size_t dense :
         {std::size_t{1}, std::size_t{64}, std::size_t{900}, AhoCorasick::kMaxDenseEntries}) {
      const AhoCorasick automaton(c.patterns, dense);
      if (dense == AhoCorasick::kMaxDenseEntries) {
        const std::vector<std::string_view> views(c.patterns.begin(), c.patterns.end());
        EXPECT_LE(automaton.Bytes(), 4 * AhoCorasick::EntriesFor(views)) << c.name;
      }
      const AhoCorasick::View view = automaton.view();
      std::uint32_t row = 0;
      for (std::size_t end = 1; end <= c.text.size(); ++end) {
        const std::uint32_t entry = view.Read(row, static_cast<unsigned char>(c.text[end - 1]));
        row = AhoCorasick::NextRow(entry);

        std::set<std::uint32_t> found, expected;
        automaton.ForEachOutput(row, [&](std::uint32_t p) { found.insert(p); });
        for (std::uint32_t p = 0; p < c.patterns.size(); ++p) {
          const std::string& pattern = c.patterns[p];
          if (pattern.size() <= end &&
              c.text.compare(end - pattern.size(), pattern.size(), pattern) == 0)
            expected.insert(p);
        }
        std::size_t depth = std::min(longest, end);
        while (!prefixes.count(c.text.substr(end - depth, depth))) --depth;

        ASSERT_EQ(found, expected) << c.name << ", dense " << dense << ", end " << end;
        ASSERT_EQ(AhoCorasick::HasOutput(entry), !expected.empty()) << c.name << ", end " << end;
        ASSERT_EQ(automaton.Depth(row), depth) << c.name << ", dense " << dense << ", end " << end;
      }
    }
  }
}

}  // namespace
}  // namespace glossmith::detail
