// Streams that give alignments: however a text is cut, the pieces a stream
// passes on, joined, are those of gls_translate_aligned on the whole text,
// and each sink call's pieces cover exactly the bytes it is given.

#include <glossmith/glossmith.h>
#include <gtest/gtest.h>

#include <glossmith/glossmith.hpp>
#include <array>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Quad = std::array<std::size_t, 4>;

std::vector<Quad> Quads(const std::vector<gls_piece>& pieces) {
  std::vector<Quad> quads;
  for (const gls_piece& p : pieces)
    quads.push_back({p.source_begin, p.source_end, p.target_begin, p.target_end});
  return quads;
}

// What a stream passed on, through the C API, with each call checked.
struct Received {
  std::string text;
  std::vector<gls_piece> pieces;
  std::size_t calls = 0;
  bool contiguous = true;  // every call's pieces cover exactly its bytes

  static int Sink(void* context, const char* bytes, size_t len, const gls_piece* pieces,
                  size_t count) {
    auto& self = *static_cast<Received*>(context);
    ++self.calls;
    self.contiguous = self.contiguous && count > 0 && count <= 256 &&
                      pieces[0].target_begin == self.text.size() &&
                      pieces[count - 1].target_end == self.text.size() + len;
    self.text.append(bytes, len);
    self.pieces.insert(self.pieces.end(), pieces, pieces + count);
    return 0;
  }
};

struct RulesCase {
  const char* name;
  std::vector<std::pair<std::string, std::string>> pairs;
  bool toEnglish, hardcore;
};

const RulesCase kRules[] = {
    {"built-in", {}, false, false},
    {"built-in to English", {}, true, false},
    {"Hardcore", {}, false, true},
    {"Hardcore to English", {}, true, true},
    // CR LF in a find string: a line feed is then no split byte after CR.
    {"Custom pairs", {{"dude", "d00d"}, {"\r\n", "<br>"}, {"x", ""}}, false, false},
    // A continuation byte looked for: the cuts fall inside characters.
    {"continuation byte", {{"\xA9!", "(c)"}, {"\xC3\xA9", "e"}}, false, true},
};

std::string Text(std::size_t size, unsigned seed) {
  const std::string words[] = {"hack ", "the\r\n", "caf\xC3\xA9! ", "dude\n", "x",
                               "\xF0\x9F\x98\x80 ", "|-|4x0r ", "elite\n"};
  std::mt19937 random(seed);
  std::string text;
  while (text.size() < size) text += words[random() % std::size(words)];
  return text;
}

// Cut points: `step` 0 for random sizes up to 300 bytes.
std::vector<std::size_t> Cuts(std::size_t size, std::size_t step, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::size_t> cuts;
  for (std::size_t at = 0; at < size;) {
    at = std::min(size, at + (step ? step : 1 + random() % 300));
    cuts.push_back(at);
  }
  return cuts;
}

std::vector<gls_piece> Whole(const gls::Translator& translator, const std::string& text,
                             std::string& translation) {
  gls::Aligned aligned = translator.TranslateAligned(text);
  translation = aligned.text;
  return aligned.alignment.Pieces();
}

gls::Translator Make(const RulesCase& c) {
  gls::Rules rules;
  for (const auto& [find, replacement] : c.pairs) rules.AddPair(find, replacement);
  return gls::Translator(rules,
                         c.toEnglish ? gls::Direction::kL33tToEnglish
                                     : gls::Direction::kEnglishToL33t,
                         c.hardcore ? gls::Mode::kHardcore : gls::Mode::kStandard);
}

TEST(StreamAlignmentTest, EveryCuttingGivesTheWholeTextsPieces) {
  struct Cutting {
    const char* name;
    std::size_t size, step;
  };
  const Cutting cuttings[] = {{"a byte at a time", 3000, 1},
                              {"random sizes", 60000, 0},
                              {"one piece", 20000, 1 << 20},
                              // Cuts of more than the library's own piece of input.
                              {"large pieces", 1300000, 1200000}};
  for (const RulesCase& rules : kRules) {
    const gls::Translator translator = Make(rules);
    for (const Cutting& cutting : cuttings) {
      SCOPED_TRACE(std::string(rules.name) + ", " + cutting.name);
      const std::string text = Text(cutting.size, 5);
      std::string translation;
      const std::vector<gls_piece> expected = Whole(translator, text, translation);
      gls_status status = GLS_OK;
      gls_stream* stream = gls_stream_new(translator.get(), &status);
      ASSERT_EQ(status, GLS_OK);
      Received received;
      std::size_t from = 0;
      for (const std::size_t cut : Cuts(text.size(), cutting.step, 9)) {
        ASSERT_EQ(gls_stream_feed_aligned(stream, text.data() + from, cut - from,
                                          &Received::Sink, &received),
                  GLS_OK);
        from = cut;
      }
      ASSERT_EQ(gls_stream_finish_aligned(stream, &Received::Sink, &received), GLS_OK);
      gls_stream_free(stream);
      EXPECT_TRUE(received.contiguous);
      EXPECT_EQ(received.text, translation);
      ASSERT_EQ(received.pieces.size(), expected.size());
      EXPECT_TRUE(Quads(received.pieces) == Quads(expected));
    }
  }
}

// Offsets count over everything fed and passed, plain feeds included; the
// wrapper's calls give what the C API gives.
TEST(StreamAlignmentTest, OffsetsCountFromTheStartOfTheWholeText) {
  const gls::Translator translator(gls::Rules(), gls::Direction::kEnglishToL33t,
                                   gls::Mode::kStandard);
  gls::Stream stream(translator);
  EXPECT_EQ(stream.Feed("hack\nha"), "hax0r\n");
  const gls::Stream::AlignedPart fed = stream.FeedAligned("ck\nthe");
  EXPECT_EQ(fed.text, "hax0r\n");
  EXPECT_EQ(Quads(fed.pieces), (std::vector<Quad>{{5, 9, 6, 11}, {9, 10, 11, 12}}));
  const gls::Stream::AlignedPart rest = stream.FinishAligned();
  EXPECT_EQ(rest.text, "7h3");
  EXPECT_EQ(Quads(rest.pieces),
            (std::vector<Quad>{{10, 11, 12, 13}, {11, 12, 13, 14}, {12, 13, 14, 15}}));
}

TEST(StreamAlignmentTest, FailuresAreStatuses) {
  const gls::Translator translator(gls::Rules(), gls::Direction::kEnglishToL33t);
  gls_stream* stream = gls_stream_new(translator.get(), nullptr);
  Received received;
  EXPECT_EQ(gls_stream_feed_aligned(nullptr, "a", 1, &Received::Sink, &received), GLS_E_NULL);
  EXPECT_EQ(gls_stream_feed_aligned(stream, nullptr, 1, &Received::Sink, &received), GLS_E_NULL);
  EXPECT_EQ(gls_stream_feed_aligned(stream, "a", 1, nullptr, &received), GLS_E_NULL);
  EXPECT_EQ(gls_stream_finish_aligned(stream, nullptr, &received), GLS_E_NULL);
  const auto stop = [](void*, const char*, size_t, const gls_piece*, size_t) { return 1; };
  EXPECT_EQ(gls_stream_feed_aligned(stream, "hack\n", 5, stop, nullptr), GLS_E_SINK);
  EXPECT_EQ(gls_stream_feed_aligned(stream, "hack\n", 5, &Received::Sink, &received), GLS_E_STATE);
  EXPECT_EQ(gls_stream_finish_aligned(stream, &Received::Sink, &received), GLS_E_STATE);
  EXPECT_EQ(received.calls, 0u);
  gls_stream_free(stream);

  // What the wrapper's sink throws comes out of its call.
  gls::Stream wrapped(translator);
  EXPECT_THROW(wrapped.FeedAligned("hack\n", [](std::string_view, const gls_piece*,
                                                std::size_t) { throw std::range_error("x"); }),
               std::range_error);
  EXPECT_THROW(wrapped.FinishAligned(), gls::Error);
}

}  // namespace
