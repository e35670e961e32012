#pragma once

// An Aho-Corasick automaton over a list of find strings ("patterns"): reading
// a text byte by byte from the root, the node reached after each byte stands
// for the longest suffix of the text so far that is a prefix of some pattern,
// and every pattern that ends there is reported by ForEachOutput.
//
// Split bytes (those that occur in no pattern) share class 0; reading one
// always leads back to the root. Nodes are numbered breadth first, each level
// in the order of its strings, so that the children of consecutive nodes are
// consecutive numbers. The nodes nearest the root, where a scan spends nearly
// all its time, are dense: a table row per node with an entry for every
// class, where a node's row is its number times the number of classes, so
// that a step is one addition and one load. Past kMaxDenseEntries the deeper
// nodes are sparse (as in the contiguous automata of the best Aho-Corasick
// libraries), and compact, since a long list has millions of them, nearly all
// with one child: a sparse node keeps its first child's number (its children
// run up to the next node's first child), the byte that leads into it, and
// its failure link, 9 bytes in all. A step from it compares the bytes of its
// children, then follows failure links until some node has the byte or a
// dense node answers. A sparse node's row comes after the dense ones, one
// apiece. An entry is the next row, its top bit set when the node reached
// ends some pattern or has a suffix that does, so that the scan loop tests
// one bit; what those patterns are is kept only for the nodes that have them,
// numbered by a bit per node and a count per 64 nodes.

#include <array>
#include <bit>
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

  // At least the size in entries of 4 bytes that the automaton of `patterns`
  // will have (Bytes() / 4), without building anything; for deciding whether
  // to build it. Counting its nodes takes a sort of the patterns, skipped
  // when a node for every byte would come to no more than `enough`.
  static std::size_t EntriesFor(const std::vector<std::string_view>& patterns,
                                std::size_t enough = 0);

  // The hot loop's view: reading a byte is Read(row, byte).
  struct View {
    const std::uint32_t* delta;
    const std::uint16_t* classOf;
    std::uint32_t denseEnd;
    const AhoCorasick* automaton;
    // The entry for reading `c` at `row`: the next row, with kHasOutput set
    // when that node ends some pattern.
    std::uint32_t Read(std::uint32_t row, unsigned char c) const {
      if (row < denseEnd) [[likely]]
        return delta[row + classOf[c]];
      return automaton->SparseRead(row, c);
    }
  };
  View view() const { return {delta_.data(), classOf_.data(), denseEnd_, this}; }
  static std::uint32_t NextRow(std::uint32_t entry) { return entry & ~kHasOutput; }
  static bool HasOutput(std::uint32_t entry) { return (entry & kHasOutput) != 0; }

  // Calls f(pattern) for every pattern that ends at the node of `row`, each
  // node's patterns in ascending order, longest pattern first.
  template <typename F>
  void ForEachOutput(std::uint32_t row, F&& f) const {
    for (std::uint32_t t = FirstTerminal(Node(row)); t != kNone; t = nextTerminal_[t])
      for (std::uint32_t i = termBegin_[t]; i < termBegin_[t + 1]; ++i) f(termPatterns_[i]);
  }

  // The smallest pattern number above `above` that ends at the node of `row`,
  // or `none`. The nodes visited are charged to `budget`.
  std::uint32_t FirstOutputAbove(std::uint32_t row, std::uint32_t above, std::uint32_t none,
                                 Budget& budget) const;

  // Length of the string the node of `row` stands for.
  std::uint32_t Depth(std::uint32_t row) const;

  std::size_t Bytes() const;

 private:
  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

  // One bit per node, set in node order, with the number of bits set before
  // each word, so that the nodes with the bit set are numbered densely.
  class NodeBits {
   public:
    void Reserve(std::size_t nodes);
    // Appends node n's bit; nodes come in order, from 0.
    void Append(std::uint32_t n, bool set) {
      if ((n & 63) == 0) before_[n >> 6] = count_;
      if (set) {
        words_[n >> 6] |= std::uint64_t{1} << (n & 63);
        ++count_;
      }
    }
    bool Test(std::uint32_t n) const { return (words_[n >> 6] >> (n & 63)) & 1; }
    // The number of set bits before node n's.
    std::uint32_t Rank(std::uint32_t n) const {
      const std::uint64_t below = (std::uint64_t{1} << (n & 63)) - 1;
      return before_[n >> 6] + static_cast<std::uint32_t>(std::popcount(words_[n >> 6] & below));
    }
    std::size_t Bytes() const {
      return words_.capacity() * sizeof(std::uint64_t) + before_.capacity() * sizeof(std::uint32_t);
    }
    static std::size_t BytesFor(std::size_t nodes) { return (nodes + 63) / 64 * 12; }

   private:
    std::vector<std::uint64_t> words_;
    std::vector<std::uint32_t> before_;
    std::uint32_t count_ = 0;
  };

  class Builder;

  // Read from a sparse node's row.
  std::uint32_t SparseRead(std::uint32_t row, unsigned char byte) const;
  std::uint32_t Next(std::uint32_t row, unsigned char byte) const {
    return row < denseEnd_ ? delta_[row + classOf_[byte]] : SparseRead(row, byte);
  }
  // The entry that leads into node n.
  std::uint32_t EntryOf(std::uint32_t n) const {
    return RowOfNode(n) | (terminal_.Test(n) || suffixOnly_.Test(n) ? kHasOutput : 0);
  }
  // The nearest node, n itself or a suffix of it, that ends a pattern, as a
  // terminal number; or kNone.
  std::uint32_t FirstTerminal(std::uint32_t n) const {
    if (terminal_.Test(n)) return terminal_.Rank(n);
    if (suffixOnly_.Test(n)) return suffixTerminal_[suffixOnly_.Rank(n)];
    return kNone;
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
  std::uint32_t widthShift_ = 0;
  std::uint32_t widthInverse_ = 1;
  std::uint32_t nodeCount_ = 1;
  std::uint32_t denseNodes_ = 0;
  std::uint32_t denseEnd_ = 0;        // the first sparse row
  std::vector<std::uint32_t> delta_;  // the dense rows
  std::vector<std::uint32_t> denseDepth_;
  std::vector<std::uint32_t> levelBegin_;  // the first node of each depth
  // Sparse node s (counted from the first sparse one) has the children
  // [firstChild_[s], firstChild_[s + 1]), is led into by the byte
  // byteInto_[s], and falls back to the row failRow_[s].
  std::vector<std::uint32_t> firstChild_;
  std::vector<unsigned char> byteInto_;
  std::vector<std::uint32_t> failRow_;
  // Nodes that end patterns ("terminals", numbered by terminal_): terminal t
  // ends termPatterns_[termBegin_[t], termBegin_[t + 1]), and its nearest
  // proper suffix that ends one is terminal nextTerminal_[t] (or kNone).
  // Other nodes with such a suffix are numbered by suffixOnly_; that suffix
  // is suffixTerminal_[their number].
  NodeBits terminal_;
  NodeBits suffixOnly_;
  std::vector<std::uint32_t> termBegin_;
  std::vector<std::uint32_t> termPatterns_;
  std::vector<std::uint32_t> nextTerminal_;
  std::vector<std::uint32_t> suffixTerminal_;
};

}  // namespace glossmith::detail
