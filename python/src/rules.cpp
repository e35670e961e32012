#include "rules.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <stdexcept>

namespace glossmith_python {

namespace {

// A settings file larger than this is no settings file (think /dev/zero).
constexpr std::size_t kMaxSettingsBytes = std::size_t{64} << 20;

[[noreturn]] void ThrowOSError(int error, const py::object& filename) {
  errno = error;
  PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, filename.ptr());
  throw py::error_already_set();
}

// The per-user settings file, where the window and glossmith-cli keep it.
std::string DefaultSettingsPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string folder;
  if (config && *config) {
    folder = config;
  } else {
    const char* home = std::getenv("HOME");
    folder = std::string(home && *home ? home : "/") + "/.config";
  }
  return folder + "/glossmith/l33t.ini";
}

// The bytes of a settings file; a missing per-user file reads as empty.
std::string ReadSettingsFile(const py::object& path) {
  const bool perUser = path.is_none();
  py::object name;
  if (perUser) {
    name = py::bytes(DefaultSettingsPath());
  } else {
    PyObject* converted = nullptr;
    if (!PyUnicode_FSConverter(path.ptr(), &converted)) throw py::error_already_set();
    name = py::reinterpret_steal<py::object>(converted);
  }
  const py::object shown = perUser ? py::str(DefaultSettingsPath()) : path;
  std::string bytes;
  int error = 0;
  {
    py::gil_scoped_release release;
    const int fd = ::open(PyBytes_AS_STRING(name.ptr()), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      error = errno;
    } else {
      char block[1 << 16];
      for (;;) {
        const ssize_t got = ::read(fd, block, sizeof block);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) error = errno;
        if (got <= 0) break;
        if (bytes.size() + static_cast<std::size_t>(got) > kMaxSettingsBytes) {
          error = EFBIG;
          break;
        }
        bytes.append(block, static_cast<std::size_t>(got));
      }
      ::close(fd);
    }
  }
  if ((error == ENOENT || error == ENOTDIR) && perUser) return {};
  if (error) ThrowOSError(error, shown);
  return bytes;
}

// Loads `bytes` as a settings file into `rules`. The library reads settings
// from a path, so they pass through a private temporary file: the rules then
// depend on these bytes alone, which the recipe keeps.
void LoadSettingsBytes(gls_rules* rules, const std::string& bytes) {
  std::string name = (std::filesystem::temp_directory_path() / "glossmith-XXXXXX.ini").string();
  gls_status status = GLS_OK;
  int error = 0;
  {
    py::gil_scoped_release release;
    const int fd = ::mkstemps(name.data(), 4);
    if (fd < 0) {
      error = errno;
    } else {
      for (std::size_t done = 0; done < bytes.size() && !error;) {
        const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno != EINTR) error = errno;
        if (wrote > 0) done += static_cast<std::size_t>(wrote);
      }
      if (::close(fd) != 0 && !error) error = errno;
      if (!error) status = gls_rules_load_settings(rules, name.c_str());
      ::unlink(name.c_str());
    }
  }
  if (error) ThrowOSError(error, py::str(name));
  Check(status);
}

std::string Bytes(py::handle object, const char* what) {
  const TextArg text(object, what);
  return std::string(text.view());
}

}  // namespace

[[noreturn]] void ThrowStatus(gls_status status) {
  const char* message = gls_status_message(status);
  switch (status) {
    case GLS_E_NOMEM:
      PyErr_SetString(PyExc_MemoryError, message);
      throw py::error_already_set();
    case GLS_E_ARGUMENT:
    case GLS_E_EMPTY_FIND:
    case GLS_E_LETTER:
    case GLS_E_STATE:
      throw py::value_error(message);
    case GLS_E_SETTINGS:
      PyErr_SetString(PyExc_OSError, message);
      throw py::error_already_set();
    default:
      throw std::runtime_error(message);
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

Rules::Rules() : rules_(gls_rules_new()), recipe_(std::make_shared<RulesRecipe>()) {
  if (!rules_) throw std::bad_alloc();
}

Rules::Rules(const RulesRecipe& recipe) : Rules() {
  if (recipe.settings) LoadSettingsBytes(rules_.get(), *recipe.settings);
  for (const auto& [find, replacement] : recipe.pairs)
    Check(gls_rules_add_pair(rules_.get(), find.data(), find.size(), replacement.data(),
                             replacement.size()));
  for (std::size_t i = 0; i < recipe.letters.size(); ++i)
    if (const auto& symbol = recipe.letters[i])
      Check(gls_rules_set_letter(rules_.get(), static_cast<char>('A' + i), symbol->data(),
                                 symbol->size()));
  if (recipe.storedHardcore) Check(gls_rules_set_stored_hardcore(rules_.get(), *recipe.storedHardcore));
  recipe_ = std::make_shared<RulesRecipe>(recipe);
}

Rules Rules::FromSettings(const py::object& path) {
  RulesRecipe recipe;
  recipe.settings = ReadSettingsFile(path);
  return Rules(recipe);
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
  const std::size_t before = PairCount();
  Check(gls_rules_add_pair(rules_.get(), f.data(), f.size(), r.data(), r.size()));
  // A pair past the limit is dropped, as in the window; so is its record.
  if (PairCount() > before) MutableRecipe().pairs.emplace_back(std::move(f), std::move(r));
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
  Check(gls_rules_set_letter(rules_.get(), upper, s.data(), s.size()));
  MutableRecipe().letters[upper - 'A'] = std::move(s);
}

bool Rules::StoredHardcore() const {
  if (recipe_->storedHardcore) return *recipe_->storedHardcore;
  if (!recipe_->settings) return false;
  if (!storedFromSettings_) {
    // The library tells the switch only through a translator that follows it.
    gls_status status = GLS_OK;
    gls_translator* probe = gls_translator_new(rules_.get(), GLS_STORED_MODE, &status);
    Check(status);
    storedFromSettings_ = gls_translator_hardcore(probe) != 0;
    gls_translator_free(probe);
  }
  return *storedFromSettings_;
}

void Rules::SetStoredHardcore(bool on) {
  Check(gls_rules_set_stored_hardcore(rules_.get(), on ? 1 : 0));
  MutableRecipe().storedHardcore = on;
}

std::string Rules::Digest() const {
  char digest[GLS_DIGEST_SIZE];
  Check(gls_rules_digest(rules_.get(), digest));
  return digest;
}

}  // namespace glossmith_python
