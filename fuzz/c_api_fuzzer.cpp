// Fuzzes the C API the way a caller drives it: the input is read as a
// sequence of calls. It builds a rule set (pairs, letters, the switch, bad
// arguments among them), picks flags (invalid ones too) and then translates
// texts every way the library offers: into buffers of exact, short and zero
// capacity, through sinks that stop, through streams cut at random (some
// outliving their translator, some giving alignments) and in batches holding
// NULL texts. Every way must give the bytes of gls_translate_alloc of the
// whole text, and the pieces of gls_translate_aligned, or the failure its
// contract names, with nothing left allocated.

#include <fuzzer/FuzzedDataProvider.h>

#include <glossmith/glossmith.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

[[noreturn]] void Fail(const char* what, const std::string& text) {
  std::fprintf(stderr, "%s (text of %zu bytes)\n", what, text.size());
  std::abort();
}

void Expect(bool ok, const char* what, const std::string& text) {
  if (!ok) Fail(what, text);
}

// Collects what a sink gets; stops (returns 1) once `calls` have been taken.
struct Collected {
  std::string bytes;
  int calls = 0;
  int stopAfter = -1;  // never

  static int Sink(void* context, const char* data, std::size_t len) {
    auto& self = *static_cast<Collected*>(context);
    if (self.stopAfter >= 0 && self.calls == self.stopAfter) return 1;
    ++self.calls;
    self.bytes.append(data, len);
    return 0;
  }
};

std::string Whole(const gls_translator* translator, const std::string& text) {
  char* out = nullptr;
  std::size_t len = 0;
  if (gls_translate_alloc(translator, text.data(), text.size(), &out, &len) != GLS_OK)
    Fail("translate_alloc failed", text);
  if (out[len] != '\0') Fail("translate_alloc gave no NUL", text);
  std::string whole(out, len);
  gls_free(out);
  return whole;
}

void Buffers(const gls_translator* translator, const std::string& text, const std::string& whole) {
  std::size_t len = 1;
  Expect(gls_translate(translator, text.data(), text.size(), nullptr, 0, &len) ==
             (whole.empty() ? GLS_OK : GLS_E_BUFFER),
         "zero capacity", text);
  Expect(len == whole.size(), "zero capacity: the size needed", text);
  // A short buffer is left as it was; an exact one holds the result.
  std::vector<char> out(whole.size() + 1, '\x7f');
  if (!whole.empty()) {
    Expect(gls_translate(translator, text.data(), text.size(), out.data(), whole.size() - 1,
                         &len) == GLS_E_BUFFER,
           "short buffer", text);
    Expect(len == whole.size() && out[0] == '\x7f', "short buffer written", text);
  }
  Expect(gls_translate(translator, text.data(), text.size(), out.data(), whole.size(), &len) ==
                 GLS_OK &&
             len == whole.size() && std::memcmp(out.data(), whole.data(), len) == 0 &&
             out[len] == '\x7f',
         "exact buffer", text);
}

void Sink(FuzzedDataProvider& in, const gls_translator* translator, const std::string& text,
          const std::string& whole) {
  Collected got;
  got.stopAfter = in.ConsumeIntegralInRange(-1, 3);
  const gls_status status =
      gls_translate_to_sink(translator, text.data(), text.size(), &Collected::Sink, &got);
  if (status == GLS_E_SINK)
    Expect(whole.compare(0, got.bytes.size(), got.bytes) == 0, "a stopped sink: no prefix", text);
  else
    Expect(status == GLS_OK && got.bytes == whole, "sink differs", text);
}

// Feeds `text` in random pieces; the stream may stop or lose its translator.
void Stream(FuzzedDataProvider& in, gls_translator*& translator, const std::string& text,
            const std::string& whole) {
  gls_status status = GLS_OK;
  gls_stream* stream = gls_stream_new(translator, &status);
  Expect(status == GLS_OK && stream, "stream_new", text);
  if (in.ConsumeBool()) {  // the stream keeps it alive
    gls_translator_free(translator);
    translator = nullptr;
  }
  Collected got;
  if (in.ConsumeIntegralInRange(0, 7) == 0) got.stopAfter = in.ConsumeIntegralInRange(0, 3);
  std::size_t at = 0;
  bool stopped = false;
  while (at < text.size() && !stopped) {
    // Once the input runs out, the last piece is the rest.
    const std::size_t piece = in.remaining_bytes() == 0
                                  ? text.size() - at
                                  : in.ConsumeIntegralInRange<std::size_t>(0, text.size() - at);
    status = gls_stream_feed(stream, text.data() + at, piece, &Collected::Sink, &got);
    stopped = status == GLS_E_SINK;
    Expect(status == GLS_OK || stopped, "feed failed", text);
    at += piece;
  }
  if (!stopped) {
    status = gls_stream_finish(stream, &Collected::Sink, &got);
    stopped = status == GLS_E_SINK;
    Expect(status == GLS_OK || stopped, "finish failed", text);
  }
  if (stopped) {
    Expect(whole.compare(0, got.bytes.size(), got.bytes) == 0, "a stopped stream: no prefix", text);
  } else {
    Expect(got.bytes == whole, "stream differs", text);
    Expect(gls_stream_pending(stream) == 0, "pending after finish", text);
  }
  // Finished, one way or the other: nothing more is taken.
  Expect(gls_stream_feed(stream, "x", 1, &Collected::Sink, &got) == GLS_E_STATE, "feed after end",
         text);
  Expect(gls_stream_finish(stream, &Collected::Sink, &got) == GLS_E_STATE, "finish after end",
         text);
  gls_stream_free(stream);
}

// What an aligned stream passes on; each call's pieces must cover its bytes.
struct CollectedAligned {
  std::string bytes;
  std::vector<gls_piece> pieces;
  bool contiguous = true;

  static int Sink(void* context, const char* data, std::size_t len, const gls_piece* pieces,
                  std::size_t count) {
    auto& self = *static_cast<CollectedAligned*>(context);
    self.contiguous = self.contiguous && count >= 1 && count <= 256 &&
                      pieces[0].target_begin == self.bytes.size() &&
                      pieces[count - 1].target_end == self.bytes.size() + len;
    self.bytes.append(data, len);
    self.pieces.insert(self.pieces.end(), pieces, pieces + count);
    return 0;
  }
};

// Feeds `text` in random pieces with alignments: joined, they are the whole's.
void AlignedStream(FuzzedDataProvider& in, const gls_translator* translator,
                   const std::string& text, const std::string& whole) {
  char* out = nullptr;
  std::size_t len = 0;
  gls_alignment* alignment = nullptr;
  Expect(gls_translate_aligned(translator, text.data(), text.size(), &out, &len, &alignment) ==
             GLS_OK,
         "translate_aligned failed", text);
  Expect(std::string(out, len) == whole, "translate_aligned differs", text);
  gls_free(out);
  std::vector<gls_piece> expected(gls_alignment_piece_count(alignment));
  std::size_t written = 0;
  Expect(gls_alignment_pieces(alignment, 0, expected.data(), expected.size(), &written) ==
                 GLS_OK &&
             written == expected.size(),
         "alignment_pieces", text);
  gls_alignment_free(alignment);

  gls_stream* stream = gls_stream_new(translator, nullptr);
  Expect(stream != nullptr, "stream_new", text);
  CollectedAligned got;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t piece = in.remaining_bytes() == 0
                                  ? text.size() - at
                                  : in.ConsumeIntegralInRange<std::size_t>(0, text.size() - at);
    Expect(gls_stream_feed_aligned(stream, text.data() + at, piece, &CollectedAligned::Sink,
                                   &got) == GLS_OK,
           "feed_aligned failed", text);
    at += piece;
  }
  Expect(gls_stream_finish_aligned(stream, &CollectedAligned::Sink, &got) == GLS_OK,
         "finish_aligned failed", text);
  gls_stream_free(stream);
  Expect(got.contiguous, "a part's pieces do not cover its bytes", text);
  Expect(got.bytes == whole, "aligned stream differs", text);
  Expect(got.pieces.size() == expected.size(), "aligned stream: piece count", text);
  for (std::size_t i = 0; i < expected.size(); ++i)
    Expect(std::memcmp(&got.pieces[i], &expected[i], sizeof(gls_piece)) == 0,
           "aligned stream: pieces differ", text);
}

void Many(FuzzedDataProvider& in, const gls_translator* translator, const std::string& text) {
  const std::size_t count = in.ConsumeIntegralInRange<std::size_t>(0, 40);
  std::vector<std::string> texts;
  std::vector<const char*> data;
  std::vector<std::size_t> lens;
  bool withNull = false;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t from = in.ConsumeIntegralInRange<std::size_t>(0, text.size());
    texts.push_back(text.substr(from, in.ConsumeIntegralInRange<std::size_t>(0, text.size())));
  }
  for (std::size_t i = 0; i < count; ++i) {
    const bool null = in.ConsumeIntegralInRange(0, 15) == 0;
    withNull |= null && !texts[i].empty();
    data.push_back(null ? nullptr : texts[i].data());
    lens.push_back(texts[i].size());
  }
  char stale = 0;
  std::vector<char*> outs(count, &stale);
  std::vector<std::size_t> outLens(count);
  const unsigned jobs = in.ConsumeIntegralInRange(0u, 1000u);
  const gls_status status =
      gls_translate_many(translator, count, data.data(), lens.data(), outs.data(), outLens.data(),
                         jobs);
  if (withNull) {
    Expect(status == GLS_E_NULL, "a NULL text was taken", text);
    for (char* out : outs) Expect(out == nullptr, "an out left set after a failure", text);
    return;
  }
  Expect(status == GLS_OK, "translate_many failed", text);
  for (std::size_t i = 0; i < count; ++i) {
    Expect(outs[i] && outs[i][outLens[i]] == '\0', "translate_many: no NUL", text);
    Expect(std::string(outs[i], outLens[i]) == Whole(translator, texts[i]),
           "translate_many differs", texts[i]);
    gls_free(outs[i]);
  }
}

// Translating up to the split point and the rest apart gives the whole.
void Split(const gls_translator* translator, const std::string& text, const std::string& whole) {
  const std::size_t cut = gls_translator_split_point(translator, text.data(), text.size());
  Expect(cut <= text.size(), "split point past the end", text);
  Expect(Whole(translator, text.substr(0, cut)) + Whole(translator, text.substr(cut)) == whole,
         "pieces at the split point differ", text);
}

gls_rules* BuildRules(FuzzedDataProvider& in) {
  gls_rules* rules = gls_rules_new();
  if (!rules) std::abort();
  const int steps = in.ConsumeIntegralInRange(0, 12);
  for (int i = 0; i < steps; ++i) {
    switch (in.ConsumeIntegralInRange(0, 2)) {
      case 0: {
        const std::string find = in.ConsumeRandomLengthString(6);
        const std::string replacement = in.ConsumeRandomLengthString(6);
        const gls_status status = gls_rules_add_pair(rules, find.data(), find.size(),
                                                     replacement.data(), replacement.size());
        if (status != (find.empty() ? GLS_E_EMPTY_FIND : GLS_OK)) Fail("add_pair", find);
        break;
      }
      case 1: {
        const char letter = in.ConsumeIntegral<char>();
        const std::string symbol = in.ConsumeRandomLengthString(4);
        const bool isLetter = (letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z');
        if (gls_rules_set_letter(rules, letter, symbol.data(), symbol.size()) !=
            (isLetter ? GLS_OK : GLS_E_LETTER))
          Fail("set_letter", symbol);
        break;
      }
      default: gls_rules_set_stored_hardcore(rules, in.ConsumeIntegral<int>());
    }
  }
  return rules;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  gls_rules* rules = BuildRules(in);
  const unsigned flags = in.ConsumeIntegralInRange(0u, 8u);
  gls_status status = GLS_OK;
  gls_translator* translator = gls_translator_new(rules, flags, &status);
  gls_rules_free(rules);  // a translator does not refer to its rules
  const bool valid = flags < 8 && (flags & (GLS_HARDCORE | GLS_STORED_MODE)) !=
                                      (GLS_HARDCORE | GLS_STORED_MODE);
  if (!valid) {
    if (translator || status != GLS_E_ARGUMENT) Fail("invalid flags taken", "");
    return 0;
  }
  if (!translator || status != GLS_OK) Fail("translator_new failed", "");

  const int calls = in.ConsumeIntegralInRange(1, 6);
  for (int call = 0; call < calls && translator; ++call) {
    const int kind = in.ConsumeIntegralInRange(0, 5);
    const std::string text = in.ConsumeRandomLengthString(4096);
    const std::string whole = Whole(translator, text);
    switch (kind) {
      case 0: Buffers(translator, text, whole); break;
      case 1: Sink(in, translator, text, whole); break;
      case 2: Stream(in, translator, text, whole); break;
      case 3: Many(in, translator, text); break;
      case 4: AlignedStream(in, translator, text, whole); break;
      default: Split(translator, text, whole);
    }
  }
  gls_translator_free(translator);
  return 0;
}
