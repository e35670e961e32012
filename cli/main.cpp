// glossmith-cli: the window's translations as a filter on raw bytes.
#include <unistd.h>

#include <QFile>

#include <csignal>
#include <cerrno>
#include <new>
#include <string>

#include "cli/io.h"
#include "cli/options.h"
#include "core/translate.h"
#include "glossmith/version.h"
#include "store/inisettings.h"

namespace {

using namespace glossmith;

int Emit(std::string_view text) {
  if (const int error = cli::WriteAll(STDOUT_FILENO, text)) {
    cli::ReportError("standard output", error);
    return 1;
  }
  if (close(STDOUT_FILENO) != 0 && errno != EINTR) {
    cli::ReportError("standard output", errno);
    return 1;
  }
  return 0;
}

// The settings file as given; QSettings can only open a name that is UTF-8.
int OpenSettings(const std::string& file, QString& path) {
  if (const int error = cli::CheckReadableFile(file)) return error;
  path = QFile::decodeName(file.c_str());
  return QFile::encodeName(path).toStdString() == file ? 0 : EILSEQ;
}

int Run(const cli::Options& options) {
  if (options.help) return Emit(cli::kHelp);
  if (options.version) return Emit(std::string("glossmith-cli (") + kApplicationTitle + ") " +
                                   kVersionString + "\n");

  QString settingsPath = IniSettings::defaultFilePath();
  if (options.settingsFile) {
    if (const int error = OpenSettings(*options.settingsFile, settingsPath)) {
      cli::ReportError(*options.settingsFile, error);
      return 1;
    }
  }
  std::string text;
  const std::vector<cli::InputError> errors = cli::ReadInputs(options.files, text);
  for (const cli::InputError& e : errors) cli::ReportError(e.name, e.error);
  if (!errors.empty()) return 1;

  const IniSettings store(settingsPath);
  const bool hardcore = options.chain == cli::Chain::kStored
                            ? store.Read(kApp, kSectionGeneral, kKeyUseHard) == "yes"
                            : options.chain == cli::Chain::kHardcore;
  std::string result = options.toEnglish ? L33tToEnglish(text, hardcore, store)
                                         : EnglishToL33t(text, hardcore, store);
  std::string().swap(text);
  return Emit(result);
}

}  // namespace

int main(int argc, char** argv) {
  cli::OccupyStandardDescriptors();
  // A reader that went away shows up as EPIPE from write(), reported like any write error.
  std::signal(SIGPIPE, SIG_IGN);

  const cli::ParsedArguments parsed = cli::ParseArguments(argc, argv);
  if (!parsed.error.empty()) {
    cli::WriteAll(STDERR_FILENO, "glossmith-cli: " + parsed.error + "\n" + cli::kUsage);
    return 2;
  }
  try {
    return Run(parsed.options);
  } catch (const std::bad_alloc&) {
    cli::ReportError("input", ENOMEM);
    return 1;
  }
}
