// gls_translate_each through the ordered map: every text's translation once,
// in order, in runs that never overlap, for any number of texts, sizes and
// jobs; a sink that stops ends it. Named ...Thread... for ThreadSanitizer.

#include <glossmith/glossmith.h>
#include <gtest/gtest.h>

#include <atomic>
#include <glossmith/glossmith.hpp>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Texts {
  const char* name;
  std::size_t count;
  std::size_t size;  // text i is about (i % 7 + 1) * size bytes
};

const Texts kTexts[] = {
    {"none", 0, 10},          {"one", 1, 10},
    {"a run of short", 200, 30}, {"many short", 5000, 20},
    {"a few long", 6, 300000},   {"empty texts", 600, 0},
};

std::vector<std::string> Make(const Texts& t) {
  std::vector<std::string> texts;
  for (std::size_t i = 0; i < t.count; ++i) {
    std::string text;
    while (text.size() < (i % 7 + 1) * t.size) text += i % 3 ? "hack the planet " : "dude\r\n";
    texts.push_back(text.substr(0, (i % 7 + 1) * t.size));
  }
  return texts;
}

// Checks that runs come one at a time, contiguous and in order.
struct Collected {
  std::vector<std::string> outs;
  std::atomic<int> inside = 0;
  bool overlapped = false;
  const std::thread::id caller = std::this_thread::get_id();
  bool offCaller = false;  // a run came on another thread
  std::size_t stopAfter = SIZE_MAX;

  static int Sink(void* context, size_t first, size_t count, const char* const* outs,
                  const size_t* lens) {
    auto& self = *static_cast<Collected*>(context);
    if (self.inside++ != 0) self.overlapped = true;
    if (std::this_thread::get_id() != self.caller) self.offCaller = true;
    const bool inOrder = first == self.outs.size();
    for (size_t i = 0; i < count; ++i) self.outs.emplace_back(outs[i], lens[i]);
    --self.inside;
    return !inOrder || self.outs.size() >= self.stopAfter;
  }
};

TEST(TranslateEachThreadTest, EveryTextOnceInOrder) {
  gls::Rules rules;
  rules.AddPair("dude", "d00d");
  const gls::Translator translator(rules, gls::Direction::kEnglishToL33t, gls::Mode::kHardcore);
  for (const Texts& t : kTexts) {
    const std::vector<std::string> texts = Make(t);
    std::vector<const char*> data;
    std::vector<size_t> lens;
    for (const std::string& text : texts) {
      data.push_back(text.data());
      lens.push_back(text.size());
    }
    for (const unsigned jobs : {0u, 1u, 2u, 8u}) {
      SCOPED_TRACE(std::string(t.name) + ", jobs " + std::to_string(jobs));
      Collected collected;
      ASSERT_EQ(gls_translate_each(translator.get(), texts.size(), data.data(), lens.data(), jobs,
                                   &Collected::Sink, &collected),
                GLS_OK);
      EXPECT_FALSE(collected.overlapped);
      EXPECT_FALSE(collected.offCaller);
      ASSERT_EQ(collected.outs.size(), texts.size());
      for (std::size_t i = 0; i < texts.size(); ++i)
        ASSERT_EQ(collected.outs[i], translator.Translate(texts[i])) << "text " << i;

      const std::vector<std::string_view> views(texts.begin(), texts.end());
      const std::vector<std::string> many = translator.TranslateMany(views, jobs);
      EXPECT_EQ(many, collected.outs);
    }
  }
}

TEST(TranslateEachThreadTest, ASinkThatStopsEndsIt) {
  const gls::Translator translator(gls::Rules(), gls::Direction::kEnglishToL33t);
  const std::vector<std::string> texts = Make({"many", 5000, 20});
  std::vector<const char*> data;
  std::vector<size_t> lens;
  for (const std::string& text : texts) {
    data.push_back(text.data());
    lens.push_back(text.size());
  }
  for (const unsigned jobs : {1u, 2u, 8u}) {
    Collected collected;
    collected.stopAfter = 1000;
    EXPECT_EQ(gls_translate_each(translator.get(), texts.size(), data.data(), lens.data(), jobs,
                                 &Collected::Sink, &collected),
              GLS_E_SINK);
    EXPECT_GE(collected.outs.size(), 1000u);
    EXPECT_LT(collected.outs.size(), texts.size());
  }
  struct Stop {};
  EXPECT_THROW(translator.TranslateEach({"a", "b"}, 2, [](std::size_t, std::string_view) {
    throw Stop{};
  }),
               Stop);
  EXPECT_EQ(gls_translate_each(translator.get(), 1, data.data(), lens.data(), 1, nullptr, nullptr),
            GLS_E_NULL);
}

}  // namespace
