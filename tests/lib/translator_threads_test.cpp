// The engine's translator for many threads: one compiled copy while threads
// take turns, never more copies than it was allowed, the reference's bytes,
// whether the threads call it text by text or hold leases, and whether or
// not their first calls race to compile.

#include <gtest/gtest.h>

#include <barrier>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/engine/chain_machine.h"
#include "core/engine/engine.h"
#include "core/rules/literal_replace.h"
#include "core/rules/reference.h"

namespace glossmith {
namespace {

// Long enough a Custom list for a batch, whose automaton the copies share.
RuleSet Rules() {
  RuleSet rules{{{"dude", "d00d"}, {"\n\n", "\r\n"}}, DefaultLetterTable()};
  for (int i = 0; i < 40; ++i) rules.custom.emplace_back("w" + std::to_string(i) + "x", "<>");
  return rules;
}

std::string Text(int seed) {
  std::string text;
  for (int i = 0; i < 2000; ++i)
    text += (i + seed) % 7 ? "the dude hacks w" + std::to_string(i % 50) + "x " : "\n\nnewbie ";
  return text;
}

// Runs body(t) on `count` threads that start together, and waits for them.
template <typename Body>
void RunTogether(int count, Body body) {
  std::barrier start(count);
  std::vector<std::thread> threads;
  for (int t = 0; t < count; ++t)
    threads.emplace_back([&, t] {
      start.arrive_and_wait();
      body(t);
    });
  for (std::thread& thread : threads) thread.join();
}

TEST(TranslatorThreadsTest, ThreadsTakingTurnsShareOneCompiledCopy) {
  const Translator translator(Direction::kEnglishToL33t, true, Rules(), {.maxPlans = 4});
  for (int t = 0; t < 8; ++t) {
    std::string out;
    std::thread([&] { translator.Translate(Text(t), out); }).join();
    ASSERT_EQ(out, reference::EnglishToL33t(Text(t), true, Rules())) << "thread " << t;
  }
  EXPECT_EQ(translator.PlanCount(), 1u);
}

TEST(TranslatorThreadsTest, ConcurrentThreadsStayWithinTheirCopies) {
  const struct {
    const char* name;
    bool leased;
    int textLength;  // repeats of a short line; 0 for Text()
  } kCases[] = {
      {"text by text", false, 0},
      {"leases", true, 0},
      // Short texts: every thread's first call may run uncompiled, the rest
      // race to compile the first copy.
      {"short texts, text by text", false, 2},
      {"short texts, leases", true, 2},
  };
  for (const auto& c : kCases) {
    for (const std::size_t copies : {1u, 2u, 3u}) {
      const Translator translator(Direction::kL33tToEnglish, false, Rules(), {.maxPlans = copies});
      constexpr int kThreads = 8;
      auto text = [&](int t) {
        if (c.textLength == 0) return Text(t);
        std::string line;
        for (int i = 0; i < c.textLength; ++i) line += "th3 d00d w" + std::to_string(t) + "x\n";
        return line;
      };
      std::vector<std::string> outs(kThreads);
      RunTogether(kThreads, [&](int t) {
        const std::string in = text(t);
        if (c.leased) {
          Translator::Lease lease(translator);
          for (int round = 0; round < 10; ++round) lease.Translate(in, outs[t]);
        } else {
          for (int round = 0; round < 10; ++round) translator.Translate(in, outs[t]);
        }
      });
      EXPECT_LE(translator.PlanCount(), copies) << c.name;
      for (int t = 0; t < kThreads; ++t)
        ASSERT_EQ(outs[t], reference::L33tToEnglish(text(t), false, Rules()))
            << c.name << ", " << copies << ", " << t;
    }
  }
}

// Threads running one machine fill one table: entries one thread publishes
// the others read, and full tables are replaced (a wide one by a narrow one)
// while other runs are part way through theirs. Every run gives the steps'
// result.
TEST(SharedMachineTest, ThreadsFillingOneTableGiveTheStepsResult) {
  std::mt19937 rng(7);
  auto random = [&](std::size_t length, std::string_view alphabet) {
    std::string text(length, ' ');
    for (char& c : text) c = alphabet[rng() % alphabet.size()];
    for (std::size_t i = 89; i < text.size(); i += 89) text[i] = '\n';  // lanes
    return text;
  };
  Steps interacting;
  for (int i = 0; i < 8; ++i)
    interacting.emplace_back(random(2 + rng() % 3, "abcd"), random(rng() % 4, "abcd"));
  std::string runsOfA;
  while (runsOfA.size() < (std::size_t{1} << 20) + 5000) runsOfA += std::string(400, 'a') + "b\n";
  const struct {
    const char* name;
    Steps steps;
    detail::MachineLimits limits;
    std::vector<std::string> texts;
  } kCases[] = {
      {"a table of a few states",
       interacting,
       {.maxEntries = 64},
       {random(60000, "abcd"), random(3000, "abcd"), random(60000, "abcdxy")}},
      // 300 states pass 256 wide rows: the table is replaced, and the next
      // chunk goes on in a narrow one.
      {"wide, then narrow",
       {{std::string(299, 'a') + "b", "<X>"}, {"ab", "Y"}},
       {.maxEntries = std::size_t{1} << 16 | 512},
       {runsOfA, runsOfA.substr(0, 70000)}},
  };
  for (const auto& c : kCases) {
    detail::ChainMachine machine(c.steps, c.limits);
    std::vector<std::string> expected;
    for (const std::string& text : c.texts) {
      expected.push_back(text);
      RunStepByStep(expected.back(), c.steps);
    }
    constexpr int kThreads = 4;
    std::vector<std::string> failures(kThreads);
    RunTogether(kThreads, [&](int t) {
      detail::ChainMachine::RunState state(machine);
      std::string out;
      for (std::size_t run = 0; run < 3 * c.texts.size(); ++run) {
        const std::size_t which = (run + t) % c.texts.size();
        machine.Run(c.texts[which], out, state);
        if (out != expected[which] && failures[t].empty())
          failures[t] = "text " + std::to_string(which) + ", run " + std::to_string(run);
      }
    });
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], "") << c.name << ", thread " << t;
    EXPECT_GT(machine.ResetCount(), 0u) << c.name;
  }
}

}  // namespace
}  // namespace glossmith
