#include "translator.h"

#include "many.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <stdexcept>
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

// Sink failures are ours: appending ran out of memory.
void CheckSinkCall(gls_status status) { Check(status == GLS_E_SINK ? GLS_E_NOMEM : status); }

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

  static int Sink(void* context, const char* bytes, std::size_t len) {
    auto& self = *static_cast<Collector*>(context);
    try {
      if (self.checkAscii && self.ascii) self.ascii = IsAscii(bytes, len);
      if (self.rest.empty() && len <= self.capacity - self.size) {
        std::memcpy(self.out + self.size, bytes, len);
        self.size += len;
      } else {
        self.rest.append(bytes, len);
      }
      return 0;
    } catch (...) {
      return 1;
    }
  }
};

}  // namespace

Translator::Translator(const Rules& rules, bool toEnglish, std::optional<bool> hardcore)
    : recipe_(rules.recipe()), toEnglish_(toEnglish), requestedHardcore_(hardcore) {
  unsigned flags = toEnglish ? GLS_TO_ENGLISH : 0u;
  if (!hardcore)
    flags |= GLS_STORED_MODE;
  else if (*hardcore)
    flags |= GLS_HARDCORE;
  gls_status status = GLS_OK;
  translator_.reset(gls_translator_new(rules.get(), flags, &status));
  Check(status);
  // Hardcore L33T writes most letters as a symbol and a space.
  sixteenths_ = !toEnglish && Hardcore() ? 80 : 20;
}

py::object Translator::Translate(py::handle object) const {
  const TextArg text(object, "text");
  if (text.size() >= kReleaseGilBytes) return TranslateLong(text);
  Scratch& scratch = tScratch;
  char* out = scratch.Reserve(std::max(kScratchFirst, 2 * text.size() + 64));
  std::size_t needed = 0;
  gls_status status =
      gls_translate(get(), text.data(), text.size(), out, scratch.capacity(), &needed);
  if (status == GLS_E_BUFFER) {
    out = scratch.Reserve(needed);
    status = gls_translate(get(), text.data(), text.size(), out, scratch.capacity(), &needed);
  }
  Check(status);
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
  gls_status status;
  {
    py::gil_scoped_release release;
    status = gls_translate_to_sink(get(), text.data(), text.size(), &Collector::Sink, &collector);
  }
  CheckSinkCall(status);
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
  return glossmith_python::TranslateMany(get(), args, threads);
}

std::size_t Translator::SplitPoint(py::handle object) const {
  const TextArg text(object, "text");
  return gls_translator_split_point(get(), text.data(), text.size());
}

py::bytes Translator::SplitBytes() const {
  unsigned char bytes[256];
  const std::size_t n = gls_translator_split_bytes(get(), bytes);
  return py::bytes(reinterpret_cast<const char*>(bytes), n);
}

std::string Translator::Digest() const {
  char digest[GLS_DIGEST_SIZE];
  Check(gls_translator_digest(get(), digest));
  return digest;
}

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

Stream::Stream(py::object owner, const Translator& translator) : translator_(std::move(owner)) {
  gls_status status = GLS_OK;
  stream_.reset(gls_stream_new(translator.get(), &status));
  Check(status);
}

std::size_t Stream::Pending() const {
  if (busy_) throw std::runtime_error("the stream is in use by another thread");
  return gls_stream_pending(stream_.get());
}

py::object Stream::Feed(py::handle object) {
  const TextArg piece(object, "piece");
  if (kind_ && *kind_ != piece.kind())
    throw py::type_error(std::string("this stream translates ") +
                         (*kind_ == Kind::kStr ? "str" : "bytes") + ", not " + TypeName(object));
  if (busy_) throw std::runtime_error("the stream is in use by another thread");
  kind_ = piece.kind();
  std::string translated;
  gls_status status;
  if (piece.size() >= kReleaseGilBytes) {
    busy_ = true;
    {
      py::gil_scoped_release release;
      status =
          gls_stream_feed(stream_.get(), piece.data(), piece.size(), &AppendToString, &translated);
    }
    busy_ = false;
  } else {
    status =
        gls_stream_feed(stream_.get(), piece.data(), piece.size(), &AppendToString, &translated);
  }
  CheckSinkCall(status);
  return Emit(translated, false);
}

py::object Stream::Finish() {
  if (busy_) throw std::runtime_error("the stream is in use by another thread");
  std::string translated;
  CheckSinkCall(gls_stream_finish(stream_.get(), &AppendToString, &translated));
  return Emit(translated, true);
}

py::object Stream::Emit(std::string& translated, bool last) {
  if (kind_.value_or(Kind::kStr) == Kind::kBytes) return MakeText(Kind::kBytes, translated);
  if (!carry_.empty()) translated.insert(0, carry_);
  const std::size_t complete = last ? translated.size() : CompleteUtf8Prefix(translated);
  carry_.assign(translated, complete);
  return MakeText(Kind::kStr, translated.data(), complete);
}

}  // namespace glossmith_python
