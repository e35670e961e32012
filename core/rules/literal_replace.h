#pragma once

#include <concepts>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace glossmith {

// One translation step: replaces every occurrence of `find` in `text` by
// `replacement` and returns the result.
//
// - Bytes are compared exactly; letter case counts.
// - The scan runs left to right from the first byte. After a match it resumes
//   right behind the matched text, so matches never overlap ("aaa" with find
//   "aa" replaces the first two bytes only).
// - Inserted text is not rescanned by this call: replacing "a" by "aa" does
//   not loop. Later steps of a chain do see it.
// - An empty `find` leaves the text unchanged; an empty `replacement` deletes
//   the occurrences.
//
// Works on any bytes: UTF-8 find strings match whole characters only, and
// invalid UTF-8 or NUL bytes in the text pass through untouched.
std::string ReplaceAll(std::string_view text, std::string_view find, std::string_view replacement);

// The same, applied to `text` in place.
void ReplaceAllInPlace(std::string& text, std::string_view find, std::string_view replacement);

// A literal replace step that owns its strings.
struct OwnedStep {
  std::string find;
  std::string replacement;

  OwnedStep() = default;
  // From anything a std::string is made from (string_view included).
  template <typename Find, typename Replacement>
  requires std::constructible_from<std::string, Find&&> &&
      std::constructible_from<std::string, Replacement&&>
      OwnedStep(Find&& f, Replacement&& r)
      : find(std::forward<Find>(f)), replacement(std::forward<Replacement>(r)) {}
  bool operator==(const OwnedStep&) const = default;
};
// A chain of them, applied in order.
using Steps = std::vector<OwnedStep>;

// Applies one step to `text` in place, as ReplaceAll would. A replacement no
// longer than its find string is written over the text; a longer one is
// built in `spare`, which then trades places with `text`, so that a chain
// reuses the same two buffers. Runs at the speed of memory, and in time
// linear in the text whatever the find string.
void ReplaceStep(std::string& text, std::string& spare, std::string_view find,
                 std::string_view replacement);

// Applies `steps` to `text` one after another, in place: the plain way every
// faster runner of a chain is measured against and falls back to, and what
// the reference rules run. Any range of (find, replacement) pairs.
template <typename Chain>
void RunStepByStep(std::string& text, const Chain& steps) {
  std::string spare;
  for (const auto& [find, replacement] : steps) ReplaceStep(text, spare, find, replacement);
}

// Heap bytes held by a string or a list of steps (for what an engine keeps).
std::size_t HeapBytes(const std::string& text);
std::size_t HeapBytes(const Steps& steps);

}  // namespace glossmith
