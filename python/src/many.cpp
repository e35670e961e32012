#include "many.h"

#include <exception>
#include <vector>

namespace glossmith_python {

namespace {

// gls_translate_each's sink: makes each run's results into the list, with
// the GIL, on whichever thread the library delivers the run. The runs come
// one at a time and in order, while the other threads translate the next
// ones; what a result's making raises stops the call and is raised again.
struct ListSink {
  PyObject* list;
  const std::vector<TextArg>& texts;
  std::exception_ptr failure;

  static int Call(void* context, std::size_t first, std::size_t count, const char* const* outs,
                  const std::size_t* lens) noexcept {
    auto& self = *static_cast<ListSink*>(context);
    try {
      const py::gil_scoped_acquire gil;
      for (std::size_t i = 0; i < count; ++i)
        PyList_SET_ITEM(self.list, static_cast<Py_ssize_t>(first + i),
                        MakeText(self.texts[first + i].kind(), outs[i], lens[i]).release().ptr());
      return 0;
    } catch (...) {
      self.failure = std::current_exception();
      return 1;
    }
  }
};

}  // namespace

py::list TranslateMany(const gls_translator* translator, const std::vector<TextArg>& texts,
                       unsigned threads) {
  py::list results(static_cast<py::ssize_t>(texts.size()));
  std::vector<const char*> data;
  std::vector<std::size_t> lens;
  data.reserve(texts.size());
  lens.reserve(texts.size());
  for (const TextArg& text : texts) {
    data.push_back(text.data());
    lens.push_back(text.size());
  }
  ListSink sink{results.ptr(), texts, nullptr};
  gls_status status;
  {
    const py::gil_scoped_release release;
    status = gls_translate_each(translator, texts.size(), data.data(), lens.data(), threads,
                                &ListSink::Call, &sink);
  }
  if (sink.failure) std::rethrow_exception(sink.failure);
  Check(status);
  return results;
}

}  // namespace glossmith_python
