#include "core/engine/aho_corasick.h"

#include <algorithm>
#include <bit>
#include <string_view>
#include <utility>

namespace glossmith::detail {

namespace {

// The patterns in lexicographic order, each with the length of its common
// prefix with the one before: walking them in this order, a pattern shares
// with the one before exactly the trie nodes of that prefix.
struct Sorted {
  std::vector<std::uint32_t> order;
  std::vector<std::uint32_t> shared;  // shared[k]: common prefix of order[k - 1] and order[k]
  std::size_t nodes = 1;              // of the trie, the root included
  std::size_t longest = 0;
};

Sorted Sort(const std::vector<std::string_view>& patterns) {
  Sorted sorted;
  sorted.order.resize(patterns.size());
  for (std::uint32_t i = 0; i < patterns.size(); ++i) sorted.order[i] = i;
  // Stable, so that equal patterns keep ascending numbers.
  std::stable_sort(sorted.order.begin(), sorted.order.end(),
                   [&](std::uint32_t a, std::uint32_t b) { return patterns[a] < patterns[b]; });
  sorted.shared.resize(patterns.size());
  std::string_view previous;
  for (std::size_t k = 0; k < sorted.order.size(); ++k) {
    const std::string_view p = patterns[sorted.order[k]];
    const auto [ip, iq] = std::mismatch(previous.begin(), previous.end(), p.begin(), p.end());
    sorted.shared[k] = static_cast<std::uint32_t>(iq - p.begin());
    sorted.nodes += p.size() - sorted.shared[k];
    sorted.longest = std::max(sorted.longest, p.size());
    previous = p;
  }
  return sorted;
}

std::size_t ClassCount(const std::vector<std::string_view>& patterns) {
  std::array<bool, 256> used{};
  for (std::string_view p : patterns)
    for (unsigned char c : p) used[c] = true;
  return 1 + static_cast<std::size_t>(std::count(used.begin(), used.end(), true));
}

std::size_t DenseNodes(std::size_t nodes, std::size_t classes, std::size_t maxDenseEntries) {
  return std::min(nodes, std::max<std::size_t>(1, maxDenseEntries / classes));
}

}  // namespace

std::size_t AhoCorasick::EntriesFor(const std::vector<std::string_view>& patterns,
                                    std::size_t enough) {
  std::size_t bytes = 0, longest = 0;
  for (std::string_view p : patterns) {
    bytes += p.size();
    longest = std::max(longest, p.size());
  }
  const std::size_t classes = ClassCount(patterns);
  auto entries = [&](std::size_t nodes) {
    const std::size_t dense = DenseNodes(nodes, classes, kMaxDenseEntries);
    const std::size_t sparse = nodes - dense;
    const std::size_t terminals = patterns.size();  // at most
    const std::size_t size = dense * (classes + 1) * 4 + (longest + 1) * 4 + (sparse + 1) * 4 +
                             sparse * 9 + 2 * NodeBits::BytesFor(nodes) + (terminals + 1) * 4 +
                             patterns.size() * 4 + terminals * 4 +
                             nodes * 4;  // suffixTerminal_, at most one a node
    return (size + 3) / 4;
  };
  // A node for every byte is the most there can be.
  const std::size_t most = entries(1 + bytes);
  return most <= enough ? most : entries(Sort(patterns).nodes);
}

void AhoCorasick::NodeBits::Reserve(std::size_t nodes) {
  words_.assign((nodes + 63) / 64, 0);
  before_.assign(words_.size(), 0);
}

// Builds the automaton a depth at a time. Each depth's nodes are the distinct
// prefixes of that length in sorted order, which is breadth-first order; a
// node's failure link needs only shallower nodes, all complete by then, and
// a dense node's row starts as a copy of its failure node's row.
class AhoCorasick::Builder {
 public:
  Builder(AhoCorasick& automaton, const std::vector<std::string_view>& patterns,
          const Sorted& sorted)
      : a_(automaton), patterns_(patterns) {
    active_.reserve(patterns.size());
    for (std::size_t k = 0; k < sorted.order.size(); ++k)
      active_.push_back({sorted.order[k], sorted.shared[k], 0});
  }

  void Run() {
    a_.levelBegin_.push_back(0);
    a_.denseDepth_[0] = 0;
    a_.terminal_.Append(0, false);
    a_.suffixOnly_.Append(0, false);
    parentFail_.assign(1, 0);
    for (std::uint32_t depth = 1; DropEnded(depth); ++depth) {
      const std::uint32_t parentBegin = a_.levelBegin_.back();
      a_.levelBegin_.push_back(next_);
      AddLevel(depth);
      LinkChildren(parentBegin);
      FinishLevel(depth, parentBegin);
    }
    for (std::uint32_t u = std::max(a_.levelBegin_.back(), a_.denseNodes_); u < next_; ++u)
      a_.firstChild_[u - a_.denseNodes_] = next_;
    a_.firstChild_.back() = next_;
    a_.termBegin_.push_back(static_cast<std::uint32_t>(a_.termPatterns_.size()));
    a_.suffixTerminal_.shrink_to_fit();
    for (std::uint32_t& entry : a_.delta_) entry = a_.EntryOf(a_.Node(entry));
  }

 private:
  struct Active {
    std::uint32_t pattern;
    std::uint32_t shared;  // common prefix with the active pattern before
    std::uint32_t node;    // at the depth last added
  };

  std::string_view Pattern(const Active& p) const { return patterns_[p.pattern]; }

  // Keeps the patterns at least `depth` long; false once none is left. A
  // dropped pattern's common prefix with its neighbours bounds theirs.
  bool DropEnded(std::uint32_t depth) {
    std::size_t kept = 0;
    std::uint32_t shared = kNone;
    for (const Active& p : active_) {
      shared = std::min(shared, p.shared);
      if (Pattern(p).size() < depth) continue;
      active_[kept] = {p.pattern, kept == 0 ? 0 : shared, p.node};
      ++kept;
      shared = kNone;
    }
    active_.resize(kept);
    return kept > 0;
  }

  // Numbers the nodes of `depth`, in the patterns' order, and notes which
  // patterns end at each.
  void AddLevel(std::uint32_t depth) {
    level_.clear();
    ends_.clear();
    for (std::size_t k = 0; k < active_.size(); ++k) {
      Active& p = active_[k];
      if (k == 0 || p.shared < depth)
        level_.push_back({p.node, static_cast<unsigned char>(Pattern(p)[depth - 1])});
      p.node = next_ + static_cast<std::uint32_t>(level_.size()) - 1;
      if (Pattern(p).size() == depth) ends_.emplace_back(p.node, p.pattern);
    }
  }

  // The edges from the level above: a dense parent's row entry, or a sparse
  // parent's children range and each child's byte.
  void LinkChildren(std::uint32_t parentBegin) {
    std::size_t j = 0;
    for (std::uint32_t u = parentBegin; u < next_; ++u) {
      const std::size_t first = j;
      for (; j < level_.size() && level_[j].parent == u; ++j) {
        const std::uint32_t v = next_ + static_cast<std::uint32_t>(j);
        if (u < a_.denseNodes_)
          a_.delta_[std::size_t{u} * a_.classCount_ + a_.classOf_[level_[j].byte]] =
              a_.RowOfNode(v);
        else
          a_.byteInto_[v - a_.denseNodes_] = level_[j].byte;
      }
      if (u >= a_.denseNodes_)
        a_.firstChild_[u - a_.denseNodes_] = next_ + static_cast<std::uint32_t>(first);
    }
  }

  // Failure links, dense rows, depths and outputs of the new level, in order.
  void FinishLevel(std::uint32_t depth, std::uint32_t parentBegin) {
    std::vector<std::uint32_t> fail(level_.size());
    std::size_t e = 0;
    for (std::size_t j = 0; j < level_.size(); ++j) {
      const std::uint32_t v = next_ + static_cast<std::uint32_t>(j);
      const auto [parent, byte] = level_[j];
      const std::uint32_t f =
          depth == 1
              ? 0
              : a_.Node(NextRow(a_.Next(a_.RowOfNode(parentFail_[parent - parentBegin]), byte)));
      fail[j] = f;
      if (v < a_.denseNodes_) {
        const std::size_t width = a_.classCount_;
        std::copy_n(&a_.delta_[f * width], width, &a_.delta_[v * width]);
        a_.denseDepth_[v] = depth;
      } else {
        a_.failRow_[v - a_.denseNodes_] = a_.RowOfNode(f);
      }
      const std::uint32_t suffix = a_.FirstTerminal(f);
      const bool ends = e < ends_.size() && ends_[e].first == v;
      a_.terminal_.Append(v, ends);
      a_.suffixOnly_.Append(v, !ends && suffix != kNone);
      if (ends) {
        a_.termBegin_.push_back(static_cast<std::uint32_t>(a_.termPatterns_.size()));
        for (; e < ends_.size() && ends_[e].first == v; ++e)
          a_.termPatterns_.push_back(ends_[e].second);
        a_.nextTerminal_.push_back(suffix);
      } else if (suffix != kNone) {
        a_.suffixTerminal_.push_back(suffix);
      }
    }
    next_ += static_cast<std::uint32_t>(level_.size());
    parentFail_ = std::move(fail);
  }

  struct NewNode {
    std::uint32_t parent;
    unsigned char byte;
  };

  AhoCorasick& a_;
  const std::vector<std::string_view>& patterns_;
  std::vector<Active> active_;
  std::uint32_t next_ = 1;                                     // the next node's number
  std::vector<NewNode> level_;                                 // the nodes of the depth being added
  std::vector<std::pair<std::uint32_t, std::uint32_t>> ends_;  // (node, pattern) of that depth
  std::vector<std::uint32_t> parentFail_;  // the failure nodes of the depth above
};

AhoCorasick::AhoCorasick(const std::vector<std::string>& patterns, std::size_t maxDenseEntries) {
  const std::vector<std::string_view> views(patterns.begin(), patterns.end());
  for (std::string_view p : views)
    for (unsigned char c : p) classOf_[c] = 1;
  for (int b = 0; b < 256; ++b)
    if (classOf_[b]) classOf_[b] = static_cast<std::uint16_t>(classCount_++);
  const Sorted sorted = Sort(views);

  const std::uint32_t width = classCount_;
  widthShift_ = static_cast<std::uint32_t>(std::countr_zero(width));
  const std::uint32_t odd = width >> widthShift_;
  widthInverse_ = odd;
  for (int i = 0; i < 5; ++i) widthInverse_ *= 2 - odd * widthInverse_;
  nodeCount_ = static_cast<std::uint32_t>(sorted.nodes);
  denseNodes_ = static_cast<std::uint32_t>(DenseNodes(sorted.nodes, width, maxDenseEntries));
  denseEnd_ = denseNodes_ * width;
  const std::size_t sparse = nodeCount_ - denseNodes_;

  delta_.assign(std::size_t{denseNodes_} * width, 0);
  denseDepth_.assign(denseNodes_, 0);
  levelBegin_.reserve(sorted.longest + 1);
  firstChild_.assign(sparse + 1, 0);
  byteInto_.assign(sparse, 0);
  failRow_.assign(sparse, 0);
  terminal_.Reserve(nodeCount_);
  suffixOnly_.Reserve(nodeCount_);
  termBegin_.reserve(patterns.size() + 1);
  termPatterns_.reserve(patterns.size());
  nextTerminal_.reserve(patterns.size());
  Builder(*this, views, sorted).Run();
}

std::uint32_t AhoCorasick::SparseRead(std::uint32_t row, unsigned char byte) const {
  // A split byte leads to the root from anywhere; otherwise each failure
  // link leads to a shallower node, so the walk ends at a dense row at last.
  if (classOf_[byte] == 0) return 0;
  while (row >= denseEnd_) {
    const std::uint32_t s = row - denseEnd_;
    for (std::uint32_t c = firstChild_[s]; c < firstChild_[s + 1]; ++c)
      if (byteInto_[c - denseNodes_] == byte) return EntryOf(c);
    row = failRow_[s];
  }
  return delta_[row + classOf_[byte]];
}

std::uint32_t AhoCorasick::Depth(std::uint32_t row) const {
  const std::uint32_t n = Node(row);
  if (n < denseNodes_) return denseDepth_[n];
  return static_cast<std::uint32_t>(std::upper_bound(levelBegin_.begin(), levelBegin_.end(), n) -
                                    levelBegin_.begin() - 1);
}

std::uint32_t AhoCorasick::FirstOutputAbove(std::uint32_t row, std::uint32_t above,
                                            std::uint32_t none, Budget& budget) const {
  std::uint32_t best = none;
  for (std::uint32_t t = FirstTerminal(Node(row)); t != kNone; t = nextTerminal_[t]) {
    budget.Charge(1);
    const auto first = termPatterns_.begin() + termBegin_[t];
    const auto last = termPatterns_.begin() + termBegin_[t + 1];
    const auto it = std::upper_bound(first, last, above);
    if (it != last) best = std::min(best, *it);
  }
  return best;
}

std::size_t AhoCorasick::Bytes() const {
  return (delta_.capacity() + denseDepth_.capacity() + levelBegin_.capacity() +
          firstChild_.capacity() + failRow_.capacity() + termBegin_.capacity() +
          termPatterns_.capacity() + nextTerminal_.capacity() + suffixTerminal_.capacity()) *
             sizeof(std::uint32_t) +
         byteInto_.capacity() + terminal_.Bytes() + suffixOnly_.Bytes();
}

}  // namespace glossmith::detail
