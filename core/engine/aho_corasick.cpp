#include "core/engine/aho_corasick.h"

#include <algorithm>
#include <bit>
#include <string_view>
#include <utility>

namespace glossmith::detail {

namespace {

// Pattern numbers in the lexicographic order of their patterns: walking them
// in this order, a pattern shares with the one before exactly the trie nodes
// of their longest common prefix.
std::vector<std::uint32_t> SortedOrder(const std::vector<std::string_view>& patterns) {
  std::vector<std::uint32_t> order(patterns.size());
  for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::uint32_t a, std::uint32_t b) { return patterns[a] < patterns[b]; });
  return order;
}

std::size_t CommonPrefix(std::string_view a, std::string_view b) {
  const auto [ia, ib] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
  return static_cast<std::size_t>(ia - a.begin());
}

}  // namespace

std::size_t AhoCorasick::EntriesFor(const std::vector<std::string_view>& patterns) {
  std::array<bool, 256> used{};
  std::size_t classes = 1;
  for (std::string_view p : patterns) {
    for (unsigned char c : p) {
      classes += used[c] ? 0 : 1;
      used[c] = true;
    }
  }
  std::size_t nodes = 1;
  std::string_view previous;
  for (std::uint32_t i : SortedOrder(patterns)) {
    nodes += patterns[i].size() - CommonPrefix(previous, patterns[i]);
    previous = patterns[i];
  }
  return nodes * classes;
}

AhoCorasick::AhoCorasick(const std::vector<std::string>& patterns) {
  AssignClasses(patterns);
  const Trie trie = BuildTrie(patterns);
  IndexOutputs(trie);
  BuildTable(trie);
}

void AhoCorasick::AssignClasses(const std::vector<std::string>& patterns) {
  for (const std::string& p : patterns)
    for (unsigned char c : p) classOf_[c] = 1;
  for (int b = 0; b < 256; ++b) {
    if (classOf_[b]) classOf_[b] = static_cast<std::uint16_t>(classCount_++);
  }
}

AhoCorasick::Trie AhoCorasick::BuildTrie(const std::vector<std::string>& patterns) const {
  // In sorted order each pattern adds the nodes past its common prefix with
  // the one before, as children of the nodes on that pattern's path: no map
  // from (node, byte) to child is needed.
  const std::vector<std::string_view> views(patterns.begin(), patterns.end());
  Trie trie;
  std::vector<std::uint32_t> path{0};  // path[d]: node at depth d of the previous pattern
  std::string_view previous;
  for (std::uint32_t s : SortedOrder(views)) {
    const std::string_view p = views[s];
    const std::size_t shared = CommonPrefix(previous, p);
    path.resize(shared + 1);
    for (std::size_t d = shared; d < p.size(); ++d) {
      const std::uint16_t cls = classOf_[static_cast<unsigned char>(p[d])];
      trie.edges.push_back({path[d], cls, trie.nodeCount});
      path.push_back(trie.nodeCount++);
    }
    trie.terms.emplace_back(path[p.size()], s);
    previous = p;
  }
  // Edges gathered per parent; within a parent, in ascending class.
  std::stable_sort(trie.edges.begin(), trie.edges.end(),
                   [](const Edge& a, const Edge& b) { return a.parent < b.parent; });
  trie.edgeBegin.assign(trie.nodeCount + 1, 0);
  for (const Edge& e : trie.edges) ++trie.edgeBegin[e.parent + 1];
  for (std::uint32_t n = 0; n < trie.nodeCount; ++n) trie.edgeBegin[n + 1] += trie.edgeBegin[n];
  return trie;
}

void AhoCorasick::IndexOutputs(const Trie& trie) {
  std::vector<std::pair<std::uint32_t, std::uint32_t>> terms = trie.terms;  // (node, pattern)
  std::sort(terms.begin(), terms.end());
  termBegin_.assign(trie.nodeCount + 1, 0);
  termPatterns_.reserve(terms.size());
  for (const auto& [node, pattern] : terms) {
    ++termBegin_[node + 1];
    termPatterns_.push_back(pattern);
  }
  for (std::uint32_t n = 0; n < trie.nodeCount; ++n) termBegin_[n + 1] += termBegin_[n];
}

void AhoCorasick::BuildTable(const Trie& trie) {
  // Breadth first: a node's row starts as a copy of its failure node's row,
  // which is shallower and so already complete.
  const std::uint32_t width = classCount_;
  delta_.assign(std::size_t{trie.nodeCount} * width, 0);
  dict_.assign(trie.nodeCount, 0);
  depth_.assign(trie.nodeCount, 0);
  std::vector<std::uint32_t> fail(trie.nodeCount, 0);
  std::vector<std::uint32_t> queue{0};
  queue.reserve(trie.nodeCount);
  for (std::size_t q = 0; q < queue.size(); ++q) {
    const std::uint32_t u = queue[q];
    std::uint32_t* row = &delta_[std::size_t{u} * width];
    if (u != 0) std::copy_n(&delta_[std::size_t{fail[u]} * width], width, row);
    for (std::uint32_t e = trie.edgeBegin[u]; e < trie.edgeBegin[u + 1]; ++e) {
      const Edge& edge = trie.edges[e];
      const std::uint32_t v = edge.child;
      fail[v] = u == 0 ? 0 : delta_[std::size_t{fail[u]} * width + edge.cls] / width;
      depth_[v] = depth_[u] + 1;
      const std::uint32_t f = fail[v];
      dict_[v] = termBegin_[f] != termBegin_[f + 1] ? f : dict_[f];
      row[edge.cls] = v * width;
      queue.push_back(v);
    }
  }
  widthShift_ = static_cast<std::uint32_t>(std::countr_zero(width));
  const std::uint32_t odd = width >> widthShift_;
  widthInverse_ = odd;
  for (int i = 0; i < 5; ++i) widthInverse_ *= 2 - odd * widthInverse_;
  for (std::uint32_t& entry : delta_) {
    const std::uint32_t node = entry / width;
    if (termBegin_[node] != termBegin_[node + 1] || dict_[node] != 0) entry |= kHasOutput;
  }
}

std::uint32_t AhoCorasick::FirstOutputAbove(std::uint32_t row, std::uint32_t above,
                                            std::uint32_t none, Budget& budget) const {
  std::uint32_t best = none;
  for (std::uint32_t n = Node(row); n != 0; n = dict_[n]) {
    budget.Charge(1);
    const auto first = termPatterns_.begin() + termBegin_[n];
    const auto last = termPatterns_.begin() + termBegin_[n + 1];
    const auto it = std::upper_bound(first, last, above);
    if (it != last) best = std::min(best, *it);
  }
  return best;
}

std::size_t AhoCorasick::Bytes() const {
  return (delta_.capacity() + termBegin_.capacity() + termPatterns_.capacity() + dict_.capacity() +
          depth_.capacity()) *
         sizeof(std::uint32_t);
}

}  // namespace glossmith::detail
