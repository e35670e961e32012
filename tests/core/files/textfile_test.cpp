#include "core/files/textfile.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace glossmith {
namespace {

using namespace std::string_literals;

TEST(TextFileBytesTest, TextThenOneLineBreak) {
  EXPECT_EQ(TextFileBytes("abc"), "abc\r\n");
  EXPECT_EQ(TextFileBytes(""), "\r\n");
  EXPECT_EQ(TextFileBytes("a\r\n"), "a\r\n\r\n");
  EXPECT_EQ(TextFileBytes("a\0b"s), "a\0b\r\n"s);
}

TEST(SaveFileNameTest, AppendsTxtUnlessNameEndsInExactlyTxt) {
  struct Case {
    const char* name;
    std::string chosen;
    std::string used;
  };
  const Case cases[] = {
      {"FullPath", "/home/u/notes.txt", "/home/u/notes.txt"},
      {"ExactlyTxt", ".txt", ".txt"},
      {"ShorterThanFour", "txt", "txt.txt"},
      {"Empty", "", ".txt"},
      {"TxtInsideName", "a.txt.bak", "a.txt.bak.txt"},
      {"NonAsciiBeforeSuffix", "\xC3\xA9t\xC3\xA9.txt", "\xC3\xA9t\xC3\xA9.txt"},
  };
  for (const Case& c : cases) EXPECT_EQ(SaveFileName(c.chosen), c.used) << c.name;
}

TEST(IsValidUtf8Test, Table) {
  struct Case {
    const char* name;
    std::string bytes;
    bool valid;
  };
  const Case cases[] = {
      {"Empty", "", true},
      {"TwoByte", "\xC3\xA9", true},
      {"ThreeByte", "\xE2\x82\xAC", true},
      {"FourByte", "\xF0\x9F\x98\x80", true},
      {"HighestCodePoint", "\xF4\x8F\xBF\xBF", true},
      {"LastBeforeSurrogates", "\xED\x9F\xBF", true},
      {"NulIsAscii", "a\0b"s, true},
      {"LoneContinuation", "\x80", false},
      {"Windows1252Accent", "caf\xE9", false},
      {"TruncatedFourByte", "\xF0\x9F\x98", false},
      {"OverlongTwoByte", "\xC0\xAF", false},
      {"OverlongThreeByte", "\xE0\x80\xAF", false},
      {"OverlongFourByte", "\xF0\x80\x80\xAF", false},
      {"Surrogate", "\xED\xA0\x80", false},
      {"AboveUnicode", "\xF4\x90\x80\x80", false},
      {"LeadF5", "\xF5\x80\x80\x80", false},
      {"BadThirdByte", "\xE2\x82\x41", false},
      {"AsciiAfterLeadByte", "\xC3" "A", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << c.name;
}

TEST(Windows1252ToUtf8Test, Table) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string utf8;
  };
  const Case cases[] = {
      {"AsciiUnchanged", "abc\r\n", "abc\r\n"},
      {"Latin1Range", "caf\xE9 \xA0\xFF", "caf\xC3\xA9 \xC2\xA0\xC3\xBF"},
      {"EuroSign", "\x80", "\xE2\x82\xAC"},
      {"CurlyQuotes", "\x93hi\x94", "\xE2\x80\x9Chi\xE2\x80\x9D"},
      {"ScaronAndOE", "\x8A\x8C\x9A\x9C", "\xC5\xA0\xC5\x92\xC5\xA1\xC5\x93"},
      {"UndefinedBytesBecomeC1Controls", "\x81\x8D\x8F\x90\x9D",
       "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},
  };
  for (const Case& c : cases) EXPECT_EQ(Windows1252ToUtf8(c.bytes), c.utf8) << c.name;
}

TEST(Windows1252ToUtf8Test, EveryByteGivesOneValidCharacter) {
  for (int b = 0; b < 256; ++b) {
    const std::string utf8 = Windows1252ToUtf8(std::string(1, static_cast<char>(b)));
    EXPECT_TRUE(IsValidUtf8(utf8)) << b;
    const auto leadBytes = std::count_if(utf8.begin(), utf8.end(),
                                         [](char c) { return (c & 0xC0) != 0x80; });
    EXPECT_EQ(leadBytes, 1) << b;
  }
}

TEST(DecodeTextFileTest, Utf8KeptOtherwiseWindows1252) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string text;
  };
  const Case cases[] = {
      {"Empty", "", ""},
      {"Utf8", "na\xC3\xAFve \xE2\x82\xAC", "na\xC3\xAFve \xE2\x82\xAC"},
      {"Windows1252", "na\xEFve \x80", "na\xC3\xAFve \xE2\x82\xAC"},
      {"ByteOrderMarkDropped", "\xEF\xBB\xBFhi", "hi"},
      {"OnlyByteOrderMark", "\xEF\xBB\xBF", ""},
      {"MarkOnlyDroppedAtStart", "a\xEF\xBB\xBF", "a\xEF\xBB\xBF"},
      // UTF-8 with stray bytes: the sequences stay, each stray byte is Windows-1252.
      {"StrayByteAmongUtf8", "caf\xC3\xA9 na\xEFve \xC3\xA9t\xC3\xA9",
       "caf\xC3\xA9 na\xC3\xAFve \xC3\xA9t\xC3\xA9"},
      {"AsManyStrayBytesAsSequences", "\xC3\xA9\xE9", "\xC3\xA9\xC3\xA9"},
      {"StrayC1Byte", "\xE2\x82\xAC \x80", "\xE2\x82\xAC \xE2\x82\xAC"},
      {"CutSequenceIsStrayBytes", "\xC3\xA9\xC3\xA9\xE2\x82",
       "\xC3\xA9\xC3\xA9\xC3\xA2\xE2\x80\x9A"},
      {"ByteOrderMarkDroppedWithStrayByte", "\xEF\xBB\xBF" "a\xE9", "a\xC3\xA9"},
      // More stray bytes than sequences: the whole file is Windows-1252.
      {"MostlyWindows1252", "\xC3\xA9 \xE9\xE8\xE0", "\xC3\x83\xC2\xA9 \xC3\xA9\xC3\xA8\xC3\xA0"},
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeTextFile(c.bytes), c.text) << c.name;
}

// Whole files as the open command reads them.
TEST(TextFromFileBytesTest, Table) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string text;
  };
  const Case cases[] = {
      {"EmptyFile", "", ""},
      {"OnlyEmptyLines", "\r\n\r\n\r\n", ""},
      {"NoTerminator", "abc", "abc"},
      {"LeadingEmptyLinesDropped", "\r\n\r\nabc", "abc"},
      {"InnerEmptyLineKept", "a\r\n\r\nb", "a\r\n\r\nb"},
      {"TrailingEmptyLineKept", "abc\r\n\r\n", "abc\r\n"},
      {"LoneLf", "a\nb\n", "a\r\nb"},
      {"LoneCr", "a\rb\r", "a\r\nb"},
      {"LfCrIsTwoBreaks", "a\n\rb", "a\r\n\r\nb"},
      {"CrCrLf", "a\r\r\nb", "a\r\n\r\nb"},
      {"LeadingEmptyLfLinesDropped", "\n\r\nabc", "abc"},
      {"Windows1252File", "caf\xE9\r\n", "caf\xC3\xA9"},
      {"ByteOrderMarkThenEmptyLine", "\xEF\xBB\xBF\r\nabc", "abc"},
  };
  for (const Case& c : cases) EXPECT_EQ(TextFromFileBytes(c.bytes), c.text) << c.name;
}

// Only regular files are read; nothing else may keep the caller waiting.
TEST(ReadRegularFileTest, Table) {
  char pattern[] = "/tmp/textfile_test.XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  std::ofstream(dir + "/notes.txt") << "abc\r\n";
  std::ofstream(dir + "/empty.txt");
  std::filesystem::create_symlink(dir + "/notes.txt", dir + "/link.txt");
  ASSERT_EQ(mkfifo((dir + "/fifo.txt").c_str(), 0600), 0);
  std::filesystem::create_directory(dir + "/folder.txt");

  struct Case {
    const char* name;
    std::string path;
    std::optional<std::string> bytes;
  };
  const Case cases[] = {
      {"RegularFile", dir + "/notes.txt", "abc\r\n"},
      {"EmptyFile", dir + "/empty.txt", ""},
      {"LinkToRegularFile", dir + "/link.txt", "abc\r\n"},
      {"FifoWithoutWriter", dir + "/fifo.txt", std::nullopt},
      {"EndlessDevice", "/dev/zero", std::nullopt},
      {"EmptyDevice", "/dev/null", std::nullopt},
      {"Folder", dir + "/folder.txt", std::nullopt},
      {"Missing", dir + "/missing.txt", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ReadRegularFile(c.path), c.bytes) << c.name;
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace glossmith
