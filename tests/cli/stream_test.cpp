// The streaming filter in process: for every block size (down to one byte per
// read), number of jobs and way the text arrives (one byte per write into a
// pipe, or a file), the pieces joined are the reference translation of the
// whole text.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>
#include <tuple>

#include "cli/stream.h"
#include "core/engine/engine.h"
#include "core/rules/custom_list.h"
#include "core/rules/hardcore_table.h"
#include "core/rules/reference.h"

namespace glossmith::cli {
namespace {

// A stretch that holds no byte the rules below leave alone, in any mode.
constexpr std::string_view kNoSplit = "a s t  ";

// Words the rules rewrite on lines, a 7 KB stretch without a split byte,
// random bytes, and an end without a split byte.
std::string MixedText() {
  std::string text;
  for (int i = 0; i < 100; ++i)
    text += "You rock, newbie!\r\nThe 1337 h4x0r |-| 3 1 1 0 is it? fun dude\n";
  for (int i = 0; i < 1000; ++i) text += kNoSplit;
  unsigned state = 7;
  for (int i = 0; i < 3000; ++i) {
    state = state * 1103515245u + 12345u;
    text += static_cast<char>(state >> 16);
  }
  return text + "hello dude";
}

// An unnamed temporary file holding `bytes`, open at its start.
int TemporaryFile(std::string_view bytes) {
  char name[] = "/tmp/glossmith-stream-test-XXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0) std::abort();
  unlink(name);
  if (WriteAll(fd, bytes) != 0 || lseek(fd, 0, SEEK_SET) != 0) std::abort();
  return fd;
}

std::string Contents(int fd) {
  std::string text;
  lseek(fd, 0, SEEK_SET);
  if (ReadAll(fd, std::string::npos / 2, text) != 0) text = "(unreadable)";
  return text;
}

struct Mode {
  const char* name;
  Direction direction;
  bool hardcore;
};

const Mode kModes[] = {
    {"ToL33t", Direction::kEnglishToL33t, false},
    {"ToL33tHardcore", Direction::kEnglishToL33t, true},
    {"ToEnglish", Direction::kL33tToEnglish, false},
    {"ToEnglishHardcore", Direction::kL33tToEnglish, true},
};

class StreamTest : public ::testing::TestWithParam<std::tuple<Mode, std::size_t, unsigned>> {};

TEST_P(StreamTest, JoinedPiecesAreTheWholeTranslation) {
  const auto [mode, block, jobs] = GetParam();
  MemorySettings rules;
  WriteHardcoreDefaults(rules);
  rules.Write(kApp, kSectionChange, kKeySearch, JoinList({"dude", "x"}));
  rules.Write(kApp, kSectionChange, kKeyReplace, JoinList({"d00d", ""}));
  gls::Rules libraryRules;
  libraryRules.AddPair("dude", "d00d").AddPair("x", "");
  const gls::Translator translator(libraryRules,
                                   mode.direction == Direction::kEnglishToL33t
                                       ? gls::Direction::kEnglishToL33t
                                       : gls::Direction::kL33tToEnglish,
                                   mode.hardcore ? gls::Mode::kHardcore : gls::Mode::kStandard);
  for (const char byte : kNoSplit)
    ASSERT_EQ(translator.SplitBytes().find(byte), std::string::npos) << byte;

  const std::string text = MixedText();
  const std::string expected = mode.direction == Direction::kEnglishToL33t
                                   ? reference::EnglishToL33t(text, mode.hardcore, rules)
                                   : reference::L33tToEnglish(text, mode.hardcore, rules);
  // Two inputs, cut inside a word: a pipe that gets one byte per write, then a file.
  const std::size_t half = text.find("newbie", text.size() / 3) + 3;
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  std::signal(SIGPIPE, SIG_IGN);  // a run that stops early ends the writer by EPIPE
  std::thread writer([&] {
    std::size_t i = 0;
    while (i < half && WriteAll(pipeFds[1], text.substr(i, 1)) == 0) ++i;
    close(pipeFds[1]);
  });
  const std::vector<Input> inputs = {{"pipe", pipeFds[0]},
                                     {"file", TemporaryFile(text.substr(half))}};
  const int out = TemporaryFile("");

  const StreamResult result = TranslateStream(inputs, out, translator, {jobs, block});
  close(pipeFds[0]);
  writer.join();

  EXPECT_FALSE(result.readFailed);
  EXPECT_EQ(result.writeError, 0);
  EXPECT_EQ(result.error, 0);
  const std::string written = Contents(out);
  EXPECT_TRUE(written == expected) << "sizes " << written.size() << " and " << expected.size();
  close(inputs[1].fd);
  close(out);
}

INSTANTIATE_TEST_SUITE_P(Blocks, StreamTest,
                         ::testing::Combine(::testing::ValuesIn(kModes),
                                            ::testing::Values(1, 64, 4096),
                                            ::testing::Values(1u, 3u)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) + "Block" +
                                  std::to_string(std::get<1>(info.param)) + "Jobs" +
                                  std::to_string(std::get<2>(info.param));
                         });

// Streams `text` from a file or a pipe through TranslateStream with
// `options`: the pieces' translations joined must be the whole text's.
void ExpectWholeTranslation(const std::string& text, bool fromPipe, StreamOptions options) {
  gls::Rules rules;
  rules.AddPair("dude", "d00d");
  const gls::Translator translator(rules, gls::Direction::kEnglishToL33t);
  int in = -1, pipeFds[2] = {-1, -1};
  std::thread writer;
  if (fromPipe) {
    ASSERT_EQ(pipe(pipeFds), 0);
    writer = std::thread([&] {
      WriteAll(pipeFds[1], text);
      close(pipeFds[1]);
    });
    in = pipeFds[0];
  } else {
    in = TemporaryFile(text);
  }
  const int out = TemporaryFile("");
  const StreamResult result = TranslateStream({{"input", in}}, out, translator, options);
  if (writer.joinable()) writer.join();

  EXPECT_FALSE(result.readFailed);
  EXPECT_EQ(result.writeError, 0);
  EXPECT_EQ(result.error, 0);
  const std::string written = Contents(out);
  const std::string expected = translator.Translate(text);
  EXPECT_TRUE(written == expected) << "sizes " << written.size() << " and " << expected.size();
  close(in);
  close(out);
}

std::string MixedTextOf(std::size_t size) {
  std::string text;
  while (text.size() < size) text += MixedText();
  text.resize(size);
  return text;
}

// Inputs of several read sizes at the default read size: pieces sized from
// the input's length (a file's size, or what a pipe has given so far) and
// translated on the jobs, joined, are the translation of the whole text.
class LongStreamTest : public ::testing::TestWithParam<std::tuple<bool, unsigned>> {};

TEST_P(LongStreamTest, JoinedPiecesAreTheWholeTranslation) {
  const auto [fromPipe, jobs] = GetParam();
  ExpectWholeTranslation(MixedTextOf(std::size_t{6} << 20), fromPipe, {jobs});
}

INSTANTIATE_TEST_SUITE_P(Long, LongStreamTest,
                         ::testing::Combine(::testing::Bool(), ::testing::Values(1u, 3u)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param) ? "Pipe" : "File") + "Jobs" +
                                  std::to_string(std::get<1>(info.param));
                         });

// Inputs just short of, at and past the read size, where the reader stops
// translating alone and the jobs start, and many read sizes long, where
// every slot fills: from a file or a pipe, with one job or more, the output
// is the translation of the whole text.
class SizeStreamTest : public ::testing::TestWithParam<std::tuple<std::size_t, bool, unsigned>> {};

TEST_P(SizeStreamTest, JoinedPiecesAreTheWholeTranslation) {
  const auto [size, fromPipe, jobs] = GetParam();
  ExpectWholeTranslation(MixedTextOf(size), fromPipe, {jobs, 4096});
}

INSTANTIATE_TEST_SUITE_P(Sizes, SizeStreamTest,
                         ::testing::Combine(::testing::Values(4095, 4096, 4097, 3 * 4096 + 5,
                                                              100 * 4096 + 7),
                                            ::testing::Bool(), ::testing::Values(1u, 2u, 3u)),
                         [](const auto& info) {
                           return "Bytes" + std::to_string(std::get<0>(info.param)) +
                                  (std::get<1>(info.param) ? "Pipe" : "File") + "Jobs" +
                                  std::to_string(std::get<2>(info.param));
                         });

}  // namespace
}  // namespace glossmith::cli
