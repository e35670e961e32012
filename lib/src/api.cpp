// The C API over the engine (core/engine/engine.h).
#include "lib/src/api.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "core/rules/alignment.h"
#include "core/rules/custom_list.h"
#include "core/rules/hardcore_table.h"
#include "glossmith/version.h"
#include "lib/src/many.h"
#include "lib/src/sha256.h"

using glossmith::Direction;
using glossmith::lib::Guarded;

namespace {

// Sinks get the result in pieces of about this much input, so that a long
// text is never held twice.
constexpr std::size_t kSinkPiece = std::size_t{1} << 20;

// Scratch that a thread reuses between calls, dropped when a call left it large.
constexpr std::size_t kKeptScratch = std::size_t{4} << 20;

std::string& ThreadScratch() {
  thread_local std::string scratch;
  return scratch;
}

void TrimScratch(std::string& scratch) {
  if (scratch.capacity() > kKeptScratch) std::string().swap(scratch);
}

std::string_view View(const char* bytes, std::size_t len) {
  return len == 0 ? std::string_view() : std::string_view(bytes, len);
}

// The end of the next piece of text[from, end): after its last split byte
// within kSinkPiece, or else after the first split byte past it, or the end.
std::size_t PieceEnd(const glossmith::Translator& engine, std::string_view text,
                     std::size_t from) {
  if (text.size() - from <= kSinkPiece) return text.size();
  const std::size_t cut = engine.SplitPoint(text.substr(from, kSinkPiece));
  if (cut > 0) return from + cut;
  for (std::size_t i = from + kSinkPiece; i < text.size(); ++i)
    if (engine.IsSplitByte(static_cast<unsigned char>(text[i]))) return i + 1;
  return text.size();
}

// A stream's running totals; a one-shot call starts from zero and drops them.
struct Passed {
  std::size_t input = 0, output = 0;
};

gls_status TranslateToSink(const glossmith::Translator& engine, std::string_view text,
                           gls_sink sink, void* context, std::string& scratch, Passed& passed) {
  std::size_t from = 0;
  do {
    const std::size_t to = PieceEnd(engine, text, from);
    engine.Translate(text.substr(from, to - from), scratch);
    if (!scratch.empty() && sink(context, scratch.data(), scratch.size()) != 0) return GLS_E_SINK;
    passed.input += to - from;
    passed.output += scratch.size();
    from = to;
  } while (from < text.size());
  return GLS_OK;
}

// Hands `translation` to `sink` with its pieces, shifted by what was passed
// before, in batches of a bounded buffer.
gls_status PassAligned(const glossmith::Alignment& alignment, std::string_view translation,
                       const Passed& passed, gls_aligned_sink sink, void* context) {
  glossmith::Alignment::Piece read[256];
  gls_piece pieces[std::size(read)];
  for (std::size_t first = 0; first < alignment.PieceCount();) {
    const std::size_t count = alignment.PiecesFrom(first, read, std::size(read));
    for (std::size_t k = 0; k < count; ++k)
      pieces[k] = {passed.input + read[k].inputBegin, passed.input + read[k].inputEnd,
                   passed.output + read[k].outputBegin, passed.output + read[k].outputEnd};
    const std::size_t begin = read[0].outputBegin, end = read[count - 1].outputEnd;
    if (sink(context, translation.data() + begin, end - begin, pieces, count) != 0)
      return GLS_E_SINK;
    first += count;
  }
  return GLS_OK;
}

// As TranslateToSink, with the alignment of each cut: the alignments of
// texts cut after split bytes, one after the other, are that of the whole.
gls_status TranslateAlignedToSink(const glossmith::Translator& engine, std::string_view text,
                                  gls_aligned_sink sink, void* context, std::string& scratch,
                                  Passed& passed) {
  std::size_t from = 0;
  do {
    const std::size_t to = PieceEnd(engine, text, from);
    glossmith::Alignment alignment;
    engine.TranslateAligned(text.substr(from, to - from), scratch, alignment);
    if (PassAligned(alignment, scratch, passed, sink, context) != GLS_OK) return GLS_E_SINK;
    passed.input += to - from;
    passed.output += scratch.size();
    from = to;
  } while (from < text.size());
  return GLS_OK;
}

// 0 to 25 for a letter of either case, -1 for anything else.
int LetterIndex(char letter) {
  if (letter >= 'A' && letter <= 'Z') return letter - 'A';
  if (letter >= 'a' && letter <= 'z') return letter - 'a';
  return -1;
}

// A malloc'd copy with a NUL after it, for gls_free.
char* CopyOut(std::string_view bytes) {
  auto* copy = static_cast<char*>(std::malloc(bytes.size() + 1));
  if (!copy) throw std::bad_alloc();
  if (!bytes.empty()) std::memcpy(copy, bytes.data(), bytes.size());
  copy[bytes.size()] = '\0';
  return copy;
}

void AddField(glossmith::lib::Sha256& hash, std::string_view field) {
  std::uint64_t size = field.size();
  char length[8];
  for (char& byte : length) {
    byte = static_cast<char>(size & 0xFF);
    size >>= 8;
  }
  hash.Add(std::string_view(length, sizeof length));
  hash.Add(field);
}

void Release(const gls_translator* translator) {
  if (translator && translator->references.fetch_sub(1, std::memory_order_acq_rel) == 1)
    delete translator;
}

void WriteDigest(glossmith::lib::Sha256& hash, char* digest) {
  const std::string hex = hash.HexDigest();
  std::memcpy(digest, hex.c_str(), hex.size() + 1);
}

// Adds `piece` to the stream and has `translate(text, passed)` pass on the
// translation of everything up to the last split byte.
template <typename Translate>
gls_status FeedStream(gls_stream& stream, std::string_view piece, Translate translate) {
  if (stream.finished) return GLS_E_STATE;
  const gls_status status = Guarded([&] {
    const glossmith::Translator& engine = stream.translator->engine;
    // What was pending holds no split byte, so the last one is in the new piece.
    const std::size_t cut = engine.SplitPoint(piece);
    if (cut == 0) {
      stream.pending.append(piece);
      return GLS_OK;
    }
    Passed passed{stream.input, stream.output};
    gls_status status;
    if (stream.pending.empty()) {
      status = translate(piece.substr(0, cut), passed);
    } else {
      stream.pending.append(piece.substr(0, cut));
      status = translate(stream.pending, passed);
      stream.pending.clear();
    }
    stream.input = passed.input;
    stream.output = passed.output;
    stream.pending.append(piece.substr(cut));
    TrimScratch(stream.scratch);
    if (stream.pending.capacity() > kKeptScratch && stream.pending.size() < kKeptScratch / 2)
      stream.pending.shrink_to_fit();
    return status;
  });
  // What a failed feed passed on is incomplete; the stream cannot go on from it.
  if (status != GLS_OK) stream.finished = true;
  return status;
}

// Has `translate(text, passed)` pass on what is left; the stream then takes no more.
template <typename Translate>
gls_status FinishStream(gls_stream& stream, Translate translate) {
  if (stream.finished) return GLS_E_STATE;
  stream.finished = true;
  return Guarded([&] {
    Passed passed{stream.input, stream.output};
    const gls_status status = stream.pending.empty() ? GLS_OK : translate(stream.pending, passed);
    std::string().swap(stream.pending);
    std::string().swap(stream.scratch);
    return status;
  });
}

}  // namespace

namespace glossmith::lib {

void LoadRules(gls_rules& rules, const Settings& settings) {
  gls_rules loaded;
  loaded.rules = ReadRuleSet(settings, true);
  loaded.storedHardcore = StoredHardcoreSwitch(settings);
  rules = std::move(loaded);
}

}  // namespace glossmith::lib

extern "C" {

const char* gls_status_message(gls_status status) {
  switch (status) {
    case GLS_OK: return "success";
    case GLS_E_BUFFER: return "the output buffer is too small";
    case GLS_E_NULL: return "a required pointer is NULL";
    case GLS_E_ARGUMENT: return "an argument is out of range";
    case GLS_E_EMPTY_FIND: return "a find string may not be empty";
    case GLS_E_LETTER: return "not a letter from A to Z";
    case GLS_E_SETTINGS: return "the settings file cannot be read";
    case GLS_E_NOMEM: return "out of memory";
    case GLS_E_THREAD: return "a thread could not be started";
    case GLS_E_SINK: return "the sink stopped the translation";
    case GLS_E_STATE: return "the stream has finished";
    case GLS_E_INTERNAL: return "an internal error occurred";
    case GLS_E_LIMIT: return "the rules hold the most pairs already";
  }
  return "unknown status";
}

const char* gls_version(void) { return glossmith::kVersionString; }

gls_rules* gls_rules_new(void) {
  gls_rules* rules = nullptr;
  Guarded([&] {
    rules = new gls_rules;
    rules->rules.letters = glossmith::DefaultLetterTable();
    return GLS_OK;
  });
  return rules;
}

void gls_rules_free(gls_rules* rules) { delete rules; }

gls_status gls_rules_add_pair(gls_rules* rules, const char* find, size_t find_len,
                              const char* replacement, size_t replacement_len) {
  if (!rules || (!find && find_len) || (!replacement && replacement_len)) return GLS_E_NULL;
  if (find_len == 0) return GLS_E_EMPTY_FIND;
  if (rules->rules.custom.size() >= glossmith::kMaxCustomPairs) return GLS_E_LIMIT;
  return Guarded([&] {
    rules->rules.custom.emplace_back(View(find, find_len), View(replacement, replacement_len));
    return GLS_OK;
  });
}

size_t gls_rules_pair_count(const gls_rules* rules) {
  return rules ? rules->rules.custom.size() : 0;
}

gls_status gls_rules_pair(const gls_rules* rules, size_t index, const char** find,
                          size_t* find_len, const char** replacement, size_t* replacement_len) {
  if (!rules || !find || !find_len || !replacement || !replacement_len) return GLS_E_NULL;
  if (index >= rules->rules.custom.size()) return GLS_E_ARGUMENT;
  const auto& [pairFind, pairReplacement] = rules->rules.custom[index];
  *find = pairFind.data();
  *find_len = pairFind.size();
  *replacement = pairReplacement.data();
  *replacement_len = pairReplacement.size();
  return GLS_OK;
}

gls_status gls_rules_set_letter(gls_rules* rules, char letter, const char* symbol,
                                size_t symbol_len) {
  if (!rules || (!symbol && symbol_len)) return GLS_E_NULL;
  const int index = LetterIndex(letter);
  if (index < 0) return GLS_E_LETTER;
  return Guarded([&] {
    rules->rules.letters[static_cast<std::size_t>(index)].assign(View(symbol, symbol_len));
    return GLS_OK;
  });
}

gls_status gls_rules_letter(const gls_rules* rules, char letter, const char** symbol,
                            size_t* symbol_len) {
  if (!rules || !symbol || !symbol_len) return GLS_E_NULL;
  const int index = LetterIndex(letter);
  if (index < 0) return GLS_E_LETTER;
  const std::string& stored = rules->rules.letters[static_cast<std::size_t>(index)];
  *symbol = stored.data();
  *symbol_len = stored.size();
  return GLS_OK;
}

gls_status gls_rules_set_stored_hardcore(gls_rules* rules, int on) {
  if (!rules) return GLS_E_NULL;
  rules->storedHardcore = on != 0;
  return GLS_OK;
}

int gls_rules_stored_hardcore(const gls_rules* rules) {
  return rules && rules->storedHardcore ? 1 : 0;
}

gls_status gls_rules_digest(const gls_rules* rules, char digest[GLS_DIGEST_SIZE]) {
  if (!rules || !digest) return GLS_E_NULL;
  return Guarded([&] {
    glossmith::lib::Sha256 hash;
    AddField(hash, "glossmith rules 1");
    AddField(hash, rules->storedHardcore ? "stored hardcore" : "stored standard");
    for (const std::string& letter : rules->rules.letters) AddField(hash, letter);
    for (const auto& [find, replacement] : rules->rules.custom) {
      AddField(hash, find);
      AddField(hash, replacement);
    }
    WriteDigest(hash, digest);
    return GLS_OK;
  });
}

gls_translator* gls_translator_new(const gls_rules* rules, unsigned flags, gls_status* status) {
  gls_translator* translator = nullptr;
  gls_status result = GLS_OK;
  if (!rules) {
    result = GLS_E_NULL;
  } else if ((flags & ~(GLS_TO_ENGLISH | GLS_HARDCORE | GLS_STORED_MODE)) != 0 ||
             ((flags & GLS_HARDCORE) && (flags & GLS_STORED_MODE))) {
    result = GLS_E_ARGUMENT;
  } else {
    result = Guarded([&] {
      const Direction direction =
          flags & GLS_TO_ENGLISH ? Direction::kL33tToEnglish : Direction::kEnglishToL33t;
      const bool hardcore =
          flags & GLS_STORED_MODE ? rules->storedHardcore : (flags & GLS_HARDCORE) != 0;
      glossmith::RuleSet used = rules->rules;
      if (!hardcore) used.letters = {};  // standard L33T never reads them
      translator = new gls_translator{{direction, hardcore, std::move(used)}};
      return GLS_OK;
    });
  }
  if (status) *status = result;
  return translator;
}

void gls_translator_free(gls_translator* translator) { Release(translator); }

int gls_translator_hardcore(const gls_translator* translator) {
  return translator && translator->engine.hardcore() ? 1 : 0;
}

gls_status gls_translate(const gls_translator* translator, const char* text, size_t len, char* out,
                         size_t out_capacity, size_t* out_len) {
  if (!translator || (!text && len) || (!out && out_capacity) || !out_len) return GLS_E_NULL;
  return Guarded([&] {
    std::string& scratch = ThreadScratch();
    translator->engine.Translate(View(text, len), scratch);
    *out_len = scratch.size();
    const gls_status status = scratch.size() > out_capacity ? GLS_E_BUFFER : GLS_OK;
    if (status == GLS_OK && !scratch.empty()) std::memcpy(out, scratch.data(), scratch.size());
    TrimScratch(scratch);
    return status;
  });
}

gls_status gls_translate_alloc(const gls_translator* translator, const char* text, size_t len,
                               char** out, size_t* out_len) {
  if (!translator || (!text && len) || !out || !out_len) return GLS_E_NULL;
  *out = nullptr;
  return Guarded([&] {
    std::string& scratch = ThreadScratch();
    translator->engine.Translate(View(text, len), scratch);
    *out = CopyOut(scratch);
    *out_len = scratch.size();
    TrimScratch(scratch);
    return GLS_OK;
  });
}

void gls_free(void* buffer) { std::free(buffer); }

gls_status gls_translate_to_sink(const gls_translator* translator, const char* text, size_t len,
                                 gls_sink sink, void* context) {
  if (!translator || (!text && len) || !sink) return GLS_E_NULL;
  return Guarded([&] {
    std::string& scratch = ThreadScratch();
    Passed passed;
    const gls_status status =
        TranslateToSink(translator->engine, View(text, len), sink, context, scratch, passed);
    TrimScratch(scratch);
    return status;
  });
}

gls_status gls_translate_many(const gls_translator* translator, size_t count,
                              const char* const* texts, const size_t* lens, char** outs,
                              size_t* out_lens, unsigned jobs) {
  // Cleared before anything is checked: a failure leaves no old value behind.
  if (outs)
    for (size_t i = 0; i < count; ++i) outs[i] = nullptr;
  if (!translator || (count && (!texts || !lens || !outs || !out_lens))) return GLS_E_NULL;
  for (size_t i = 0; i < count; ++i)
    if (!texts[i] && lens[i]) return GLS_E_NULL;

  // Each run's translations are copied out as they come, in order.
  struct Copies {
    char** outs;
    size_t* outLens;
    static int Call(void* context, size_t first, size_t n, const char* const* translations,
                    const size_t* lens) noexcept {
      auto& self = *static_cast<Copies*>(context);
      try {
        for (size_t i = 0; i < n; ++i) {
          self.outs[first + i] = CopyOut(View(translations[i], lens[i]));
          self.outLens[first + i] = lens[i];
        }
        return 0;
      } catch (const std::bad_alloc&) {
        return 1;
      }
    }
  } copies{outs, out_lens};
  gls_status status = Guarded([&] {
    return glossmith::lib::TranslateEach(translator->engine, count, texts, lens,
                                         glossmith::lib::UsableJobs(jobs, count), &Copies::Call,
                                         &copies);
  });
  if (status == GLS_E_SINK) status = GLS_E_NOMEM;  // only copying fails there
  if (status != GLS_OK)
    for (size_t i = 0; i < count; ++i) {
      std::free(outs[i]);
      outs[i] = nullptr;
    }
  return status;
}

gls_status gls_translate_each(const gls_translator* translator, size_t count,
                              const char* const* texts, const size_t* lens, unsigned jobs,
                              gls_each_sink sink, void* context) {
  if (!translator || !sink || (count && (!texts || !lens))) return GLS_E_NULL;
  for (size_t i = 0; i < count; ++i)
    if (!texts[i] && lens[i]) return GLS_E_NULL;
  return Guarded([&] {
    return glossmith::lib::TranslateEach(translator->engine, count, texts, lens,
                                         glossmith::lib::UsableJobs(jobs, count), sink, context);
  });
}

size_t gls_translator_split_bytes(const gls_translator* translator, unsigned char bytes[256]) {
  if (!translator || !bytes) return 0;
  size_t count = 0;
  for (int b = 0; b < 256; ++b)
    if (translator->engine.IsSplitByte(static_cast<unsigned char>(b)))
      bytes[count++] = static_cast<unsigned char>(b);
  return count;
}

size_t gls_translator_split_point(const gls_translator* translator, const char* text, size_t len) {
  if (!translator || !text) return 0;
  return translator->engine.SplitPoint(View(text, len));
}

gls_status gls_translator_digest(const gls_translator* translator, char digest[GLS_DIGEST_SIZE]) {
  if (!translator || !digest) return GLS_E_NULL;
  return Guarded([&] {
    const glossmith::Translator& engine = translator->engine;
    glossmith::lib::Sha256 hash;
    AddField(hash, "glossmith translator 1");
    AddField(hash, engine.direction() == Direction::kL33tToEnglish ? "to english" : "to l33t");
    AddField(hash, engine.hardcore() ? "hardcore" : "standard");
    if (engine.hardcore())
      for (const std::string& letter : engine.rules().letters) AddField(hash, letter);
    for (const auto& [find, replacement] : engine.rules().custom) {
      AddField(hash, find);
      AddField(hash, replacement);
    }
    WriteDigest(hash, digest);
    return GLS_OK;
  });
}

gls_stream* gls_stream_new(const gls_translator* translator, gls_status* status) {
  gls_stream* stream = nullptr;
  const gls_status result = !translator ? GLS_E_NULL : Guarded([&] {
    stream = new gls_stream{translator, {}, {}, false, 0, 0};
    translator->references.fetch_add(1, std::memory_order_relaxed);
    return GLS_OK;
  });
  if (status) *status = result;
  return stream;
}

void gls_stream_free(gls_stream* stream) {
  if (!stream) return;
  Release(stream->translator);
  delete stream;
}

gls_status gls_stream_feed(gls_stream* stream, const char* text, size_t len, gls_sink sink,
                           void* context) {
  if (!stream || (!text && len) || !sink) return GLS_E_NULL;
  return FeedStream(*stream, View(text, len), [&](std::string_view cut, Passed& passed) {
    return TranslateToSink(stream->translator->engine, cut, sink, context, stream->scratch,
                           passed);
  });
}

gls_status gls_stream_finish(gls_stream* stream, gls_sink sink, void* context) {
  if (!stream || !sink) return GLS_E_NULL;
  return FinishStream(*stream, [&](std::string_view rest, Passed& passed) {
    return TranslateToSink(stream->translator->engine, rest, sink, context, stream->scratch,
                           passed);
  });
}

gls_status gls_stream_feed_aligned(gls_stream* stream, const char* text, size_t len,
                                   gls_aligned_sink sink, void* context) {
  if (!stream || (!text && len) || !sink) return GLS_E_NULL;
  return FeedStream(*stream, View(text, len), [&](std::string_view cut, Passed& passed) {
    return TranslateAlignedToSink(stream->translator->engine, cut, sink, context,
                                  stream->scratch, passed);
  });
}

gls_status gls_stream_finish_aligned(gls_stream* stream, gls_aligned_sink sink, void* context) {
  if (!stream || !sink) return GLS_E_NULL;
  return FinishStream(*stream, [&](std::string_view rest, Passed& passed) {
    return TranslateAlignedToSink(stream->translator->engine, rest, sink, context,
                                  stream->scratch, passed);
  });
}

size_t gls_stream_pending(const gls_stream* stream) { return stream ? stream->pending.size() : 0; }

}  // extern "C"
