// glossmith-cli: the window's translations as a filter on raw bytes.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <new>
#include <string>

#include "cli/io.h"
#include "cli/options.h"
#include "cli/stream.h"
#include "core/files/ini_settings.h"
#include "core/rules/hardcore_table.h"
#include "glossmith/version.h"

namespace {

using namespace glossmith;

// Closes standard output after the last write. A reader that went away ends
// the process quietly, as it ends cat; any other failure is reported.
int FinishOutput(int error) {
  if (error == 0 && close(STDOUT_FILENO) != 0 && errno != EINTR) error = errno;
  if (error == EPIPE) cli::EndOfReader();
  if (error == 0) return 0;
  cli::ReportError("standard output", error);
  return 1;
}

int Emit(std::string_view text) { return FinishOutput(cli::WriteAll(STDOUT_FILENO, text)); }

// Reads the values a run uses once, here, so that every job sees the same
// rules: the Custom string list and, in Hardcore mode, the 26 letters.
// Returns whether the run is in Hardcore mode; `chain` kStored follows
// "usehard" as the window does at start-up.
bool ReadRules(const Settings& store, cli::Chain chain, MemorySettings& rules) {
  const auto copy = [&](std::string_view section, std::string_view key) {
    static_cast<void>(rules.Write(kApp, section, key, store.Read(kApp, section, key)));
  };
  const bool hardcore =
      chain == cli::Chain::kStored ? StoredHardcoreSwitch(store) : chain == cli::Chain::kHardcore;
  copy(kSectionChange, kKeySearch);
  copy(kSectionChange, kKeyReplace);
  if (hardcore)
    for (char letter = 'A'; letter <= 'Z'; ++letter) copy(kSectionHardcore, LetterKey(letter));
  return hardcore;
}

unsigned DefaultJobs() {
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  return static_cast<unsigned>(std::clamp<long>(online, 1, cli::kMaxJobs));
}

int Run(const cli::Options& options) {
  if (options.help) return Emit(cli::kHelp);
  if (options.version) return Emit(std::string("glossmith-cli (") + kApplicationTitle + ") " +
                                   kVersionString + "\n");

  MemorySettings rules;
  bool hardcore = false;
  {
    // A missing file that was not given by name (the user's default) holds
    // no settings, as in the window.
    const std::string file = options.settingsFile.value_or(DefaultSettingsPath());
    std::string bytes;
    if (const int error = ReadSettingsFile(file, options.settingsFile.has_value(), bytes)) {
      cli::ReportError(file, error);
      return 1;
    }
    hardcore = ReadRules(IniFileSettings(bytes), options.chain, rules);
  }

  cli::StreamOptions stream;
  stream.direction = options.toEnglish ? Direction::kL33tToEnglish : Direction::kEnglishToL33t;
  stream.hardcore = hardcore;
  if (options.splitBytes) return Emit(cli::SplitBytesReport(rules, stream));

  std::vector<cli::Input> inputs;
  const std::vector<cli::InputError> errors = cli::OpenInputs(options.files, inputs);
  if (!errors.empty()) {
    for (const cli::InputError& e : errors) cli::ReportError(e.name, e.error);
    cli::CloseInputs(inputs);
    return 1;
  }

  stream.jobs = options.jobs > 0 ? options.jobs : DefaultJobs();
  // Blocks of 1 MiB, smaller with many jobs, so that the 2 x jobs pieces in
  // flight stay near 32 MiB of input at most.
  stream.blockSize = std::clamp<std::size_t>((std::size_t{32} << 20) / (2 * stream.jobs),
                                             std::size_t{64} << 10, std::size_t{1} << 20);
  const cli::StreamResult result = cli::TranslateStream(inputs, STDOUT_FILENO, rules, stream);
  cli::CloseInputs(inputs);

  if (result.error) cli::ReportError(result.error == ENOMEM ? "input" : "jobs", result.error);
  const int output = FinishOutput(result.writeError);
  return result.readFailed || result.error ? 1 : output;
}

}  // namespace

int main(int argc, char** argv) {
  cli::OccupyStandardDescriptors();
  // A reader that went away shows up as EPIPE from write(); FinishOutput then
  // ends the process by SIGPIPE.
  std::signal(SIGPIPE, SIG_IGN);

  const cli::ParsedArguments parsed = cli::ParseArguments(argc, argv);
  if (parsed.usageError) {
    cli::WriteAll(STDERR_FILENO, cli::kUsage);
    return 2;
  }
  try {
    return Run(parsed.options);
  } catch (const std::bad_alloc&) {
    cli::ReportError("input", ENOMEM);
    return 1;
  }
}
