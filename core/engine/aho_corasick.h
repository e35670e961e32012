#pragma once

// An Aho-Corasick automaton over a list of find strings ("patterns"): reading
// a text byte by byte from the root, the node reached after each byte stands
// for the longest suffix of the text so far that is a prefix of some pattern,
// and every pattern that ends there is reported by ForEachOutput.
//
// Split bytes (those that occur in no pattern) share class 0; reading one
// always leads back to the root. Nodes are numbered breadth first. The nodes
// nearest the root, where a scan spends nearly all its time, are dense: a
// table row per node with an entry for every class, where a node's row is its
// number times the number of classes, so that a step is one addition and one
// load. Past kMaxDenseEntries the deeper nodes are sparse (as in the
// contiguous automata of the best Aho-Corasick libraries): only their own
// edges, sorted by class, and a failure link, followed until some node has
// the class or a dense node answers; their rows come after the dense ones, one
// apiece. An entry is the next row, its top bit set when the node reached ends
// some pattern, so that the scan loop tests one bit.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/engine/budget.h"

namespace glossmith::detail {

class AhoCorasick {
 public:
  static constexpr std::uint32_t kHasOutput = 0x80000000u;

  // Patterns are numbered by their place in `patterns`; none may be empty.
  // `maxDenseEntries` caps the dense table (tests make it small).
  explicit AhoCorasick(const std::vector<std::string>& patterns,
                       std::size_t maxDenseEntries = kMaxDenseEntries);

  // The dense table's largest size, in entries.
  static constexpr std::size_t kMaxDenseEntries = kMaxDenseAutomatonEntries;
  // What every node costs besides its row, in entries of the dense table's
  // size (its depth, dictionary link and outputs' start), and what a sparse
  // node's row costs (its edge list's start, its failure link and about one
  // edge).
  static constexpr std::size_t kNodeEntries = 3;
  static constexpr std::size_t kSparseNodeEntries = 4;

  // The size in entries of 4 bytes the automaton of `patterns` would have:
  // the dense rows, the sparse nodes and what every node keeps. Sorts the
  // patterns, without building anything; for deciding whether to build it.
  static std::size_t EntriesFor(const std::vector<std::string_view>& patterns);

  // The hot loop's view: one step is Step(row, byte).
  struct View {
    const std::uint32_t* delta;
    const std::uint16_t* classOf;
    std::uint32_t denseEnd;
    const AhoCorasick* automaton;
    // The entry for reading `c` at `row`: the next row, with kHasOutput set
    // when that node ends some pattern.
    std::uint32_t Step(std::uint32_t row, unsigned char c) const {
      if (row < denseEnd) [[likely]]
        return delta[row + classOf[c]];
      return automaton->SparseStep(row, classOf[c]);
    }
  };
  View view() const { return {delta_.data(), classOf_.data(), denseEnd_, this}; }
  static std::uint32_t NextRow(std::uint32_t entry) { return entry & ~kHasOutput; }
  static bool HasOutput(std::uint32_t entry) { return (entry & kHasOutput) != 0; }

  // Calls f(pattern) for every pattern that ends at the node of `row`, each
  // node's patterns in ascending order, longest pattern first.
  template <typename F>
  void ForEachOutput(std::uint32_t row, F&& f) const {
    for (std::uint32_t n = Node(row); n != 0; n = dict_[n])
      for (std::uint32_t t = termBegin_[n]; t < termBegin_[n + 1]; ++t) f(termPatterns_[t]);
  }

  // The smallest pattern number above `above` that ends at the node of `row`,
  // or `none`. The nodes visited are charged to `budget`.
  std::uint32_t FirstOutputAbove(std::uint32_t row, std::uint32_t above, std::uint32_t none,
                                 Budget& budget) const;

  // Length of the string the node of `row` stands for.
  std::uint32_t Depth(std::uint32_t row) const { return depth_[Node(row)]; }

  std::size_t Bytes() const;

 private:
  struct Edge {
    std::uint32_t parent;
    std::uint16_t cls;
    std::uint32_t child;
  };
  struct Trie {
    std::uint32_t nodeCount = 1;
    std::vector<Edge> edges;                                     // sorted by parent
    std::vector<std::uint32_t> edgeBegin;                        // per node, into edges
    std::vector<std::pair<std::uint32_t, std::uint32_t>> terms;  // (node, pattern)
  };

  void AssignClasses(const std::vector<std::string>& patterns);
  Trie BuildTrie(const std::vector<std::string>& patterns) const;
  // Breadth-first numbers of the trie's nodes.
  static std::vector<std::uint32_t> Renumber(const Trie& trie);
  void IndexOutputs(const Trie& trie, const std::vector<std::uint32_t>& number);
  void BuildTable(const Trie& trie, const std::vector<std::uint32_t>& number,
                  std::size_t maxDenseEntries);

  // A step from a sparse node's row, by class.
  std::uint32_t SparseStep(std::uint32_t row, std::uint32_t cls) const;
  std::uint32_t Next(std::uint32_t row, std::uint32_t cls) const {
    return row < denseEnd_ ? delta_[row + cls] : SparseStep(row, cls);
  }

  // Dense rows are multiples of the row width: divide with a shift and a
  // multiplication by the inverse of the width's odd part. Sparse rows follow,
  // one a node.
  std::uint32_t Node(std::uint32_t row) const {
    return row < denseEnd_ ? (row >> widthShift_) * widthInverse_ : denseNodes_ + (row - denseEnd_);
  }
  std::uint32_t RowOfNode(std::uint32_t node) const {
    return node < denseNodes_ ? node * classCount_ : denseEnd_ + (node - denseNodes_);
  }

  std::array<std::uint16_t, 256> classOf_{};
  std::uint32_t classCount_ = 1;
  std::vector<std::uint32_t> delta_;  // the dense rows
  std::uint32_t denseNodes_ = 0;
  std::uint32_t denseEnd_ = 0;  // the first sparse row
  // Sparse node s (counted from the first sparse one) has the edges
  // [edgeBegin_[s], edgeBegin_[s + 1]) of edgeClass_ and edgeEntry_, and
  // falls back to the row failRow_[s].
  std::vector<std::uint32_t> edgeBegin_;
  std::vector<std::uint16_t> edgeClass_;
  std::vector<std::uint32_t> edgeEntry_;
  std::vector<std::uint32_t> failRow_;
  std::vector<std::uint32_t>
      termBegin_;  // node n ends termPatterns_[termBegin_[n], termBegin_[n + 1])
  std::vector<std::uint32_t> termPatterns_;
  std::vector<std::uint32_t> dict_;  // nearest proper suffix node that ends a pattern, or 0
  std::vector<std::uint32_t> depth_;
  std::uint32_t widthShift_ = 0;
  std::uint32_t widthInverse_ = 1;
};

}  // namespace glossmith::detail
