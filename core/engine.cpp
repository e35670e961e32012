#include "engine.h"

#include <algorithm>
#include <array>
#include <memory>
#include <utility>
#include <vector>

#include "batch_replace.h"
#include "chain_machine.h"
#include "custom_list.h"
#include "hardcore_table.h"
#include "rules.h"

namespace glossmith {

namespace detail {

using Steps = std::vector<std::pair<std::string, std::string>>;

// The phases of one translation, run one after another on ping-pong buffers.
class Plan {
 public:
  void AddMachine(const Steps& steps) {
    if (steps.empty()) return;
    auto machine = std::make_unique<ChainMachine>(steps);
    for (int b = 0; b < 256; ++b)
      boundary_[b] = boundary_[b] && machine->IsBoundary(static_cast<unsigned char>(b));
    phases_.push_back({std::move(machine), nullptr});
  }

  void AddBatch(const Steps& steps) {
    // Split lists whose automaton would be very large; each part is exact on
    // its own and they run in order.
    constexpr std::size_t kMaxEntries = std::size_t{1} << 24;
    std::size_t from = 0;
    while (from < steps.size()) {
      // Automaton size: (trie nodes) x (byte classes), bounded by the bytes
      // of the find strings.
      std::array<bool, 256> used{};
      std::size_t classes = 1, nodes = 1, to = from;
      while (to < steps.size()) {
        const std::string& find = steps[to].first;
        std::size_t moreClasses = classes;
        for (unsigned char c : find) moreClasses += used[c] ? 0 : 1;
        if (to > from && (nodes + find.size()) * std::min<std::size_t>(moreClasses, 257) > kMaxEntries)
          break;
        for (unsigned char c : find) {
          if (!used[c]) ++classes;
          used[c] = true;
        }
        nodes += find.size();
        ++to;
      }
      Steps part(steps.begin() + static_cast<std::ptrdiff_t>(from),
                 steps.begin() + static_cast<std::ptrdiff_t>(to));
      auto batch = std::make_unique<BatchReplacer>(part);
      for (int b = 0; b < 256; ++b)
        boundary_[b] = boundary_[b] && batch->IsBoundary(static_cast<unsigned char>(b));
      phases_.push_back({nullptr, std::move(batch)});
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
      if (phase.machine)
        phase.machine->Run(source, *target);
      else
        phase.batch->Run(source, *target);
      source = *target;
      target = target == &out ? &scratch_ : &out;
    }
    // Do not keep a large intermediate text alive between calls.
    constexpr std::size_t kKeptScratch = std::size_t{1} << 24;
    if (scratch_.capacity() > kKeptScratch) std::string().swap(scratch_);
  }

  bool IsBoundary(unsigned char byte) const { return boundary_[byte]; }

 private:
  struct Phase {
    std::unique_ptr<ChainMachine> machine;
    std::unique_ptr<BatchReplacer> batch;
  };
  std::vector<Phase> phases_;
  std::array<bool, 256> boundary_ = [] {
    std::array<bool, 256> all{};
    all.fill(true);
    return all;
  }();
  std::string scratch_;
};

}  // namespace detail

namespace {

using detail::Steps;

// The strings a translation depends on, exactly as read in one call.
struct RuleKey {
  std::string search;
  std::string replace;
  LetterTable table;  // read only in Hardcore mode; empty otherwise
  bool operator==(const RuleKey&) const = default;
};

template <typename Chain>
void AppendSteps(Steps& steps, const Chain& chain) {
  for (const auto& [find, replacement] : chain) steps.emplace_back(find, replacement);
}

std::shared_ptr<detail::Plan> Compile(Direction direction, bool hardcore, const RuleKey& key) {
  auto plan = std::make_shared<detail::Plan>();
  const auto pairs = CustomPairs(key.search, key.replace);
  Steps custom;
  for (const auto& [search, replacement] : pairs) {
    if (direction == Direction::kEnglishToL33t)
      custom.emplace_back(search, replacement);
    else if (!replacement.empty())  // an empty find string changes nothing
      custom.emplace_back(replacement, search);
  }
  const bool fused = custom.size() <= Translator::kFusedPairs;

  Steps chain;
  if (direction == Direction::kEnglishToL33t) {
    if (fused) chain = custom;
    if (hardcore)
      AppendSteps(chain, HardcoreChain(key.table));
    else
      AppendSteps(chain, kStandardChain);
    if (!fused) plan->AddBatch(custom);
    plan->AddMachine(chain);
  } else {
    if (hardcore)
      AppendSteps(chain, ReverseHardcoreChain(key.table));
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
      plan->AddBatch(custom);
      plan->AddMachine(lone);
    }
  }
  return plan;
}

// One compiled plan per direction and mode, for the strings it was built from.
struct CacheSlot {
  RuleKey key;
  std::shared_ptr<detail::Plan> plan;
};

std::shared_ptr<detail::Plan> PlanFor(Direction direction, bool hardcore, RuleKey key) {
  thread_local std::array<CacheSlot, 4> cache;
  CacheSlot& slot = cache[(direction == Direction::kL33tToEnglish ? 2 : 0) + (hardcore ? 1 : 0)];
  if (!slot.plan || !(slot.key == key)) {
    slot.plan = Compile(direction, hardcore, key);
    slot.key = std::move(key);
  }
  return slot.plan;
}

}  // namespace

Translator::Translator(Direction direction, bool hardcore, const Settings& settings) {
  RuleKey key;
  key.search = settings.Read(kApp, kSectionChange, kKeySearch);
  key.replace = settings.Read(kApp, kSectionChange, kKeyReplace);
  if (hardcore) key.table = ReadLetterTable(settings);
  plan_ = PlanFor(direction, hardcore, std::move(key));
}

Translator::~Translator() = default;

void Translator::Translate(std::string_view text, std::string& out) { plan_->Run(text, out); }

bool Translator::IsSplitByte(unsigned char byte) const { return plan_->IsBoundary(byte); }

std::size_t Translator::SplitPoint(std::string_view text) const {
  for (std::size_t i = text.size(); i > 0; --i) {
    if (plan_->IsBoundary(static_cast<unsigned char>(text[i - 1]))) return i;
  }
  return 0;
}

}  // namespace glossmith
