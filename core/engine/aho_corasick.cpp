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
  const std::size_t dense = std::min(nodes, std::max<std::size_t>(1, kMaxDenseEntries / classes));
  return dense * classes + (nodes - dense) * kSparseNodeEntries + nodes * kNodeEntries;
}

AhoCorasick::AhoCorasick(const std::vector<std::string>& patterns, std::size_t maxDenseEntries) {
  AssignClasses(patterns);
  const Trie trie = BuildTrie(patterns);
  const std::vector<std::uint32_t> number = Renumber(trie);
  IndexOutputs(trie, number);
  BuildTable(trie, number, maxDenseEntries);
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

std::vector<std::uint32_t> AhoCorasick::Renumber(const Trie& trie) {
  std::vector<std::uint32_t> queue{0};
  queue.reserve(trie.nodeCount);
  for (std::size_t q = 0; q < queue.size(); ++q)
    for (std::uint32_t e = trie.edgeBegin[queue[q]]; e < trie.edgeBegin[queue[q] + 1]; ++e)
      queue.push_back(trie.edges[e].child);
  std::vector<std::uint32_t> number(trie.nodeCount);
  for (std::uint32_t i = 0; i < trie.nodeCount; ++i) number[queue[i]] = i;
  return number;
}

void AhoCorasick::IndexOutputs(const Trie& trie, const std::vector<std::uint32_t>& number) {
  std::vector<std::pair<std::uint32_t, std::uint32_t>> terms;  // (node, pattern)
  terms.reserve(trie.terms.size());
  for (const auto& [node, pattern] : trie.terms) terms.emplace_back(number[node], pattern);
  std::sort(terms.begin(), terms.end());
  termBegin_.assign(trie.nodeCount + 1, 0);
  termPatterns_.reserve(terms.size());
  for (const auto& [node, pattern] : terms) {
    ++termBegin_[node + 1];
    termPatterns_.push_back(pattern);
  }
  for (std::uint32_t n = 0; n < trie.nodeCount; ++n) termBegin_[n + 1] += termBegin_[n];
}

void AhoCorasick::BuildTable(const Trie& trie, const std::vector<std::uint32_t>& number,
                             std::size_t maxDenseEntries) {
  const std::uint32_t width = classCount_;
  const std::uint32_t nodes = trie.nodeCount;
  widthShift_ = static_cast<std::uint32_t>(std::countr_zero(width));
  const std::uint32_t odd = width >> widthShift_;
  widthInverse_ = odd;
  for (int i = 0; i < 5; ++i) widthInverse_ *= 2 - odd * widthInverse_;
  denseNodes_ = static_cast<std::uint32_t>(
      std::min<std::size_t>(nodes, std::max<std::size_t>(1, maxDenseEntries / width)));
  denseEnd_ = denseNodes_ * width;

  // The trie's nodes in breadth-first order, and the sparse nodes' edges.
  std::vector<std::uint32_t> trieNode(nodes);
  for (std::uint32_t t = 0; t < nodes; ++t) trieNode[number[t]] = t;
  edgeBegin_.assign(nodes - denseNodes_ + 1, 0);
  for (std::uint32_t n = denseNodes_; n < nodes; ++n)
    edgeBegin_[n - denseNodes_ + 1] =
        edgeBegin_[n - denseNodes_] + trie.edgeBegin[trieNode[n] + 1] - trie.edgeBegin[trieNode[n]];
  edgeClass_.resize(edgeBegin_.back());
  edgeEntry_.resize(edgeBegin_.back());
  for (std::uint32_t n = denseNodes_; n < nodes; ++n) {
    std::uint32_t out = edgeBegin_[n - denseNodes_];
    for (std::uint32_t e = trie.edgeBegin[trieNode[n]]; e < trie.edgeBegin[trieNode[n] + 1]; ++e) {
      edgeClass_[out] = trie.edges[e].cls;  // ascending within a node
      edgeEntry_[out++] = RowOfNode(number[trie.edges[e].child]);
    }
  }

  // Breadth first, so that a node's failure node (shallower, so numbered
  // lower, and dense when the node is) is complete: a dense node's row starts
  // as a copy of its failure node's row.
  delta_.assign(std::size_t{denseNodes_} * width, 0);
  failRow_.assign(nodes - denseNodes_, 0);
  dict_.assign(nodes, 0);
  depth_.assign(nodes, 0);
  std::vector<std::uint32_t> fail(nodes, 0);
  for (std::uint32_t u = 0; u < nodes; ++u) {
    std::uint32_t* row = u < denseNodes_ ? &delta_[std::size_t{u} * width] : nullptr;
    if (row && u != 0) std::copy_n(&delta_[std::size_t{fail[u]} * width], width, row);
    if (!row) failRow_[u - denseNodes_] = RowOfNode(fail[u]);
    const std::uint32_t t = trieNode[u];
    for (std::uint32_t e = trie.edgeBegin[t]; e < trie.edgeBegin[t + 1]; ++e) {
      const Edge& edge = trie.edges[e];
      const std::uint32_t v = number[edge.child];
      fail[v] = u == 0 ? 0 : Node(Next(RowOfNode(fail[u]), edge.cls));
      depth_[v] = depth_[u] + 1;
      const std::uint32_t f = fail[v];
      dict_[v] = termBegin_[f] != termBegin_[f + 1] ? f : dict_[f];
      if (row) row[edge.cls] = RowOfNode(v);
    }
  }

  auto mark = [&](std::uint32_t& entry) {
    const std::uint32_t node = Node(entry);
    if (termBegin_[node] != termBegin_[node + 1] || dict_[node] != 0) entry |= kHasOutput;
  };
  for (std::uint32_t& entry : delta_) mark(entry);
  for (std::uint32_t& entry : edgeEntry_) mark(entry);
}

std::uint32_t AhoCorasick::SparseStep(std::uint32_t row, std::uint32_t cls) const {
  // A split byte leads to the root from anywhere; otherwise each failure
  // link leads to a shallower node, so the walk ends at a dense row at last.
  if (cls == 0) return 0;
  while (row >= denseEnd_) {
    const std::uint32_t s = row - denseEnd_;
    for (std::uint32_t e = edgeBegin_[s]; e < edgeBegin_[s + 1]; ++e)
      if (edgeClass_[e] == cls) return edgeEntry_[e];
    row = failRow_[s];
  }
  return delta_[row + cls];
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
          depth_.capacity() + edgeBegin_.capacity() + edgeEntry_.capacity() + failRow_.capacity()) *
             sizeof(std::uint32_t) +
         edgeClass_.capacity() * sizeof(std::uint16_t);
}

}  // namespace glossmith::detail
