#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>

namespace glossmith {

// Names of the stored values. Every value lives under one application name.
inline constexpr std::string_view kApp = "l33t";

inline constexpr std::string_view kSectionChange = "change";
inline constexpr std::string_view kKeySearch = "search";
inline constexpr std::string_view kKeyReplace = "replace";

inline constexpr std::string_view kSectionHardcore = "hardcore";
inline constexpr std::string_view kKeyCustom = "custom";  // "yes" once defaults were written

inline constexpr std::string_view kSectionGeneral = "general";
inline constexpr std::string_view kKeyUseHard = "usehard";

// What became of a Write: stored, or not stored, with the file that could
// not be written and the reason, in words fit to show the user
// ("Permission denied", "Not a directory").
struct WriteResult {
  bool stored = true;
  std::string file;
  std::string reason;

  static WriteResult Stored() { return {}; }
  static WriteResult NotStored(std::string file, std::string reason) {
    return {false, std::move(file), std::move(reason)};
  }
  explicit operator bool() const { return stored; }
};

// The per-user settings store, as the rest of the program sees it.
//
// Values are strings addressed by application, section and key. Section and
// key names match without regard to letter case: a read of "k" finds what was
// written under "K", and a write replaces an existing key of any case rather
// than adding a second one. A value that was never written reads as "".
// There is no delete: clearing writes "". Implementations keep no cache, so a
// value written elsewhere (another window, another process) is seen by the
// next Read.
//
// Reads never fail: what cannot be read reads as "". A Write either stores
// the value or leaves the store exactly as it was and says why; the callers
// tell the user.
class Settings {
 public:
  virtual ~Settings() = default;

  virtual std::string Read(std::string_view app, std::string_view section,
                           std::string_view key) const = 0;
  virtual WriteResult Write(std::string_view app, std::string_view section, std::string_view key,
                            std::string_view value) = 0;
};

// A store held in memory, for tests and benchmarks. Names fold ASCII letters
// only; the file-backed store folds the full Unicode range.
class MemorySettings final : public Settings {
 public:
  std::string Read(std::string_view app, std::string_view section,
                   std::string_view key) const override;
  WriteResult Write(std::string_view app, std::string_view section, std::string_view key,
                    std::string_view value) override;

  // Number of Write calls so far; lets tests prove that nothing was written.
  int writeCount() const { return writes_; }

 private:
  // The stored name of a value, written into `name` (reused from call to
  // call, so that a read allocates nothing for it).
  static std::string_view FoldedName(std::string_view app, std::string_view section,
                                     std::string_view key, std::string& name);
  std::map<std::string, std::string, std::less<>> values_;
  int writes_ = 0;
};

}  // namespace glossmith
