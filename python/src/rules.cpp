#include "rules.h"

#include <cerrno>
#include <optional>

namespace glossmith_python {

namespace {

[[noreturn]] void ThrowOSError(int error, const py::object& filename) {
  errno = error;
  PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, filename.ptr());
  throw py::error_already_set();
}

std::string Bytes(py::handle object, const char* what) {
  const TextArg text(object, what);
  return std::string(text.view());
}

}  // namespace

PyObject* ExceptionType(gls_status status) {
  switch (status) {
    case GLS_E_NOMEM:
      return PyExc_MemoryError;
    case GLS_E_ARGUMENT:
    case GLS_E_EMPTY_FIND:
    case GLS_E_LETTER:
    case GLS_E_STATE:
    case GLS_E_LIMIT:
      return PyExc_ValueError;
    case GLS_E_SETTINGS:
      return PyExc_OSError;
    default:
      return PyExc_RuntimeError;
  }
}

py::tuple RulesRecipe::ToTuple() const {
  py::tuple pairTuple(pairs.size());
  for (std::size_t i = 0; i < pairs.size(); ++i)
    pairTuple[i] = py::make_tuple(py::bytes(pairs[i].first), py::bytes(pairs[i].second));
  py::tuple letterTuple(letters.size());
  for (std::size_t i = 0; i < letters.size(); ++i)
    letterTuple[i] = letters[i] ? py::object(py::bytes(*letters[i])) : py::none();
  return py::make_tuple(1, settings ? py::object(py::bytes(*settings)) : py::none(), pairTuple,
                        letterTuple,
                        storedHardcore ? py::object(py::bool_(*storedHardcore)) : py::none());
}

RulesRecipe RulesRecipe::FromTuple(const py::tuple& state) {
  if (state.size() != 5 || !py::isinstance<py::int_>(state[0]) || state[0].cast<int>() != 1)
    throw py::value_error("not the pickled state of glossmith rules");
  RulesRecipe recipe;
  if (!state[1].is_none()) recipe.settings = state[1].cast<std::string>();
  for (py::handle pair : state[2].cast<py::tuple>()) {
    const auto p = pair.cast<py::tuple>();
    recipe.pairs.emplace_back(p[0].cast<std::string>(), p[1].cast<std::string>());
  }
  const auto letters = state[3].cast<py::tuple>();
  if (letters.size() != recipe.letters.size())
    throw py::value_error("not the pickled state of glossmith rules");
  for (std::size_t i = 0; i < letters.size(); ++i)
    if (!letters[i].is_none()) recipe.letters[i] = letters[i].cast<std::string>();
  if (!state[4].is_none()) recipe.storedHardcore = state[4].cast<bool>();
  return recipe;
}

Rules::Rules() : recipe_(std::make_shared<RulesRecipe>()) {}

Rules::Rules(const RulesRecipe& recipe) : Rules() {
  // Older pickles carry the settings file's bytes.
  if (recipe.settings) rules_.LoadSettingsBytes(*recipe.settings);
  for (const auto& [find, replacement] : recipe.pairs) rules_.AddPair(find, replacement);
  for (std::size_t i = 0; i < recipe.letters.size(); ++i)
    if (const auto& symbol = recipe.letters[i]) rules_.SetLetter(static_cast<char>('A' + i), *symbol);
  if (recipe.storedHardcore) rules_.SetStoredHardcore(*recipe.storedHardcore);
  recipe_ = std::make_shared<RulesRecipe>(recipe);
}

Rules Rules::FromSettings(const py::object& path) {
  py::object name;  // the path as bytes for the library; None for the per-user file
  if (!path.is_none()) {
    PyObject* converted = nullptr;
    if (!PyUnicode_FSConverter(path.ptr(), &converted)) throw py::error_already_set();
    name = py::reinterpret_steal<py::object>(converted);
  }
  Rules rules;
  std::optional<gls::Error> failure;
  {
    py::gil_scoped_release release;
    try {
      rules.rules_.LoadSettings(name ? PyBytes_AS_STRING(name.ptr()) : nullptr);
    } catch (const gls::Error& error) {
      failure = error;
    }
  }
  if (failure && failure->status() == GLS_E_SETTINGS)
    ThrowOSError(failure->errno_value(), path.is_none() ? py::str(gls::SettingsPath()) : path);
  if (failure) throw *failure;
  // What the file held, as the calls that make the same rules, so that they
  // pickle without the file.
  RulesRecipe& recipe = *rules.recipe_;
  recipe.pairs = rules.rules_.Pairs();
  for (std::size_t i = 0; i < recipe.letters.size(); ++i)
    recipe.letters[i] = rules.rules_.Letter(static_cast<char>('A' + i));
  recipe.storedHardcore = rules.rules_.StoredHardcore();
  return rules;
}

RulesRecipe& Rules::MutableRecipe() {
  // A translator may share the recipe: it keeps the rules it was compiled from.
  if (recipe_.use_count() > 1) recipe_ = std::make_shared<RulesRecipe>(*recipe_);
  return *recipe_;
}

void Rules::AddPair(py::handle find, py::handle replacement) {
  std::string f = Bytes(find, "find");
  std::string r = Bytes(replacement, "replacement");
  if (f.empty()) throw py::value_error("the find string of a pair must not be empty");
  rules_.AddPair(f, r);
  MutableRecipe().pairs.emplace_back(std::move(f), std::move(r));
}

void Rules::SetLetter(py::handle letter, py::handle symbol) {
  std::string l = Bytes(letter, "letter");
  const auto c = l.size() == 1 ? static_cast<unsigned char>(l[0]) : 0;
  const bool isLetter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  if (!isLetter)
    throw py::value_error("letter must be one letter from A to Z (either case), not " +
                          py::repr(letter).cast<std::string>());
  std::string s = Bytes(symbol, "symbol");
  const char upper = static_cast<char>(c & ~0x20);
  rules_.SetLetter(upper, s);
  MutableRecipe().letters[upper - 'A'] = std::move(s);
}

bool Rules::StoredHardcore() const { return rules_.StoredHardcore(); }

void Rules::SetStoredHardcore(bool on) {
  rules_.SetStoredHardcore(on);
  MutableRecipe().storedHardcore = on;
}

}  // namespace glossmith_python
