#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace glossmith::bench {

// English prose of about `bytes` bytes: sentences from a fixed word list with
// commas and full stops, a few sentences to a line, CR LF line breaks. The same
// every run.
inline std::string EnglishText(std::size_t bytes) {
  static constexpr std::array<std::string_view, 32> kWords = {
      "the",   "hacker", "newbie", "you",    "rock",   "dude",  "elite", "and",
      "a",     "planet", "cool",   "what",   "are",    "people", "is",   "to",
      "of",    "system", "owned",  "sucks",  "leet",   "hack",  "for",   "that",
      "with",  "this",   "games",  "freak",  "please", "music", "later", "fear"};
  std::string text;
  text.reserve(bytes + 128);
  std::uint32_t seed = 12345;
  const auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return seed >> 16;
  };
  int sentencesOnLine = 0;
  while (text.size() < bytes) {
    const int words = 4 + static_cast<int>(next() % 10);
    for (int i = 0; i < words; ++i) {
      std::string_view word = kWords[next() % kWords.size()];
      if (i == 0) {
        text += static_cast<char>(word[0] - 'a' + 'A');
        word.remove_prefix(1);
      }
      text += word;
      if (i + 1 < words) text += (next() % 7 == 0) ? ", " : " ";
    }
    text += (next() % 5 == 0) ? "!" : ".";
    if (++sentencesOnLine == 3) {
      text += "\r\n";
      sentencesOnLine = 0;
    } else {
      text += ' ';
    }
  }
  return text;
}

}  // namespace glossmith::bench
