// The rule set's own calls: the getters return what was read or set, the pair limit is a status, the per-user
// path follows the environment, and a sink's own failure reaches its caller.

#include <glossmith/glossmith.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>

#include <glossmith/glossmith.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

struct SettingsCase {
  const char* name;
  std::string text;
  Pairs pairs;
  std::string letterA, letterH;
  bool stored;
};

const SettingsCase kSettings[] = {
    {"empty", "", {}, "", "", false},
    {"switch on", "[General]\nusehard=yes\n", {}, "", "", true},
    {"switch other case", "[General]\nusehard=Yes\n", {}, "", "", false},
    {"pairs and letters",
     "[change]\nsearch=\"dude\\r\\nx\\r\\n\"\nreplace=\"d00d\\r\\n\\r\\n\"\n"
     "[hardcore]\nA=4\nH=\"|-|\"\n",
     {{"dude", "d00d"}, {"x", ""}},
     "4",
     "|-|",
     false},
    {"a NUL in a pair", std::string("[change]\nsearch=\"a\\0b\\r\\n\"\nreplace=NUL\\r\\n\n"),
     {{std::string("a\0b", 3), "NUL"}}, "", "", false},
};

// Settings text read back through the getters.
TEST(RulesApiTest, SettingsReadBackThroughTheGetters) {
  for (const SettingsCase& c : kSettings) {
    SCOPED_TRACE(c.name);
    const gls::Rules rules = gls::Rules::FromSettingsBytes(c.text);
    EXPECT_EQ(rules.Pairs(), c.pairs);
    EXPECT_EQ(rules.Letter('A'), c.letterA);
    EXPECT_EQ(rules.Letter('h'), c.letterH);
    EXPECT_EQ(rules.StoredHardcore(), c.stored);
  }
}

TEST(RulesApiTest, GettersReturnWhatWasSet) {
  gls::Rules rules;
  EXPECT_FALSE(rules.StoredHardcore());
  EXPECT_EQ(rules.Letter('H'), "|-|");  // the default alphabet
  rules.AddPair("dude", "d00d").AddPair(std::string("\0", 1), "").SetLetter('q', "");
  rules.SetStoredHardcore(true);
  EXPECT_EQ(rules.Pairs(), (Pairs{{"dude", "d00d"}, {std::string("\0", 1), ""}}));
  EXPECT_EQ(rules.Letter('Q'), "");
  EXPECT_TRUE(rules.StoredHardcore());

  const char *find, *replacement, *symbol;
  std::size_t findLen, replacementLen, symbolLen;
  struct Case {
    const char* name;
    gls_status actual, expected;
  };
  const Case cases[] = {
      {"past the last pair", gls_rules_pair(rules.get(), 2, &find, &findLen, &replacement,
                                            &replacementLen),
       GLS_E_ARGUMENT},
      {"null out", gls_rules_pair(rules.get(), 0, nullptr, &findLen, &replacement,
                                  &replacementLen),
       GLS_E_NULL},
      {"no rules", gls_rules_pair(nullptr, 0, &find, &findLen, &replacement, &replacementLen),
       GLS_E_NULL},
      {"not a letter", gls_rules_letter(rules.get(), '@', &symbol, &symbolLen), GLS_E_LETTER},
      {"no symbol out", gls_rules_letter(rules.get(), 'A', nullptr, &symbolLen), GLS_E_NULL},
      {"bytes null with a length", gls_rules_load_settings_bytes(rules.get(), nullptr, 1),
       GLS_E_NULL},
  };
  for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected) << c.name;
  EXPECT_EQ(gls_rules_stored_hardcore(nullptr), 0);
}

TEST(RulesApiTest, NoPairPastTheLimitIsDroppedSilently) {
  gls::Rules rules;
  for (unsigned i = 0; i < GLS_MAX_PAIRS; ++i) rules.AddPair("f" + std::to_string(i), "r");
  const std::string before = rules.Digest();
  EXPECT_EQ(gls_rules_add_pair(rules.get(), "one more", 8, "x", 1), GLS_E_LIMIT);
  EXPECT_STRNE(gls_status_message(GLS_E_LIMIT), "unknown status");
  EXPECT_EQ(rules.PairCount(), GLS_MAX_PAIRS);
  EXPECT_EQ(rules.Digest(), before);
  try {
    rules.AddPair("one more", "x");
    ADD_FAILURE() << "no exception";
  } catch (const gls::Error& e) {
    EXPECT_EQ(e.status(), GLS_E_LIMIT);
  }
}

// Sets or clears an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(RulesApiTest, SettingsPathFollowsTheEnvironment) {
  const std::string longHome = "/" + std::string(300, 'h');
  struct Case {
    const char* name;
    const char* config;
    const char* home;
    const char* path;
  };
  const Case cases[] = {
      {"XDG_CONFIG_HOME", "/xdg", "/home/u", "/xdg/glossmith/l33t.ini"},
      {"XDG_CONFIG_HOME empty", "", "/home/u", "/home/u/.config/glossmith/l33t.ini"},
      {"HOME only", nullptr, "/home/u/", "/home/u/.config/glossmith/l33t.ini"},
      {"a long HOME", nullptr, longHome.c_str(), nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ScopedEnv config("XDG_CONFIG_HOME", c.config);
    const ScopedEnv home("HOME", c.home);
    const std::string expected =
        c.path ? c.path : std::string(c.home) + "/.config/glossmith/l33t.ini";
    EXPECT_EQ(gls::SettingsPath(), expected);
    std::size_t len = 0;
    char small[4] = "abc";
    EXPECT_EQ(gls_settings_path(small, sizeof small, &len), GLS_E_BUFFER);
    EXPECT_EQ(len, expected.size());
    EXPECT_STREQ(small, "abc");
  }
}

struct SinkFailed {
  int code;
};

// What a sink throws comes out of the wrapper's calls as it was thrown.
TEST(RulesApiTest, ASinksOwnExceptionReachesItsCaller) {
  const gls::Translator translator(gls::Rules(), gls::Direction::kEnglishToL33t);
  const auto fail = [](std::string_view) { throw SinkFailed{7}; };
  const auto expectSinkFailed = [](const char* name, auto&& call) {
    try {
      call();
      ADD_FAILURE() << name << ": no exception";
    } catch (const SinkFailed& e) {
      EXPECT_EQ(e.code, 7) << name;
    }
  };
  expectSinkFailed("translate", [&] { translator.TranslateToSink("hack the planet", fail); });
  gls::Stream fed(translator);
  expectSinkFailed("feed", [&] { fed.Feed("hack\nthe", fail); });
  gls::Stream finished(translator);
  EXPECT_EQ(finished.Feed("hack"), "");
  expectSinkFailed("finish", [&] { finished.Finish(fail); });
  expectSinkFailed("runs", [&] {
    translator.TranslateRuns({"a", "b"}, 2, [](std::size_t, const gls::Translator::Run&) {
      throw SinkFailed{7};
    });
  });
}

// A settings file that cannot be read says why, and leaves the rules as they were.
TEST(RulesApiTest, AnUnreadableSettingsFileKeepsItsErrno) {
  struct Case {
    const char* path;
    int error;
  };
  for (const Case& c : {Case{"/nonexistent/l33t.ini", ENOENT}, Case{"", ENOENT},
                        Case{"/", EISDIR}}) {
    SCOPED_TRACE(c.path);
    gls::Rules rules;
    rules.AddPair("dude", "d00d");
    try {
      rules.LoadSettings(c.path);
      ADD_FAILURE() << "no exception";
    } catch (const gls::Error& e) {
      EXPECT_EQ(e.status(), GLS_E_SETTINGS);
      EXPECT_EQ(e.errno_value(), c.error);
    }
    EXPECT_EQ(rules.Pairs(), (Pairs{{"dude", "d00d"}}));
  }
}

// Without a mode, a translator follows the stored switch.
TEST(RulesApiTest, TheDefaultModeIsTheStoredSwitch) {
  for (const bool stored : {false, true}) {
    gls::Rules rules;
    rules.SetStoredHardcore(stored);
    EXPECT_EQ(gls::Translator(rules, gls::Direction::kEnglishToL33t).Hardcore(), stored);
  }
}

}  // namespace
