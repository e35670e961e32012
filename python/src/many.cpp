#include "many.h"

#include <string_view>
#include <vector>

namespace glossmith_python {

py::list TranslateMany(const gls::Translator& translator, const std::vector<TextArg>& texts,
                       unsigned threads) {
  py::list results(static_cast<py::ssize_t>(texts.size()));
  std::vector<std::string_view> views;
  views.reserve(texts.size());
  for (const TextArg& text : texts) views.push_back(text.view());
  // Each run's results are made into the list with the GIL, on this thread,
  // where the library delivers the runs: one at a time and in order, while
  // the other threads translate the next ones. What making a result raises
  // stops the call and is raised again here.
  PyObject* list = results.ptr();
  const auto fill = [list, &texts](std::size_t first, const gls::Translator::Run& run) {
    const py::gil_scoped_acquire gil;
    for (std::size_t i = 0; i < run.size(); ++i)
      PyList_SET_ITEM(list, static_cast<Py_ssize_t>(first + i),
                      MakeText(texts[first + i].kind(), run[i]).release().ptr());
  };
  {
    const py::gil_scoped_release release;
    translator.TranslateRuns(views, threads, fill);
  }
  return results;
}

}  // namespace glossmith_python
