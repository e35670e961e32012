// libglossmith against the step-by-step rules: every way into the C API and
// the C++ wrapper gives the reference's bytes, for every direction, mode,
// rule set and kind of input; the buffer contract and every failure status;
// streams cut every way; threads sharing one translator.

#include <glossmith/glossmith.h>
#include <gtest/gtest.h>
#include <glossmith/glossmith.hpp>

#include <sys/resource.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "core/rules/hardcore_table.h"
#include "core/rules/reference.h"
#include "core/rules/rule_set.h"
#include "tests/support/text_difference.h"

namespace glossmith {
namespace {

using testing_support::Difference;

struct NamedRules {
  std::string name;
  RuleSet rules;
  std::size_t randomBytes;  // the size of the random input for this rule set
};

std::string RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string text(size, '\0');
  for (char& c : text) c = static_cast<char>(random() & 0xFF);
  return text;
}

std::string RandomWord(std::mt19937& random, std::size_t from, std::size_t to) {
  std::string word(from + random() % (to - from + 1), 'a');
  for (char& c : word) c = static_cast<char>('a' + random() % 26);
  return word;
}

std::vector<NamedRules> RuleSets() {
  std::vector<NamedRules> sets;
  const LetterTable defaults = DefaultLetterTable();
  sets.push_back({"built-in", {{}, defaults}, 1 << 20});

  RuleSet edited{{}, defaults};
  edited.letters[0] = "b";  // letters that spell other letters
  edited.letters[1] = "aa";
  edited.letters[7] = "|-|";
  edited.letters[4] = "";  // an empty symbol is used as it is
  sets.push_back({"edited alphabet", edited, 1 << 20});

  RuleSet odd{{{"dude", "d00d"},
               {"\r\n", "<br>"},  // a line break in a find string
               {"x", ""},         // deletes
               {std::string("a\0b", 3), "NUL"},
               {"hack", "h4x\nh4x"}},  // a line break in a replacement
              defaults};
  sets.push_back({"odd pairs", odd, 1 << 20});

  RuleSet feeding{{}, defaults};  // each replacement holds its own and the next find string
  for (int i = 0; i < 24; ++i) {
    const std::string find = "a" + std::to_string(i % 7);
    feeding.custom.emplace_back(find, "a" + std::to_string((i + 1) % 7) + find);
  }
  sets.push_back({"self-feeding pairs", feeding, 1 << 20});

  // Words to digits: the replacements cannot spell a find string, in either
  // direction, so the plain rules stay small on any text.
  RuleSet many{{}, defaults};
  std::mt19937 random(7);
  while (many.custom.size() < GLS_MAX_PAIRS) {
    std::string digits(1 + random() % 4, '0');
    for (char& c : digits) c = static_cast<char>('0' + random() % 10);
    many.custom.emplace_back(RandomWord(random, 3, 8), digits);
  }
  sets.push_back({"32768 pairs", many, 1 << 18});
  return sets;
}

std::vector<std::pair<std::string, std::string>> Inputs(std::size_t randomBytes) {
  return {{"empty", ""},
          {"utf-8", "Hack the planet, dude: \xC3\xA9lite h\xC3\xA4x0rs \xE2\x9C\x93 rock"},
          {"nul bytes", std::string("the\0dude\0a\0b rocks\0", 20)},
          {"cr lf", "you rock\r\nthe elite hackers\r\n"},
          {"no final break", "the elite\nhackers"},
          {"random bytes", RandomBytes(randomBytes, 11)}};
}

gls::Rules ToRules(const RuleSet& set) {
  gls::Rules rules;
  for (const auto& [find, replacement] : set.custom) rules.AddPair(find, replacement);
  for (int i = 0; i < 26; ++i) rules.SetLetter(static_cast<char>('A' + i), set.letters[i]);
  return rules;
}

int AppendTo(void* context, const char* bytes, std::size_t len) {
  static_cast<std::string*>(context)->append(bytes, len);
  return 0;
}

// Every way into the library, for one translator and one text.
std::vector<std::pair<std::string, std::string>> EveryWay(const gls::Translator& translator,
                                                          const std::string& text) {
  std::vector<std::pair<std::string, std::string>> results;
  results.emplace_back("wrapper", translator.Translate(text));

  std::size_t needed = 0;
  const gls_status sizing =
      gls_translate(translator.get(), text.data(), text.size(), nullptr, 0, &needed);
  EXPECT_EQ(sizing, needed == 0 ? GLS_OK : GLS_E_BUFFER);
  std::string exact(needed, '\0');
  std::size_t written = 0;
  EXPECT_EQ(gls_translate(translator.get(), text.data(), text.size(), exact.data(), exact.size(),
                          &written),
            GLS_OK);
  EXPECT_EQ(written, needed);
  results.emplace_back("buffer", exact);
  std::string into(needed, '\0');
  EXPECT_EQ(translator.TranslateInto(text, nullptr, 0), needed);
  EXPECT_EQ(translator.TranslateInto(text, into.data(), into.size()), needed);
  results.emplace_back("wrapper buffer", into);

  char* allocated = nullptr;
  std::size_t allocatedLen = 0;
  EXPECT_EQ(
      gls_translate_alloc(translator.get(), text.data(), text.size(), &allocated, &allocatedLen),
      GLS_OK);
  results.emplace_back("alloc", std::string(allocated, allocatedLen));
  EXPECT_EQ(allocated[allocatedLen], '\0');
  gls_free(allocated);

  std::string sunk;
  EXPECT_EQ(gls_translate_to_sink(translator.get(), text.data(), text.size(), &AppendTo, &sunk),
            GLS_OK);
  results.emplace_back("sink", sunk);

  gls::Stream stream(translator);
  std::mt19937 random(static_cast<unsigned>(text.size()));
  std::string streamed;
  for (std::size_t from = 0; from < text.size();) {
    const std::size_t piece = std::min<std::size_t>(text.size() - from, 1 + random() % 70000);
    streamed += stream.Feed(std::string_view(text).substr(from, piece));
    from += piece;
  }
  streamed += stream.Finish();
  results.emplace_back("stream", streamed);

  results.emplace_back("many", translator.TranslateMany({text, text}, 2)[1]);
  std::vector<std::string> runs(3);
  translator.TranslateRuns({"", text, text}, 2,
                           [&runs](std::size_t first, const gls::Translator::Run& run) {
                             for (std::size_t i = 0; i < run.size(); ++i)
                               runs.at(first + i) = run[i];
                           });
  results.emplace_back("runs", runs[2]);
  return results;
}

TEST(LibraryTest, EveryWayGivesTheReferenceBytes) {
  for (const NamedRules& set : RuleSets()) {
    const gls::Rules rules = ToRules(set.rules);
    ASSERT_EQ(rules.PairCount(), set.rules.custom.size());
    for (const bool toEnglish : {false, true})
      for (const bool hardcore : {false, true}) {
        const gls::Translator translator(
            rules, toEnglish ? gls::Direction::kL33tToEnglish : gls::Direction::kEnglishToL33t,
            hardcore ? gls::Mode::kHardcore : gls::Mode::kStandard);
        for (const auto& [inputName, text] : Inputs(set.randomBytes)) {
          const std::string expected = toEnglish
                                           ? reference::L33tToEnglish(text, hardcore, set.rules)
                                           : reference::EnglishToL33t(text, hardcore, set.rules);
          for (const auto& [way, actual] : EveryWay(translator, text))
            ASSERT_EQ(Difference(actual, expected), "")
                << set.name << (toEnglish ? ", L33T to English" : ", English to L33T")
                << (hardcore ? ", Hardcore, " : ", standard, ") << inputName << ", " << way;
        }
      }
  }
}

// A stream cut at every place, into two and into three pieces.
TEST(LibraryTest, StreamsEqualOneShotForEveryCut) {
  gls::Rules rules;
  rules.AddPair("\r\n", "|").AddPair("elite", "1337");
  const std::string text = "the elite\r\nhack the\nplanet\r\n dude";
  for (const auto direction : {gls::Direction::kEnglishToL33t, gls::Direction::kL33tToEnglish}) {
    const gls::Translator translator(rules, direction);
    const std::string whole = translator.Translate(text);
    for (std::size_t i = 0; i <= text.size(); ++i)
      for (std::size_t j = i; j <= text.size(); ++j) {
        gls::Stream stream(translator);
        std::string joined = stream.Feed(text.substr(0, i));
        joined += stream.Feed(text.substr(i, j - i));
        joined += stream.Feed(text.substr(j));
        joined += stream.Finish();
        ASSERT_EQ(joined, whole) << "cut at " << i << " and " << j;
      }
  }
}

TEST(LibraryTest, StreamsEqualOneShotForRandomCutsOfALargeText) {
  const gls::Rules rules;
  const gls::Translator translator(rules, gls::Direction::kEnglishToL33t, gls::Mode::kHardcore);
  std::string text;
  std::mt19937 random(3);
  while (text.size() < (1u << 20)) text += RandomWord(random, 1, 9) + (random() % 9 ? " " : "\n");
  const std::string whole = translator.Translate(text);
  for (int round = 0; round < 250; ++round) {  // 1,000 cuts in all
    gls::Stream stream(translator);
    std::string joined;
    std::size_t from = 0;
    for (int cut = 0; cut < 4; ++cut) {
      const std::size_t to = from + random() % (text.size() - from + 1);
      joined += stream.Feed(std::string_view(text).substr(from, to - from));
      from = to;
    }
    joined += stream.Feed(std::string_view(text).substr(from));
    joined += stream.Finish();
    ASSERT_EQ(joined.size(), whole.size()) << "round " << round;
    ASSERT_TRUE(joined == whole) << "round " << round;
  }
}

// The split bytes are exactly those after which a cut changes nothing:
// a line feed is one until a find string holds it.
TEST(LibraryTest, SplitBytesFollowTheRules) {
  gls::Rules rules;
  const auto hasLineFeed = [](const gls::Rules& r) {
    return gls::Translator(r, gls::Direction::kEnglishToL33t).SplitBytes().find('\n') !=
           std::string::npos;
  };
  EXPECT_TRUE(hasLineFeed(rules));
  rules.AddPair("a\nb", "c");
  EXPECT_FALSE(hasLineFeed(rules));
  const gls::Translator translator(rules, gls::Direction::kEnglishToL33t);
  EXPECT_EQ(translator.SplitPoint("a\nb"), 0u);  // letters and \n are looked for
  EXPECT_EQ(translator.SplitPoint("a\n\x01"
                                  "b\x01"
                                  "ab"),
            5u);
}

TEST(LibraryTest, FailuresAreStatuses) {
  gls_rules* rules = gls_rules_new();
  ASSERT_NE(rules, nullptr);
  struct Case {
    const char* name;
    gls_status actual;
    gls_status expected;
  };
  gls_status status = GLS_OK;
  char digest[GLS_DIGEST_SIZE];
  const Case cases[] = {
      {"empty find", gls_rules_add_pair(rules, "", 0, "x", 1), GLS_E_EMPTY_FIND},
      {"null find", gls_rules_add_pair(rules, nullptr, 3, "x", 1), GLS_E_NULL},
      {"null rules", gls_rules_add_pair(nullptr, "a", 1, "x", 1), GLS_E_NULL},
      {"digit as letter", gls_rules_set_letter(rules, '1', "x", 1), GLS_E_LETTER},
      {"byte past z", gls_rules_set_letter(rules, '{', "x", 1), GLS_E_LETTER},
      {"small letter", gls_rules_set_letter(rules, 'h', "|-|", 3), GLS_OK},
      {"both modes", (gls_translator_new(rules, GLS_HARDCORE | GLS_STORED_MODE, &status), status),
       GLS_E_ARGUMENT},
      {"unknown flag", (gls_translator_new(rules, 64, &status), status), GLS_E_ARGUMENT},
      {"no rules", (gls_translator_new(nullptr, 0, &status), status), GLS_E_NULL},
      {"missing settings file", gls_rules_load_settings(rules, "/nonexistent/l33t.ini"),
       GLS_E_SETTINGS},
      {"settings file a folder", gls_rules_load_settings(rules, "/"), GLS_E_SETTINGS},
      {"null digest", gls_rules_digest(rules, nullptr), GLS_E_NULL},
      {"digest", gls_rules_digest(rules, digest), GLS_OK},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.actual, c.expected) << c.name;
    EXPECT_STRNE(gls_status_message(c.actual), "unknown status") << c.name;
  }
  EXPECT_EQ(std::strlen(digest), 64u);

  gls_translator* translator = gls_translator_new(rules, 0, &status);
  ASSERT_EQ(status, GLS_OK);
  char out[8] = "unused";
  std::size_t len = 0;
  // Too small a buffer: the size needed, and nothing written.
  EXPECT_EQ(gls_translate(translator, "hack the planet", 15, out, 4, &len), GLS_E_BUFFER);
  EXPECT_EQ(len, std::strlen("hax0r teh p14n37"));
  EXPECT_STREQ(out, "unused");
  EXPECT_EQ(gls_translate(translator, nullptr, 0, nullptr, 0, &len), GLS_OK);
  EXPECT_EQ(len, 0u);
  EXPECT_EQ(gls_translate(translator, "x", 1, out, sizeof out, nullptr), GLS_E_NULL);

  gls_stream* stream = gls_stream_new(translator, &status);
  std::string sunk;
  const auto refuse = [](void*, const char*, std::size_t) { return 1; };
  EXPECT_EQ(gls_stream_feed(stream, "hack\nthe", 8, refuse, nullptr), GLS_E_SINK);
  EXPECT_EQ(gls_stream_feed(stream, "x", 1, &AppendTo, &sunk), GLS_E_STATE);
  EXPECT_EQ(gls_stream_finish(stream, &AppendTo, &sunk), GLS_E_STATE);
  gls_stream_free(stream);

  // Threads and jobs: zero texts is no work; jobs 0 is one per processor.
  EXPECT_EQ(gls_translate_many(translator, 0, nullptr, nullptr, nullptr, nullptr, 0), GLS_OK);
  gls_translator_free(translator);
  gls_rules_free(rules);
}

// Every failure of gls_translate_many leaves every out NULL, whatever the
// caller had there and whichever argument is wrong.
TEST(LibraryTest, TranslateManyClearsEveryOutOnFailure) {
  gls_rules* rules = gls_rules_new();
  gls_translator* translator = gls_translator_new(rules, 0, nullptr);
  const char* texts[] = {"hello", nullptr, "abc", "x"};
  const std::size_t lens[] = {5, 1, 3, 1};
  const char* whole[] = {"hello", "the", "abc", "x"};
  std::size_t outLens[4];
  struct Case {
    const char* name;
    const gls_translator* translator;
    const char* const* texts;
    const std::size_t* lens;
    std::size_t* outLens;
    gls_status expected;
  };
  const Case cases[] = {
      {"a NULL text in the middle", translator, texts, lens, outLens, GLS_E_NULL},
      {"no translator", nullptr, whole, lens, outLens, GLS_E_NULL},
      {"no texts", translator, nullptr, lens, outLens, GLS_E_NULL},
      {"no lengths", translator, whole, nullptr, outLens, GLS_E_NULL},
      {"no out lengths", translator, whole, lens, nullptr, GLS_E_NULL},
  };
  char stale = 0;
  for (const Case& c : cases) {
    char* outs[4] = {&stale, &stale, &stale, &stale};
    EXPECT_EQ(gls_translate_many(c.translator, 4, c.texts, c.lens, outs, c.outLens, 2),
              c.expected)
        << c.name;
    for (char* out : outs) EXPECT_EQ(out, nullptr) << c.name;
  }
  gls_translator_free(translator);
  gls_rules_free(rules);
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// A thousand jobs on a machine of a few processors start a few threads: a
// thousand thread stacks would not fit in 2 GiB of address space.
TEST(LibraryDeathTest, TranslateManyStartsNoMoreThreadsThanProcessors) {
  if (std::thread::hardware_concurrency() > 128) GTEST_SKIP() << "too many processors to tell";
  const auto run = [] {
    const rlimit limit{rlim_t{2} << 30, rlim_t{2} << 30};
    if (setrlimit(RLIMIT_AS, &limit) != 0) std::exit(2);
    gls_rules* rules = gls_rules_new();
    gls_translator* translator = gls_translator_new(rules, 0, nullptr);
    const std::size_t count = 20000;
    std::vector<const char*> texts(count, "hack the planet");
    std::vector<std::size_t> lens(count, 15), outLens(count);
    std::vector<char*> outs(count);
    const gls_status status = gls_translate_many(translator, count, texts.data(), lens.data(),
                                                 outs.data(), outLens.data(), 1000);
    std::exit(status == GLS_OK && std::strcmp(outs[count - 1], "hax0r teh p14n37") == 0 ? 0 : 1);
  };
  EXPECT_EXIT(run(), ::testing::ExitedWithCode(0), "");
}
#endif

// Streams keep their translator: freed first, it still serves them.
TEST(LibraryTest, StreamsOutliveTheirTranslator) {
  gls_rules* rules = gls_rules_new();
  gls_translator* translator = gls_translator_new(rules, 0, nullptr);
  gls_rules_free(rules);
  gls_stream* first = gls_stream_new(translator, nullptr);
  gls_stream* second = gls_stream_new(translator, nullptr);
  gls_translator_free(translator);
  for (gls_stream* stream : {first, second}) {
    std::string out;
    EXPECT_EQ(gls_stream_feed(stream, "hack the pla", 12, &AppendTo, &out), GLS_OK);
    EXPECT_EQ(gls_stream_feed(stream, "net", 3, &AppendTo, &out), GLS_OK);
    EXPECT_EQ(gls_stream_finish(stream, &AppendTo, &out), GLS_OK);
    EXPECT_EQ(out, "hax0r teh p14n37");
    gls_stream_free(stream);
  }
}

TEST(LibraryTest, DigestsTellRuleSetsApart) {
  const auto digest = [](const gls::Rules& rules, gls::Direction direction, gls::Mode mode) {
    return gls::Translator(rules, direction, mode).Digest();
  };
  gls::Rules plain, pair, letter;
  pair.AddPair("ab", "c");
  letter.SetLetter('Q', "9");
  const auto e2l = gls::Direction::kEnglishToL33t;
  // Standard L33T does not read the alphabet; Hardcore does.
  EXPECT_EQ(digest(plain, e2l, gls::Mode::kStandard), digest(letter, e2l, gls::Mode::kStandard));
  EXPECT_NE(digest(plain, e2l, gls::Mode::kHardcore), digest(letter, e2l, gls::Mode::kHardcore));
  EXPECT_NE(digest(plain, e2l, gls::Mode::kStandard), digest(pair, e2l, gls::Mode::kStandard));
  EXPECT_NE(digest(plain, e2l, gls::Mode::kStandard),
            digest(plain, gls::Direction::kL33tToEnglish, gls::Mode::kStandard));
  gls::Rules split;  // length-prefixed fields: ("a","bc") is not ("ab","c")
  split.AddPair("a", "bc");
  EXPECT_NE(pair.Digest(), split.Digest());
  EXPECT_EQ(plain.Digest(), gls::Rules().Digest());
}

std::string RulesDigest(const gls_rules* rules) {
  char digest[GLS_DIGEST_SIZE] = {};
  EXPECT_EQ(gls_rules_digest(rules, digest), GLS_OK);
  return digest;
}

// Settings text in memory gives the rules of a file holding the same bytes,
// and a refused text leaves the rules as they were.
TEST(LibraryTest, SettingsBytesReadAsTheirFile) {
  using namespace std::string_view_literals;
  struct Case {
    const char* name;
    std::string text;
    std::size_t pairs;
    bool storedHardcore;
  };
  const Case cases[] = {
      {"empty", "", 0, false},
      {"window's file",
       "[General]\r\nusehard=yes\r\n\r\n[change]\r\nsearch=dude\\r\\nhello\\r\\n\r\n"
       "replace=d00d\\r\\nhowdy\\r\\n\r\n\r\n[hardcore]\r\ncustom=yes\r\nH=|-|\r\n",
       2, true},
      {"quoted values, other case", "[CHANGE]\nSearch=\"a;b\\r\\n\"\nreplace=\"x, y\\r\\n\"\n", 1,
       false},
      {"usehard not exactly yes", "[General]\nusehard=Yes\n", 0, false},
      {"NUL and non-UTF-8", std::string("[change]\nsearch=\xff\0\\r\\n\nreplace=z\\r\\n\n"sv), 1,
       false},
  };
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("gls-bytes-" + std::to_string(::getpid()) + ".ini"))
                               .string();
  for (const Case& c : cases) {
    gls_rules* fromBytes = gls_rules_new();
    gls_rules* fromFile = gls_rules_new();
    std::ofstream(path, std::ios::binary) << c.text;
    ASSERT_EQ(gls_rules_load_settings(fromFile, path.c_str()), GLS_OK) << c.name;
    EXPECT_EQ(gls_rules_load_settings_bytes(fromBytes, c.text.data(), c.text.size()), GLS_OK)
        << c.name;
    EXPECT_EQ(RulesDigest(fromBytes), RulesDigest(fromFile)) << c.name;
    EXPECT_EQ(gls_rules_pair_count(fromBytes), c.pairs) << c.name;
    gls_status status = GLS_OK;
    gls_translator* t = gls_translator_new(fromBytes, GLS_STORED_MODE, &status);
    EXPECT_EQ(gls_translator_hardcore(t), c.storedHardcore ? 1 : 0) << c.name;
    gls_translator_free(t);
    gls_rules_free(fromBytes);
    gls_rules_free(fromFile);
  }
  std::filesystem::remove(path);

  gls_rules* rules = gls_rules_new();
  ASSERT_EQ(gls_rules_add_pair(rules, "dude", 4, "d00d", 4), GLS_OK);
  const std::string before = RulesDigest(rules);
  const std::string tooLarge(std::size_t{64} << 20 | 1, 'x');
  struct Refusal {
    const char* name;
    gls_status actual;
    gls_status expected;
  };
  const Refusal refusals[] = {
      {"null rules", gls_rules_load_settings_bytes(nullptr, "", 0), GLS_E_NULL},
      {"null bytes with a length", gls_rules_load_settings_bytes(rules, nullptr, 3), GLS_E_NULL},
      {"past 64 MiB", gls_rules_load_settings_bytes(rules, tooLarge.data(), tooLarge.size()),
       GLS_E_SETTINGS},
  };
  for (const Refusal& r : refusals) EXPECT_EQ(r.actual, r.expected) << r.name;
  EXPECT_EQ(RulesDigest(rules), before);
  EXPECT_EQ(gls_rules_load_settings_bytes(rules, nullptr, 0), GLS_OK);
  EXPECT_EQ(gls_rules_pair_count(rules), 0u);
  gls_rules_free(rules);
}

// Eight threads through one translator, each on its own texts.
TEST(LibraryThreadsTest, EightThreadsShareOneTranslator) {
  RuleSet set{{{"dude", "d00d"}, {"rock", "r0x0r"}}, DefaultLetterTable()};
  const gls::Rules rules = ToRules(set);
  const gls::Translator translator(rules, gls::Direction::kEnglishToL33t, gls::Mode::kHardcore);
  std::vector<std::string> texts;
  std::mt19937 random(5);
  for (int i = 0; i < 8; ++i) {
    std::string text;
    while (text.size() < 20000 + 1000 * static_cast<std::size_t>(i))
      text += RandomWord(random, 1, 8) + (random() % 5 ? " " : "\r\n");
    texts.push_back(text);
  }
  std::vector<std::string> results(texts.size());
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < texts.size(); ++t)
    threads.emplace_back([&, t] {
      for (int round = 0; round < 20; ++round) results[t] = translator.Translate(texts[t]);
    });
  for (std::thread& thread : threads) thread.join();
  for (std::size_t t = 0; t < texts.size(); ++t)
    EXPECT_EQ(results[t], reference::EnglishToL33t(texts[t], true, set)) << "thread " << t;

  std::vector<std::string_view> views(texts.begin(), texts.end());
  const std::vector<std::string> many = translator.TranslateMany(views, 8);
  for (std::size_t t = 0; t < texts.size(); ++t) EXPECT_EQ(many[t], results[t]) << "text " << t;
}

// Streams on threads of their own, their translator freed before any of
// them runs: the last one to be freed takes it along.
TEST(LibraryThreadsTest, StreamsOnThreadsOutliveTheirTranslator) {
  gls_rules* rules = gls_rules_new();
  gls_translator* translator = gls_translator_new(rules, 0, nullptr);
  gls_rules_free(rules);
  std::vector<gls_stream*> streams;
  for (int i = 0; i < 4; ++i) streams.push_back(gls_stream_new(translator, nullptr));
  gls_translator_free(translator);
  std::vector<std::string> outs(streams.size());
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < streams.size(); ++i)
    threads.emplace_back([&, i] {
      for (const char* piece : {"hack th", "e pla", "net"})
        gls_stream_feed(streams[i], piece, std::strlen(piece), &AppendTo, &outs[i]);
      gls_stream_finish(streams[i], &AppendTo, &outs[i]);
      gls_stream_free(streams[i]);
    });
  for (std::thread& thread : threads) thread.join();
  for (const std::string& out : outs) EXPECT_EQ(out, "hax0r teh p14n37");
}

}  // namespace
}  // namespace glossmith

namespace glossmith {
namespace {

// The pieces through the C API, as the core gives them.
std::vector<Alignment::Piece> AsCore(const std::vector<gls_piece>& pieces) {
  std::vector<Alignment::Piece> core;
  for (const gls_piece& p : pieces)
    core.push_back({p.source_begin, p.source_end, p.target_begin, p.target_end});
  return core;
}

TEST(LibraryAlignmentTest, PiecesAndQueriesAreTheReferences) {
  for (const NamedRules& set : RuleSets()) {
    const gls::Rules rules = ToRules(set.rules);
    for (const bool toEnglish : {false, true})
      for (const bool hardcore : {false, true}) {
        const gls::Translator translator(
            rules, toEnglish ? gls::Direction::kL33tToEnglish : gls::Direction::kEnglishToL33t,
            hardcore ? gls::Mode::kHardcore : gls::Mode::kStandard);
        for (const auto& [inputName, text] : Inputs(std::min<std::size_t>(set.randomBytes, 1 << 14))) {
          const AlignedText expected =
              toEnglish ? reference::L33tToEnglishAligned(text, hardcore, set.rules)
                        : reference::EnglishToL33tAligned(text, hardcore, set.rules);
          const std::string label = set.name + (toEnglish ? ", to English, " : ", to L33T, ") +
                                    (hardcore ? "Hardcore, " : "standard, ") + inputName;
          const gls::Aligned aligned = translator.TranslateAligned(text);
          ASSERT_EQ(Difference(aligned.text, expected.text), "") << label;
          ASSERT_EQ(aligned.alignment.size(), expected.alignment.PieceCount()) << label;
          ASSERT_EQ(AsCore(aligned.alignment.Pieces()), expected.alignment.Pieces()) << label;
          // Read in slices, as a binding iterating over them would.
          const std::vector<Alignment::Piece> all = expected.alignment.Pieces();
          const std::size_t from = all.size() / 3, to = std::min(from + 5, all.size());
          ASSERT_EQ(AsCore(aligned.alignment.Pieces(from, 5)),
                    std::vector<Alignment::Piece>(all.begin() + static_cast<long>(from),
                                                  all.begin() + static_cast<long>(to)))
              << label;
          for (std::size_t at = 0; at <= text.size(); at += 1 + text.size() / 7) {
            const std::size_t end = std::min(text.size(), at + 3);
            const Alignment::Range target = expected.alignment.ToOutput(at, end);
            EXPECT_EQ(aligned.alignment.ToTarget(at, end),
                      (gls::Alignment::Range{target.begin, target.end}))
                << label << " at " << at;
          }
          for (std::size_t at = 0; at <= aligned.text.size(); at += 1 + aligned.text.size() / 7) {
            const std::size_t end = std::min(aligned.text.size(), at + 3);
            const Alignment::Range source = expected.alignment.ToInput(at, end);
            EXPECT_EQ(aligned.alignment.ToSource(at, end),
                      (gls::Alignment::Range{source.begin, source.end}))
                << label << " at " << at;
          }
        }
      }
  }
}

TEST(LibraryAlignmentTest, FailuresAreStatuses) {
  gls::Rules rules;
  const gls::Translator translator(rules, gls::Direction::kEnglishToL33t);
  char* out = nullptr;
  std::size_t len = 0, a = 0, b = 0, written = 0;
  gls_alignment* alignment = nullptr;
  EXPECT_EQ(gls_translate_aligned(nullptr, "x", 1, &out, &len, &alignment), GLS_E_NULL);
  EXPECT_EQ(gls_translate_aligned(translator.get(), nullptr, 1, &out, &len, &alignment),
            GLS_E_NULL);
  EXPECT_EQ(gls_translate_aligned(translator.get(), "x", 1, &out, &len, nullptr), GLS_E_NULL);
  ASSERT_EQ(gls_translate_aligned(translator.get(), "hack", 4, &out, &len, &alignment), GLS_OK);
  EXPECT_EQ(std::string(out, len), "hax0r");
  EXPECT_EQ(out[len], '\0');
  gls_free(out);
  EXPECT_EQ(gls_alignment_piece_count(alignment), 1u);
  EXPECT_EQ(gls_alignment_to_source(alignment, 3, 2, &a, &b), GLS_E_ARGUMENT);
  EXPECT_EQ(gls_alignment_to_target(alignment, 3, 2, &a, &b), GLS_E_ARGUMENT);
  EXPECT_EQ(gls_alignment_to_source(alignment, 0, 1, nullptr, &b), GLS_E_NULL);
  EXPECT_EQ(gls_alignment_to_target(nullptr, 0, 1, &a, &b), GLS_E_NULL);
  gls_piece piece{};
  EXPECT_EQ(gls_alignment_pieces(alignment, 1, &piece, 1, &written), GLS_OK);
  EXPECT_EQ(written, 0u) << "past the last piece";
  EXPECT_EQ(gls_alignment_pieces(alignment, 0, nullptr, 1, &written), GLS_E_NULL);
  EXPECT_EQ(gls_alignment_piece_count(nullptr), 0u);
  gls_alignment_free(alignment);
  gls_alignment_free(nullptr);
}

TEST(LibraryAlignmentTest, ThreadsShareOneTranslator) {
  RuleSet set{{{"dude", "d00d"}, {"rock", ""}}, DefaultLetterTable()};
  const gls::Rules rules = ToRules(set);
  const gls::Translator translator(rules, gls::Direction::kEnglishToL33t, gls::Mode::kHardcore);
  std::mt19937 random(3);
  std::vector<std::string> texts(6);
  for (std::string& text : texts)
    while (text.size() < 30000) text += RandomWord(random, 1, 6) + (random() % 4 ? " " : "rock\n");
  std::vector<std::vector<gls_piece>> pieces(texts.size());
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < texts.size(); ++t)
    threads.emplace_back([&, t] {
      for (int round = 0; round < 5; ++round)
        pieces[t] = translator.TranslateAligned(texts[t]).alignment.Pieces();
    });
  for (std::thread& thread : threads) thread.join();
  for (std::size_t t = 0; t < texts.size(); ++t)
    EXPECT_EQ(AsCore(pieces[t]), reference::EnglishToL33tAligned(texts[t], true, set).alignment.Pieces())
        << "thread " << t;
}

}  // namespace
}  // namespace glossmith
