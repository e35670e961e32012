// glossmith-cli: the window's translations as a filter on raw bytes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <new>
#include <string>

#include "cli/io.h"
#include "cli/options.h"
#include "cli/stream.h"
#include "core/rules/hardcore_table.h"
#include "glossmith/version.h"
#include "store/inisettings.h"

namespace {

using namespace glossmith;

// More than this from a settings pipe is no settings file (think /dev/zero).
constexpr std::size_t kMaxSettingsBytes = std::size_t{64} << 20;

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

// Where QSettings reads the settings of this run. A pipe or FIFO (say
// `--settings <(cat team.ini)`) gives its bytes only once: they go into a
// private temporary file, which is parsed exactly as a named file and removed
// once the values are read.
struct SettingsFile {
  QString path;
  std::string copy;  // the temporary file, when there is one

  ~SettingsFile() {
    if (!copy.empty()) unlink(copy.c_str());
  }
};

// Opens `file` for the run; `what` names a failure. A missing file that was
// not given by name (the user's default) holds no settings, as in the window.
int OpenSettings(const std::string& file, bool given, SettingsFile& settings, std::string& what) {
  what = file;
  settings.path = QFile::decodeName(file.c_str());
  const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return !given && (errno == ENOENT || errno == ENOTDIR) ? 0 : errno;
  struct stat info {};
  int error = fstat(fd, &info) != 0 ? errno : S_ISDIR(info.st_mode) ? EISDIR : 0;
  if (error || S_ISREG(info.st_mode)) {
    close(fd);
    // QSettings can only open a name that is UTF-8.
    if (!error && QFile::encodeName(settings.path).toStdString() != file) error = EILSEQ;
    return error;
  }

  std::string bytes;
  error = cli::ReadAll(fd, kMaxSettingsBytes, bytes);
  close(fd);
  if (error) return error;
  what = "temporary copy of " + file;
  std::string name = QFile::encodeName(QDir::tempPath()).toStdString() + "/glossmith-cli-XXXXXX";
  const int copy = mkostemp(name.data(), O_CLOEXEC);  // mode 0600
  if (copy < 0) return errno;
  settings.copy = name;
  error = cli::WriteAll(copy, bytes);
  if (close(copy) != 0 && !error) error = errno;
  settings.path = QFile::decodeName(name.c_str());
  return error;
}

// Reads the values a run uses once, here, so that QSettings is used on this
// thread only and every job sees the same rules: the Custom string list and,
// in Hardcore mode, the 26 letters. Returns whether the run is in Hardcore
// mode; `chain` kStored follows "usehard" as the window does at start-up.
bool ReadRules(const QString& path, cli::Chain chain, MemorySettings& rules) {
  const IniSettings store(path);
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
    SettingsFile settings;
    std::string what;
    const std::string file = options.settingsFile.value_or(
        QFile::encodeName(IniSettings::defaultFilePath()).toStdString());
    if (const int error = OpenSettings(file, options.settingsFile.has_value(), settings, what)) {
      cli::ReportError(what, error);
      return 1;
    }
    hardcore = ReadRules(settings.path, options.chain, rules);
  }

  std::vector<cli::Input> inputs;
  const std::vector<cli::InputError> errors = cli::OpenInputs(options.files, inputs);
  if (!errors.empty()) {
    for (const cli::InputError& e : errors) cli::ReportError(e.name, e.error);
    cli::CloseInputs(inputs);
    return 1;
  }

  cli::StreamOptions stream;
  stream.direction = options.toEnglish ? Direction::kL33tToEnglish : Direction::kEnglishToL33t;
  stream.hardcore = hardcore;
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
