#pragma once

#include <optional>
#include <string>
#include <vector>

namespace glossmith::cli {

// Which rule chain a run uses.
enum class Chain {
  kStored,    // "usehard" decides, exactly as the window does at start-up
  kStandard,
  kHardcore,
};

// The command line of glossmith-cli. File names are kept as the bytes given.
struct Options {
  bool toEnglish = false;
  Chain chain = Chain::kStored;  // the last of --hardcore and --standard wins
  std::optional<std::string> settingsFile;
  std::vector<std::string> files;  // in order; "-" is standard input; none means standard input
  unsigned jobs = 0;               // pieces translated at once; 0: one per online processor
  bool help = false;
  bool version = false;
  bool splitBytes = false;  // print where the input may be cut, instead of translating
};

struct ParsedArguments {
  Options options;
  bool usageError = false;  // the command line is wrong; standard error already says why
};

// The most jobs -j accepts.
inline constexpr unsigned kMaxJobs = 256;

// Reads the command line with getopt_long: short options may be bundled
// ("-rj4"), long ones abbreviated to any unambiguous prefix ("--to-e") and
// given their value as "--jobs=4" or "--jobs 4". Options may come before,
// between and after the files, which keep their order; "--" ends the options.
// The first wrong option is described on standard error in the C library's
// words, prefixed "glossmith-cli: ", and parsing stops there.
ParsedArguments ParseArguments(int argc, const char* const* argv);

// The short usage shown with a usage error, and the full --help text.
extern const char kUsage[];
extern const char kHelp[];

}  // namespace glossmith::cli
