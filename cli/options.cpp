#include "cli/options.h"

#include <string>
#include <string_view>

namespace glossmith::cli {

const char kUsage[] =
    "Usage: glossmith-cli [-r|--to-english] [--hardcore|--standard] [--settings FILE] [-j N]\n"
    "                     [FILE...]\n"
    "Try 'glossmith-cli --help' for more information.\n";

const char kHelp[] =
    "Usage: glossmith-cli [OPTIONS] [FILE...]\n"
    "Translates English to L33T, or L33T to English, exactly as the Glossmith\n"
    "window does, with the custom strings and the Hardcore alphabet of its settings.\n"
    "\n"
    "Reads the FILEs one after another as one text, or standard input when no FILE\n"
    "is given, and writes the translation to standard output. Bytes that no rule\n"
    "looks for pass through unchanged: line breaks are not converted and no newline\n"
    "is added.\n"
    "\n"
    "The text is translated as it arrives: each piece that ends just after a byte no\n"
    "rule looks for (with the built-in rules, a line feed) is written at once, so a\n"
    "line typed into a pipe comes back without waiting for the end of input. Where\n"
    "the rules leave no such byte, or none comes for a long stretch, the text is\n"
    "held in memory until one comes or the input ends.\n"
    "\n"
    "Options:\n"
    "  -r, --to-english     translate L33T to English (default: English to L33T)\n"
    "      --hardcore       use Hardcore L33T\n"
    "      --standard       use standard L33T; with neither option, Hardcore L33T is\n"
    "                       used when the stored \"usehard\" setting is \"yes\", as in\n"
    "                       the window; when both are given, the last one counts\n"
    "      --settings FILE  read the settings from FILE instead of\n"
    "                       $XDG_CONFIG_HOME/glossmith/l33t.ini (~/.config/...);\n"
    "                       FILE may be a pipe, such as <(command)\n"
    "  -j, --jobs N         translate up to N pieces at once (default: one per online\n"
    "                       processor); the output is the same for every N\n"
    "  -h, --help           show this help and exit\n"
    "      --version        show the version and exit\n"
    "\n"
    "A FILE of \"-\" stands for standard input; \"--\" ends the options.\n"
    "glossmith-cli never writes the settings.\n"
    "\n"
    "Exit status: 0 on success; 1 when a FILE or the settings file cannot be opened\n"
    "(nothing is written then), a read fails later (what was written stays) or\n"
    "standard output cannot be written; 2 for a wrong option. When the reader of\n"
    "standard output goes away, glossmith-cli ends quietly, as cat does.\n";

namespace {

// "N" as a number of jobs, or 0 when it is none.
unsigned ParseJobs(std::string_view text) {
  unsigned jobs = 0;
  if (text.empty() || text.size() > 4) return 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return 0;
    jobs = jobs * 10 + static_cast<unsigned>(c - '0');
  }
  return jobs <= kMaxJobs ? jobs : 0;
}

}  // namespace

ParsedArguments ParseArguments(int argc, const char* const* argv) {
  ParsedArguments parsed;
  Options& options = parsed.options;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (optionsEnded || arg == "-" || arg.empty() || arg.front() != '-') {
      options.files.emplace_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "-r" || arg == "--to-english") {
      options.toEnglish = true;
    } else if (arg == "--hardcore") {
      options.chain = Chain::kHardcore;
    } else if (arg == "--standard") {
      options.chain = Chain::kStandard;
    } else if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "-j" || arg == "--jobs" || arg.starts_with("--jobs=") ||
               (arg.starts_with("-j") && arg.size() > 2)) {
      std::string_view number;
      if (arg.starts_with("--jobs=")) {
        number = arg.substr(7);
      } else if (arg.starts_with("-j") && arg.size() > 2) {
        number = arg.substr(2);
      } else if (i + 1 < argc) {
        number = argv[++i];
      }
      options.jobs = ParseJobs(number);
      if (options.jobs == 0) {
        parsed.error = "option '--jobs' needs a number from 1 to " + std::to_string(kMaxJobs);
        return parsed;
      }
    } else if (arg == "--settings" || arg.starts_with("--settings=")) {
      std::string_view file;
      if (arg != "--settings") {
        file = arg.substr(arg.find('=') + 1);
      } else if (i + 1 < argc) {
        file = argv[++i];
      }
      if (file.empty()) {
        parsed.error = "option '--settings' needs a FILE";
        return parsed;
      }
      options.settingsFile = std::string(file);
    } else {
      parsed.error = "unknown option '" + std::string(arg) + "'";
      return parsed;
    }
  }
  return parsed;
}

}  // namespace glossmith::cli
