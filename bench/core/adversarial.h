#pragma once

// Rule sets and texts built to make the engine's strategies expensive: values
// that spell other letters, huge Custom lists of long strings, replacements
// that feed their own and later find strings, a find string of 64 KiB, and
// lists in which every byte value is looked for. Each is measured against the
// reference rules on the same text.

#include <cctype>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/rules/custom_list.h"
#include "core/rules/hardcore_table.h"
#include "core/settings.h"

namespace glossmith::bench {

inline void StoreCustomList(MemorySettings& store, const std::vector<std::string>& search,
                            const std::vector<std::string>& replace) {
  store.Write(kApp, kSectionChange, kKeySearch, JoinList(search));
  store.Write(kApp, kSectionChange, kKeyReplace, JoinList(replace));
}

inline MemorySettings DefaultTableStore() {
  MemorySettings store;
  WriteHardcoreDefaults(store);
  return store;
}

// Hardcore values A = ten B, B = ten C, ... I = ten J; the rest default. The
// capital steps run first and in order, so one capital A in a text becomes
// 10^9 bytes; the small-letter steps only emit the capitals' values, so on a
// text without capitals A to I the result stays about four times the text.
inline MemorySettings LettersSpellingLetters() {
  MemorySettings store = DefaultTableStore();
  for (char letter = 'A'; letter <= 'I'; ++letter)
    store.Write(kApp, kSectionHardcore, LetterKey(letter),
                std::string(10, static_cast<char>(letter + 1)));
  return store;
}

inline std::string LowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// `count` Custom strings of `minLength` to `maxLength` random characters
// from `first` on (`letters` of them), each replaced by `replacement`.
inline MemorySettings RandomStrings(std::size_t count, std::size_t minLength,
                                    std::size_t maxLength, char first, unsigned letters,
                                    const std::string& replacement) {
  std::mt19937 rng(4242);
  std::vector<std::string> search, replace;
  for (std::size_t i = 0; i < count; ++i) {
    std::string s(minLength + rng() % (maxLength - minLength + 1), ' ');
    for (char& c : s) c = static_cast<char>(first + rng() % letters);
    search.push_back(std::move(s));
    replace.push_back(replacement);
  }
  MemorySettings store = DefaultTableStore();
  StoreCustomList(store, search, replace);
  return store;
}

// `count` Custom strings of `length` random printable characters, each
// replaced by "x".
inline MemorySettings LongRandomStrings(std::size_t count, std::size_t length) {
  return RandomStrings(count, length, length, ' ', 95, "x");
}

// `count` pairs that rotate single letters: a -> b, b -> c, ..., z -> a, and
// again from a.
inline MemorySettings RotatingLetters(std::size_t count) {
  std::vector<std::string> search, replace;
  for (std::size_t i = 0; i < count; ++i) {
    search.emplace_back(1, static_cast<char>('a' + i % 26));
    replace.emplace_back(1, static_cast<char>('a' + (i + 1) % 26));
  }
  MemorySettings store = DefaultTableStore();
  StoreCustomList(store, search, replace);
  return store;
}

// Random letters a to j and spaces.
inline std::string RandomLettersAToJ(std::size_t bytes) {
  std::mt19937 rng(4242);
  std::string text(bytes, ' ');
  for (char& c : text) c = "abcdefghij "[rng() % 11];
  return text;
}

// `count` Custom strings of 5 to 20 random lower-case letters (a block list),
// each replaced by "***".
inline MemorySettings RandomWords(std::size_t count) {
  return RandomStrings(count, 5, 20, 'a', 26, "***");
}

// 24 pairs "a<i mod 7>" -> "a<i+1 mod 7>a<i mod 7>": every replacement holds
// its own find string and the next pair's, so the text grows at every step.
inline MemorySettings SelfFeedingPairs() {
  std::vector<std::string> search, replace;
  for (int i = 0; i < 24; ++i) {
    search.push_back("a" + std::to_string(i % 7));
    replace.push_back("a" + std::to_string((i + 1) % 7) + "a" + std::to_string(i % 7));
  }
  MemorySettings store = DefaultTableStore();
  StoreCustomList(store, search, replace);
  return store;
}

// `tokens` tokens "a0" ... "a8" in turn, a space after every fifth.
inline std::string SelfFeedingText(int tokens) {
  std::string text;
  for (int i = 0; i < tokens; ++i) text += "a" + std::to_string(i % 9) + (i % 5 ? "" : " ");
  return text;
}

// A find string of 64 KiB ("a" x 65535 and "b", replaced by "<"), then
// "ab" -> "ba".
inline constexpr std::size_t kLongFind = 64 * 1024;
inline MemorySettings LongFindString() {
  MemorySettings store = DefaultTableStore();
  StoreCustomList(store, {std::string(kLongFind - 1, 'a') + "b", "ab"}, {"<", "ba"});
  return store;
}

// Runs of `run` 'a's, each followed by `after`, to `bytes` bytes at least.
inline std::string RunsOfA(std::size_t run, const std::string& after, std::size_t bytes) {
  std::string text;
  while (text.size() < bytes) text += std::string(run, 'a') + after;
  return text;
}

// Every byte value is the first byte of a find string (odd ones followed by
// "y"), replaced by its complement; CR only as "\r" "z", since a lone CR
// cannot end a stored entry.
inline MemorySettings EveryByteValue() {
  std::vector<std::string> search, replace;
  for (int b = 0; b < 256; ++b) {
    if (b == '\r') continue;
    search.push_back(std::string(1, static_cast<char>(b)) + (b % 2 ? "y" : ""));
    replace.push_back(std::string(1, static_cast<char>(255 - b)));
  }
  search.emplace_back("\rz");
  replace.emplace_back("r");
  MemorySettings store = DefaultTableStore();
  StoreCustomList(store, search, replace);
  return store;
}

inline std::string RandomBytes(std::size_t bytes) {
  std::mt19937 rng(4242);
  std::string text(bytes, '\0');
  for (char& c : text) c = static_cast<char>(rng() % 256);
  return text;
}

}  // namespace glossmith::bench
