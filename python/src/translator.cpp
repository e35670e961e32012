#include "translator.h"

#include "many.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace glossmith_python {

namespace {

// Short texts are translated into this, then copied once into the result.
thread_local Scratch tScratch;
constexpr std::size_t kScratchFirst = std::size_t{16} << 10;

// Texts from this long on are translated straight into their result: about
// where malloc stops reusing freed memory for blocks of that size (its
// largest mmap threshold is 32 MiB).
constexpr std::size_t kDirectBytes = std::size_t{16} << 20;

unsigned JobsArgument(const py::object& jobs) {
  if (jobs.is_none()) return 0;
  if (!PyLong_Check(jobs.ptr()))
    throw py::type_error("jobs must be an int or None, not " + TypeName(jobs));
  int overflow = 0;
  const long long n = PyLong_AsLongLongAndOverflow(jobs.ptr(), &overflow);
  if (n == -1 && PyErr_Occurred()) throw py::error_already_set();
  if (overflow < 0 || (!overflow && n < 1))
    throw py::value_error("jobs must be at least 1 (None: one per processor)");
  if (overflow > 0 || n > UINT_MAX) throw py::value_error("jobs is too large");
  return static_cast<unsigned>(n);
}

// Takes a long translation's pieces: into `out` while they fit, the rest
// into `rest`. Runs without the GIL.
struct Collector {
  char* out = nullptr;
  std::size_t capacity = 0, size = 0;
  std::string rest;
  bool checkAscii = false, ascii = true;

  void operator()(std::string_view bytes) {
    if (checkAscii && ascii) ascii = IsAscii(bytes.data(), bytes.size());
    if (rest.empty() && bytes.size() <= capacity - size) {
      std::memcpy(out + size, bytes.data(), bytes.size());
      size += bytes.size();
    } else {
      rest.append(bytes);
    }
  }
};

gls::Mode ModeOf(std::optional<bool> hardcore) {
  if (!hardcore) return gls::Mode::kStored;
  return *hardcore ? gls::Mode::kHardcore : gls::Mode::kStandard;
}

// Clears a stream's busy flag however its call ends.
struct Busy {
  explicit Busy(bool& flag) : flag(flag) { flag = true; }
  ~Busy() { flag = false; }
  bool& flag;
};

}  // namespace

Translator::Translator(const Rules& rules, bool toEnglish, std::optional<bool> hardcore)
    : translator_(rules.rules(),
                  toEnglish ? gls::Direction::kL33tToEnglish : gls::Direction::kEnglishToL33t,
                  ModeOf(hardcore)),
      recipe_(rules.recipe()),
      toEnglish_(toEnglish),
      requestedHardcore_(hardcore) {
  // Hardcore L33T writes most letters as a symbol and a space.
  sixteenths_ = !toEnglish && Hardcore() ? 80 : 20;
}

py::object Translator::Translate(py::handle object) const {
  const TextArg text(object, "text");
  if (text.size() >= kReleaseGilBytes) return TranslateLong(text);
  Scratch& scratch = tScratch;
  char* out = scratch.Reserve(std::max(kScratchFirst, 2 * text.size() + 64));
  std::size_t needed = translator_.TranslateInto(text.view(), out, scratch.capacity());
  if (needed > scratch.capacity()) {
    out = scratch.Reserve(needed);
    needed = translator_.TranslateInto(text.view(), out, scratch.capacity());
  }
  py::object result = MakeText(text.kind(), out, needed);
  scratch.Trim();
  return result;
}

std::size_t Translator::Estimate(std::size_t size) const {
  if (size > (SIZE_MAX - 4096) / 128) throw std::bad_alloc();
  return size / 16 * sixteenths_.load(std::memory_order_relaxed) + size / 32 + 4096;
}

void Translator::Learn(std::size_t size, std::size_t translated) const {
  if (size >= 16)
    sixteenths_.store(std::min<std::size_t>(translated / (size / 16) + 1, 127),
                      std::memory_order_relaxed);
}

py::object Translator::TranslateLong(const TextArg& text) const {
  // Up to kDirectBytes the translation goes into a buffer and is copied once
  // into a result of its exact size: malloc then hands the same memory back
  // call after call, where a result made at the guessed size and shrunk
  // would take fresh pages from the kernel every time. Past it, where the
  // memory comes fresh anyway, bytes (and str from an ASCII str) are written
  // straight into the result, so that a huge text is held once.
  const bool intoResult =
      text.size() >= kDirectBytes && (text.kind() == Kind::kBytes || text.ascii());
  const std::size_t capacity = Estimate(text.size());
  py::object result;
  std::unique_ptr<char[]> buffer;
  Collector collector;
  collector.capacity = capacity;
  if (intoResult) {
    const auto n = static_cast<Py_ssize_t>(capacity);
    result = py::reinterpret_steal<py::object>(text.kind() == Kind::kBytes
                                                   ? PyBytes_FromStringAndSize(nullptr, n)
                                                   : PyUnicode_New(n, 127));
    if (!result) throw py::error_already_set();
    collector.out = text.kind() == Kind::kBytes
                        ? PyBytes_AS_STRING(result.ptr())
                        : reinterpret_cast<char*>(PyUnicode_1BYTE_DATA(result.ptr()));
    collector.checkAscii = text.kind() == Kind::kStr;
  } else {
    buffer.reset(new char[capacity]);
    collector.out = buffer.get();
  }
  {
    py::gil_scoped_release release;
    translator_.TranslateToSink(text.view(), collector);
  }
  Learn(text.size(), collector.size + collector.rest.size());
  if (!collector.rest.empty()) {
    // Longer than guessed: joined once more.
    collector.rest.insert(0, collector.out, collector.size);
    return MakeText(text.kind(), collector.rest);
  }
  // A Custom string or a letter may have brought in other characters.
  if (!intoResult || !collector.ascii) return MakeText(text.kind(), collector.out, collector.size);
  PyObject* shrunk = result.release().ptr();
  const auto size = static_cast<Py_ssize_t>(collector.size);
  const int failed = text.kind() == Kind::kBytes ? _PyBytes_Resize(&shrunk, size)
                                                 : PyUnicode_Resize(&shrunk, size);
  if (failed) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(shrunk);
}

py::list Translator::TranslateMany(py::handle texts, const py::object& jobs) const {
  const unsigned threads = JobsArgument(jobs);
  // A tuple of our own holds every text while the threads read it, whatever
  // another thread does to the caller's list meanwhile.
  PyTypeObject* type = Py_TYPE(texts.ptr());
  if (!type->tp_iter && !PySequence_Check(texts.ptr()))
    throw py::type_error("texts must be a list or another iterable of texts, not " +
                         TypeName(texts));
  const auto sequence = py::reinterpret_steal<py::object>(PySequence_Tuple(texts.ptr()));
  if (!sequence) throw py::error_already_set();
  const std::size_t count = static_cast<std::size_t>(PySequence_Fast_GET_SIZE(sequence.ptr()));
  PyObject** items = PySequence_Fast_ITEMS(sequence.ptr());

  std::vector<TextArg> args;
  args.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    args.emplace_back(items[i], "each text");
    if (args[i].kind() != args[0].kind())
      throw py::type_error("texts must be all str or all bytes-like: item " + std::to_string(i) +
                           " is " + TypeName(items[i]) + ", item 0 is " + TypeName(items[0]));
  }
  return glossmith_python::TranslateMany(translator_, args, threads);
}

std::size_t Translator::SplitPoint(py::handle object) const {
  const TextArg text(object, "text");
  return translator_.SplitPoint(text.view());
}

py::bytes Translator::SplitBytes() const { return py::bytes(translator_.SplitBytes()); }

std::string Translator::Digest() const { return translator_.Digest(); }

py::tuple Translator::State() const {
  return py::make_tuple(
      1, recipe_->ToTuple(), toEnglish_,
      requestedHardcore_ ? py::object(py::bool_(*requestedHardcore_)) : py::none());
}

std::unique_ptr<Translator> Translator::FromState(const py::tuple& state) {
  if (state.size() != 4 || !py::isinstance<py::int_>(state[0]) || state[0].cast<int>() != 1)
    throw py::value_error("not the pickled state of a glossmith translator");
  const Rules rules(RulesRecipe::FromTuple(state[1].cast<py::tuple>()));
  std::optional<bool> hardcore;
  if (!state[3].is_none()) hardcore = state[3].cast<bool>();
  return std::make_unique<Translator>(rules, state[2].cast<bool>(), hardcore);
}

Stream::Stream(py::object owner, const Translator& translator)
    : translator_(std::move(owner)), stream_(translator.engine()) {}

std::size_t Stream::Pending() const {
  if (busy_) throw std::runtime_error("the stream is in use by another thread");
  return stream_.Pending();
}

TextArg Stream::Accept(py::handle object) {
  TextArg piece(object, "piece");
  if (kind_ && *kind_ != piece.kind())
    throw py::type_error(std::string("this stream translates ") +
                         (*kind_ == Kind::kStr ? "str" : "bytes") + ", not " + TypeName(object));
  if (busy_) throw std::runtime_error("the stream is in use by another thread");
  kind_ = piece.kind();
  return piece;
}

template <typename Body>
void Stream::Run(const TextArg& piece, Body body) {
  if (piece.size() >= kReleaseGilBytes) {
    const Busy busy(busy_);
    py::gil_scoped_release release;
    body();
  } else {
    body();
  }
}

py::object Stream::Feed(py::handle object) {
  const TextArg piece = Accept(object);
  std::string translated;
  const bool str = IsStr();
  if (str) characters_.Begin(piece.view());
  Run(piece, [&] {
    stream_.Feed(piece.view(), [&translated](std::string_view bytes) { translated.append(bytes); });
  });
  py::object text = Emit(translated, false);
  // The counts that the offsets of aligned calls to come start from.
  if (str) {
    fedChars_ += static_cast<std::size_t>(PyUnicode_GET_LENGTH(object.ptr()));
    characters_.EndPlain(stream_.Pending(), fedChars_, returnedChars_ + !carry_.empty());
  }
  return text;
}

py::object Stream::Finish() {
  if (busy_) throw std::runtime_error("the stream is in use by another thread");
  std::string translated;
  stream_.Finish([&translated](std::string_view bytes) { translated.append(bytes); });
  return Emit(translated, true);
}

namespace {

py::list PieceList(const std::vector<CharacterPieces::Piece>& pieces) {
  py::list list(pieces.size());
  for (std::size_t k = 0; k < pieces.size(); ++k)
    list[k] = py::make_tuple(pieces[k][0], pieces[k][1], pieces[k][2], pieces[k][3]);
  return list;
}

}  // namespace

py::tuple Stream::FeedAligned(py::handle object) {
  const TextArg piece = Accept(object);
  std::string translated;
  std::vector<CharacterPieces::Piece> pieces;  // a bytes stream's, as the library gives them
  const bool str = IsStr();
  if (str) characters_.Begin(piece.view());
  Run(piece, [&] {
    stream_.FeedAligned(piece.view(), [&](std::string_view bytes, const gls_piece* given,
                                          std::size_t count) {
      translated.append(bytes);
      if (str) return characters_.Passed(bytes, given, count);
      for (std::size_t k = 0; k < count; ++k)
        pieces.push_back({given[k].source_begin, given[k].source_end, given[k].target_begin,
                          given[k].target_end});
    });
  });
  if (str) {
    pieces = characters_.End(stream_.Pending(), false);
    fedChars_ += static_cast<std::size_t>(PyUnicode_GET_LENGTH(object.ptr()));
  }
  py::object text = Emit(translated, false);
  return py::make_tuple(std::move(text), PieceList(pieces));
}

py::tuple Stream::FinishAligned() {
  if (busy_) throw std::runtime_error("the stream is in use by another thread");
  std::string translated;
  std::vector<CharacterPieces::Piece> pieces;
  const bool str = IsStr();
  if (str) characters_.Begin({});
  stream_.FinishAligned([&](std::string_view bytes, const gls_piece* given, std::size_t count) {
    translated.append(bytes);
    if (str) return characters_.Passed(bytes, given, count);
    for (std::size_t k = 0; k < count; ++k)
      pieces.push_back({given[k].source_begin, given[k].source_end, given[k].target_begin,
                        given[k].target_end});
  });
  if (str) pieces = characters_.End(0, true);
  py::object text = Emit(translated, true);
  return py::make_tuple(std::move(text), PieceList(pieces));
}

py::object Stream::Emit(std::string& translated, bool last) {
  if (kind_.value_or(Kind::kStr) == Kind::kBytes) return MakeText(Kind::kBytes, translated);
  if (!carry_.empty()) translated.insert(0, carry_);
  const std::size_t complete = last ? translated.size() : CompleteUtf8Prefix(translated);
  carry_.assign(translated, complete);
  py::object text = MakeText(Kind::kStr, translated.data(), complete);
  returnedChars_ += static_cast<std::size_t>(PyUnicode_GET_LENGTH(text.ptr()));
  return text;
}

}  // namespace glossmith_python
