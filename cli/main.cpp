// glossmith-cli: the window's translations as a filter on raw bytes.
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <limits>
#include <new>
#include <string>

#include "cli/io.h"
#include "cli/options.h"
#include "cli/stream.h"
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

unsigned DefaultJobs() {
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  return static_cast<unsigned>(std::clamp<long>(online, 1, cli::kMaxJobs));
}

int Run(const cli::Options& options) {
  if (options.help) return Emit(cli::kHelp);
  if (options.version) return Emit(std::string("glossmith-cli (") + kApplicationTitle + ") " +
                                   kVersionString + "\n");

  // The rules are read once, here, and compiled once for every job. A
  // missing file that was not given by name (the user's default) holds no
  // settings, as in the window.
  gls::Rules rules;
  const gls_status loaded = gls_rules_load_settings(
      rules.get(), options.settingsFile ? options.settingsFile->c_str() : nullptr);
  if (loaded == GLS_E_SETTINGS) {
    const int error = errno;
    cli::ReportError(options.settingsFile ? *options.settingsFile : gls::SettingsPath(), error);
    return 1;
  }
  gls::Check(loaded);
  const gls::Mode mode = options.chain == cli::Chain::kStored     ? gls::Mode::kStored
                         : options.chain == cli::Chain::kHardcore ? gls::Mode::kHardcore
                                                                  : gls::Mode::kStandard;
  const gls::Translator translator(
      rules, options.toEnglish ? gls::Direction::kL33tToEnglish : gls::Direction::kEnglishToL33t,
      mode);
  if (options.splitBytes) return Emit(cli::SplitBytesReport(translator, options.toEnglish));

  std::vector<cli::Input> inputs;
  const std::vector<cli::InputError> errors = cli::OpenInputs(options.files, inputs);
  if (!errors.empty()) {
    for (const cli::InputError& e : errors) cli::ReportError(e.name, e.error);
    cli::CloseInputs(inputs);
    return 1;
  }

  cli::StreamOptions stream;
  // More jobs than processors would only hold more pieces in memory: the
  // translator runs at most one compiled copy per processor at a time.
  stream.jobs = options.jobs > 0 ? std::min(options.jobs, DefaultJobs()) : DefaultJobs();
  // Reads of 1 MiB, smaller with many jobs, so that the 2 x jobs pieces in
  // flight stay near 32 MiB of input at most.
  stream.readSize = std::clamp<std::size_t>((std::size_t{32} << 20) / (2 * stream.jobs),
                                            std::size_t{64} << 10, std::size_t{1} << 20);
  const cli::StreamResult result = cli::TranslateStream(inputs, STDOUT_FILENO, translator, stream);
  cli::CloseInputs(inputs);

  if (result.error) cli::ReportError(result.error == ENOMEM ? "input" : "jobs", result.error);
  const int output = FinishOutput(result.writeError);
  return result.readFailed || result.error ? 1 : output;
}

}  // namespace

int main(int argc, char** argv) {
  // Buffers here and in the library come and go in sizes from 64 KiB to
  // megabytes. By default glibc maps each such block afresh and unmaps it when
  // freed, so every new one costs a page fault per page touched; taken from
  // the heap, and with the heap never trimmed, a freed block's pages are
  // reused as they are.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, std::numeric_limits<int>::max());
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
  } catch (const gls::Error& e) {
    cli::ReportError("rules", e.status() == GLS_E_NOMEM ? ENOMEM : EINVAL);
    return 1;
  }
}
