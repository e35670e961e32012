// IniFileSettings (core, no Qt) against IniSettings (QSettings): every file,
// written by hand, by QSettings or at random, reads the same both ways.
#include "core/ini/ini_settings.h"

#include <gtest/gtest.h>

#include <QChar>
#include <QDir>
#include <QRect>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/ini/text.h"
#include "core/rules/hardcore_table.h"
#include "store/inisettings.h"
#include "tests/support/file_bytes.h"

namespace glossmith {
namespace {

using namespace std::string_literals;
using namespace testing_support;
using Name = std::pair<std::string, std::string>;  // section, key

std::string utf8(const QString& s) { return s.toUtf8().toStdString(); }

// What the program reads: the Custom list, the Hardcore letters and switch.
std::vector<Name> UsedNames() {
  std::vector<Name> names = {{"change", "search"},   {"change", "replace"},
                             {"hardcore", "custom"}, {"general", "usehard"}};
  for (char letter = 'A'; letter <= 'Z'; ++letter)
    names.push_back({"hardcore", LetterKey(letter)});
  return names;
}

// The spellings under which a name QSettings lists may be asked for: as
// listed, in other cases, and decoded when it is one of the store's "%" names.
std::set<std::string> Spellings(const QString& listed) {
  std::set<std::string> out = {utf8(listed), utf8(listed.toUpper()), utf8(listed.toLower())};
  if (listed.startsWith('%'))
    out.insert(QByteArray::fromPercentEncoding(listed.mid(1).toUtf8()).toStdString());
  return out;
}

// The sections and keys the file holds, as QSettings lists them.
std::vector<Name> NamesInFile(const QString& path) {
  QSettings settings(path, QSettings::IniFormat);
  std::vector<Name> names;
  for (const QString& key : settings.childKeys())
    for (const std::string& k : Spellings(key)) names.push_back({"general", k});
  for (const QString& group : settings.childGroups()) {
    settings.beginGroup(group);
    const QStringList keys = settings.childKeys();
    settings.endGroup();
    for (const std::string& s : Spellings(group))
      for (const QString& key : keys)
        for (const std::string& k : Spellings(key)) names.push_back({s, k});
  }
  return names;
}

class IniFileSettingsTest : public ::testing::Test {
 protected:
  // A fresh file each time: QSettings keeps what it parsed per file name.
  QString NewFile() { return dir_.filePath(QString("f%1.ini").arg(files_++)); }

  // Reads the file at `path` both ways under the used names, the names it
  // holds and `extra`; every read must agree.
  void ExpectSameReads(const QString& path, const std::string& label,
                       std::vector<Name> extra = {}) {
    const IniSettings qt(path);
    const IniFileSettings own(fileBytes(path).toStdString());
    std::vector<Name> names = UsedNames();
    names.insert(names.end(), extra.begin(), extra.end());
    const std::vector<Name> listed = NamesInFile(path);
    names.insert(names.end(), listed.begin(), listed.end());
    for (const auto& [section, key] : names)
      ASSERT_EQ(own.Read(kApp, section, key), qt.Read(kApp, section, key))
          << label << ": [" << section << "] " << key << "\nfile: "
          << ::testing::PrintToString(fileBytes(path).toStdString());
    for (const char* app : {"L33T", "other"})
      EXPECT_EQ(own.Read(app, "hardcore", "A"), qt.Read(app, "hardcore", "A")) << label;
  }

  void ExpectSameReads(const std::string& bytes, const std::string& label,
                       std::vector<Name> extra = {}) {
    const QString path = NewFile();
    putFile(path, QByteArray::fromStdString(bytes));
    ExpectSameReads(path, label, std::move(extra));
  }

  QTemporaryDir dir_;
  int files_ = 0;
};

// --- files written by hand -------------------------------------------------------

struct HandCase {
  const char* name;
  std::string bytes;
  std::vector<Name> extra;
};
void PrintTo(const HandCase& c, std::ostream* os) { *os << c.name; }

const HandCase kHandWritten[] = {
    {"Empty", "", {}},
    {"AsTheWindowWritesIt",
     "[General]\nusehard=yes\n\n[change]\nsearch=dude\\r\\n\nreplace=d00d\\r\\n\n"
     "[hardcore]\nA=4\nH=|-|\nM=|\\\\/|\ncustom=yes\n",
     {}},
    {"QuotesAndSpaces",
     "[hardcore]\nA=\"a;b,c=d\"\nB=\" lead and trail \"\nC=  spaced value  \nD=\t tab \t\n"
     "E=\"\"\nF=\nG=\"x\" y \"z\"\nH=x\"y\"\nI=\"unterminated\nJ=after\n",
     {}},
    {"Escapes",
     "[hardcore]\nA=\\a\\b\\f\\n\\r\\t\\v\\\"\\?\\'\\\\\nB=\\x41\\x263a\\x1F600\\X41\nC=\\101\\0\\8\n"
     "D=\\z\\ \\x\\xg\nE=ends with \\\nF=\\x\nG=abc\\\ndef\nH=\\\r\nx\nI=trail \\t \nJ=\\0 0\n",
     {}},
    {"CommentsAndLineEnds",
     "; first\r\n[hardcore]\r\nA=1 ; trailing\r\n;B=2\r\nC=3\rD=4\n\r E = 5 \n  ;F=6\nG=\"7;8\"\n",
     {}},
    {"Lists",
     "[hardcore]\nA=a, b ,c\nB=\"a, b\",c\nC=,\nD=@@x, y\nE=x, @ByteArray(\xC3\xA9)\n"
     "F=a,\"\" , \nG=@Invalid(), x\nH=@,@@\nI=\"a\" , \"b\" \n",
     {}},
    {"AtForms",
     "[hardcore]\nA=@ByteArray(abc)\nB=@ByteArray()\nC=@ByteArray(\xC3\xA9\\x263a)\n"
     "D=@String(s,t)\nE=@Invalid()\nF=@Rect(1 2 3 4)\nG=@Rect(1 2)\nH=@Size(1 2)\nI=@Point(3)\n"
     "J=@@text\nK=@\nL=@ByteArray(\nM=@Size(1)2)\nN=@Unknown(x)\n",
     {}},
    {"Variants",
     "[hardcore]\nA=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)\nB=@Variant(\\0\\0\\0\\x1\\x1)\n"
     "C=@Variant(\\0\\0\\0\\n\\0\\0\\0\\x4\\0h\\0i)\nD=@Variant(\\0\\0\\0\\x2\\0)\n"
     "E=@Variant()\nF=@DateTime(\\0\\0\\0\\x2\\0\\0\\0\\0\\x7)\nG=@Variant(\\0\\0\\0\\f\\0\\0\\0\\x2\\xff)\n"
     "H=@Variant(\\0\\0\\0\\v\\0\\0\\0\\x1\\0\\0\\0\\x2\\0x)\nI=@Variant(\\0\\0\\0\\a\\0\\xe9)\n"
     "J=@Variant(\\0\\0\\0\\x81\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe)\nK=@Variant(\\0\\0\\0\\0)\n"
     "L=@Variant(\\0\\0\\0\\t\\0\\0\\0\\x2\\0\\0\\0\\n\\0\\0\\0\\x2\\0y\\0\\0\\0\\t\\0\\0\\0\\x1"
     "\\0\\0\\0\\x1\\x1)\n",
     {}},
    {"DuplicateKeysAndSections",
     "[hardcore]\nA=1\nA=2\n[hardcore]\nA=3\nB=4\n[HardCore]\nA=5\nb=6\nc=7\n[HARDCORE]\nC=8\n"
     "[change]\nsearch=one\n[Change]\nSEARCH=two\n",
     {}},
    {"GeneralSpellings",
     "usehard=top\n[general]\nusehard=g\n[GENERAL]\nUseHard=G\n[ General ]\nusehard=sp\n"
     "[%General]\nusehard=pct\n[%general]\nx=y\n",
     {{"General", "usehard"}, {"%General", "usehard"}}},
    {"PercentNames",
     "[%68ardcore]\n%41=a\n%U0042=b\n[hardcore]\n%63ustom=yes\n%=p\n%4=q\n%zz=r\n%U00=s\n"
     "%+41=t\n% 41=u\n%0x41=v\n%U0x43=w\n%U00440=x\n[%25change]\n%25search=enc\n"
     "[%25%2Fx]\n%25=slash\n%2541%2=bad\n",
     {{"/x", ""}, {"%2Fx", "%"}}},
    {"NonAscii",
     "[hardcore]\nA=\xC3\xA4\n\xC3\x84=big\n\xC3\xA4=small\n\xC7\x85=dz\n\xE2\x84\xAA=kelvin\n"
     "\xE1\xBA\x9E=sharp\n\xF0\x90\x90\x80=deseret\n\xC4\xB0=idot\n\xCF\x82=sigma\n"
     "[H\xC3\x84RDCORE]\nx=1\n[h\xC3\xA4rdcore]\ny=2\n",
     {{"hardcore", "\xC3\xA4"}, {"hardcore", "\xC7\x86"}, {"hardcore", "k"}, {"hardcore", "K"},
      {"hardcore", "\xC3\x9F"}, {"hardcore", "\xF0\x90\x90\xA8"}, {"hardcore", "i"},
      {"hardcore", "\xCF\x83"}, {"h\xC3\xA4rdcore", "X"}}},
    {"NotUtf8",
     "[hardcore]\nA=\xFF\xFE\n\xC3=x\nB=\xC3\\t\xA9\nC=\xE2\x82\nD=a\xE2\x82\\n\xACz\n"
     "E=\xF0\x9F\\x41\x98\x80\nF=\xED\xA0\x80\nG=\xC0\xAF\nH=\"\xC3\"\xA9\n[\xFF]\n\xFE=1\n",
     {{"\xFF", "\xFE"}, {"hardcore", "\xC3"}}},
    {"ByteOrderMarks",
     "\xEF\xBB\xBF[hardcore]\nA=\xEF\xBB\xBFx\nB=\\t\xEF\xBB\xBFy\n\xEF\xBB\xBF"
     "C=z\nD=\xEF\xBB\\t\xBF\n",
     {{"hardcore", "\xEF\xBB\xBF" "C"}}},
    {"Garbled",
     "[hardcore\nA=1\n[\n=\n==\n\"q\nB=2\n]\nC\n[change]x\nsearch=s\n[ch\"ange]\nreplace=r\n\"\n"
     "=x\n[]\n=top\n",
     {{"hardcore", ""}, {"", ""}}},
    {"SlashesInNames",
     "[a\\b]\nc=1\n[a]\nb\\c=2\nd=3\n[change]\nsearch\\x=3\n\\search=4\nreplace\\=5\n"
     "\\usehard=6\n/=7\n[\\]\nk=8\n[/change/]\nsearch=9\n",
     {{"a", "d"}, {"a/b", "c"}, {"", "k"}}},
};

class HandWrittenTest : public IniFileSettingsTest,
                        public ::testing::WithParamInterface<HandCase> {};

TEST_P(HandWrittenTest, ReadsAsQSettings) {
  ExpectSameReads(GetParam().bytes, GetParam().name, GetParam().extra);
}

INSTANTIATE_TEST_SUITE_P(Files, HandWrittenTest, ::testing::ValuesIn(kHandWritten),
                         [](const auto& info) { return std::string(info.param.name); });

// --- files written by QSettings ---------------------------------------------------

// Every byte value, alone and between others, and text that needs quoting or
// escaping, each stored by the window's store under names of its own.
TEST_F(IniFileSettingsTest, ValuesWrittenByTheStore) {
  const QString path = NewFile();
  IniSettings store(path);
  std::vector<Name> names;
  const auto write = [&](const std::string& section, const std::string& key,
                         const std::string& value) {
    ASSERT_TRUE(store.Write(kApp, section, key, value));
    names.push_back({section, key});
  };
  for (int b = 0; b < 256; ++b) {
    const std::string byte(1, static_cast<char>(b));
    write("bytes", "b" + std::to_string(b), byte);
    write("between", "b" + std::to_string(b), " x" + byte + "0\\" + byte + "y ");
  }
  const std::string tricky[] = {
      "",      " ",          "  lead",     "trail  ", "\"quoted\"",     "a;b",   "a,b",
      "a=b",   "\\",         "\\n",        "\r\n",    "dude\r\nrock\r\n", "\t",  "@ByteArray(x)",
      "@x",    "@@x",        "@Invalid()", "\0"s,     "\x01" "1",       "\xC3\xA9", "\xF0\x9F\x98\x80",
      "\xFF",  "\xC3",       "\xEF\xBB\xBF" "bom", "|\\/|", "\\|/",       "x\0y"s, "\x7F",
  };
  int i = 0;
  for (const std::string& value : tricky) {
    write("change", "t" + std::to_string(i), value);
    write("hardcore", std::string(1, static_cast<char>('A' + i % 26)), value);
    ++i;
  }
  // Names the store encodes.
  for (const std::string& name : {""s, "/"s, "a/b"s, "\\"s, "%"s, "%41"s, "\xFF"s, "\xC3\xA4"s,
                                 "General"s, "x y"s, "semi;colon"s})
    write(name.empty() ? "empty" : name, name, "named " + name);
  write("general", "usehard", "yes");
  ExpectSameReads(path, "store", names);
}

// Values of other types, as QSettings writes them when another program uses the file.
TEST_F(IniFileSettingsTest, ValuesOfOtherTypes) {
  const QString path = NewFile();
  {
    QSettings raw(path, QSettings::IniFormat);
    const std::vector<QVariant> values = {
        QVariant(short(-5)),
        QVariant(ushort(7)),
        QVariant(QChar(0xE9)),
        QVariant::fromValue(char('z')),
        QVariant::fromValue(static_cast<signed char>(-1)),
        QVariant::fromValue(static_cast<unsigned char>(200)),
        QVariant::fromValue(-123456789012L),
        QVariant::fromValue(123456789012UL),
        QVariant(qlonglong(-1)),
        QVariant(true),
        QVariant(2.5),
        QVariant(),
        QVariant(QRect(1, 2, 3, 4)),
        QVariant(QStringList()),
        QVariant(QStringList{"a"}),
        QVariant(QStringList{"a", "b,c", " d "}),
        QVariant(QVariantList{QByteArray("x\xFF"), 5, QString("s"), QVariant()}),
        QVariant(QVariantList{QStringList{"in", "list"}, QStringList{"one"}}),
        QVariant(QByteArray("\0\xFF@)"s.data(), 4)),
        QVariant(QString::fromUtf8("nul\0in", 6)),
        QVariant::fromValue(nullptr),
    };
    for (std::size_t i = 0; i < values.size(); ++i)
      raw.setValue(QString("hardcore/%1").arg(QChar('A' + static_cast<int>(i))), values[i]);
  }
  ExpectSameReads(path, "types");
}

// --- files made at random ---------------------------------------------------------

// A settings file of INI-ish lines, some of them garbled.
std::string RandomFile(std::mt19937& random) {
  static const std::vector<std::string> kSections = {
      "[change]", "[Change]", "[CHANGE]", "[hardcore]", "[HardCore]", "[general]", "[General]",
      "[%General]", "[ hardcore ]", "[%68ardcore]", "[hard\\core]", "[hardcore", "[]",
      "[\xC3\xA4]", "[\xFF]", "[change] ; c", "[\"change]", "[h\xC3\x84rdcore]"};
  static const std::vector<std::string> kKeys = {
      "A", "a", "Z", "z", "H", "search", "Search", "SEARCH", "replace", "custom", "usehard",
      "UseHard", "%41", "%U0061", "%%41", "h\\A", "\\A", " A ", "\"A\"", "A;", "\xC3\xA4",
      "\xC3\x84", "\xC3", "", "%", "%4", "%zz", "\xE2\x84\xAA", "k", "\xC5\xBF", "S"};
  static const std::vector<std::string> kSeparators = {"=", " = ", "=\t", "==", "", "=\""};
  static const std::vector<std::string> kValues = {
      "", "x", "a,b", "\"a,b\"", " spaced ", "\"q\"\"r\"", "\\n", "\\x41", "\\101", "\\",
      "\\\n", "@ByteArray(ab)", "@ByteArray(\xC3\xA9)", "@Invalid()", "@@at", "@String(s)",
      "@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)", "@Rect(1 2 3 4)", "\xC3", "\xC3\xA9", "\xEF\xBB\xBF",
      "\\t\xC3", "\xA9", "a;b", "\"a;b\"", "\"open", "\xC3\xA9,\xC3", "\\x263a", "\\0",
      "dude\\r\\n", "\t", " ", ",", "|-|", "|\\\\/|", "\"", "=", "[x]"};
  static const std::vector<std::string> kEnds = {"\n", "\r\n", "\r", "\n\n", " ;c\n", "\\\n"};
  const auto pick = [&random](const std::vector<std::string>& from) -> const std::string& {
    return from[random() % from.size()];
  };
  std::string file = random() % 8 == 0 ? "\xEF\xBB\xBF" : "";
  const int lines = 1 + static_cast<int>(random() % 24);
  for (int i = 0; i < lines; ++i) {
    switch (random() % 10) {
      case 0:
      case 1:
        file += pick(kSections);
        break;
      case 2:
        file += ";" + pick(kValues);
        break;
      case 3:
        for (int n = 1 + static_cast<int>(random() % 8); n > 0; --n)
          file += static_cast<char>(random());
        break;
      default:
        file += pick(kKeys) + pick(kSeparators);
        for (int n = static_cast<int>(random() % 3); n >= 0; --n) file += pick(kValues);
    }
    file += pick(kEnds);
  }
  return file;
}

TEST_F(IniFileSettingsTest, RandomFiles) {
  std::mt19937 random(20240611);
  for (int i = 0; i < 400; ++i) {
    ExpectSameReads(RandomFile(random), "random file " + std::to_string(i));
    if (HasFatalFailure()) return;
  }
}

// --- names and paths ---------------------------------------------------------------

TEST(CaseFoldTest, EveryCodePointFoldsAsInQt) {
  for (char32_t c = 0; c <= QChar::LastValidCodePoint; ++c)
    ASSERT_EQ(ini::FoldCase(c), QChar::toCaseFolded(c)) << std::hex << "U+" << unsigned(c);
}

// Sets an environment variable (nullptr: unsets it) for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    value ? setenv(name, value, 1) : unsetenv(name);
  }
  ~ScopedEnv() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(DefaultSettingsPathTest, AsQStandardPaths) {
  struct Case {
    const char *config, *home;
  };
  for (const Case c : {Case{"/x/cfg", "/home/u"}, Case{"", "/home/u"}, Case{nullptr, "/home/u/"},
                       Case{nullptr, "/home//u/./a/../b"}, Case{nullptr, "/a/../../b"},
                       Case{nullptr, "a/.."}, Case{nullptr, ""},
                       Case{nullptr, nullptr}, Case{"rel/cfg/", "/h"}}) {
    const ScopedEnv config("XDG_CONFIG_HOME", c.config);
    const ScopedEnv home("HOME", c.home);
    EXPECT_EQ(DefaultSettingsPath(), utf8(IniSettings::defaultFilePath()))
        << (c.config ? c.config : "(unset)") << " " << (c.home ? c.home : "(unset)");
  }
}

TEST(ReadSettingsFileTest, ErrorsAndBytes) {
  QTemporaryDir dir;
  const std::string base = dir.path().toStdString();
  putFile(dir.filePath("file"), "[hardcore]\nA=4\n");
  ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
  struct Case {
    std::string path;
    bool given;
    int error;
    std::string bytes;
  };
  const Case cases[] = {
      {base + "/file", true, 0, "[hardcore]\nA=4\n"},
      {base + "/missing", false, 0, ""},
      {base + "/missing", true, ENOENT, ""},
      {base + "/file/below", false, 0, ""},
      {base + "/file/below", true, ENOTDIR, ""},
      {base + "/folder", false, EISDIR, ""},
      {"/dev/zero", true, EFBIG, ""},
      {"/dev/null", true, 0, ""},
  };
  for (const Case& c : cases) {
    std::string bytes = "stale";
    EXPECT_EQ(ReadSettingsFile(c.path, c.given, bytes), c.error) << c.path;
    EXPECT_EQ(bytes, c.bytes) << c.path;
  }
}

}  // namespace
}  // namespace glossmith
