#include "text.h"

#include <cstdint>
#include <cstring>

namespace glossmith_python {

namespace {

// The scratch buffer keeps at most this much between calls.
constexpr std::size_t kScratchKeep = std::size_t{1} << 20;

}  // namespace

TextArg::TextArg(py::handle object, const char* what) {
  PyObject* o = object.ptr();
  if (PyUnicode_Check(o)) {
    kind_ = Kind::kStr;
    if (PyUnicode_READY(o) != 0) throw py::error_already_set();
    if (PyUnicode_IS_ASCII(o)) {
      ascii_ = true;
      data_ = static_cast<const char*>(PyUnicode_DATA(o));
      size_ = static_cast<std::size_t>(PyUnicode_GET_LENGTH(o));
      return;
    }
    Py_ssize_t size = 0;
    if (static_cast<std::size_t>(PyUnicode_GET_LENGTH(o)) < kReleaseGilBytes) {
      // Cached in the str, so translating the same str again costs no encoding.
      data_ = PyUnicode_AsUTF8AndSize(o, &size);
      if (!data_) throw py::error_already_set();
    } else {
      // A long text is not doubled in memory for as long as the str lives.
      encoded_ = py::reinterpret_steal<py::object>(PyUnicode_AsUTF8String(o));
      if (!encoded_) throw py::error_already_set();
      data_ = PyBytes_AS_STRING(encoded_.ptr());
      size = PyBytes_GET_SIZE(encoded_.ptr());
    }
    size_ = static_cast<std::size_t>(size);
    return;
  }
  kind_ = Kind::kBytes;
  if (PyBytes_Check(o)) {
    data_ = PyBytes_AS_STRING(o);
    size_ = static_cast<std::size_t>(PyBytes_GET_SIZE(o));
    return;
  }
  if (!PyObject_CheckBuffer(o))
    throw py::type_error(std::string(what) + " must be str or a bytes-like object, not " +
                         TypeName(object));
  if (PyObject_GetBuffer(o, &view_, PyBUF_SIMPLE) != 0) {
    PyErr_Clear();
    throw py::value_error(std::string(what) + " must be a contiguous buffer of bytes (" +
                          TypeName(object) + " is not)");
  }
  hasView_ = true;
  data_ = static_cast<const char*>(view_.buf);
  size_ = static_cast<std::size_t>(view_.len);
}

TextArg::TextArg(TextArg&& other) noexcept
    : data_(other.data_),
      size_(other.size_),
      kind_(other.kind_),
      ascii_(other.ascii_),
      hasView_(other.hasView_),
      view_(other.view_),
      encoded_(std::move(other.encoded_)) {
  other.hasView_ = false;
}

TextArg::~TextArg() {
  if (hasView_) PyBuffer_Release(&view_);
}

std::string TypeName(py::handle object) { return Py_TYPE(object.ptr())->tp_name; }

py::object MakeText(Kind kind, const char* bytes, std::size_t size) {
  if (size > static_cast<std::size_t>(PY_SSIZE_T_MAX)) throw std::bad_alloc();
  const auto n = static_cast<Py_ssize_t>(size);
  PyObject* result = kind == Kind::kStr ? PyUnicode_DecodeUTF8(bytes, n, nullptr)
                                        : PyBytes_FromStringAndSize(bytes, n);
  if (!result) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(result);
}

std::size_t CompleteUtf8Prefix(std::string_view bytes) {
  const std::size_t n = bytes.size();
  // A character is at most 4 bytes, so only the last 3 can start an unfinished one.
  for (std::size_t back = 1; back <= 3 && back <= n; ++back) {
    const auto byte = static_cast<unsigned char>(bytes[n - back]);
    if ((byte & 0xC0) == 0x80) continue;  // a continuation byte: look further back
    const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    return length > back ? n - back : n;
  }
  return n;
}

bool IsAscii(const char* bytes, std::size_t size) {
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes + i, 8);
    if (word & 0x8080808080808080u) return false;
  }
  for (; i < size; ++i)
    if (static_cast<unsigned char>(bytes[i]) & 0x80) return false;
  return true;
}

char* Scratch::Reserve(std::size_t size) {
  if (size > capacity_) {
    data_.reset();
    capacity_ = 0;
    data_.reset(new char[size]);
    capacity_ = size;
  }
  return data_.get();
}

void Scratch::Trim() {
  if (capacity_ > kScratchKeep) {
    data_.reset();
    capacity_ = 0;
  }
}

}  // namespace glossmith_python
