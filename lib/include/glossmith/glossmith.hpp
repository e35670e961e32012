// libglossmith for C++: the C API (glossmith.h) with owning types,
// std::string_view and exceptions; the one way in for C++ (the Python module
// is built on it too). Header-only; link glossmith::glossmith.
//
// A Translator made without a mode follows the rules' stored Hardcore switch,
// as the window and glossmith-cli do.
#pragma once

#include <glossmith/glossmith.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace gls {

// The message of a status, in English.
inline const char* StatusMessage(gls_status status) { return gls_status_message(status); }

// A failure of the library, with its status, and errno as the failing call
// left it (why a settings file could not be read, for GLS_E_SETTINGS).
class Error : public std::runtime_error {
 public:
  explicit Error(gls_status status, int errnoValue = 0)
      : std::runtime_error(gls_status_message(status)), status_(status), errno_(errnoValue) {}
  gls_status status() const noexcept { return status_; }
  int errno_value() const noexcept { return errno_; }

 private:
  gls_status status_;
  int errno_;
};

// errno is read before anything else can change it.
inline void Check(gls_status status) {
  if (status != GLS_OK) throw Error(status, errno);
}

// The most Custom pairs a rule set holds.
inline constexpr std::size_t kMaxPairs = GLS_MAX_PAIRS;

enum class Direction { kEnglishToL33t, kL33tToEnglish };
enum class Mode { kStandard, kHardcore, kStored };

inline std::string_view Version() { return gls_version(); }

// The per-user settings file, as the window finds it.
inline std::string SettingsPath() {
  std::string path(256, '\0');
  std::size_t len = 0;
  gls_status status;
  while ((status = gls_settings_path(path.data(), path.size(), &len)) == GLS_E_BUFFER)
    path.resize(len);
  Check(status);
  path.resize(len);
  return path;
}

namespace detail {

// What a sink threw inside a C callback, kept to be thrown again once the C
// call has returned: the library only learns that the sink stopped.
struct SinkFailure {
  std::exception_ptr failure;

  template <typename Body>
  int Catch(Body body) noexcept {
    try {
      body();
      return 0;
    } catch (...) {
      failure = std::current_exception();
      return 1;
    }
  }
  // The sink's own exception when it threw, else any failure of `status`.
  void Finish(gls_status status) const {
    if (failure) std::rethrow_exception(failure);
    Check(status);
  }
};

// Hands a gls_sink's bytes to a C++ callable taking std::string_view.
template <typename Sink>
struct SinkContext : SinkFailure {
  explicit SinkContext(Sink& s) : sink(s) {}
  Sink& sink;
  static int Call(void* context, const char* bytes, std::size_t len) noexcept {
    auto& self = *static_cast<SinkContext*>(context);
    return self.Catch([&] { self.sink(std::string_view(bytes, len)); });
  }
};

// The same for a gls_aligned_sink and a callable taking (std::string_view,
// const gls_piece*, std::size_t).
template <typename Sink>
struct AlignedSinkContext : SinkFailure {
  explicit AlignedSinkContext(Sink& s) : sink(s) {}
  Sink& sink;
  static int Call(void* context, const char* bytes, std::size_t len, const gls_piece* pieces,
                  std::size_t count) noexcept {
    auto& self = *static_cast<AlignedSinkContext*>(context);
    return self.Catch([&] { self.sink(std::string_view(bytes, len), pieces, count); });
  }
};

// Calls `call(callback, context)`, a C function that hands its output to a
// callback, with `sink` behind the callback through a Context; throws what
// the sink threw, or the call's status as an Error.
template <template <typename> class Context, typename Sink, typename Call>
void WithSink(Sink& sink, Call call) {
  Context<Sink> context(sink);
  context.Finish(call(&Context<Sink>::Call, &context));
}

// Owns a handle of the C API and frees it with `Free`.
template <typename Handle, void (*Free)(Handle*)>
struct Freer {
  void operator()(Handle* handle) const noexcept { Free(handle); }
};
template <typename Handle, void (*Free)(Handle*)>
using Owned = std::unique_ptr<Handle, Freer<Handle, Free>>;

}  // namespace detail

class Rules {
 public:
  // The built-in chains, an empty Custom list, the default alphabet.
  Rules() : rules_(gls_rules_new()) {
    if (!rules_) throw Error(GLS_E_NOMEM);
  }
  // The rules of a settings file; an empty path reads the per-user file.
  static Rules FromSettings(const std::string& path = {}) {
    Rules rules;
    rules.LoadSettings(path.empty() ? nullptr : path.c_str());
    return rules;
  }
  // The rules of settings text held in memory.
  static Rules FromSettingsBytes(std::string_view bytes) {
    Rules rules;
    rules.LoadSettingsBytes(bytes);
    return rules;
  }
  // Replaces these rules by those of a settings file (nullptr: the per-user
  // file; "" names no file and fails); on failure they stay as they were,
  // and Error::errno_value() says why.
  Rules& LoadSettings(const char* path) {
    Check(gls_rules_load_settings(get(), path));
    return *this;
  }
  Rules& LoadSettingsBytes(std::string_view bytes) {
    Check(gls_rules_load_settings_bytes(get(), bytes.data(), bytes.size()));
    return *this;
  }

  Rules& AddPair(std::string_view find, std::string_view replacement) {
    Check(gls_rules_add_pair(get(), find.data(), find.size(), replacement.data(),
                             replacement.size()));
    return *this;
  }
  Rules& SetLetter(char letter, std::string_view symbol) {
    Check(gls_rules_set_letter(get(), letter, symbol.data(), symbol.size()));
    return *this;
  }
  Rules& SetStoredHardcore(bool on) {
    Check(gls_rules_set_stored_hardcore(get(), on ? 1 : 0));
    return *this;
  }
  std::size_t PairCount() const { return gls_rules_pair_count(get()); }
  // Every Custom pair, find string and replacement, in the order they apply.
  std::vector<std::pair<std::string, std::string>> Pairs() const {
    std::vector<std::pair<std::string, std::string>> pairs;
    pairs.reserve(PairCount());
    for (std::size_t i = 0; i < PairCount(); ++i) {
      const char *find, *replacement;
      std::size_t findLen, replacementLen;
      Check(gls_rules_pair(get(), i, &find, &findLen, &replacement, &replacementLen));
      pairs.emplace_back(std::string(find, findLen), std::string(replacement, replacementLen));
    }
    return pairs;
  }
  std::string Letter(char letter) const {
    const char* symbol;
    std::size_t len;
    Check(gls_rules_letter(get(), letter, &symbol, &len));
    return std::string(symbol, len);
  }
  bool StoredHardcore() const { return gls_rules_stored_hardcore(get()) != 0; }
  std::string Digest() const {
    char digest[GLS_DIGEST_SIZE];
    Check(gls_rules_digest(get(), digest));
    return digest;
  }

  gls_rules* get() const noexcept { return rules_.get(); }

 private:
  detail::Owned<gls_rules, gls_rules_free> rules_;
};

// Where every byte of a translation came from (gls_alignment): its pieces,
// and the queries both ways. Immutable; any number of threads may read it.
class Alignment {
 public:
  using Piece = gls_piece;
  struct Range {
    std::size_t begin, end;
    // Spelt out: the header is C++17.
    bool operator==(const Range& other) const {
      return begin == other.begin && end == other.end;
    }
  };

  explicit Alignment(gls_alignment* alignment) : alignment_(alignment) {}

  std::size_t size() const { return gls_alignment_piece_count(get()); }
  // Pieces [first, first + count), as many as there are.
  std::vector<Piece> Pieces(std::size_t first = 0, std::size_t count = SIZE_MAX) const {
    std::vector<Piece> pieces(std::min(count, first < size() ? size() - first : 0));
    std::size_t written = 0;
    Check(gls_alignment_pieces(get(), first, pieces.data(), pieces.size(), &written));
    pieces.resize(written);
    return pieces;
  }
  // The smallest source range whose pieces cover target [begin, end), and
  // the other way.
  Range ToSource(std::size_t begin, std::size_t end) const {
    Range range{};
    Check(gls_alignment_to_source(get(), begin, end, &range.begin, &range.end));
    return range;
  }
  Range ToTarget(std::size_t begin, std::size_t end) const {
    Range range{};
    Check(gls_alignment_to_target(get(), begin, end, &range.begin, &range.end));
    return range;
  }

  const gls_alignment* get() const noexcept { return alignment_.get(); }

 private:
  detail::Owned<gls_alignment, gls_alignment_free> alignment_;
};

// A translation and its alignment to the text.
struct Aligned {
  std::string text;
  Alignment alignment;
};

class Translator {
 public:
  Translator(const Rules& rules, Direction direction, Mode mode = Mode::kStored) {
    unsigned flags = direction == Direction::kL33tToEnglish ? GLS_TO_ENGLISH : 0u;
    if (mode == Mode::kHardcore) flags |= GLS_HARDCORE;
    if (mode == Mode::kStored) flags |= GLS_STORED_MODE;
    gls_status status = GLS_OK;
    translator_.reset(gls_translator_new(rules.get(), flags, &status));
    Check(status);
  }

  std::string Translate(std::string_view text) const {
    std::string out;
    Translate(text, out);
    return out;
  }
  // Into `out` (its contents replaced, its capacity reused).
  void Translate(std::string_view text, std::string& out) const {
    out.clear();
    TranslateToSink(text, [&out](std::string_view bytes) { out.append(bytes); });
  }
  // Writes the translation to out[0, capacity) when it fits there, and
  // returns its length either way: a length past `capacity` means nothing
  // was written (the caller's buffer, reused call after call).
  std::size_t TranslateInto(std::string_view text, char* out, std::size_t capacity) const {
    std::size_t len = 0;
    const gls_status status = gls_translate(get(), text.data(), text.size(), out, capacity, &len);
    if (status != GLS_E_BUFFER) Check(status);
    return len;
  }
  // Hands the translation to `sink` (called with std::string_view) in pieces;
  // an exception from `sink` stops it and comes out of this call as it was.
  template <typename Sink>
  void TranslateToSink(std::string_view text, Sink&& sink) const {
    detail::WithSink<detail::SinkContext>(sink, [&](gls_sink call, void* context) {
      return gls_translate_to_sink(get(), text.data(), text.size(), call, context);
    });
  }
  // On up to `jobs` threads (0, or more than the online processors: one per processor).
  std::vector<std::string> TranslateMany(const std::vector<std::string_view>& texts,
                                         unsigned jobs = 0) const {
    std::vector<const char*> data;
    std::vector<std::size_t> lens;
    for (std::string_view t : texts) {
      data.push_back(t.data());
      lens.push_back(t.size());
    }
    std::vector<char*> outs(texts.size());
    std::vector<std::size_t> outLens(texts.size());
    Check(gls_translate_many(get(), texts.size(), data.data(), lens.data(), outs.data(),
                             outLens.data(), jobs));
    std::vector<std::string> results;
    results.reserve(texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
      results.emplace_back(outs[i], outLens[i]);
      gls_free(outs[i]);
    }
    return results;
  }

  Aligned TranslateAligned(std::string_view text) const {
    char* out = nullptr;
    std::size_t len = 0;
    gls_alignment* alignment = nullptr;
    Check(gls_translate_aligned(get(), text.data(), text.size(), &out, &len, &alignment));
    Aligned aligned{{}, Alignment(alignment)};
    try {
      aligned.text.assign(out, len);
    } catch (...) {
      gls_free(out);
      throw;
    }
    gls_free(out);
    return aligned;
  }

  // On up to `jobs` threads (0: one per processor), handing each text's
  // translation to `sink(index, std::string_view)` in the texts' order, one
  // call at a time on the calling thread; an exception from `sink` stops it
  // and comes out of this call as it was.
  template <typename Sink>
  void TranslateEach(const std::vector<std::string_view>& texts, unsigned jobs,
                     Sink&& sink) const {
    TranslateRuns(texts, jobs, [&sink](std::size_t first, const Run& run) {
      for (std::size_t i = 0; i < run.size(); ++i) sink(first + i, run[i]);
    });
  }

  // Consecutive translations of TranslateRuns, valid during the sink's call.
  class Run {
   public:
    Run(const char* const* outs, const std::size_t* lens, std::size_t count)
        : outs_(outs), lens_(lens), count_(count) {}
    std::size_t size() const { return count_; }
    std::string_view operator[](std::size_t i) const { return {outs_[i], lens_[i]}; }

   private:
    const char* const* outs_;
    const std::size_t* lens_;
    std::size_t count_;
  };
  // As TranslateEach, a run of texts at a time: `sink(first, const Run&)`
  // gets the translations of texts [first, first + run.size()). For a caller
  // that pays for each call to its sink (a lock to take, such as Python's).
  template <typename Sink>
  void TranslateRuns(const std::vector<std::string_view>& texts, unsigned jobs,
                     Sink&& sink) const {
    std::vector<const char*> data;
    std::vector<std::size_t> lens;
    data.reserve(texts.size());
    lens.reserve(texts.size());
    for (std::string_view t : texts) {
      data.push_back(t.data());
      lens.push_back(t.size());
    }
    struct Context : detail::SinkFailure {
      explicit Context(Sink& s) : sink(s) {}
      Sink& sink;
      static int Call(void* context, std::size_t first, std::size_t count,
                      const char* const* outs, const std::size_t* outLens) noexcept {
        auto& self = *static_cast<Context*>(context);
        return self.Catch([&] { self.sink(first, Run(outs, outLens, count)); });
      }
    } context(sink);
    context.Finish(gls_translate_each(get(), texts.size(), data.data(), lens.data(), jobs,
                                      &Context::Call, &context));
  }

  bool Hardcore() const { return gls_translator_hardcore(get()) != 0; }
  std::string SplitBytes() const {
    unsigned char bytes[256];
    const std::size_t n = gls_translator_split_bytes(get(), bytes);
    return std::string(reinterpret_cast<const char*>(bytes), n);
  }
  std::size_t SplitPoint(std::string_view text) const {
    return gls_translator_split_point(get(), text.data(), text.size());
  }
  std::string Digest() const {
    char digest[GLS_DIGEST_SIZE];
    Check(gls_translator_digest(get(), digest));
    return digest;
  }

  const gls_translator* get() const noexcept { return translator_.get(); }

 private:
  detail::Owned<gls_translator, gls_translator_free> translator_;
};

// Feeds a text in pieces; each call returns what is final so far, and the
// aligned calls where it came from too.
class Stream {
 public:
  explicit Stream(const Translator& translator) {
    gls_status status = GLS_OK;
    stream_.reset(gls_stream_new(translator.get(), &status));
    Check(status);
  }
  std::string Feed(std::string_view piece) {
    std::string out;
    Feed(piece, [&out](std::string_view bytes) { out.append(bytes); });
    return out;
  }
  std::string Finish() {
    std::string out;
    Finish([&out](std::string_view bytes) { out.append(bytes); });
    return out;
  }
  // As above, handing what is final to `sink` (see Translator::TranslateToSink).
  template <typename Sink>
  void Feed(std::string_view piece, Sink&& sink) {
    detail::WithSink<detail::SinkContext>(sink, [&](gls_sink call, void* context) {
      return gls_stream_feed(stream_.get(), piece.data(), piece.size(), call, context);
    });
  }
  template <typename Sink>
  void Finish(Sink&& sink) {
    detail::WithSink<detail::SinkContext>(sink, [&](gls_sink call, void* context) {
      return gls_stream_finish(stream_.get(), call, context);
    });
  }
  std::size_t Pending() const { return gls_stream_pending(stream_.get()); }

  // What a call passes on, with the pieces that cover it: offsets from the
  // start of the whole text, as gls_aligned_sink gives them. Joined over a
  // text fed all this way, the pieces are those of
  // Translator::TranslateAligned on the whole.
  struct AlignedPart {
    std::string text;
    std::vector<gls_piece> pieces;
  };
  // A sink that appends to an AlignedPart.
  struct Collect {
    AlignedPart& part;
    void operator()(std::string_view bytes, const gls_piece* pieces, std::size_t count) const {
      part.text.append(bytes);
      part.pieces.insert(part.pieces.end(), pieces, pieces + count);
    }
  };
  AlignedPart FeedAligned(std::string_view piece) {
    AlignedPart part;
    FeedAligned(piece, Collect{part});
    return part;
  }
  AlignedPart FinishAligned() {
    AlignedPart part;
    FinishAligned(Collect{part});
    return part;
  }
  // As above, handing each part to `sink(std::string_view bytes, const
  // gls_piece* pieces, std::size_t count)`; an exception from `sink` stops
  // it and comes out of this call as it was.
  template <typename Sink>
  void FeedAligned(std::string_view piece, Sink&& sink) {
    detail::WithSink<detail::AlignedSinkContext>(
        sink, [&](gls_aligned_sink call, void* context) {
          return gls_stream_feed_aligned(stream_.get(), piece.data(), piece.size(), call,
                                         context);
        });
  }
  template <typename Sink>
  void FinishAligned(Sink&& sink) {
    detail::WithSink<detail::AlignedSinkContext>(
        sink, [&](gls_aligned_sink call, void* context) {
          return gls_stream_finish_aligned(stream_.get(), call, context);
        });
  }

 private:
  detail::Owned<gls_stream, gls_stream_free> stream_;
};

}  // namespace gls
