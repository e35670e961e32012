#pragma once

// A rule set as Python sees it: libglossmith's rules (through its C++
// wrapper, as everything here), plus the calls that build the same rules
// again in another process (pickle).

#include <glossmith/glossmith.hpp>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "text.h"

namespace glossmith_python {

// The Python exception for a failure of the library: MemoryError, ValueError
// for an argument or state refused, OSError for settings, else RuntimeError.
PyObject* ExceptionType(gls_status status);

// Everything a rule set was made of, in an order that rebuilds it: the bytes
// of a settings file (only in pickles of older versions, which read the file
// themselves), then the pairs added, the letters set and the switch set; rules
// read from a settings file record what it held as such calls.
struct RulesRecipe {
  std::optional<std::string> settings;
  std::vector<std::pair<std::string, std::string>> pairs;
  std::array<std::optional<std::string>, 26> letters;
  std::optional<bool> storedHardcore;

  // (1, settings, ((find, replacement), ...), (letter or None, ...) * 26, switch or None)
  py::tuple ToTuple() const;
  static RulesRecipe FromTuple(const py::tuple& state);
};

class Rules {
 public:
  Rules();  // the built-in chains, no pairs, the default alphabet
  explicit Rules(const RulesRecipe& recipe);

  // `path` None: the per-user settings file.
  static Rules FromSettings(const py::object& path);

  void AddPair(py::handle find, py::handle replacement);
  void SetLetter(py::handle letter, py::handle symbol);
  bool StoredHardcore() const;
  void SetStoredHardcore(bool on);
  std::size_t PairCount() const { return rules_.PairCount(); }
  std::string Digest() const { return rules_.Digest(); }

  const gls::Rules& rules() const { return rules_; }
  // Shared with the translators compiled from it; copied before a change.
  std::shared_ptr<const RulesRecipe> recipe() const { return recipe_; }

 private:
  RulesRecipe& MutableRecipe();

  gls::Rules rules_;
  std::shared_ptr<RulesRecipe> recipe_;
};

}  // namespace glossmith_python
