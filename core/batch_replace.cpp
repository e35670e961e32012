#include "batch_replace.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <unordered_map>

#include "literal_replace.h"

namespace glossmith::detail {

namespace {

// Texts from this size on are scanned in two lanes.
constexpr std::size_t kTwoLaneBytes = std::size_t{1} << 14;

}  // namespace

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
  depth_.assign(nodeCount, 0);
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
      depth_[v] = depth_[u] + 1;
      const std::uint32_t f = fail[v];
      dict_[v] = termBegin_[f] != termBegin_[f + 1] ? f : dict_[f];
      row[edge.cls] = v * width;
      queue.push_back(v);
    }
  }
  // Node(row) divides by the row width with a shift and a multiplication by
  // the inverse of its odd part, exact for the multiples that rows are.
  widthShift_ = static_cast<std::uint32_t>(std::countr_zero(width));
  const std::uint32_t odd = width >> widthShift_;
  widthInverse_ = odd;
  for (int i = 0; i < 5; ++i) widthInverse_ *= 2 - odd * widthInverse_;
  for (std::uint32_t& entry : delta_) {
    const std::uint32_t node = entry / width;
    if (termBegin_[node] != termBegin_[node + 1] || dict_[node] != 0) entry |= kHasOutput;
  }
  counts_.assign(finds_.size(), 0);

  // The steps with an occurrence inside each step's replacement.
  insideBegin_.assign(finds_.size() + 1, 0);
  std::vector<std::uint32_t> found;
  for (std::size_t s = 0; s < finds_.size(); ++s) {
    found.clear();
    std::uint32_t row = 0;
    for (unsigned char c : replacements_[s]) {
      const std::uint32_t entry = delta_[row + classOf_[c]];
      row = entry & ~kHasOutput;
      if (!(entry & kHasOutput)) continue;
      for (std::uint32_t n = Node(row); n != 0; n = dict_[n])
        found.insert(found.end(), termSteps_.begin() + termBegin_[n], termSteps_.begin() + termBegin_[n + 1]);
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    insideSteps_.insert(insideSteps_.end(), found.begin(), found.end());
    insideBegin_[s + 1] = static_cast<std::uint32_t>(insideSteps_.size());
  }
}

bool BatchReplacer::Collect(std::string_view text, std::uint32_t first, std::uint32_t last,
                            std::size_t budget) {
  if (occurrenceCapacity_ < budget) {
    occurrenceBuffer_ = std::make_unique_for_overwrite<Occurrence[]>(budget);
    occurrenceCapacity_ = budget;
  }
  std::fill(counts_.begin() + first, counts_.begin() + last + 1, 0);
  // Local copies: the compiler cannot tell that the writes below leave the
  // members alone.
  const std::uint32_t* delta = delta_.data();
  const std::uint16_t* classOf = classOf_.data();
  const std::uint32_t* dict = dict_.data();
  const std::uint32_t* termBegin = termBegin_.data();
  const std::uint32_t* termSteps = termSteps_.data();
  std::uint32_t* counts = counts_.data();
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());

  // Two lanes, cut after a byte that no find string holds (the automaton is at
  // its root there), scanned side by side so that their table lookups
  // overlap. The first lane fills the buffer from the front, the second from
  // the back; they are full when they meet.
  std::size_t cut = text.size();
  if (text.size() >= kTwoLaneBytes) {
    for (cut = text.size() / 2; cut < text.size() && classOf[bytes[cut]] != 0;) ++cut;
    cut = cut < text.size() ? cut + 1 : text.size();
  }
  Occurrence* front = occurrenceBuffer_.get();
  Occurrence* back = front + budget;
  bool fits = true;
  auto emit = [&](std::uint32_t row, std::size_t end, bool fromFront) {
    for (std::uint32_t n = Node(row); n != 0; n = dict[n]) {
      for (std::uint32_t t = termBegin[n]; t < termBegin[n + 1]; ++t) {
        const std::uint32_t step = termSteps[t];
        if (step < first || step > last) continue;
        ++counts[step];
        if (front == back) {
          fits = false;
          continue;
        }
        const Occurrence o{static_cast<std::uint32_t>(end), step};
        if (fromFront)
          *front++ = o;
        else
          *--back = o;
      }
    }
  };
  std::uint32_t row0 = 0, row1 = 0;
  const std::size_t both = std::min(cut, text.size() - cut);
  for (std::size_t i = 0; i < both; ++i) {
    const std::uint32_t entry0 = delta[row0 + classOf[bytes[i]]];
    const std::uint32_t entry1 = delta[row1 + classOf[bytes[cut + i]]];
    row0 = entry0 & ~kHasOutput;
    row1 = entry1 & ~kHasOutput;
    if (entry0 & kHasOutput) [[unlikely]]
      emit(row0, i + 1, true);
    if (entry1 & kHasOutput) [[unlikely]]
      emit(row1, cut + i + 1, false);
  }
  for (std::size_t i = both; i < cut; ++i) {
    const std::uint32_t entry = delta[row0 + classOf[bytes[i]]];
    row0 = entry & ~kHasOutput;
    if (entry & kHasOutput) emit(row0, i + 1, true);
  }
  for (std::size_t i = cut + both; i < text.size(); ++i) {
    const std::uint32_t entry = delta[row1 + classOf[bytes[i]]];
    row1 = entry & ~kHasOutput;
    if (entry & kHasOutput) emit(row1, i + 1, false);
  }
  // Put the second lane's occurrences, written backwards, behind the first's.
  Occurrence* const end = occurrenceBuffer_.get() + budget;
  std::reverse(back, end);
  std::memmove(static_cast<void*>(front), back, static_cast<std::size_t>(end - back) * sizeof(Occurrence));
  occurrenceCount_ = static_cast<std::size_t>(front - occurrenceBuffer_.get()) +
                     static_cast<std::size_t>(end - back);
  return fits;
}

void BatchReplacer::Choose(std::size_t textSize, std::uint32_t first, std::uint32_t last) {
  // Group the occurrences by step, keeping text order within a step.
  const std::size_t span = last - first + 1;
  std::vector<std::uint32_t> begin(span + 1, 0);
  const Occurrence* occurrences = occurrenceBuffer_.get();
  const std::size_t count = occurrenceCount_;
  for (std::size_t i = 0; i < count; ++i) ++begin[occurrences[i].step - first + 1];
  for (std::size_t s = 0; s < span; ++s) begin[s + 1] += begin[s];
  order_.resize(count);
  {
    std::vector<std::uint32_t> fill(begin.begin(), begin.end() - 1);
    for (std::uint32_t i = 0; i < count; ++i) order_[fill[occurrences[i].step - first]++] = i;
  }

  covered_.assign(textSize / 64 + 1, 0);
  chosen_.assign(count, 0);
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
      const std::size_t end = occurrences[i].end, start = end - length;
      if (anyCovered(start, end)) continue;
      cover(start, end);
      chosen_[i] = 1;
    }
  }
  matches_.clear();
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!chosen_[i]) continue;
    const Occurrence& o = occurrences[i];
    matches_.push_back(
        {o.end - static_cast<std::uint32_t>(finds_[o.step].size()), o.end, o.step});
  }
}

std::uint32_t BatchReplacer::CheckMatch(std::string_view text, std::size_t matchIndex,
                                        std::uint32_t threshold, std::uint32_t below,
                                        std::uint32_t& lowestUnreplaced) {
  // The text as step `threshold` sees it around the match: matches of earlier
  // steps replaced, the others still original text. It is fed to the
  // automaton in spans, without copying.
  const Match& m = matches_[matchIndex];
  const std::size_t context = maxFind_ - 1;

  // Left of the insertion: at most `context` bytes, and only those after the
  // last byte that no find string holds, since the automaton is back at its
  // root after one. Collected right to left.
  left_.clear();
  std::size_t need = context;
  std::size_t pos = m.start;
  std::ptrdiff_t k = static_cast<std::ptrdiff_t>(matchIndex) - 1;
  auto takeLeft = [&](const char* end, std::size_t available) {
    const std::size_t take = std::min(need, available);
    std::size_t kept = 0;
    while (kept < take && classOf_[static_cast<unsigned char>(end[-1 - static_cast<std::ptrdiff_t>(kept)])] != 0)
      ++kept;
    left_.push_back({end - kept, kept});
    need = kept < take ? 0 : need - take;
  };
  while (need > 0 && pos > 0) {
    const std::size_t gapFrom = k >= 0 ? matches_[k].end : 0;
    if (gapFrom < pos) {
      const std::size_t before = need;
      takeLeft(text.data() + pos, pos - gapFrom);
      pos -= std::min(before, pos - gapFrom);
      continue;
    }
    const Match& neighbour = matches_[k--];
    if (neighbour.step < threshold) {
      const std::string& r = replacements_[neighbour.step];
      takeLeft(r.data() + r.size(), r.size());
      pos = neighbour.start;
    } else {
      lowestUnreplaced = std::min(lowestUnreplaced, neighbour.step);  // read as original text
    }
  }

  // Scan left context, insertion and right context; note the lowest step
  // below `below` with an occurrence that touches the insertion.
  std::uint32_t found = below;
  std::uint32_t row = 0;
  std::size_t fed = 0, insertBegin = 0, insertEnd = 0;
  auto feed = [&](const char* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint32_t entry = delta_[row + classOf_[static_cast<unsigned char>(bytes[i])]];
      row = entry & ~kHasOutput;
      ++fed;
      if (!(entry & kHasOutput)) continue;
      for (std::uint32_t n = Node(row); n != 0; n = dict_[n]) {
        for (std::uint32_t t = termBegin_[n]; t < termBegin_[n + 1]; ++t) {
          const std::uint32_t step = termSteps_[t];
          if (step < threshold || step >= found) continue;
          const std::size_t start = fed - finds_[step].size();
          const bool touches = insertBegin < insertEnd ? start < insertEnd && fed > insertBegin
                                                       : start < insertBegin && fed > insertBegin;
          if (touches) found = step;
        }
      }
    }
  };
  for (auto span = left_.rbegin(); span != left_.rend(); ++span) feed(span->data, span->size);
  const std::string& inserted = replacements_[m.step];
  insertBegin = fed;
  insertEnd = fed + inserted.size();
  feed(inserted.data(), inserted.size());

  // Right of the insertion, until no occurrence in progress can reach back
  // into it.
  auto reachesBack = [&] { return fed - depth_[Node(row)] < std::max(insertEnd, insertBegin + 1); };
  need = context;
  pos = m.end;
  std::size_t j = matchIndex + 1;
  while (need > 0 && pos < text.size() && reachesBack()) {
    const std::size_t gapTo = j < matches_.size() ? matches_[j].start : text.size();
    if (pos < gapTo) {
      feed(text.data() + pos, 1);
      --need;
      ++pos;
      continue;
    }
    const Match& neighbour = matches_[j++];
    if (neighbour.step < threshold) {
      const std::string& r = replacements_[neighbour.step];
      for (std::size_t i = 0; i < r.size() && need > 0 && reachesBack(); ++i, --need) feed(&r[i], 1);
      pos = neighbour.end;
    } else {
      lowestUnreplaced = std::min(lowestUnreplaced, neighbour.step);
    }
  }
  return found;
}

std::uint32_t BatchReplacer::FirstConflict(std::string_view text, std::uint32_t last) {
  std::uint32_t best = last + 1;
  auto inert = [&](std::size_t at) { return classOf_[static_cast<unsigned char>(text[at])] == 0; };
  for (std::size_t m = 0; m < matches_.size(); ++m) {
    const Match& match = matches_[m];
    if ((match.start == 0 || inert(match.start - 1)) && (match.end == text.size() || inert(match.end))) {
      // Bytes that no find string holds on both sides: only occurrences
      // inside the inserted text itself can touch it.
      for (std::uint32_t k = insideBegin_[match.step]; k < insideBegin_[match.step + 1]; ++k) {
        const std::uint32_t step = insideSteps_[k];
        if (step > match.step) {
          best = std::min(best, step);
          break;
        }
      }
      continue;
    }
    std::uint32_t threshold = match.step + 1;
    while (threshold < best) {
      std::uint32_t lowestUnreplaced = std::numeric_limits<std::uint32_t>::max();
      const std::uint32_t conflict = CheckMatch(text, m, threshold, best, lowestUnreplaced);
      // What was scanned is what every step up to the first neighbour read as
      // original text would see.
      const std::uint32_t high = std::min(best - 1, lowestUnreplaced);
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
