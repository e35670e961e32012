#include "cli/options.h"

#include <getopt.h>
#include <unistd.h>

#include <string>
#include <string_view>
#include <vector>

#include "cli/io.h"

namespace glossmith::cli {

const char kUsage[] =
    "Usage: glossmith-cli [-r|--to-english] [--hardcore|--standard] [--settings FILE] [-j N]\n"
    "                     [--split-bytes] [FILE...]\n"
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
    "  -j, --jobs N         translate up to N pieces at once, at most one per online\n"
    "                       processor (the default); the output is the same for every N\n"
    "      --split-bytes    translate nothing: show the bytes the text may be cut\n"
    "                       right after, with the settings, direction and mode\n"
    "                       given, and whether line feed is one of them (then the\n"
    "                       input may be split into lines, as by 'parallel --pipe')\n"
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

// Codes of the long options that have no short form.
enum : int { kHardcore = 256, kStandard, kSettings, kVersion, kSplitBytes };

constexpr option kLongOptions[] = {
    {"to-english", no_argument, nullptr, 'r'},
    {"hardcore", no_argument, nullptr, kHardcore},
    {"standard", no_argument, nullptr, kStandard},
    {"settings", required_argument, nullptr, kSettings},
    {"jobs", required_argument, nullptr, 'j'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kVersion},
    {"split-bytes", no_argument, nullptr, kSplitBytes},
    {nullptr, 0, nullptr, 0},
};

// The leading '-' hands every file back in its place (code 1) instead of
// moving the files behind the options, so that options after files work
// whatever POSIXLY_CORRECT says.
constexpr char kShortOptions[] = "-rhj:";

}  // namespace

ParsedArguments ParseArguments(int argc, const char* const* argv) {
  ParsedArguments parsed;
  Options& options = parsed.options;
  const auto wrong = [&parsed](const std::string& problem) {
    WriteAll(STDERR_FILENO, "glossmith-cli: " + problem + "\n");
    parsed.usageError = true;
    return parsed;
  };

  // getopt_long names the program by argv[0], and every other message says
  // "glossmith-cli" whatever path started it. It only reads the strings.
  char program[] = "glossmith-cli";
  std::vector<char*> args{program};
  for (int i = 1; i < argc; ++i) args.push_back(const_cast<char*>(argv[i]));
  args.push_back(nullptr);
  const int count = static_cast<int>(args.size()) - 1;

  optind = 0;  // glibc: start afresh, whatever an earlier parse left
  opterr = 1;
  for (;;) {
    const int code = getopt_long(count, args.data(), kShortOptions, kLongOptions, nullptr);
    if (code == -1) break;
    switch (code) {
      case 1:
        options.files.emplace_back(optarg);
        break;
      case 'r':
        options.toEnglish = true;
        break;
      case kHardcore:
        options.chain = Chain::kHardcore;
        break;
      case kStandard:
        options.chain = Chain::kStandard;
        break;
      case 'h':
        options.help = true;
        break;
      case kVersion:
        options.version = true;
        break;
      case kSplitBytes:
        options.splitBytes = true;
        break;
      case 'j':
        options.jobs = ParseJobs(optarg);
        if (options.jobs == 0)
          return wrong("option '--jobs' needs a number from 1 to " + std::to_string(kMaxJobs));
        break;
      case kSettings:
        if (*optarg == '\0') return wrong("option '--settings' needs a FILE");
        options.settingsFile = optarg;
        break;
      default:  // getopt_long has said what is wrong
        parsed.usageError = true;
        return parsed;
    }
  }
  // What follows "--".
  for (int i = optind; i < count; ++i) options.files.emplace_back(args[i]);
  return parsed;
}

}  // namespace glossmith::cli
