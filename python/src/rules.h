#pragma once

// A rule set as Python sees it: libglossmith's gls_rules, plus the calls that
// build the same rules again in another process (pickle).

#include <glossmith/glossmith.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "text.h"

namespace glossmith_python {

[[noreturn]] void ThrowStatus(gls_status status);
inline void Check(gls_status status) {
  if (status != GLS_OK) ThrowStatus(status);
}

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
  std::size_t PairCount() const { return gls_rules_pair_count(rules_.get()); }
  std::string Digest() const;

  const gls_rules* get() const { return rules_.get(); }
  // Shared with the translators compiled from it; copied before a change.
  std::shared_ptr<const RulesRecipe> recipe() const { return recipe_; }

 private:
  RulesRecipe& MutableRecipe();

  struct Free {
    void operator()(gls_rules* rules) const { gls_rules_free(rules); }
  };
  std::unique_ptr<gls_rules, Free> rules_;
  std::shared_ptr<RulesRecipe> recipe_;
};

}  // namespace glossmith_python
