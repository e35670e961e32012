// Runs the real glossmith-cli binary, always with a private settings file or
// a private XDG_CONFIG_HOME.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <string>
#include <vector>

#include "core/engine/engine.h"
#include "core/rules/custom_list.h"
#include "core/rules/hardcore_table.h"
#include "core/rules/reference.h"
#include "core/translate.h"
#include "glossmith/version.h"
#include "store/inisettings.h"
#include "tests/support/file_bytes.h"

// Failures show bytes as text.
void PrintTo(const QByteArray& bytes, std::ostream* os) {
  *os << ::testing::PrintToString(bytes.toStdString());
}

namespace glossmith {
namespace {

using namespace std::string_literals;
using namespace testing_support;

struct Result {
  QByteArray out, err;
  int exitCode = -1;
};

QByteArray bytes(const std::string& s) { return QByteArray::fromStdString(s); }

// What the settings hold for a run.
struct Stored {
  bool table = false;   // the default Hardcore letter table
  std::string usehard;  // "" leaves it unset
  std::vector<std::string> search, replace;
};

class CliTest : public ::testing::Test {
 protected:
  QString path(const QString& name) const { return dir_.filePath(name); }
  QString settingsPath() const { return path("settings.ini"); }

  // An existing settings file that holds nothing yet.
  void SetUp() override { putFile(settingsPath(), ""); }

  // Saves `s` in one go, laid out as the program's store lays it out.
  void store(const Stored& s, const QString& file) {
    QSettings raw(file, QSettings::IniFormat);
    const auto text = [](std::string_view v) { return QString::fromUtf8(v.data(), v.size()); };
    if (s.table)
      for (const auto& [letter, value] : kHardcoreDefaults)
        raw.setValue(QStringLiteral("hardcore/") + QLatin1Char(letter), text(value));
    if (!s.usehard.empty()) raw.setValue("usehard", text(s.usehard));
    if (!s.search.empty()) raw.setValue("change/search", text(JoinList(s.search)));
    if (!s.replace.empty()) raw.setValue("change/replace", text(JoinList(s.replace)));
  }

  void start(QProcess& cli, const QStringList& arguments) const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", config_.path());
    env.insert("HOME", config_.path());
    cli.setProcessEnvironment(env);
    cli.setWorkingDirectory(dir_.path());
    cli.start(QStringLiteral(GLOSSMITH_CLI), arguments);
    EXPECT_TRUE(cli.waitForStarted());
  }

  Result run(const QStringList& arguments, const QByteArray& input = {}) const {
    QProcess cli;
    start(cli, arguments);
    cli.write(input);
    cli.closeWriteChannel();
    EXPECT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    return {cli.readAllStandardOutput(), cli.readAllStandardError(), cli.exitCode()};
  }

  // A shell line with $CLI for the binary and $SETTINGS for the settings file.
  Result shell(const QString& script) const {
    QProcess sh;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("CLI", QStringLiteral(GLOSSMITH_CLI));
    env.insert("SETTINGS", settingsPath());
    sh.setProcessEnvironment(env);
    sh.setWorkingDirectory(dir_.path());
    sh.start("/bin/bash", {"-c", script});
    EXPECT_TRUE(sh.waitForFinished(60000));
    return {sh.readAllStandardOutput(), sh.readAllStandardError(), sh.exitCode()};
  }

  // The reference translation of `text` with the rules stored in the settings file.
  QByteArray expected(const QByteArray& text, bool toEnglish, bool hardcore) const {
    const IniSettings settings(settingsPath());
    const std::string bytes = text.toStdString();
    return QByteArray::fromStdString(toEnglish
                                         ? reference::L33tToEnglish(bytes, hardcore, settings)
                                         : reference::EnglishToL33t(bytes, hardcore, settings));
  }

  QTemporaryDir dir_, config_;
};

// --- translation --------------------------------------------------------------

struct TranslateCase {
  const char* name;
  Stored stored;
  QStringList arguments;  // --settings is added
  std::string input, expected;
};
void PrintTo(const TranslateCase& c, std::ostream* os) { *os << c.name; }

class TranslateTest : public CliTest, public ::testing::WithParamInterface<TranslateCase> {};

TEST_P(TranslateTest, WritesTheTranslation) {
  const TranslateCase& c = GetParam();
  store(c.stored, settingsPath());
  const Result r = run(c.arguments + QStringList{"--settings", settingsPath()}, bytes(c.input));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, bytes(c.expected));
  EXPECT_EQ(r.err, "");
}

const Stored kNothing;
const Stored kTable{true, "", {}, {}};
const Stored kTableOn{true, "yes", {}, {}};

const TranslateCase kTranslations[] = {
    {"StandardChain", kNothing, {"--standard"}, "hack the planet", "hax0r teh p14n37"},
    {"UnsetUseHardMeansStandard", kTable, {}, "hack the planet", "hax0r teh p14n37"},
    {"StoredYesMeansHardcore", kTableOn, {}, "hack", "hax0r "},
    {"StoredCapitalYesIsNotYes", {true, "Yes", {}, {}}, {}, "hack", "hax0r"},
    {"StoredNoMeansStandard", {true, "no", {}, {}}, {}, "hack", "hax0r"},
    {"StandardOverridesStoredYes", kTableOn, {"--standard"}, "hack", "hax0r"},
    {"HardcoreOverridesStoredNo", {true, "no", {}, {}}, {"--hardcore"}, "Hi", "|-| ! "},
    {"LastChainOptionCounts", kTable, {"--hardcore", "--standard"}, "hack", "hax0r"},
    {"HardcoreWithEmptyTable", kNothing, {"--hardcore"}, "hello", "fux0rj00"},
    {"ReverseStandard", kNothing, {"--to-english", "--standard"}, "teh d00d ", "the dude "},
    {"ReverseHardcore", kTable, {"-r", "--hardcore"}, "|-| 3 1 1 0 ", "hello"},
    {"ReverseFollowsStoredYes", kTableOn, {"-r"}, "|-| 3 1 1 0 ", "hello"},
    {"ReverseFollowsStoredCapitalYes", {true, "Yes", {}, {}}, {"-r"}, "1337", "Elite"},
    {"CustomPairs", {false, "", {"hello"}, {"howdy"}}, {}, "hello dude", "h0wdy d00d"},
    {"CustomPairsInHardcore", {true, "", {"dude"}, {"d00d"}}, {"--hardcore"}, "hello dude",
     "|-| 3 1 1 0  |) 00|) "},
    {"CustomPairsReverse", {false, "", {"cat"}, {"kitty"}}, {"-r"}, "kitty", "cat"},
    {"EmptyInput", kTableOn, {}, "", ""},
    {"CrLfAndLoneCrKept", kNothing, {}, "a\r\nb\rc\n\n\r", "4\r\nb\rc\n\n\r"},
    {"NulAndInvalidUtf8Kept", kNothing, {}, "a\0\xFF\xFE\xC3"s, "4\0\xFF\xFE\xC3"s},
    {"NoNewlineAdded", kNothing, {}, "hello\n", "h3110\n"},
};

INSTANTIATE_TEST_SUITE_P(Translate, TranslateTest, ::testing::ValuesIn(kTranslations),
                         [](const auto& info) { return std::string(info.param.name); });

// The filter gives the bytes of the reference translation of the whole text,
// for any input, any number of jobs and any way the text arrives.
struct SameAsWindowCase {
  const char* name;
  bool toEnglish, hardcore;
};
void PrintTo(const SameAsWindowCase& c, std::ostream* os) { *os << c.name; }

class SameAsWindowTest : public CliTest, public ::testing::WithParamInterface<SameAsWindowCase> {};

// Random bytes, lines the rules rewrite, and a stretch longer than a read
// block without any byte that the rules of any mode leave alone.
QByteArray MixedInput() {
  QByteArray input = garbage(1 << 20, 2024);
  for (int i = 0; i < 2000; ++i)
    input += "You rock, newbie!\r\nThe 1337 h4x0r |-| 3 1 1 0 is it? fun\r\n";
  return input + QByteArray("a s t  ").repeated(200000) + "hello dude";
}

TEST_P(SameAsWindowTest, LargeMixedInput) {
  const auto [name, toEnglish, hardcore] = GetParam();
  store({true, "", {"dude", "x"}, {"d00d", ""}}, settingsPath());
  const QByteArray input = MixedInput();
  const QByteArray translation = expected(input, toEnglish, hardcore);

  QStringList arguments = {"--settings", settingsPath(), hardcore ? "--hardcore" : "--standard"};
  if (toEnglish) arguments << "-r";
  const qsizetype half = input.size() / 2;
  putFile(path("first"), input.left(half));
  putFile(path("second"), input.mid(half));
  for (const char* jobs : {"1", "2", "8"}) {
    for (const auto& [from, stdinBytes] : {std::pair{QStringList{}, input},
                                           std::pair{QStringList{"first", "second"}, QByteArray()}}) {
      const Result r = run(arguments + QStringList{"-j", jobs} + from, stdinBytes);
      EXPECT_EQ(r.exitCode, 0);
      EXPECT_TRUE(r.out == translation) << "sizes " << r.out.size() << " and "
                                        << translation.size() << " with -j " << jobs << " from "
                                        << from.size() << " files";
    }
  }
}

const SameAsWindowCase kDirections[] = {
    {"ToL33tStandard", false, false},
    {"ToL33tHardcore", false, true},
    {"ToEnglishStandard", true, false},
    {"ToEnglishHardcore", true, true},
};

INSTANTIATE_TEST_SUITE_P(SameAsWindow, SameAsWindowTest, ::testing::ValuesIn(kDirections),
                         [](const auto& info) { return std::string(info.param.name); });

// Reads from standard output until `size` bytes have come or the time is up.
QByteArray readOutput(QProcess& cli, qsizetype size) {
  QByteArray got = cli.readAllStandardOutput();
  while (got.size() < size && cli.waitForReadyRead(30000)) got += cli.readAllStandardOutput();
  return got;
}

TEST_F(CliTest, EachLineComesBackBeforeTheEndOfInput) {
  store(kTable, settingsPath());
  for (const bool toEnglish : {false, true}) {
    QProcess cli;
    start(cli, {"--settings", settingsPath(), toEnglish ? "-r" : "--hardcore"});
    for (const QByteArray line : {"hack the planet\n", "you rock\r\n"}) {
      const QByteArray translation = expected(line, toEnglish, !toEnglish);
      cli.write(line);
      EXPECT_EQ(readOutput(cli, translation.size()), translation);
    }
    cli.closeWriteChannel();
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitCode(), 0);
    EXPECT_EQ(cli.readAllStandardOutput(), "");
  }
}

// As cat does: what was written stays, the next input is still read, exit 1.
TEST_F(CliTest, ReadErrorAfterOutputBegan) {
  putFile(path("good"), "hack");
  QProcess cli;
  start(cli, {"--settings", settingsPath(), "-", "/proc/self/mem", "good"});
  const QByteArray line = expected("the planet\n", false, false);
  cli.write("the planet\n");
  EXPECT_EQ(readOutput(cli, line.size()), line);
  cli.closeWriteChannel();
  ASSERT_TRUE(cli.waitForFinished(60000));
  EXPECT_EQ(cli.exitCode(), 1);
  EXPECT_EQ(cli.readAllStandardOutput(), expected("hack", false, false));
  EXPECT_EQ(cli.readAllStandardError(), "glossmith-cli: /proc/self/mem: Input/output error\n");
}

// A settings file that can be read only once is read whole, then parsed as a
// file; and a file name need not be UTF-8.
TEST_F(CliTest, SettingsThroughAPipeOrUnderAnyName) {
  store({true, "yes", {"dude"}, {"d00d"}}, settingsPath());
  putFile(path("good"), "Hi dude\n");
  const QByteArray translation = expected("Hi dude\n", false, true);
  for (const QString script : {
           R"("$CLI" --settings <(cat "$SETTINGS") good)",
           R"(cat "$SETTINGS" | "$CLI" --settings=/dev/stdin good)",
           R"(mkfifo fifo && { cat "$SETTINGS" > fifo & } && "$CLI" --settings fifo good)",
           R"(cp "$SETTINGS" $'s\xff.ini' && "$CLI" --settings $'s\xff.ini' good)",
       }) {
    const Result r = shell(script);
    EXPECT_EQ(r.exitCode, 0) << script.toStdString() << r.err.toStdString();
    EXPECT_EQ(r.out, translation) << script.toStdString();
  }
}

TEST_F(CliTest, WithoutSettingsOptionUsesTheUsersFile) {
  ASSERT_TRUE(QDir(config_.path()).mkpath("glossmith"));
  store(kTableOn, config_.filePath("glossmith/l33t.ini"));
  EXPECT_EQ(run({}, "hack").out, "hax0r ");
  EXPECT_EQ(run({"-r"}, "|-| 3 1 1 0 ").out, "hello");
}

TEST_F(CliTest, HandEditedSettingsInAnyCase) {
  putFile(settingsPath(), "[GENERAL]\nUseHard=yes\n[HardCore]\nh=#\ni=!\n");
  EXPECT_EQ(run({"--settings", settingsPath()}, "Hi").out, "# ! ");
}

// --- where the input may be cut --------------------------------------------------

struct SplitBytesCase {
  const char* name;
  Stored stored;
  QStringList arguments;  // --split-bytes and --settings are added
  bool toEnglish, hardcore;
  QByteArray lineFeed;  // the second line
};
void PrintTo(const SplitBytesCase& c, std::ostream* os) { *os << c.name; }

class SplitBytesTest : public CliTest, public ::testing::WithParamInterface<SplitBytesCase> {};

// The first line lists the bytes that the engine says the text may be cut
// after; the second says whether line feed is one of them.
TEST_P(SplitBytesTest, ListsTheBytesTheTextMayBeCutAfter) {
  const SplitBytesCase& c = GetParam();
  store(c.stored, settingsPath());
  const Result r =
      run(c.arguments + QStringList{"--split-bytes", "--settings", settingsPath()}, "ignored");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
  const QList<QByteArray> lines = r.out.split('\n');
  ASSERT_EQ(lines.size(), 3) << r.out.toStdString();
  const QByteArray heading = QByteArray("split bytes for ") +
                             (c.toEnglish ? "L33T to English" : "English to L33T") +
                             (c.hardcore ? ", Hardcore L33T: " : ", standard L33T: ");
  ASSERT_TRUE(lines[0].startsWith(heading)) << lines[0].toStdString();
  std::vector<bool> listed(256, false);
  for (const QByteArray& range : lines[0].mid(heading.size()).split(' ')) {
    const QList<QByteArray> ends = range.split('-');
    bool ok = true;
    const int first = ends.front().toInt(&ok, 16), last = ends.back().toInt(&ok, 16);
    ASSERT_TRUE(ok && first <= last) << range.toStdString();
    for (int b = first; b <= last; ++b) listed[b] = true;
  }
  const IniSettings settings(settingsPath());
  const Translator translator(c.toEnglish ? Direction::kL33tToEnglish : Direction::kEnglishToL33t,
                             c.hardcore, ReadRuleSet(settings, c.hardcore));
  for (int b = 0; b < 256; ++b)
    EXPECT_EQ(listed[b], translator.IsSplitByte(static_cast<unsigned char>(b))) << b;
  EXPECT_EQ(lines[1], c.lineFeed);
  EXPECT_EQ(lines[2], "");
}

const QByteArray kLineFeedSplits = "line feed: yes, the input may be cut after any line feed";
const QByteArray kLineFeedHeld =
    "line feed: no, cutting the input at line feeds may change the translation";

const SplitBytesCase kSplitBytes[] = {
    {"BuiltInRules", kNothing, {}, false, false, kLineFeedSplits},
    {"StoredHardcoreBack", kTableOn, {"-r"}, true, true, kLineFeedSplits},
    {"CustomSearchWithLineFeed", {false, "", {"a\nb"}, {"x"}}, {}, false, false, kLineFeedHeld},
    // Translating back looks for the replacements.
    {"CustomReplacementWithLineFeedBack", {false, "", {"x"}, {"a\nb"}}, {"-r", "--standard"},
     true, false, kLineFeedHeld},
    {"CustomReplacementWithLineFeedForth", {false, "", {"x"}, {"a\nb"}}, {"--hardcore"}, false,
     true, kLineFeedSplits},
};

INSTANTIATE_TEST_SUITE_P(SplitBytes, SplitBytesTest, ::testing::ValuesIn(kSplitBytes),
                         [](const auto& info) { return std::string(info.param.name); });

// Where line feed is a split byte, GNU parallel may cut the input into lines
// for many glossmith-cli processes: the joined output is that of one run.
TEST_F(CliTest, SameOutputUnderGnuParallel) {
  if (QStandardPaths::findExecutable("parallel").isEmpty())
    GTEST_SKIP() << "GNU parallel is not installed";
  store({true, "", {"dude", "x"}, {"d00d", ""}}, settingsPath());
  QByteArray text;
  for (int i = 0; text.size() < 200000; ++i)
    text += "You rock, newbie! The 1337 h4x0r |-| 3 1 1 0 hacks the planet, dude " +
            QByteArray::number(i) + (i % 7 ? "\n" : "\r\n");
  putFile(path("big.txt"), text);
  for (const QString options : {"--hardcore", "-r --standard"}) {
    const QString cli = R"("$CLI" --settings "$SETTINGS" )" + options;
    const Result one = shell(cli + " < big.txt");
    const Result split =
        shell("HOME=\"$PWD\" parallel --will-cite --pipe -k --block 1k " + cli + " < big.txt");
    ASSERT_EQ(one.exitCode, 0) << one.err.toStdString();
    ASSERT_EQ(split.exitCode, 0) << split.err.toStdString();
    EXPECT_GT(one.out.size(), 100000);
    EXPECT_TRUE(split.out == one.out) << options.toStdString() << ": sizes " << split.out.size()
                                      << " and " << one.out.size();
  }
}

// --- files -------------------------------------------------------------------

struct FilesCase {
  const char* name;
  QStringList arguments;  // after --settings; the files of the test exist
  QByteArray input, expected;
};
void PrintTo(const FilesCase& c, std::ostream* os) { *os << c.name; }

class FilesTest : public CliTest, public ::testing::WithParamInterface<FilesCase> {};

TEST_P(FilesTest, ReadsNamedFilesInOrder) {
  putFile(path("a"), "hack t");
  putFile(path("b"), "he ");
  putFile(path("c"), "planet");
  putFile(path("-r"), "you");
  putFile(path("l33t"), "j00 r0x0r\r\n");
  putFile(path("empty"), "");
  const Result r =
      run(QStringList{"--settings", settingsPath()} + GetParam().arguments, GetParam().input);
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_EQ(r.out, GetParam().expected);
}

const FilesCase kFiles[] = {
    {"OneFile", {"c"}, "", "p14n37"},
    // Joined before translating: "the " spans two files.
    {"JoinedInOrder", {"a", "b", "c"}, "", "hax0r teh p14n37"},
    {"OtherOrder", {"c", "b", "a"}, "", "p14n3teh hax0r 7"},
    {"SameFileTwice", {"c", "c"}, "", "p14n37p14n37"},
    {"EmptyFile", {"empty", "c", "empty"}, "", "p14n37"},
    {"StandardInputNotReadWithFiles", {"c"}, "ignored", "p14n37"},
    {"DashIsStandardInput", {"a", "-", "c"}, "he ", "hax0r teh p14n37"},
    {"OptionsAfterFiles", {"l33t", "--standard", "-r"}, "", "you rock\r\n"},
    {"DoubleDashEndsOptions", {"--", "-r"}, "", "j00"},
    {"DashDashFileAfterOptions", {"-r", "--", "l33t"}, "", "you rock\r\n"},
    {"JobsInEveryForm", {"-j3", "--jobs", "2", "a", "--jobs=1", "-j", "4", "b"}, "", "hax0r teh "},
    {"BundledShortOptions", {"-rj2", "l33t"}, "", "you rock\r\n"},
    {"AbbreviatedLongOptions", {"l33t", "--to-e", "--stan", "--j=1"}, "", "you rock\r\n"},
};

INSTANTIATE_TEST_SUITE_P(Files, FilesTest, ::testing::ValuesIn(kFiles),
                         [](const auto& info) { return std::string(info.param.name); });

// --- errors ------------------------------------------------------------------

struct ErrorCase {
  const char* name;
  QStringList arguments;  // file names are relative to the test folder
  int exitCode;
  QByteArray error;  // the first line on standard error
  bool usage;     // the short usage follows
};
void PrintTo(const ErrorCase& c, std::ostream* os) { *os << c.name; }

class ErrorTest : public CliTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(ErrorTest, ExplainsOnStandardErrorAndWritesNothing) {
  putFile(path("good"), "hack");
  ASSERT_TRUE(QDir(dir_.path()).mkdir("folder"));

  const Result r = run(GetParam().arguments, "hack");

  EXPECT_EQ(r.exitCode, GetParam().exitCode);
  EXPECT_EQ(r.out, "");
  const QList<QByteArray> lines = r.err.split('\n');
  EXPECT_EQ(lines.front(), GetParam().error);
  EXPECT_EQ(r.err.contains("Usage: glossmith-cli"), GetParam().usage) << r.err.toStdString();
}

const ErrorCase kErrors[] = {
    {"UnknownLongOption", {"--frobnicate"}, 2, "glossmith-cli: unrecognized option '--frobnicate'",
     true},
    {"UnknownShortOption", {"-x"}, 2, "glossmith-cli: invalid option -- 'x'", true},
    {"UnknownInBundle", {"-rx"}, 2, "glossmith-cli: invalid option -- 'x'", true},
    {"UnknownOptionAfterFile", {"good", "--nope"}, 2,
     "glossmith-cli: unrecognized option '--nope'", true},
    {"AmbiguousAbbreviation", {"--s"}, 2,
     "glossmith-cli: option '--s' is ambiguous; possibilities: '--standard' '--settings' "
     "'--split-bytes'",
     true},
    {"ValueForSwitch", {"--standard=yes"}, 2,
     "glossmith-cli: option '--standard' doesn't allow an argument", true},
    {"SettingsWithoutFile", {"--settings"}, 2,
     "glossmith-cli: option '--settings' requires an argument", true},
    {"SettingsWithEmptyName", {"--settings="}, 2,
     "glossmith-cli: option '--settings' needs a FILE", true},
    {"MissingFile", {"missing"}, 1, "glossmith-cli: missing: No such file or directory", false},
    {"FolderAsFile", {"folder"}, 1, "glossmith-cli: folder: Is a directory", false},
    {"MissingAmongGoodFiles", {"good", "missing", "good"}, 1,
     "glossmith-cli: missing: No such file or directory", false},
    {"MissingSettingsFile", {"--settings", "missing"}, 1,
     "glossmith-cli: missing: No such file or directory", false},
    {"FolderAsSettingsFile", {"--settings=folder"}, 1, "glossmith-cli: folder: Is a directory",
     false},
    {"EndlessSettingsStream", {"--settings", "/dev/zero"}, 1,
     "glossmith-cli: /dev/zero: File too large", false},
    {"NoJobs", {"-j", "0"}, 2, "glossmith-cli: option '--jobs' needs a number from 1 to 256", true},
    {"JobsWithoutNumber", {"good", "--jobs"}, 2,
     "glossmith-cli: option '--jobs' requires an argument", true},
    {"ShortJobsWithoutNumber", {"-j"}, 2, "glossmith-cli: option requires an argument -- 'j'",
     true},
    {"TooManyJobs", {"-j257"}, 2, "glossmith-cli: option '--jobs' needs a number from 1 to 256",
     true},
};

INSTANTIATE_TEST_SUITE_P(Errors, ErrorTest, ::testing::ValuesIn(kErrors),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CliTest, EveryUnreadableFileIsReported) {
  putFile(path("good"), "hack");
  const Result r = run({"one", "good", "two"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "glossmith-cli: one: No such file or directory\n"
            "glossmith-cli: two: No such file or directory\n");
}

TEST_F(CliTest, HelpAndVersion) {
  for (const char* option : {"-h", "--help"}) {
    const Result r = run({option, "--bogus"});
    EXPECT_EQ(r.exitCode, 2) << option;  // every option is checked before help is shown
    EXPECT_EQ(r.out, "");
  }
  for (const char* option : {"-h", "--help"}) {
    const Result r = run({"--standard", option});
    EXPECT_EQ(r.exitCode, 0) << option;
    EXPECT_TRUE(r.out.startsWith("Usage: glossmith-cli [OPTIONS] [FILE...]\n")) << option;
    for (const char* documented : {"--to-english", "--hardcore", "--standard", "--settings",
                                   "--jobs", "--split-bytes", "--version", "Exit status"})
      EXPECT_TRUE(r.out.contains(documented)) << documented;
    EXPECT_EQ(r.err, "");
  }
  const Result r = run({"--version"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, QByteArray("glossmith-cli (Glossmith) ") + kVersionString + "\n");
}

// --- the store is only read --------------------------------------------------------

TEST_F(CliTest, SettingsFileIsNotModified) {
  store({true, "yes", {"dude"}, {"d00d"}}, settingsPath());
  const QDateTime old(QDate(2001, 1, 1), QTime(12, 0), Qt::UTC);
  setModified(settingsPath(), old);
  const QByteArray before = fileBytes(settingsPath());
  const QStringList listing = QDir(dir_.path()).entryList(QDir::AllEntries | QDir::Hidden);

  for (const QStringList& options : {QStringList{}, {"-r"}, {"--hardcore"}, {"-r", "--standard"}})
    EXPECT_EQ(run(options + QStringList{"--settings", settingsPath()}, "hello dude").exitCode, 0);
  EXPECT_EQ(run({"--settings", settingsPath(), "missing"}).exitCode, 1);

  EXPECT_EQ(fileBytes(settingsPath()), before);
  EXPECT_EQ(modified(settingsPath()), old);
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::AllEntries | QDir::Hidden), listing);
  EXPECT_TRUE(QDir(config_.path()).isEmpty());
}

// --- standard streams that fail ------------------------------------------------

struct StreamCase {
  const char* name;
  QString script;
  QByteArray status;  // as the shell reports it
  QByteArray error;   // the start of standard error; empty: nothing at all
};
void PrintTo(const StreamCase& c, std::ostream* os) { *os << c.name; }

class StreamTest : public CliTest, public ::testing::WithParamInterface<StreamCase> {};

TEST_P(StreamTest, EndsAsAFilterShould) {
  putFile(path("big"), garbage(1 << 20, 2024));
  const Result r = shell(GetParam().script);
  EXPECT_EQ(r.out, GetParam().status) << r.err.toStdString();
  if (GetParam().error.isEmpty()) {
    EXPECT_EQ(r.err, "");
  } else {
    EXPECT_TRUE(r.err.startsWith(GetParam().error)) << r.err.toStdString();
  }
}

// A reader that goes away ends glossmith-cli as it ends cat: by SIGPIPE, quietly.
const StreamCase kStreams[] = {
    {"ClosedStandardOutput", R"("$CLI" --settings "$SETTINGS" big >&-; echo -n $?)", "1",
     "glossmith-cli: standard output: Bad file descriptor\n"},
    {"ReaderGoneAway",
     R"("$CLI" --settings "$SETTINGS" big 2>err | head -c 10 >/dev/null; echo -n ${PIPESTATUS[0]}; cat err >&2)",
     "141", ""},
    {"ReaderGoneAwayFromAPipe",
     R"(cat big big | "$CLI" -r --settings "$SETTINGS" 2>err | true; echo -n ${PIPESTATUS[1]}; cat err >&2)",
     "141", ""},
    {"FullDisk", R"("$CLI" --settings "$SETTINGS" big >/dev/full; echo -n $?)", "1",
     "glossmith-cli: standard output: No space left on device\n"},
    {"ClosedStandardInput", R"("$CLI" --settings "$SETTINGS" <&-; echo -n $?)", "1",
     "glossmith-cli: standard input: Bad file descriptor\n"},
    {"HelpToClosedOutput", R"("$CLI" --help >&-; echo -n $?)", "1",
     "glossmith-cli: standard output: Bad file descriptor\n"},
};

INSTANTIATE_TEST_SUITE_P(Streams, StreamTest, ::testing::ValuesIn(kStreams),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace glossmith
