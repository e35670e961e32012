#include "core/rules/literal_replace.h"

namespace glossmith {

std::string ReplaceAll(std::string_view text, std::string_view find,
                       std::string_view replacement) {
  if (find.empty()) return std::string(text);
  std::string out;
  size_t done = 0;
  size_t hit = text.find(find);
  if (hit == std::string_view::npos) return std::string(text);
  out.reserve(text.size());
  while (hit != std::string_view::npos) {
    out.append(text, done, hit - done);
    out.append(replacement);
    done = hit + find.size();
    hit = text.find(find, done);
  }
  out.append(text, done, std::string_view::npos);
  return out;
}

void ReplaceAllInPlace(std::string& text, std::string_view find, std::string_view replacement) {
  if (find.empty() || text.find(find) == std::string::npos) return;
  text = ReplaceAll(text, find, replacement);
}

void RunStepByStep(std::string& text, std::span<const std::pair<std::string, std::string>> steps) {
  for (const auto& [find, replacement] : steps) ReplaceAllInPlace(text, find, replacement);
}

std::size_t HeapBytes(const std::string& text) {
  // Short strings live inside the string object itself.
  return text.capacity() > std::string().capacity() ? text.capacity() + 1 : 0;
}

std::size_t HeapBytes(const Steps& steps) {
  std::size_t bytes = steps.capacity() * sizeof(Steps::value_type);
  for (const auto& [find, replacement] : steps) bytes += HeapBytes(find) + HeapBytes(replacement);
  return bytes;
}

}  // namespace glossmith
