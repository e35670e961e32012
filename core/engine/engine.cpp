#include "core/engine/engine.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <memory>
#include <span>
#include <stdexcept>
#include <thread>
#include <utility>
#include <variant>
#include <vector>

#include "core/engine/aligned_run.h"
#include "core/engine/batch_replace.h"
#include "core/engine/budget.h"
#include "core/engine/chain_machine.h"
#include "core/rules/custom_list.h"
#include "core/rules/hardcore_table.h"
#include "core/rules/reference.h"
#include "core/rules/rules.h"

namespace glossmith {

namespace detail {

// What copies of a plan compiled from the same rules share: the batches'
// automata and the machines (with their tables), in phase order.
struct SharedParts {
  std::vector<std::shared_ptr<SharedAutomaton>> automata;
  std::vector<std::shared_ptr<ChainMachine>> machines;
};

// The phases of one translation, run one after another on ping-pong buffers:
// composed machines, batches, and steps run one by one where neither pays.
class Plan {
 public:
  // `from`: the parts of an earlier copy compiled from the same rules, whose
  // machines this one takes rather than build its own.
  explicit Plan(const SharedParts* from = nullptr) : from_(from) {}

  // Composes the steps into machines; a step whose find string passes
  // kMaxComposedFind runs on its own between them.
  void AddMachine(const Steps& steps) {
    Steps composed;
    for (const OwnedStep& step : steps) {
      if (step.find.size() <= kMaxComposedFind) {
        composed.push_back(step);
        continue;
      }
      AddComposed(std::exchange(composed, {}));
      AddStepByStep({step});
    }
    AddComposed(composed);
  }

  // A long Custom list. One-byte steps fuse into byte maps, so that a list of
  // them is a machine of its own, with one state: all the list in one table
  // lookup per byte. That list is capped, since each step rewrites the map.
  void AddList(const Steps& steps) {
    if (steps.size() <= kMaxOneByteList &&
        std::all_of(steps.begin(), steps.end(),
                    [](const OwnedStep& step) { return step.find.size() == 1; }))
      AddComposed(steps);
    else
      AddBatch(steps);
  }

  // Cuts the list into parts whose automata fit their limit; what lies past
  // the plan's limit runs step by step.
  void AddBatch(const Steps& steps) {
    const std::span<const OwnedStep> all(steps);
    planEntries_ = Budget(kMaxPlanEntries + kAutomatonEntriesPerFindByte * FindBytes(all));
    std::size_t from = 0;
    while (from < all.size()) {
      const auto [to, entries] = LongestPart(all, from);
      if (entries <= PartLimit(all.subspan(from, to - from))) {
        if (!planEntries_.Affords(entries)) {
          AddStepByStep(Steps(all.begin() + static_cast<std::ptrdiff_t>(from), all.end()));
          return;
        }
        planEntries_.Charge(entries);
      }
      auto batch = std::make_unique<BatchReplacer>(all.subspan(from, to - from), entries);
      NoteSplitBytes([&](unsigned char b) { return batch->IsSplitByte(b); });
      phases_.emplace_back(std::move(batch));
      from = to;
    }
  }

  void Run(std::string_view text, std::string& out) {
    if (phases_.empty()) {
      out.assign(text);
      return;
    }
    // Alternate so that the last phase writes into `out`.
    std::string* target = phases_.size() % 2 == 1 ? &out : &scratch_;
    std::string_view source = text;
    for (Phase& phase : phases_) {
      std::visit(Runner{source, *target}, phase);
      source = *target;
      target = target == &out ? &scratch_ : &out;
    }
    // Do not keep a large intermediate text alive between calls.
    if (scratch_.capacity() > kKeptScratch) std::string().swap(scratch_);
  }

  // Run, and the alignment of `out` to `text`: each phase's, composed.
  void RunAligned(std::string_view text, std::string& out, Alignment& alignment) {
    if (aligners_.size() != phases_.size()) MakeAligners();
    alignment = Alignment();
    if (phases_.empty()) {
      out.assign(text);
      alignment.AppendOneToOne(text.size());
      return;
    }
    std::string* target = phases_.size() % 2 == 1 ? &out : &scratch_;
    std::string_view source = text;
    for (std::size_t p = 0; p < phases_.size(); ++p) {
      Alignment phase = std::visit(AlignedRunner{source, *target, aligners_[p].get()}, phases_[p]);
      alignment = p == 0 ? std::move(phase) : Compose(alignment, phase);
      source = *target;
      target = target == &out ? &scratch_ : &out;
    }
    if (scratch_.capacity() > kKeptScratch) std::string().swap(scratch_);
    alignment.ShrinkToFit();
  }

  bool IsSplitByte(unsigned char byte) const { return split_[byte]; }

  std::string Describe() const {
    std::string text;
    for (const Phase& phase : phases_) {
      if (!text.empty()) text += ", ";
      if (const auto* machine = std::get_if<Machine>(&phase))
        text += machine->state.LastRunStepByStep() ? "machine (gave up)" : "machine";
      else if (const auto* batch = std::get_if<std::unique_ptr<BatchReplacer>>(&phase))
        text += (*batch)->LastRunStepByStep() ? "batch (gave up)" : "batch";
      else
        text += "step by step";
    }
    return text.empty() ? "copy" : text;
  }

  // A plan compiled from the same rules for another thread shares these
  // (Share), so that every copy of the plan keeps one of each.
  SharedParts Shared() const {
    SharedParts parts;
    for (const Phase& phase : phases_) {
      if (const auto* batch = std::get_if<std::unique_ptr<BatchReplacer>>(&phase))
        parts.automata.push_back((*batch)->Automaton());
      else if (const auto* machine = std::get_if<Machine>(&phase))
        parts.machines.push_back(machine->machine);
    }
    return parts;
  }
  void Share(const SharedParts& parts) {
    aligners_.clear();  // they refer to the steps of the parts replaced
    std::size_t automata = 0, machines = 0;
    for (Phase& phase : phases_) {
      if (auto* batch = std::get_if<std::unique_ptr<BatchReplacer>>(&phase)) {
        if (automata < parts.automata.size()) (*batch)->ShareAutomaton(parts.automata[automata++]);
      } else if (auto* machine = std::get_if<Machine>(&phase)) {
        if (machines < parts.machines.size()) {
          machine->machine = parts.machines[machines++];
          machine->state = ChainMachine::RunState(*machine->machine);
        }
      }
    }
  }

  std::size_t RetainedBytes() const {
    std::size_t bytes = scratch_.capacity();
    for (const Phase& phase : phases_) {
      if (const auto* machine = std::get_if<Machine>(&phase))
        bytes += machine->machine->RetainedBytes() + machine->state.ScratchBytes();
      else if (const auto* batch = std::get_if<std::unique_ptr<BatchReplacer>>(&phase))
        bytes += (*batch)->RetainedBytes();
      else
        bytes += HeapBytes(std::get<StepByStep>(phase).steps);
    }
    for (const auto& aligner : aligners_)
      if (aligner) bytes += aligner->RetainedBytes();
    return bytes;
  }

 private:
  struct StepByStep {
    Steps steps;
  };
  // A machine, which copies of the plan share, and this copy's runs of it.
  struct Machine {
    std::shared_ptr<ChainMachine> machine;
    ChainMachine::RunState state;
  };
  using Phase = std::variant<Machine, std::unique_ptr<BatchReplacer>, StepByStep>;
  struct Runner {
    std::string_view source;
    std::string& target;
    void operator()(Machine& m) const { m.machine->Run(source, target, m.state); }
    void operator()(const std::unique_ptr<BatchReplacer>& b) const { b->Run(source, target); }
    void operator()(const StepByStep& s) const {
      target.assign(source);
      RunStepByStep(target, s.steps);
    }
  };

  // Aligns one phase's run (aligned_run.h).
  struct AlignedRunner {
    std::string_view source;
    std::string& target;
    StretchAligner* aligner;
    Alignment operator()(Machine& m) const {
      struct Marks : ChainMachine::Marks {
        explicit Marks(StretchAligner& a) : aligner(a) {}
        void Read(std::span<const std::uint8_t> marks) override { aligner.Read(marks); }
        StretchAligner& aligner;
      } marks(*aligner);
      aligner->Begin(source);
      if (!m.machine->RunMarked(source, target, m.state, marks))
        return RunStepByStepAligned(source, m.machine->ComposedSteps()).alignment;
      Alignment alignment = aligner->Finish();
      if (alignment.OutputSize() != target.size())
        throw std::logic_error("a machine's pieces disagree with its output");
      return alignment;
    }
    Alignment operator()(const std::unique_ptr<BatchReplacer>& b) const {
      b->Run(source, target);
      // Right after a split byte no step holds anything pending.
      aligner->Begin(source);
      for (std::size_t i = 0; i < source.size(); ++i)
        if (b->IsSplitByte(static_cast<unsigned char>(source[i])))
          aligner->At(i + 1, StretchAligner::kUnknownOutput);
      Alignment alignment = aligner->Finish();
      if (alignment.OutputSize() != target.size())
        throw std::logic_error("a batch's pieces disagree with its output");
      return alignment;
    }
    Alignment operator()(const StepByStep& s) const {
      AlignedText aligned = RunStepByStepAligned(source, s.steps);
      target = std::move(aligned.text);
      return std::move(aligned.alignment);
    }
  };

  void MakeAligners() {
    aligners_.clear();
    for (const Phase& phase : phases_) {
      if (const auto* machine = std::get_if<Machine>(&phase))
        aligners_.push_back(std::make_unique<StretchAligner>(machine->machine->ComposedSteps()));
      else if (const auto* batch = std::get_if<std::unique_ptr<BatchReplacer>>(&phase))
        aligners_.push_back(std::make_unique<StretchAligner>((*batch)->BatchSteps()));
      else
        aligners_.push_back(nullptr);
    }
  }

  struct Part {
    std::size_t end;
    std::size_t entries;  // of its automaton
  };

  static std::size_t FindBytes(std::span<const OwnedStep> steps) {
    std::size_t bytes = 0;
    for (const OwnedStep& step : steps) bytes += step.find.size();
    return bytes;
  }
  static std::size_t PartLimit(std::span<const OwnedStep> part) {
    return kMaxPartEntries + kAutomatonEntriesPerFindByte * FindBytes(part);
  }

  // The longest part from `from` whose automaton fits its limit (at least one
  // step). A part's limit grows with its find strings about as fast as its
  // sparse nodes do, so that nearly every list is one part, counted without
  // a sort. Otherwise a doubling then halving search finds it; it starts from
  // one step, so that counting never sorts much more than twice the part it
  // settles on.
  static Part LongestPart(std::span<const OwnedStep> steps, std::size_t from) {
    auto part = [&](std::size_t to) { return steps.subspan(from, to - from); };
    auto entries = [&](std::size_t to) {
      return BatchReplacer::AutomatonEntries(part(to), PartLimit(part(to)));
    };
    if (const std::size_t all = entries(steps.size()); all <= PartLimit(part(steps.size())))
      return {steps.size(), all};
    Part good{from + 1, entries(from + 1)};
    if (good.entries > PartLimit(part(from + 1))) return good;
    std::size_t bad = steps.size() + 1;
    auto tryEnd = [&](std::size_t to) {
      const std::size_t counted = entries(to);
      if (counted > PartLimit(part(to))) {
        bad = to;
        return false;
      }
      good = {to, counted};
      return true;
    };
    for (std::size_t stride = 1; good.end < steps.size(); stride *= 2)
      if (!tryEnd(std::min(steps.size(), good.end + stride))) break;
    while (bad - good.end > 1) tryEnd(good.end + (bad - good.end) / 2);
    return good;
  }

  void AddComposed(const Steps& steps) {
    if (steps.empty()) return;
    auto machine = from_ && machinesTaken_ < from_->machines.size()
                       ? from_->machines[machinesTaken_++]
                       : std::make_shared<ChainMachine>(steps);
    NoteSplitBytes([&](unsigned char b) { return machine->IsSplitByte(b); });
    phases_.emplace_back(Machine{machine, ChainMachine::RunState(*machine)});
  }

  // Consecutive steps run one by one are one phase.
  void AddStepByStep(Steps steps) {
    for (const auto& [find, replacement] : steps)
      for (unsigned char c : find) split_[c] = false;
    if (!phases_.empty())
      if (auto* last = std::get_if<StepByStep>(&phases_.back())) {
        last->steps.insert(last->steps.end(), steps.begin(), steps.end());
        return;
      }
    phases_.emplace_back(StepByStep{std::move(steps)});
  }

  template <typename IsSplitByteOf>
  void NoteSplitBytes(IsSplitByteOf isSplitByte) {
    for (int b = 0; b < 256; ++b)
      split_[b] = split_[b] && isSplitByte(static_cast<unsigned char>(b));
  }

  const SharedParts* from_;
  std::size_t machinesTaken_ = 0;
  std::vector<Phase> phases_;
  Budget planEntries_;  // the entries of all the plan's automata
  std::array<bool, 256> split_ = [] {
    std::array<bool, 256> all{};
    all.fill(true);
    return all;
  }();
  std::string scratch_;
  // Per phase, made at the first aligned run.
  std::vector<std::unique_ptr<StretchAligner>> aligners_;
};

}  // namespace detail

namespace {

template <typename Chain>
void AppendSteps(Steps& steps, const Chain& chain) {
  for (const auto& [find, replacement] : chain) steps.emplace_back(find, replacement);
}

// The phases for `custom`, the Custom list's steps in the direction's order,
// and the chain of `letters` (in Hardcore mode) or the standard one.
std::unique_ptr<detail::Plan> CompilePlan(Direction direction, bool hardcore, const Steps& custom,
                                          const LetterTable& letters,
                                          const detail::SharedParts* from) {
  auto plan = std::make_unique<detail::Plan>(from);
  const bool fused = custom.size() <= Translator::kFusedPairs;
  Steps chain;
  if (direction == Direction::kEnglishToL33t) {
    if (fused) chain = custom;
    if (hardcore)
      AppendSteps(chain, HardcoreChain(letters));
    else
      AppendSteps(chain, kStandardChain);
    if (!fused) plan->AddList(custom);
    plan->AddMachine(chain);
  } else {
    if (hardcore)
      AppendSteps(chain, ReverseHardcoreChain(letters));
    else
      AppendSteps(chain, kReverseStandardChain);
    Steps lone;
    AppendSteps(lone, kLoneLetterSteps);
    if (fused) {
      chain.insert(chain.end(), custom.begin(), custom.end());
      chain.insert(chain.end(), lone.begin(), lone.end());
      plan->AddMachine(chain);
    } else {
      plan->AddMachine(chain);
      plan->AddList(custom);
      plan->AddMachine(lone);
    }
  }
  return plan;
}

}  // namespace

Translator::Translator(Direction direction, bool hardcore, RuleSet rules, TranslatorOptions options)
    : direction_(direction), hardcore_(hardcore), rules_(std::move(rules)), options_(options) {
  std::call_once(parsed_, [] {});  // given parsed
}

Translator::Translator(Direction direction, bool hardcore, StoredRules rules,
                       TranslatorOptions options)
    : direction_(direction),
      hardcore_(hardcore),
      stored_(std::make_unique<const StoredRules>(std::move(rules))),
      options_(options) {}

Translator::~Translator() = default;

const RuleSet& Translator::rules() const {
  std::call_once(parsed_, [&] {
    rules_.custom = CustomPairs(stored_->search, stored_->replace);
    rules_.letters = stored_->letters;
  });
  return rules_;
}

const LetterTable& Translator::letters() const {
  return stored_ ? stored_->letters : rules_.letters;
}

template <typename Pair>
void Translator::ForEachCustom(Pair pair) const {
  if (stored_) {
    ForEachCustomPair(stored_->search, stored_->replace, pair);
    return;
  }
  for (const auto& [search, replacement] : rules_.custom) pair(search, replacement);
}

template <typename Visit>
void Translator::ForEachStep(Visit visit) const {
  reference::ForEachStep(
      direction_ == Direction::kL33tToEnglish, hardcore_, letters(),
      [&](auto pair) { ForEachCustom(pair); }, visit);
}

const std::array<bool, 256>& Translator::SplitBytes() const {
  // Every engine of a plan cuts after a byte that no find string holds, so
  // the plan does too: no need to compile to know them.
  std::call_once(splitFound_, [&] {
    split_.fill(true);
    ForEachStep([&](std::string_view find, std::string_view) {
      for (unsigned char c : find) split_[c] = false;
    });
    splitKnown_.store(true, std::memory_order_release);
  });
  return split_;
}

std::unique_ptr<detail::Plan> Translator::Compile(const detail::SharedParts* from) const {
  Steps custom;
  ForEachCustom([&](std::string_view search, std::string_view replacement) {
    if (direction_ == Direction::kEnglishToL33t)
      custom.emplace_back(search, replacement);
    else if (!replacement.empty())  // an empty find string changes nothing
      custom.emplace_back(replacement, search);
  });
  return CompilePlan(direction_, hardcore_, custom, letters(), from);
}

bool Translator::RunUncompiledFirst(std::string_view text, std::string& out,
                                    Alignment* alignment) const {
  if (!options_.uncompiledFirstCall || compiled_.load(std::memory_order_acquire) ||
      ranUncompiled_.load(std::memory_order_relaxed))
    return false;
  // The byte-steps of running the text through every step (see
  // kFirstCallWork); the built-in chains have 64 steps at most.
  constexpr std::size_t kChainSteps = kStandardChain.size() + kLoneLetterSteps.size();
  const std::size_t perStep = text.size() + detail::kStepBytes;
  if (perStep > detail::kFirstCallWork) return false;
  std::size_t pairs = rules_.custom.size();
  if (stored_)
    pairs = ForEachCustomPair(stored_->search, stored_->replace,
                              [](std::string_view, std::string_view) {});
  if ((kChainSteps + pairs) * perStep > detail::kFirstCallWork) return false;
  // Threads that start together may each run uncompiled: same bytes.
  ranUncompiled_.store(true, std::memory_order_relaxed);
  if (alignment) {  // the reference's own way
    Steps steps;
    ForEachStep([&](std::string_view find, std::string_view replacement) {
      steps.emplace_back(find, replacement);
    });
    AlignedText aligned = RunStepByStepAligned(text, steps);
    out = std::move(aligned.text);
    *alignment = std::move(aligned.alignment);
    return true;
  }
  out.assign(text);
  std::string spare;
  ForEachStep([&](std::string_view find, std::string_view replacement) {
    ReplaceStep(out, spare, find, replacement);  // an empty find string changes nothing
  });
  return true;
}

std::unique_ptr<detail::Plan> Translator::Take() const {
  std::unique_lock lock(mutex_);
  if (!shared_) {
    // The first copy, compiled under the lock: every later one shares its
    // parts, so no thread could go on without it.
    auto plan = Compile(nullptr);
    shared_ = std::make_unique<const detail::SharedParts>(plan->Shared());
    plans_ = 1;
    compiled_.store(true, std::memory_order_release);
    return plan;
  }
  // Asked only now: a translator run by one thread never needs it.
  if (options_.maxPlans == 0) options_.maxPlans = std::max(1u, std::thread::hardware_concurrency());
  idleChanged_.wait(lock, [&] { return !idle_.empty() || plans_ < options_.maxPlans; });
  if (!idle_.empty()) {
    // The plan this thread ran last, if it is idle: its tables are likely
    // still in this processor's cache.
    auto mine = std::find_if(idle_.begin(), idle_.end(), [](const Idle& idle) {
      return idle.lastThread == std::this_thread::get_id();
    });
    if (mine == idle_.end()) mine = idle_.end() - 1;
    auto plan = std::move(mine->plan);
    idle_.erase(mine);
    return plan;
  }
  ++plans_;
  lock.unlock();
  try {
    // The same rules compile to the same phases: the new copy takes the
    // first one's machines as it is compiled, and shares its automata.
    auto plan = Compile(shared_.get());
    plan->Share(*shared_);
    return plan;
  } catch (...) {
    Give(nullptr);
    throw;
  }
}

// Returns a plan to the pool; nullptr gives up a plan that is no more.
void Translator::Give(std::unique_ptr<detail::Plan> plan) const {
  {
    std::lock_guard lock(mutex_);
    if (plan)
      idle_.push_back({std::move(plan), std::this_thread::get_id()});
    else
      --plans_;
  }
  idleChanged_.notify_one();
}

void Translator::Translate(std::string_view text, std::string& out) const {
  if (RunUncompiledFirst(text, out)) return;
  std::unique_ptr<detail::Plan> plan = Take();
  try {
    plan->Run(text, out);
  } catch (...) {
    Give(nullptr);
    throw;
  }
  Give(std::move(plan));
}

void Translator::TranslateAligned(std::string_view text, std::string& out,
                                  Alignment& alignment) const {
  Lease(*this).TranslateAligned(text, out, alignment);
}

std::size_t Translator::SplitPoint(std::string_view text) const {
  const std::array<bool, 256>& split = SplitBytes();
  for (std::size_t i = text.size(); i > 0; --i)
    if (split[static_cast<unsigned char>(text[i - 1])]) return i;
  return 0;
}

std::size_t Translator::PlanCount() const {
  std::lock_guard lock(mutex_);
  return plans_;
}

std::string Translator::Describe() const {
  if (ranUncompiled_.load() && !compiled_.load()) return "uncompiled";
  std::unique_ptr<detail::Plan> plan = Take();  // the one this thread ran last
  std::string text = plan->Describe();
  Give(std::move(plan));
  return text;
}

std::size_t Translator::RetainedBytes() const {
  std::unique_ptr<detail::Plan> plan = Take();
  // The rules as given (a parsed copy of stored ones, which only rules()
  // makes, is not counted).
  std::size_t bytes = plan->RetainedBytes();
  if (stored_)
    bytes += HeapBytes(stored_->search) + HeapBytes(stored_->replace);
  else
    bytes += HeapBytes(rules_.custom);
  for (const std::string& letter : letters()) bytes += HeapBytes(letter);
  Give(std::move(plan));
  return bytes;
}

Translator::Lease::Lease(const Translator& translator) : translator_(translator) {}

Translator::Lease::~Lease() {
  if (plan_) translator_.Give(std::move(plan_));
}

void Translator::Lease::Translate(std::string_view text, std::string& out) {
  if (!plan_) {
    if (std::exchange(first_, false) && translator_.RunUncompiledFirst(text, out)) return;
    plan_ = translator_.Take();
  }
  try {
    plan_->Run(text, out);
  } catch (...) {
    plan_.reset();
    translator_.Give(nullptr);
    throw;
  }
}

void Translator::Lease::TranslateAligned(std::string_view text, std::string& out,
                                         Alignment& alignment) {
  if (!plan_) {
    if (std::exchange(first_, false) && translator_.RunUncompiledFirst(text, out, &alignment))
      return;
    plan_ = translator_.Take();
  }
  try {
    plan_->RunAligned(text, out, alignment);
  } catch (...) {
    plan_.reset();
    translator_.Give(nullptr);
    throw;
  }
}

TranslatorCache::TranslatorCache(TranslatorOptions options) : options_(options) {}
TranslatorCache::~TranslatorCache() = default;

std::shared_ptr<const Translator> TranslatorCache::For(Direction direction, bool hardcore,
                                                       const Settings& settings) {
  StoredRules rules = ReadStoredRules(settings, hardcore);
  std::lock_guard lock(mutex_);
  Slot& slot = slots_[direction == Direction::kL33tToEnglish ? 1 : 0];
  if (slot.translator && slot.hardcore == hardcore && *slot.translator->stored_ == rules)
    return slot.translator;
  slot.translator.reset();  // free the old rules before the new ones are read
  slot.hardcore = hardcore;
  slot.translator =
      std::make_shared<const Translator>(direction, hardcore, std::move(rules), options_);
  return slot.translator;
}

void TranslatorCache::Clear() {
  std::lock_guard lock(mutex_);
  slots_ = {};
}

TranslatorCache& TranslatorCache::Process() {
  static TranslatorCache cache;
  return cache;
}

}  // namespace glossmith
