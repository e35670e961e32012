#pragma once

// Text between Python and libglossmith. The library translates bytes; a str
// crosses as UTF-8 (encoded strictly, so a lone surrogate is refused rather
// than guessed at) and its translation is decoded back strictly. A bytes-like
// object (bytes, bytearray, memoryview, any contiguous buffer) crosses as it
// is and its translation comes back as bytes.

#include <pybind11/pybind11.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace glossmith_python {

namespace py = pybind11;

enum class Kind : unsigned char { kStr, kBytes };

// Texts at least this long are translated with the GIL released; below it the
// release would cost more than it lets other threads do.
inline constexpr std::size_t kReleaseGilBytes = std::size_t{32} << 10;

// The bytes of a text argument, valid while this object and the argument
// live. `what` names the argument in error messages ("text", "find", ...).
class TextArg {
 public:
  TextArg(py::handle object, const char* what);
  TextArg(TextArg&& other) noexcept;
  TextArg(const TextArg&) = delete;
  TextArg& operator=(const TextArg&) = delete;
  TextArg& operator=(TextArg&&) = delete;
  ~TextArg();

  const char* data() const { return data_; }
  std::size_t size() const { return size_; }
  std::string_view view() const { return {data_, size_}; }
  Kind kind() const { return kind_; }
  // A str whose characters are all ASCII: its UTF-8 is its own storage.
  bool ascii() const { return ascii_; }

 private:
  const char* data_ = nullptr;
  std::size_t size_ = 0;
  Kind kind_ = Kind::kBytes;
  bool ascii_ = false;
  bool hasView_ = false;
  Py_buffer view_{};
  py::object encoded_;  // the UTF-8 of a long non-ASCII str, dropped with this object
};

// A Python type name for messages ("int", "list").
std::string TypeName(py::handle object);

// `bytes` as a str (strict UTF-8) or as bytes.
py::object MakeText(Kind kind, const char* bytes, std::size_t size);
inline py::object MakeText(Kind kind, std::string_view bytes) {
  return MakeText(kind, bytes.data(), bytes.size());
}

// The length of the longest prefix of `bytes` that does not end inside a
// UTF-8 character: a lead byte at the end whose continuation bytes have not
// all arrived is left out, together with those that have.
std::size_t CompleteUtf8Prefix(std::string_view bytes);

bool IsAscii(const char* bytes, std::size_t size);

// A buffer that only grows, without clearing what it gives; one per thread
// serves the short texts, so that a call allocates only its result.
class Scratch {
 public:
  char* Reserve(std::size_t size);
  std::size_t capacity() const { return capacity_; }
  // Gives back memory that one long text made it take.
  void Trim();

 private:
  std::unique_ptr<char[]> data_;
  std::size_t capacity_ = 0;
};

}  // namespace glossmith_python
