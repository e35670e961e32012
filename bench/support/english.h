#pragma once

// English text for the benchmarks, generated or read from Debian's licenses.

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace glossmith::bench {

// Deterministic English of `bytes` bytes: sentences of common words and of the
// words the rules respell, with commas, question marks, quotes and full stops,
// capitalised sentence starts and a CR LF after every few sentences.
inline std::string EnglishProse(std::size_t bytes) {
  static constexpr std::array<std::string_view, 64> kWords = {
      "the",    "of",     "and",   "to",    "a",      "in",     "is",     "you",
      "that",   "it",     "he",    "was",   "for",    "on",     "are",    "as",
      "with",   "his",    "they",  "at",    "be",     "this",   "have",   "from",
      "or",     "one",    "had",   "by",    "word",   "but",    "not",    "what",
      "all",    "were",   "we",    "when",  "your",   "can",    "said",   "there",
      "use",    "each",   "which", "she",   "do",     "how",    "their",  "if",
      "hack",   "dude",   "newbie", "elite", "rock",  "sucks",  "woot",   "planet",
      "passes", "less",   "fun",   "first", "system", "people", "hello",  "world"};
  std::string text;
  text.reserve(bytes + 256);
  std::uint64_t state = 0x9E3779B97F4A7C15u;
  auto next = [&state] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  };
  int sentences = 0;
  while (text.size() < bytes) {
    const int words = 4 + static_cast<int>(next() % 12);
    for (int i = 0; i < words; ++i) {
      std::string_view word = kWords[next() % kWords.size()];
      if (i == 0) {
        text += static_cast<char>(word[0] - 'a' + 'A');
        word.remove_prefix(1);
      }
      text += word;
      if (i + 1 == words) break;
      const auto mark = next() % 16;
      text += mark == 0 ? ", " : mark == 1 ? "; " : " ";
    }
    const auto end = next() % 8;
    text += end == 0 ? "?" : end == 1 ? "!\"" : ".";
    text += ++sentences % 4 == 0 ? "\r\n" : " ";
  }
  text.resize(bytes);
  return text;
}

// Real English of `bytes` bytes: the regular files of `folder` (symbolic links
// left out), in name order, joined and repeated. Empty when the folder holds
// none. Generated text matches the rules at rates no real text has; this shows
// what real prose costs.
inline std::string LicenseProse(
    std::size_t bytes, const std::filesystem::path& folder = "/usr/share/common-licenses") {
  std::vector<std::filesystem::path> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error))
    if (entry.is_regular_file() && !entry.is_symlink()) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  std::string all;
  for (const auto& file : files) {
    std::ifstream in(file, std::ios::binary);
    all.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  if (all.empty()) return all;
  std::string text;
  text.reserve(bytes);
  while (text.size() < bytes) text.append(all, 0, std::min(all.size(), bytes - text.size()));
  return text;
}

}  // namespace glossmith::bench
