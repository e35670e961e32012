// The engine's translator for many threads: one compiled copy while threads
// take turns, never more copies than it was allowed, the reference's bytes.

#include <gtest/gtest.h>

#include <barrier>
#include <string>
#include <thread>
#include <vector>

#include "core/engine/engine.h"
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

TEST(SharedTranslatorTest, ThreadsTakingTurnsShareOneCompiledCopy) {
  const SharedTranslator translator(Direction::kEnglishToL33t, true, Rules(), 4);
  for (int t = 0; t < 8; ++t) {
    std::string out;
    std::thread([&] { translator.Translate(Text(t), out); }).join();
    ASSERT_EQ(out, reference::EnglishToL33t(Text(t), true, Rules())) << "thread " << t;
  }
  EXPECT_EQ(translator.PlanCount(), 1u);
}

TEST(SharedTranslatorTest, ConcurrentThreadsStayWithinTheirCopies) {
  for (const std::size_t copies : {1u, 2u, 3u}) {
    const SharedTranslator translator(Direction::kL33tToEnglish, false, Rules(), copies);
    constexpr int kThreads = 8;
    std::barrier start(kThreads);
    std::vector<std::string> outs(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
      threads.emplace_back([&, t] {
        start.arrive_and_wait();
        for (int round = 0; round < 10; ++round) translator.Translate(Text(t), outs[t]);
      });
    for (std::thread& thread : threads) thread.join();
    EXPECT_LE(translator.PlanCount(), copies);
    for (int t = 0; t < kThreads; ++t)
      ASSERT_EQ(outs[t], reference::L33tToEnglish(Text(t), false, Rules())) << copies << ", " << t;
  }
}

}  // namespace
}  // namespace glossmith
