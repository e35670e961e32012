#include "store/inisettings.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <string>
#include <vector>

#include "core/rules/hardcore_table.h"
#include "tests/support/file_bytes.h"
#include "tests/support/unwritable_store.h"

namespace glossmith {
namespace {

using namespace std::string_literals;
using namespace testing_support;

struct Stored {
  std::string section, key, value;
};

// How QSettings itself sees the file: "group/key", top-level keys bare.
QStringList rawKeys(const QString& path) {
  QSettings settings(path, QSettings::IniFormat);
  QStringList keys = settings.allKeys();
  keys.sort();
  return keys;
}

// Process arguments travel as text: no NUL, nothing that is not UTF-8.
bool passableAsArgument(const std::string& s) {
  return s.find('\0') == std::string::npos && QString::fromUtf8(s).toUtf8().toStdString() == s;
}

QByteArray runProbe(const QStringList& arguments) {
  QProcess probe;
  probe.start(QStringLiteral(STORE_PROBE), arguments);
  EXPECT_TRUE(probe.waitForFinished(30000));
  EXPECT_EQ(probe.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(probe.exitCode(), 0) << probe.readAllStandardError().toStdString();
  return probe.readAllStandardOutput();
}

// What a new run of the program reads.
std::string probeRead(const QString& path, const std::string& section, const std::string& key) {
  return runProbe({path, "read", QString::fromStdString(section), QString::fromStdString(key)})
      .toStdString();
}

void probeWrite(const QString& path, const std::string& section, const std::string& key,
                const std::string& value) {
  runProbe({path, "write", QString::fromStdString(section), QString::fromStdString(key),
            QString::fromStdString(value)});
}

// Fills a new file in one save; section "general" is QSettings' top level.
void seed(const QString& path, const std::vector<Stored>& values) {
  QSettings raw(path, QSettings::IniFormat);
  for (const Stored& v : values) {
    const QString key = QString::fromStdString(v.key);
    raw.setValue(v.section == "general" ? key : QString::fromStdString(v.section) + '/' + key,
                 QString::fromStdString(v.value));
  }
}

// The values of a store that has been used for a while.
std::vector<Stored> UsedStore() {
  std::vector<Stored> values;
  for (const auto& [letter, value] : kHardcoreDefaults)
    values.push_back({"hardcore", LetterKey(letter), std::string(value)});
  values.push_back({"hardcore", "custom", "yes"});
  values.push_back({"general", "usehard", "yes"});
  values.push_back({"change", "search", "dude\r\nhello\r\n"});
  values.push_back({"change", "replace", "d00d\r\nhowdy\r\n"});
  return values;
}

class IniSettingsTest : public ::testing::Test {
 protected:
  QString path() const { return dir_.filePath(QStringLiteral("l33t.ini")); }
  std::string read(std::string_view section, std::string_view key) const {
    return store_.Read(kApp, section, key);
  }
  void write(std::string_view section, std::string_view key, std::string_view value) {
    store_.Write(kApp, section, key, value);
  }
  void writeAll(const std::vector<Stored>& values) {
    for (const Stored& v : values) write(v.section, v.key, v.value);
  }
  void expectAll(const std::vector<Stored>& values) const {
    for (const Stored& v : values) EXPECT_EQ(read(v.section, v.key), v.value) << v.section << "/" << v.key;
  }

  QTemporaryDir dir_;
  IniSettings store_{path()};
};

// --- names without regard to case -------------------------------------------

struct NameCase {
  const char* name;
  QByteArray file;  // written by hand beforehand; empty for none
  std::vector<Stored> writes;
  Stored expected;  // what a read with this spelling gives
  QStringList raw;  // the file's keys afterwards, as QSettings sees them
};
void PrintTo(const NameCase& c, std::ostream* os) { *os << c.name; }

class NameTest : public IniSettingsTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(NameTest, MatchesAnyCaseAndKeepsTheFirst) {
  const NameCase& c = GetParam();
  if (!c.file.isEmpty()) putFile(path(), c.file);
  writeAll(c.writes);
  EXPECT_EQ(read(c.expected.section, c.expected.key), c.expected.value);
  EXPECT_EQ(probeRead(path(), c.expected.section, c.expected.key), c.expected.value);
  EXPECT_EQ(rawKeys(path()), c.raw);
}

const NameCase kNameCases[] = {
    {"UpperKeyReadLower", "", {{"hardcore", "K", "|<"}}, {"hardcore", "k", "|<"}, {"hardcore/K"}},
    {"SectionKeepsCaseOfFirstWrite", "",
     {{"HardCore", "A", "4"}, {"hardcore", "b", "8"}}, {"HARDCORE", "B", "8"},
     {"HardCore/A", "HardCore/b"}},
    {"WriteReplacesKeyOfOtherCase", "[Change]\nSEARCH=old\n", {{"change", "search", "new"}},
     {"change", "Search", "new"}, {"Change/SEARCH"}},
    {"HandEditedGroupAndKey", "[HARDCORE]\nh=|-|\n", {}, {"hardcore", "H", "|-|"},
     {"HARDCORE/h"}},
    {"HandEditedLowerGeneral", "[general]\nUseHard=yes\n", {}, {"general", "usehard", "yes"},
     {"UseHard"}},
    {"HandEditedUpperGeneral", "[GENERAL]\nusehard=yes\n", {}, {"General", "USEHARD", "yes"},
     {"usehard"}},
    {"WriteIntoHandEditedGeneral", "[general]\nUseHard=no\n", {{"general", "usehard", "yes"}},
     {"general", "usehard", "yes"}, {"UseHard"}},
    {"GeneralInAnyCaseIsTopLevel", "", {{"GENERAL", "UseHard", "yes"}},
     {"general", "usehard", "yes"}, {"UseHard"}},
    {"WriteCollapsesDuplicateSpellings", "[hardcore]\nA=1\na=2\n[HardCore]\nA=3\n",
     {{"hardcore", "a", "9"}}, {"Hardcore", "A", "9"}, {"HardCore/A"}},
    {"NonAsciiFolding", "", {{"hardcore", "\xC3\x84rger", "x"}},
     {"HARDCORE", "\xC3\xA4RGER", "x"}, {QString::fromUtf8("hardcore/\xC3\x84rger")}},
};

INSTANTIATE_TEST_SUITE_P(Names, NameTest, ::testing::ValuesIn(kNameCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(IniSettingsTest, DuplicateSpellingsReadTheSameWhicheverIsAsked) {
  putFile(path(), "[hardcore]\nA=1\na=2\n[Hardcore]\nA=3\n");
  const std::string value = read("hardcore", "A");
  EXPECT_FALSE(value.empty());
  for (const char* section : {"hardcore", "Hardcore", "HARDCORE"})
    for (const char* key : {"a", "A"}) EXPECT_EQ(read(section, key), value) << section << key;
}

// --- "usehard" in QSettings' top level, across processes --------------------

struct GeneralCase {
  const char* name;
  Stored writer, reader;  // spellings of section and key; values unused
};
void PrintTo(const GeneralCase& c, std::ostream* os) { *os << c.name; }

class GeneralTest : public IniSettingsTest, public ::testing::WithParamInterface<GeneralCase> {};

TEST_P(GeneralTest, ValueWrittenByOneProcessIsReadByAnother) {
  const auto& [name, writer, reader] = GetParam();
  probeWrite(path(), writer.section, writer.key, "yes");
  const QByteArray file = fileBytes(path());
  EXPECT_TRUE(file.startsWith("[General]\n")) << file.toStdString();
  EXPECT_FALSE(file.contains("%General")) << file.toStdString();
  EXPECT_EQ(probeRead(path(), reader.section, reader.key), "yes");
  EXPECT_EQ(read(reader.section, reader.key), "yes");

  write(reader.section, reader.key, "no");
  EXPECT_EQ(probeRead(path(), writer.section, writer.key), "no");
  EXPECT_EQ(rawKeys(path()).size(), 1);
}

const GeneralCase kGeneralCases[] = {
    {"SameSpelling", {"general", "usehard", ""}, {"general", "usehard", ""}},
    {"WriterCapitalized", {"General", "UseHard", ""}, {"general", "usehard", ""}},
    {"ReaderInCapitals", {"general", "usehard", ""}, {"GENERAL", "USEHARD", ""}},
};

INSTANTIATE_TEST_SUITE_P(General, GeneralTest, ::testing::ValuesIn(kGeneralCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- any text as a key --------------------------------------------------------

struct KeyCase {
  const char* name;
  std::string key;
};
void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.name; }

const KeyCase kDangerousKeys[] = {
    {"Slash", "a/b"},
    {"LoneSlash", "/"},
    {"SlashesAround", "/A/"},
    {"UpTheTree", "..\\x"},
    {"LoneBackslash", "\\"},
    {"BothSeparators", "a\\b/c"},
    {"OtherSectionPath", "general/usehard"},
    {"OtherSectionUpward", "../general/usehard"},
    {"SectionHeader", "[general]"},
    {"Equals", "="},
    {"Percent", "%"},
    {"EncodedLetter", "%41"},
    {"EncodedSlash", "%2F"},
    {"Empty", ""},
    {"Long", std::string(250, 'x') + std::string(250, '/')},
    {"NonAscii", "\xC3\x9C\x6E\xC3\xAF \xE2\x98\x83 \xF0\x9F\x98\x80"},
    {"LineBreak", "\r\n"},
    {"Tab", "\t"},
    {"PaddedLetter", " A "},
    {"Semicolon", ";A"},
    {"Hash", "#A"},
    {"Quoted", "\"A\""},
    {"AtSign", "@A"},
    {"KeyOfGeneral", "usehard"},
    {"NotUtf8", "\xFF\xFE"},
    {"OtherNotUtf8", "\xFE\xFF"},
    {"NulByte", "A\0B"s},
};

class DangerousKeyTest : public IniSettingsTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(DangerousKeyTest, LandsUnderAKeyOfItsOwn) {
  const std::vector<Stored> used = UsedStore();
  seed(path(), used);
  const QStringList before = rawKeys(path());
  const std::string value = "value of "s + GetParam().name;

  write("hardcore", GetParam().key, value);

  EXPECT_EQ(read("hardcore", GetParam().key), value);
  expectAll(used);
  QStringList added = rawKeys(path());
  for (const QString& key : before) EXPECT_TRUE(added.removeOne(key)) << key.toStdString();
  ASSERT_EQ(added.size(), 1);
  EXPECT_TRUE(added.front().startsWith("hardcore/")) << added.front().toStdString();
  EXPECT_EQ(added.front().count('/'), 1) << added.front().toStdString();
  if (passableAsArgument(GetParam().key)) {
    EXPECT_EQ(probeRead(path(), "hardcore", GetParam().key), value);
  }
}

INSTANTIATE_TEST_SUITE_P(Keys, DangerousKeyTest, ::testing::ValuesIn(kDangerousKeys),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(IniSettingsTest, DangerousKeysDoNotShareValues) {
  std::vector<Stored> values = UsedStore();
  seed(path(), values);
  for (const KeyCase& c : kDangerousKeys) values.push_back({"hardcore", c.key, c.name});
  writeAll(values);
  expectAll(values);
}

TEST_F(IniSettingsTest, EncodedKeysMatchWithoutRegardToCase) {
  write("hardcore", "\xC3\x84/B", "x");
  EXPECT_EQ(read("HardCore", "\xC3\xA4/b"), "x");
  write("hardcore", "\xC3\xA4/b", "y");
  EXPECT_EQ(read("hardcore", "\xC3\x84/B"), "y");
  EXPECT_EQ(rawKeys(path()).size(), 1);
}

TEST_F(IniSettingsTest, OrdinaryKeysAreWrittenAsTheyAre) {
  writeAll(UsedStore());
  const QByteArray file = fileBytes(path());
  for (const char* line : {"\nA=4\n", "\nM=|\\\\/|\n", "\ncustom=yes\n", "\nusehard=yes\n",
                           "\nsearch=dude\\r\\nhello\\r\\n\n", "[hardcore]\n", "[change]\n"})
    EXPECT_TRUE(file.contains(line)) << line << " in\n" << file.toStdString();
}

// --- values ---------------------------------------------------------------------

struct ValueCase {
  const char* name;
  std::string value;
};
void PrintTo(const ValueCase& c, std::ostream* os) { *os << c.name; }

class ValueTest : public IniSettingsTest, public ::testing::WithParamInterface<ValueCase> {};

TEST_P(ValueTest, RoundTripsExactly) {
  write("general", "usehard", "no");
  write("change", "search", "previous");

  write("change", "search", GetParam().value);

  EXPECT_EQ(read("change", "search"), GetParam().value);
  EXPECT_EQ(probeRead(path(), "change", "search"), GetParam().value);
  EXPECT_EQ(read("general", "usehard"), "no");
  EXPECT_EQ(rawKeys(path()), QStringList({"change/search", "usehard"}));
}

const ValueCase kValues[] = {
    {"CrLfList", "dude\r\nhello\r\n"},
    {"LoneCr", "a\rb"},
    {"LoneLf", "a\nb"},
    {"LfCr", "\n\r"},
    {"Quotes", "say \"hi\""},
    {"UnbalancedQuote", "\"a"},
    {"Backslashes", "|\\/| \\\\ \\"},
    {"EscapeLookalikes", "\\r\\n\\x41\\0"},
    {"LeadingAndTrailingSpaces", "  padded  "},
    {"OnlySpaces", "   "},
    {"Comma", "a,b"},
    {"CommaSpace", "a, b"},
    {"ListLike", "\"a\",\"b\""},
    {"TrailingComma", "a,"},
    {"Semicolon", "a;b"},
    {"Equals", "a=b"},
    {"Hash", "#not a comment"},
    {"AtSign", "@at"},
    {"DoubleAt", "@@"},
    {"InvalidMarker", "@Invalid()"},
    {"ByteArrayLike", "@ByteArray(x)"},
    {"VariantLike", "@Variant(\\0\\0\\0\\x7f)"},
    {"StringLike", "@String(x)"},
    {"SectionHeader", "x\r\n[general]\r\nusehard=yes"},
    {"NonAscii", "\xC3\xBC \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80"},
    {"Tab", "\t"},
    {"Empty", ""},
    {"NulByte", "a\0b"s},
    {"NotUtf8", "\xFF\xFE\x80 x"},
    {"Long", std::string(100000, 'x') + ",\r\n"},
};

INSTANTIATE_TEST_SUITE_P(Values, ValueTest, ::testing::ValuesIn(kValues),
                         [](const auto& info) { return std::string(info.param.name); });

struct HandWrittenCase {
  const char* name;
  QByteArray line;  // in section [change]
  std::string expected;
};
void PrintTo(const HandWrittenCase& c, std::ostream* os) { *os << c.name; }

class HandWrittenValueTest : public IniSettingsTest,
                             public ::testing::WithParamInterface<HandWrittenCase> {};

TEST_P(HandWrittenValueTest, ReadsAsWritten) {
  putFile(path(), "[change]\n" + GetParam().line + "\n");
  EXPECT_EQ(read("change", "search"), GetParam().expected);
}

const HandWrittenCase kHandWritten[] = {
    {"Plain", "search=dude", "dude"},
    {"EscapedLineBreaks", "search=dude\\r\\nhello\\r\\n", "dude\r\nhello\r\n"},
    {"SpacesAroundEquals", "search = dude ", "dude"},
    {"UnquotedComma", "search=a,b,c", "a,b,c"},
    {"QuotedComma", "search=\"a, b\"", "a, b"},
    {"QuotedSemicolon", "search=\"a;b\"", "a;b"},
    {"TrailingComment", "search=a ;note", "a"},
    {"ByteArray", "search=@ByteArray(zz)", "zz"},
    {"RawUtf8", "search=\xC3\xBC", "\xC3\xBC"},
    {"Empty", "search=", ""},
};

INSTANTIATE_TEST_SUITE_P(HandWritten, HandWrittenValueTest, ::testing::ValuesIn(kHandWritten),
                         [](const auto& info) { return std::string(info.param.name); });

// --- bad files -----------------------------------------------------------------

struct BadFileCase {
  const char* name;
  QByteArray file;
  std::vector<Stored> readable;  // what can still be read; everything else reads ""
};
void PrintTo(const BadFileCase& c, std::ostream* os) { *os << c.name; }

class BadFileTest : public IniSettingsTest, public ::testing::WithParamInterface<BadFileCase> {};

TEST_P(BadFileTest, GivesWhatCanBeReadAndAcceptsWrites) {
  putFile(path(), GetParam().file);
  expectAll(GetParam().readable);
  for (const char* key : {"B", "Z"}) EXPECT_EQ(read("hardcore", key), "") << key;
  EXPECT_EQ(read("change", "search"), "");

  write("hardcore", "Z", "2");
  EXPECT_EQ(read("hardcore", "Z"), "2");
  EXPECT_EQ(probeRead(path(), "hardcore", "Z"), "2");
  expectAll(GetParam().readable);
}

const BadFileCase kBadFiles[] = {
    {"Empty", "", {}},
    {"NotIni", "This is no INI file.\nJust words; and more words.\n", {}},
    {"BinaryGarbage", garbage(4096, 12345), {}},
    {"NulBytes", QByteArray(1000, '\0'), {}},
    {"GarbageAroundSection",
     QByteArray::fromStdString("\x01\xFF[\n\xFE=\x80\n[hardcore]\nA=4\nno equals sign\n\0\0tail"s),
     {{"hardcore", "A", "4"}}},
    {"UnclosedSectionHeader", "[hardcore\nA=4\n", {{"hardcore", "A", "4"}}},
    {"ByteOrderMark", "\xEF\xBB\xBF[hardcore]\nA=4\n", {{"hardcore", "A", "4"}}},
    {"CrLfLines", "[General]\r\nusehard=yes\r\n[hardcore]\r\nA=4\r\n",
     {{"general", "usehard", "yes"}, {"hardcore", "A", "4"}}},
};

INSTANTIATE_TEST_SUITE_P(BadFiles, BadFileTest, ::testing::ValuesIn(kBadFiles),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(IniSettingsTest, UnreadableFileReadsEmptyAndIsLeftAlone) {
  ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("l33t.ini")));
  EXPECT_EQ(read("general", "usehard"), "");
  const WriteResult result = store_.Write(kApp, "general", "usehard", "yes");
  EXPECT_FALSE(result.stored);
  EXPECT_EQ(result.reason, "Is a directory");
  EXPECT_EQ(read("general", "usehard"), "");
  EXPECT_TRUE(QFileInfo(path()).isDir());
}

// --- a store that cannot be written -----------------------------------------------

class UnwritableTest : public ::testing::TestWithParam<testing::StoreFault> {};

TEST_P(UnwritableTest, WriteSaysWhyAndChangesNothing) {
  testing::UnwritableStore unwritable(GetParam());
  IniSettings store(unwritable.filePath());
  const bool seedable = unwritable.seedable();
  if (seedable) {
    ASSERT_TRUE(store.Write(kApp, "hardcore", "A", "4").stored);
  }
  const QByteArray before = fileBytes(unwritable.filePath());
  unwritable.lock();

  for (const Stored& v : std::vector<Stored>{{"hardcore", "A", "5"}, {"hardcore", "B", "8"}}) {
    const WriteResult result = store.Write(kApp, v.section, v.key, v.value);
    EXPECT_FALSE(result.stored) << v.key;
    EXPECT_EQ(result.file, unwritable.filePath().toStdString()) << v.key;
    EXPECT_EQ(result.reason, unwritable.reason()) << v.key;
  }
  EXPECT_EQ(store.Read(kApp, "hardcore", "A"), seedable ? "4" : "");
  EXPECT_EQ(store.Read(kApp, "hardcore", "B"), "");
  // What is stored already needs no saving.
  EXPECT_TRUE(store.Write(kApp, "hardcore", "A", seedable ? "4" : "").stored);
  EXPECT_TRUE(store.Write(kApp, "hardcore", "C", "").stored);
  unwritable.unlock();
  EXPECT_EQ(fileBytes(unwritable.filePath()), before);
  EXPECT_EQ(probeRead(unwritable.filePath(), "hardcore", "B"), "");
}

INSTANTIATE_TEST_SUITE_P(Faults, UnwritableTest, ::testing::ValuesIn(testing::kStoreFaults),
                         testing::faultCaseName);

TEST_F(IniSettingsTest, StuckLockLeavesValueAsItWas) {
  write("hardcore", "A", "4");
  const QByteArray before = fileBytes(path());
  // QSettings would wait for this lock forever.
  ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("l33t.ini.lock")));
  const WriteResult result = store_.Write(kApp, "hardcore", "A", "5");
  EXPECT_FALSE(result.stored);
  EXPECT_EQ(result.reason, "\"" + path().toStdString() + ".lock\" is in the way");
  EXPECT_EQ(read("hardcore", "A"), "4");
  EXPECT_EQ(fileBytes(path()), before);
}

// --- no cache ------------------------------------------------------------------

struct ExternalCase {
  const char* name;
  QByteArray file;
  int secondsLater;  // the new modification time, relative to the old one
  std::string expected;
};
void PrintTo(const ExternalCase& c, std::ostream* os) { *os << c.name; }

class ExternalChangeTest : public IniSettingsTest,
                           public ::testing::WithParamInterface<ExternalCase> {};

TEST_P(ExternalChangeTest, SeenByNextRead) {
  write("hardcore", "A", "4");
  ASSERT_EQ(read("hardcore", "A"), "4");
  const QDateTime before = modified(path());
  putFile(path(), GetParam().file);
  setModified(path(), before.addSecs(GetParam().secondsLater));
  EXPECT_EQ(read("hardcore", "A"), GetParam().expected);
}

const ExternalCase kExternalChanges[] = {
    {"SameSizeNewTime", "[hardcore]\nA=5\n", 60, "5"},
    {"NewSizeSameTime", "[hardcore]\nA=55\n", 0, "55"},
    {"SectionRenamed", "[HardCore]\nA=4\n", 60, "4"},
    {"Emptied", "", 0, ""},
};

INSTANTIATE_TEST_SUITE_P(External, ExternalChangeTest, ::testing::ValuesIn(kExternalChanges),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(IniSettingsTest, WriteByAnotherProcessSeenByNextRead) {
  for (const char* value : {"4", "5", "|-|", ""}) {
    probeWrite(path(), "hardcore", "a", value);
    EXPECT_EQ(read("hardcore", "A"), value);
    write("hardcore", "A", "x");
    EXPECT_EQ(probeRead(path(), "hardcore", "a"), "x");
  }
}

// --- writes that change nothing ------------------------------------------------

TEST_F(IniSettingsTest, StoringTheSameValueLeavesFileUntouched) {
  seed(path(), UsedStore());
  const QByteArray before = fileBytes(path());
  const QDateTime old(QDate(2001, 1, 1), QTime(12, 0), Qt::UTC);
  setModified(path(), old);

  for (const Stored& v : UsedStore()) write(v.section, v.key, v.value);
  write("HARDCORE", "a", "4");
  write("hardcore", "Q2", "");  // missing reads as ""

  EXPECT_EQ(modified(path()), old);
  EXPECT_EQ(fileBytes(path()), before);
  write("hardcore", "A", "5");
  EXPECT_NE(modified(path()), old);
}

TEST_F(IniSettingsTest, ClearingWhatWasNeverStoredCreatesNoFile) {
  write("change", "search", "");
  write("change", "replace", "");
  EXPECT_FALSE(QFileInfo::exists(path()));
}

// --- application name and default place -------------------------------------------

TEST_F(IniSettingsTest, HoldsOnlyTheValuesOfL33t) {
  write("general", "usehard", "yes");
  EXPECT_FALSE(store_.Write("other", "general", "usehard", "no").stored);
  EXPECT_EQ(store_.Read("other", "general", "usehard"), "");
  EXPECT_EQ(store_.Read("L33T", "general", "usehard"), "yes");
}

TEST(IniSettingsPathTest, DefaultFileFollowsXdgConfigHome) {
  const QByteArray savedXdg = qgetenv("XDG_CONFIG_HOME");
  const QByteArray savedHome = qgetenv("HOME");
  QTemporaryDir home, config;
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
  EXPECT_EQ(IniSettings::defaultFilePath(), config.path() + "/glossmith/l33t.ini");
  qunsetenv("XDG_CONFIG_HOME");
  qputenv("HOME", QFile::encodeName(home.path()));
  EXPECT_EQ(IniSettings::defaultFilePath(), home.path() + "/.config/glossmith/l33t.ini");
  qputenv("HOME", savedHome);
  if (savedXdg.isNull()) qunsetenv("XDG_CONFIG_HOME");
  else qputenv("XDG_CONFIG_HOME", savedXdg);
}

}  // namespace
}  // namespace glossmith
