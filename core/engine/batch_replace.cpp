#include "core/engine/batch_replace.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <span>

namespace glossmith::detail {

namespace {

// Texts from this size on are scanned in two lanes.
constexpr std::size_t kTwoLaneBytes = std::size_t{1} << 14;

}  // namespace

BatchReplacer::BatchReplacer(std::span<const OwnedStep> steps, std::size_t automatonEntries,
                             BatchLimits limits)
    : automatonEntries_(automatonEntries), limits_(limits) {
  split_.fill(true);
  Steps kept;
  std::vector<std::string> finds;
  for (const auto& [find, replacement] : steps) {
    if (find.empty()) continue;
    kept.emplace_back(find, replacement);
    finds.push_back(find);
    maxFind_ = std::max(maxFind_, find.size());
    findBytes_ += find.size();
    replacementBytes_ += replacement.size();
    for (unsigned char c : find) split_[c] = false;
  }
  shared_ = std::make_shared<SharedAutomaton>(std::move(kept), std::move(finds));
  counts_.assign(shared_->finds_.size(), 0);
}

BatchReplacer::~BatchReplacer() = default;

std::size_t BatchReplacer::AutomatonEntries(std::span<const OwnedStep> steps, std::size_t enough) {
  std::vector<std::string_view> finds;
  finds.reserve(steps.size());
  for (const auto& [find, replacement] : steps)
    if (!find.empty()) finds.push_back(find);
  return AhoCorasick::EntriesFor(finds, enough);
}

bool BatchReplacer::WorthBuilding(std::size_t textSize) const {
  // Building reads the automaton's entries and the replacements (for what
  // occurs inside them); that pays when one plain pass per step would read
  // as much.
  const std::size_t work = automatonEntries_ + std::min(replacementBytes_, limits_.insideWork);
  return automatonEntries_ <= limits_.maxEntries + kAutomatonEntriesPerFindByte * findBytes_ &&
         work / shared_->finds_.size() <= textSize;
}

bool BatchReplacer::HasAutomaton() const {
  if (built_) return true;
  const std::lock_guard lock(shared_->mutex_);
  return shared_->built_ != nullptr;
}

void BatchReplacer::Build() {
  const std::lock_guard lock(shared_->mutex_);
  if (!shared_->built_) {
    auto built = std::make_shared<SharedAutomaton::Built>(shared_->finds_);
    FindInsideReplacements(built->automaton, built->insideNext);
    shared_->built_ = std::move(built);
  }
  built_ = shared_->built_;
}

void BatchReplacer::FindInsideReplacements(const AhoCorasick& automaton,
                                           std::vector<std::uint32_t>& insideNext) const {
  // The first later step found inside each replacement.
  const auto total = static_cast<std::uint32_t>(shared_->finds_.size());
  insideNext.assign(total, total);
  const AhoCorasick::View ac = automaton.view();
  Budget budget(limits_.insideWork);
  for (std::uint32_t s = 0; s < total; ++s) {
    if (budget.Exhausted()) {
      insideNext[s] = s + 1;
      continue;
    }
    std::uint32_t row = 0;
    for (unsigned char c : shared_->steps_[s].replacement) {
      const std::uint32_t entry = ac.Read(row, c);
      row = AhoCorasick::NextRow(entry);
      budget.Charge(1);
      if (AhoCorasick::HasOutput(entry))
        insideNext[s] = automaton.FirstOutputAbove(row, s, insideNext[s], budget);
    }
  }
}

std::size_t BatchReplacer::RetainedBytes() const {
  std::size_t finds = shared_->finds_.capacity() * sizeof(std::string);
  for (const std::string& find : shared_->finds_) finds += HeapBytes(find);
  return HeapBytes(shared_->steps_) + finds + counts_.capacity() * sizeof(std::uint32_t) +
         (built_ ? built_->automaton.Bytes() + built_->insideNext.capacity() * sizeof(std::uint32_t)
                 : 0) +
         occurrenceCapacity_ * sizeof(Occurrence) + scratch_.capacity() +
         grouped_.capacity() * sizeof(Grouped) + covered_.capacity() * sizeof(std::uint64_t) +
         chosen_.capacity() + matches_.capacity() * sizeof(Match);
}

void BatchReplacer::RunRest(std::string_view text, std::uint32_t first, std::string& out) {
  lastStepByStep_ = true;
  std::string rest(text);  // `text` may be a view of `out`
  RunStepByStep(rest, std::span(shared_->steps_).subspan(first));
  out.swap(rest);
}

BatchReplacer::Collected BatchReplacer::Collect(std::string_view text, std::uint32_t first,
                                                std::uint32_t last, std::size_t budget) {
  if (occurrenceCapacity_ < budget) {
    occurrenceBuffer_ = std::make_unique_for_overwrite<Occurrence[]>(budget);
    occurrenceCapacity_ = budget;
  }
  std::fill(counts_.begin() + first, counts_.begin() + last + 1, 0);
  budget_.Charge(text.size());
  // Local copies: the compiler cannot tell that the writes below leave the
  // members alone.
  const AhoCorasick::View ac = built_->automaton.view();
  const AhoCorasick& automaton = built_->automaton;
  std::uint32_t* counts = counts_.data();
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t spent = budget_.Spent();
  std::size_t work = spent;
  const std::size_t workLimit = budget_.Limit();

  // Two lanes, cut after a split byte (the automaton is at its root there), scanned side by side so
  // that their table lookups overlap. The first lane fills the buffer from the front, the second
  // from the back; they are full when they meet.
  std::size_t cut = text.size();
  if (text.size() >= kTwoLaneBytes) {
    for (cut = text.size() / 2; cut < text.size() && !split_[bytes[cut]];) ++cut;
    cut = cut < text.size() ? cut + 1 : text.size();
  }
  Occurrence* front = occurrenceBuffer_.get();
  Occurrence* back = front + budget;
  bool fits = true;
  auto emit = [&](std::uint32_t row, std::size_t end, bool fromFront) {
    if (work > workLimit) return;
    automaton.ForEachOutput(row, [&](std::uint32_t step) {
      ++work;
      if (step < first || step > last) return;
      ++counts[step];
      if (front == back) {
        fits = false;
        return;
      }
      const Occurrence o{static_cast<std::uint32_t>(end), step};
      if (fromFront)
        *front++ = o;
      else
        *--back = o;
    });
  };
  std::uint32_t row0 = 0, row1 = 0;
  const std::size_t both = std::min(cut, text.size() - cut);
  for (std::size_t i = 0; i < both; ++i) {
    const std::uint32_t entry0 = ac.Read(row0, bytes[i]);
    const std::uint32_t entry1 = ac.Read(row1, bytes[cut + i]);
    row0 = AhoCorasick::NextRow(entry0);
    row1 = AhoCorasick::NextRow(entry1);
    if (AhoCorasick::HasOutput(entry0)) [[unlikely]]
      emit(row0, i + 1, true);
    if (AhoCorasick::HasOutput(entry1)) [[unlikely]]
      emit(row1, cut + i + 1, false);
  }
  for (std::size_t i = both; i < cut; ++i) {
    const std::uint32_t entry = ac.Read(row0, bytes[i]);
    row0 = AhoCorasick::NextRow(entry);
    if (AhoCorasick::HasOutput(entry)) emit(row0, i + 1, true);
  }
  for (std::size_t i = cut + both; i < text.size(); ++i) {
    const std::uint32_t entry = ac.Read(row1, bytes[i]);
    row1 = AhoCorasick::NextRow(entry);
    if (AhoCorasick::HasOutput(entry)) emit(row1, i + 1, false);
  }
  budget_.Charge(work - spent);
  if (budget_.Exhausted()) return Collected::kOverBudget;
  // Put the second lane's occurrences, written backwards, behind the first's.
  Occurrence* const end = occurrenceBuffer_.get() + budget;
  std::reverse(back, end);
  std::memmove(static_cast<void*>(front), back,
               static_cast<std::size_t>(end - back) * sizeof(Occurrence));
  occurrenceCount_ = static_cast<std::size_t>(front - occurrenceBuffer_.get()) +
                     static_cast<std::size_t>(end - back);
  return fits ? Collected::kAll : Collected::kTooMany;
}

void BatchReplacer::Choose(std::size_t textSize, std::uint32_t first, std::uint32_t last) {
  // Group the occurrences by step, keeping text order within a step.
  const std::size_t span = last - first + 1;
  std::vector<std::uint32_t> begin(span + 1, 0);
  const Occurrence* occurrences = occurrenceBuffer_.get();
  const std::size_t count = occurrenceCount_;
  for (std::size_t i = 0; i < count; ++i) ++begin[occurrences[i].step - first + 1];
  for (std::size_t s = 0; s < span; ++s) begin[s + 1] += begin[s];
  grouped_.resize(count);
  {
    std::vector<std::uint32_t> fill(begin.begin(), begin.end() - 1);
    for (std::uint32_t i = 0; i < count; ++i)
      grouped_[fill[occurrences[i].step - first]++] = {occurrences[i].end, i};
  }

  budget_.Charge(count);
  covered_.assign(textSize / 64 + 1, 0);
  chosen_.assign(count, 0);
  auto anyCovered = [this](std::size_t from, std::size_t to) {
    for (std::size_t p = from; p < to;) {
      const std::size_t word = p / 64, bit = p % 64;
      const std::size_t n = std::min<std::size_t>(64 - bit, to - p);
      const std::uint64_t mask = (n == 64 ? ~std::uint64_t{0} : ((std::uint64_t{1} << n) - 1))
                                 << bit;
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
    const std::size_t length = shared_->finds_[first + s].size();
    for (std::uint32_t k = begin[s]; k < begin[s + 1]; ++k) {
      const Grouped g = grouped_[k];
      const std::size_t end = g.end, start = end - length;
      if (anyCovered(start, end)) continue;
      cover(start, end);
      chosen_[g.index] = 1;
    }
  }
  matches_.clear();
  const std::vector<std::string>& finds = shared_->finds_;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!chosen_[i]) continue;
    const Occurrence& o = occurrences[i];
    matches_.push_back({o.end - static_cast<std::uint32_t>(finds[o.step].size()), o.end, o.step});
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
  // last split byte, since the automaton is back at its root after one.
  // Collected right to left.
  left_.clear();
  std::size_t need = context;
  std::size_t pos = m.start;
  std::ptrdiff_t k = static_cast<std::ptrdiff_t>(matchIndex) - 1;
  auto takeLeft = [&](const char* end, std::size_t available) {
    const std::size_t take = std::min(need, available);
    std::size_t kept = 0;
    while (kept < take &&
           !split_[static_cast<unsigned char>(end[-1 - static_cast<std::ptrdiff_t>(kept)])])
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
      const std::string& r = shared_->steps_[neighbour.step].replacement;
      takeLeft(r.data() + r.size(), r.size());
      pos = neighbour.start;
    } else {
      lowestUnreplaced = std::min(lowestUnreplaced, neighbour.step);  // read as original text
    }
  }

  budget_.Charge(16);  // the walk to the left and the set-up
  // Scan left context, insertion and right context; note the lowest step
  // below `below` with an occurrence that touches the insertion.
  const AhoCorasick::View ac = built_->automaton.view();
  std::uint32_t found = below;
  std::uint32_t row = 0;
  std::size_t fed = 0, insertBegin = 0, insertEnd = 0;
  auto feed = [&](const char* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint32_t entry = ac.Read(row, static_cast<unsigned char>(bytes[i]));
      row = AhoCorasick::NextRow(entry);
      ++fed;
      if (!AhoCorasick::HasOutput(entry)) continue;
      built_->automaton.ForEachOutput(row, [&](std::uint32_t step) {
        budget_.Charge(1);
        if (step < threshold || step >= found) return;
        const std::size_t start = fed - shared_->finds_[step].size();
        const bool touches = insertBegin < insertEnd ? start < insertEnd && fed > insertBegin
                                                     : start < insertBegin && fed > insertBegin;
        if (touches) found = step;
      });
    }
  };
  for (auto span = left_.rbegin(); span != left_.rend(); ++span) feed(span->data, span->size);
  const std::string& inserted = shared_->steps_[m.step].replacement;
  insertBegin = fed;
  insertEnd = fed + inserted.size();
  feed(inserted.data(), inserted.size());

  // Right of the insertion, until no occurrence in progress can reach back
  // into it.
  auto reachesBack = [&] {
    return fed - built_->automaton.Depth(row) < std::max(insertEnd, insertBegin + 1);
  };
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
      const std::string& r = shared_->steps_[neighbour.step].replacement;
      for (std::size_t i = 0; i < r.size() && need > 0 && reachesBack(); ++i, --need)
        feed(&r[i], 1);
      pos = neighbour.end;
    } else {
      lowestUnreplaced = std::min(lowestUnreplaced, neighbour.step);
    }
  }
  budget_.Charge(fed);
  return found;
}

std::uint32_t BatchReplacer::FirstConflict(std::string_view text, std::uint32_t first,
                                           std::uint32_t last) {
  std::uint32_t best = last + 1;
  auto split = [&](std::size_t at) { return split_[static_cast<unsigned char>(text[at])]; };
  for (std::size_t m = 0; m < matches_.size(); ++m) {
    if (budget_.Exhausted()) return first + 1;  // the pass's first step is exact on its own
    const Match& match = matches_[m];
    budget_.Charge(1);
    if ((match.start == 0 || split(match.start - 1)) &&
        (match.end == text.size() || split(match.end))) {
      // Split bytes on both sides: only occurrences inside the inserted text
      // itself can touch it.
      best = std::min(best, built_->insideNext[match.step]);
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

bool BatchReplacer::PassLikelyFits(std::string_view text, std::uint32_t first) const {
  // The windows sampled: spread over the text, each scanned from the
  // automaton's root (an occurrence across a window's start is missed).
  constexpr std::size_t kWindows = 4, kWindowBytes = 1024;
  // What a pass charges at the least: the scan of every byte, per occurrence
  // its output and its grouping, and per match not between split bytes a check
  // (its set-up and one byte fed).
  constexpr std::size_t kPerOccurrence = 2, kPerCheck = 17;
  const double left = static_cast<double>(budget_.Limit()) - static_cast<double>(budget_.Spent());
  // A text with room for a checked occurrence at every byte is not sampled.
  if (static_cast<double>(text.size() * (1 + kPerOccurrence + kPerCheck)) <= left) return true;
  const AhoCorasick::View ac = built_->automaton.view();
  const AhoCorasick& automaton = built_->automaton;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t window = std::min(kWindowBytes, text.size() / kWindows + 1);
  std::size_t sampled = 0, occurrences = 0, checks = 0;
  for (std::size_t w = 0; w < kWindows; ++w) {
    const std::size_t begin = (text.size() - window) / (kWindows - 1) * w;
    const std::size_t end = std::min(text.size(), begin + window);
    sampled += end - begin;
    std::uint32_t row = 0;
    for (std::size_t i = begin; i < end; ++i) {
      const std::uint32_t entry = ac.Read(row, bytes[i]);
      row = AhoCorasick::NextRow(entry);
      if (!AhoCorasick::HasOutput(entry)) continue;
      automaton.ForEachOutput(row, [&](std::uint32_t step) {
        ++occurrences;
        if (step < first) return;
        const std::size_t start = i + 1 - shared_->finds_[step].size();
        if ((start > 0 && !split_[bytes[start - 1]]) ||
            (i + 1 < text.size() && !split_[bytes[i + 1]]))
          ++checks;
      });
    }
  }
  if (sampled == 0) return true;
  const double scale = static_cast<double>(text.size()) / static_cast<double>(sampled);
  const double work =
      static_cast<double>(text.size()) +
      scale * static_cast<double>(kPerOccurrence * occurrences + kPerCheck * checks);
  return work <= left;
}

void BatchReplacer::RunChunk(std::string_view text, std::string& result) {
  const auto total = static_cast<std::uint32_t>(shared_->finds_.size());
  std::string_view current = text;
  std::uint32_t first = 0;
  while (first < total) {
    // A pass that would spend the budget before it proves more than its first
    // step is not begun.
    if (budget_.Exhausted() || !PassLikelyFits(current, first))
      return RunRest(current, first, result);
    const std::size_t budget = current.size() + limits_.extraOccurrences;
    std::uint32_t last = total - 1;
    Collected collected = Collect(current, first, last, budget);
    if (collected == Collected::kTooMany) {
      std::size_t sum = counts_[first];
      last = first;
      while (last + 1 < total && sum + counts_[last + 1] <= budget) sum += counts_[++last];
      collected = Collect(current, first, last, budget);
    }
    if (collected == Collected::kOverBudget) return RunRest(current, first, result);
    ++passes_;
    Choose(current.size(), first, last);
    const std::uint32_t stop = matches_.empty() ? last + 1 : FirstConflict(current, first, last);
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
        target += shared_->steps_[m.step].replacement;
        done = m.end;
      }
      target.append(current.substr(done));
      current = target;
    }
    // A pass costs the work of some plain steps: one that applied only a few
    // is followed by as many steps run one by one, so that rules that keep
    // feeding each other cost about what the plain steps do.
    if (stop - first < limits_.minPassSteps && stop < total) {
      const auto until =
          static_cast<std::uint32_t>(std::min<std::size_t>(total, stop + limits_.minPassSteps));
      std::string& target = current.data() == result.data() ? scratch_ : result;
      target.assign(current);
      RunStepByStep(target, std::span(shared_->steps_).subspan(stop, until - stop));
      current = target;
      first = until;
      continue;
    }
    first = stop;
  }
  if (current.data() == scratch_.data())
    result.swap(scratch_);
  else if (current.data() != result.data())
    result.assign(text);
}

void BatchReplacer::Run(std::string_view text, std::string& out) {
  RunChunks(text, out);
  ReleaseScratch();
}

void BatchReplacer::ReleaseScratch() {
  // What a long text needed is not kept for the next call.
  const std::size_t kept = limits_.keptScratch;
  if (occurrenceCapacity_ > kept) {
    occurrenceBuffer_.reset();
    occurrenceCapacity_ = 0;
  }
  if (grouped_.capacity() > kept) std::vector<Grouped>().swap(grouped_);
  if (covered_.capacity() > kept) std::vector<std::uint64_t>().swap(covered_);
  if (chosen_.capacity() > kept) std::vector<std::uint8_t>().swap(chosen_);
  if (matches_.capacity() > kept) std::vector<Match>().swap(matches_);
  if (scratch_.capacity() > kept) std::string().swap(scratch_);
}

void BatchReplacer::RunChunks(std::string_view text, std::string& out) {
  passes_ = 0;
  lastStepByStep_ = false;
  if (text.empty() || shared_->finds_.empty()) {
    out.assign(text);
    return;
  }
  budget_ = Budget(limits_.fixedWork, limits_.workPerByteStep,
                   static_cast<double>(text.size()) * static_cast<double>(shared_->finds_.size()));
  if (!built_) {
    if (!WorthBuilding(text.size()) && !HasAutomaton()) return RunRest(text, 0, out);
    Build();
  }
  if (text.size() <= limits_.chunkBytes) return RunChunk(text, out);
  out.clear();
  std::string chunk;
  std::size_t from = 0;
  while (from < text.size()) {
    std::size_t to = std::min(text.size(), from + limits_.chunkBytes);
    while (to < text.size() && !IsSplitByte(static_cast<unsigned char>(text[to - 1]))) ++to;
    // A long stretch without a split byte would need scratch in proportion to
    // it (some 35 bytes a byte): its steps run one by one instead.
    if (to - from > 2 * limits_.chunkBytes)
      RunRest(text.substr(from, to - from), 0, chunk);
    else
      RunChunk(text.substr(from, to - from), chunk);
    out += chunk;
    from = to;
  }
}

}  // namespace glossmith::detail
