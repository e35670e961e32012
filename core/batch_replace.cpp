#include "batch_replace.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

#include "literal_replace.h"

namespace glossmith::detail {

BatchReplacer::BatchReplacer(const Steps& steps, Limits limits) : limits_(limits) {
  std::array<bool, 256> used{};
  for (const auto& [find, replacement] : steps) {
    if (find.empty()) continue;
    finds_.push_back(find);
    replacements_.push_back(replacement);
    maxFind_ = std::max(maxFind_, find.size());
    for (unsigned char c : find) used[c] = true;
  }
  for (int b = 0; b < 256; ++b) {
    if (used[b]) classOf_[b] = static_cast<std::uint16_t>(classCount_++);
  }

  // The trie, its edges gathered per parent.
  struct Edge {
    std::uint32_t parent;
    std::uint16_t cls;
    std::uint32_t child;
  };
  std::vector<Edge> edges;
  std::unordered_map<std::uint64_t, std::uint32_t> child;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> terms;  // (node, step)
  std::uint32_t nodeCount = 1;
  for (std::uint32_t s = 0; s < finds_.size(); ++s) {
    std::uint32_t node = 0;
    for (unsigned char c : finds_[s]) {
      const std::uint16_t cls = classOf_[c];
      auto [it, added] = child.try_emplace(std::uint64_t{node} << 16 | cls, nodeCount);
      if (added) {
        edges.push_back({node, cls, nodeCount});
        ++nodeCount;
      }
      node = it->second;
    }
    terms.emplace_back(node, s);
  }
  child = {};
  std::sort(terms.begin(), terms.end());
  termBegin_.assign(nodeCount + 1, 0);
  termSteps_.reserve(terms.size());
  for (const auto& [node, step] : terms) {
    ++termBegin_[node + 1];
    termSteps_.push_back(step);
  }
  for (std::uint32_t n = 0; n < nodeCount; ++n) termBegin_[n + 1] += termBegin_[n];

  std::stable_sort(edges.begin(), edges.end(),
                   [](const Edge& a, const Edge& b) { return a.parent < b.parent; });
  std::vector<std::uint32_t> edgeBegin(nodeCount + 1, 0);
  for (const Edge& e : edges) ++edgeBegin[e.parent + 1];
  for (std::uint32_t n = 0; n < nodeCount; ++n) edgeBegin[n + 1] += edgeBegin[n];

  // Breadth first: a node's row starts as a copy of its failure node's row,
  // which is shallower and so already complete.
  const std::uint32_t width = classCount_;
  delta_.assign(std::size_t{nodeCount} * width, 0);
  dict_.assign(nodeCount, 0);
  std::vector<std::uint32_t> fail(nodeCount, 0);
  std::vector<std::uint32_t> queue{0};
  queue.reserve(nodeCount);
  for (std::size_t q = 0; q < queue.size(); ++q) {
    const std::uint32_t u = queue[q];
    std::uint32_t* row = &delta_[std::size_t{u} * width];
    if (u != 0) std::copy_n(&delta_[std::size_t{fail[u]} * width], width, row);
    for (std::uint32_t e = edgeBegin[u]; e < edgeBegin[u + 1]; ++e) {
      const Edge& edge = edges[e];
      const std::uint32_t v = edge.child;
      fail[v] = u == 0 ? 0 : delta_[std::size_t{fail[u]} * width + edge.cls] / width;
      const std::uint32_t f = fail[v];
      dict_[v] = termBegin_[f] != termBegin_[f + 1] ? f : dict_[f];
      row[edge.cls] = v * width;
      queue.push_back(v);
    }
  }
  for (std::uint32_t& entry : delta_) {
    const std::uint32_t node = entry / width;
    if (termBegin_[node] != termBegin_[node + 1] || dict_[node] != 0) entry |= kHasOutput;
  }
  counts_.assign(finds_.size(), 0);
}

bool BatchReplacer::Collect(std::string_view text, std::uint32_t first, std::uint32_t last,
                            std::size_t budget) {
  occurrences_.clear();
  std::fill(counts_.begin() + first, counts_.begin() + last + 1, 0);
  bool fits = true;
  std::uint32_t row = 0;
  const std::uint32_t width = classCount_;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::uint32_t entry = delta_[row + classOf_[bytes[i]]];
    row = entry & ~kHasOutput;
    if (!(entry & kHasOutput)) continue;
    for (std::uint32_t n = row / width; n != 0; n = dict_[n]) {
      for (std::uint32_t t = termBegin_[n]; t < termBegin_[n + 1]; ++t) {
        const std::uint32_t step = termSteps_[t];
        if (step < first || step > last) continue;
        ++counts_[step];
        if (!fits) continue;
        if (occurrences_.size() >= budget) {
          fits = false;
          continue;
        }
        occurrences_.push_back({static_cast<std::uint32_t>(i + 1), step});
      }
    }
  }
  return fits;
}

void BatchReplacer::Choose(std::size_t textSize, std::uint32_t first, std::uint32_t last) {
  // Group the occurrences by step, keeping text order within a step.
  const std::size_t span = last - first + 1;
  std::vector<std::uint32_t> begin(span + 1, 0);
  for (const Occurrence& o : occurrences_) ++begin[o.step - first + 1];
  for (std::size_t s = 0; s < span; ++s) begin[s + 1] += begin[s];
  order_.resize(occurrences_.size());
  {
    std::vector<std::uint32_t> fill(begin.begin(), begin.end() - 1);
    for (std::uint32_t i = 0; i < occurrences_.size(); ++i)
      order_[fill[occurrences_[i].step - first]++] = i;
  }

  covered_.assign(textSize / 64 + 1, 0);
  chosen_.assign(occurrences_.size(), 0);
  auto anyCovered = [this](std::size_t from, std::size_t to) {
    for (std::size_t p = from; p < to;) {
      const std::size_t word = p / 64, bit = p % 64;
      const std::size_t n = std::min<std::size_t>(64 - bit, to - p);
      const std::uint64_t mask = (n == 64 ? ~std::uint64_t{0} : ((std::uint64_t{1} << n) - 1)) << bit;
      if (covered_[word] & mask) return true;
      p += n;
    }
    return false;
  };
  auto cover = [this](std::size_t from, std::size_t to) {
    for (std::size_t p = from; p < to;) {
      const std::size_t word = p / 64, bit = p % 64;
      const std::size_t n = std::min<std::size_t>(64 - bit, to - p);
      covered_[word] |= (n == 64 ? ~std::uint64_t{0} : ((std::uint64_t{1} << n) - 1)) << bit;
      p += n;
    }
  };
  for (std::size_t s = 0; s < span; ++s) {
    // Covered bytes hold the earlier steps' matches and this step's own
    // previous ones, so one test rules out both kinds of overlap.
    const std::size_t length = finds_[first + s].size();
    for (std::uint32_t k = begin[s]; k < begin[s + 1]; ++k) {
      const std::uint32_t i = order_[k];
      const std::size_t end = occurrences_[i].end, start = end - length;
      if (anyCovered(start, end)) continue;
      cover(start, end);
      chosen_[i] = 1;
    }
  }
  matches_.clear();
  for (std::uint32_t i = 0; i < occurrences_.size(); ++i) {
    if (!chosen_[i]) continue;
    const Occurrence& o = occurrences_[i];
    matches_.push_back(
        {o.end - static_cast<std::uint32_t>(finds_[o.step].size()), o.end, o.step});
  }
}

void BatchReplacer::BuildWindow(std::string_view text, std::size_t matchIndex,
                                std::uint32_t threshold, std::uint32_t& lowestUnreplaced) {
  // The text as step `threshold` sees it around match `matchIndex`: matches of
  // earlier steps replaced, the others still original text. Enough bytes on
  // each side for any find string that touches the insertion.
  const std::size_t context = maxFind_ - 1;
  const Match& m = matches_[matchIndex];

  left_.clear();  // built backwards
  std::size_t need = context;
  std::size_t pos = m.start;
  std::ptrdiff_t k = static_cast<std::ptrdiff_t>(matchIndex) - 1;
  while (need > 0 && pos > 0) {
    const std::size_t gapFrom = k >= 0 ? matches_[k].end : 0;
    if (gapFrom < pos) {
      const std::size_t take = std::min(need, pos - gapFrom);
      left_.append(text.rbegin() + static_cast<std::ptrdiff_t>(text.size() - pos),
                   text.rbegin() + static_cast<std::ptrdiff_t>(text.size() - pos + take));
      need -= take;
      pos -= take;
      continue;
    }
    const Match& neighbour = matches_[k--];
    if (neighbour.step < threshold) {
      const std::string& r = replacements_[neighbour.step];
      const std::size_t take = std::min(need, r.size());
      left_.append(r.rbegin(), r.rbegin() + static_cast<std::ptrdiff_t>(take));
      need -= take;
      pos = neighbour.start;
    } else {
      lowestUnreplaced = std::min(lowestUnreplaced, neighbour.step);  // read as original text
    }
  }
  window_.assign(left_.rbegin(), left_.rend());
  window_ += replacements_[m.step];

  need = context;
  pos = m.end;
  std::size_t j = matchIndex + 1;
  while (need > 0 && pos < text.size()) {
    const std::size_t gapTo = j < matches_.size() ? matches_[j].start : text.size();
    if (pos < gapTo) {
      const std::size_t take = std::min(need, gapTo - pos);
      window_.append(text.substr(pos, take));
      need -= take;
      pos += take;
      continue;
    }
    const Match& neighbour = matches_[j++];
    if (neighbour.step < threshold) {
      const std::string& r = replacements_[neighbour.step];
      const std::size_t take = std::min(need, r.size());
      window_.append(r, 0, take);
      need -= take;
      pos = neighbour.end;
    } else {
      lowestUnreplaced = std::min(lowestUnreplaced, neighbour.step);
    }
  }
}

std::uint32_t BatchReplacer::ScanWindow(std::string_view window, std::size_t insertBegin,
                                        std::size_t insertEnd, std::uint32_t low,
                                        std::uint32_t high) const {
  std::uint32_t found = high + 1;
  std::uint32_t row = 0;
  const std::uint32_t width = classCount_;
  for (std::size_t i = 0; i < window.size(); ++i) {
    const std::uint32_t entry = delta_[row + classOf_[static_cast<unsigned char>(window[i])]];
    row = entry & ~kHasOutput;
    if (!(entry & kHasOutput)) continue;
    const std::size_t end = i + 1;
    for (std::uint32_t n = row / width; n != 0; n = dict_[n]) {
      for (std::uint32_t t = termBegin_[n]; t < termBegin_[n + 1]; ++t) {
        const std::uint32_t step = termSteps_[t];
        if (step < low || step >= found) continue;
        const std::size_t start = end - finds_[step].size();
        const bool touches = insertBegin < insertEnd
                                 ? start < insertEnd && end > insertBegin
                                 : start < insertBegin && end > insertBegin;
        if (touches) found = step;
      }
    }
  }
  return found;
}

std::uint32_t BatchReplacer::FirstConflict(std::string_view text, std::uint32_t last) {
  std::uint32_t best = last + 1;
  for (std::size_t m = 0; m < matches_.size(); ++m) {
    std::uint32_t threshold = matches_[m].step + 1;
    while (threshold < best) {
      std::uint32_t lowestUnreplaced = std::numeric_limits<std::uint32_t>::max();
      BuildWindow(text, m, threshold, lowestUnreplaced);
      // The window stays the same for every later step up to the first
      // neighbour read as original text.
      const std::uint32_t high = std::min(best - 1, lowestUnreplaced);
      const std::size_t insertBegin = left_.size();
      const std::size_t insertEnd = insertBegin + replacements_[matches_[m].step].size();
      const std::uint32_t conflict = ScanWindow(window_, insertBegin, insertEnd, threshold, high);
      if (conflict <= high) best = conflict;
      threshold = high + 1;
    }
  }
  return best;
}

void BatchReplacer::RunPiece(std::string_view text, std::string& result) {
  const auto total = static_cast<std::uint32_t>(finds_.size());
  std::string_view current = text;
  std::uint32_t first = 0;
  while (first < total) {
    const std::size_t budget = current.size() + limits_.extraOccurrences;
    std::uint32_t last = total - 1;
    if (!Collect(current, first, last, budget)) {
      std::size_t sum = counts_[first];
      last = first;
      while (last + 1 < total && sum + counts_[last + 1] <= budget) sum += counts_[++last];
      Collect(current, first, last, budget);
    }
    ++passes_;
    Choose(current.size(), first, last);
    const std::uint32_t stop = matches_.empty() ? last + 1 : FirstConflict(current, last);
    // Apply the steps before `stop`; later ones run again on the new text.
    bool changed = false;
    for (const Match& m : matches_) changed |= m.step < stop;
    if (changed) {
      std::string& target = current.data() == result.data() ? scratch_ : result;
      target.clear();
      std::size_t done = 0;
      for (const Match& m : matches_) {
        if (m.step >= stop) continue;
        target.append(current.substr(done, m.start - done));
        target += replacements_[m.step];
        done = m.end;
      }
      target.append(current.substr(done));
      current = target;
    }
    first = stop;
  }
  if (current.data() == scratch_.data())
    result.swap(scratch_);
  else if (current.data() != result.data())
    result.assign(text);
}

void BatchReplacer::Run(std::string_view text, std::string& out) {
  passes_ = 0;
  if (text.empty() || finds_.empty()) {
    out.assign(text);
    return;
  }
  if (text.size() <= limits_.pieceBytes) {
    RunPiece(text, out);
    return;
  }
  out.clear();
  std::string piece;
  std::size_t from = 0;
  while (from < text.size()) {
    std::size_t to = std::min(text.size(), from + limits_.pieceBytes);
    while (to < text.size() && !IsBoundary(static_cast<unsigned char>(text[to - 1]))) ++to;
    if (to - from > std::numeric_limits<std::uint32_t>::max() - limits_.extraOccurrences) {
      // No boundary for gigabytes: positions would not fit; apply step by step.
      std::string rest(text.substr(from));
      for (std::size_t s = 0; s < finds_.size(); ++s)
        ReplaceAllInPlace(rest, finds_[s], replacements_[s]);
      out += rest;
      return;
    }
    RunPiece(text.substr(from, to - from), piece);
    out += piece;
    from = to;
  }
}

}  // namespace glossmith::detail
