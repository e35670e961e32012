// glossmith-cli translating a 100 MB English file into a file, run as its own
// process. The figure is the child's peak resident set size (wait4's
// ru_maxrss), reported next to the bound it must stay under: three times the
// size of input plus output.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QString>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/window/english_text.h"
#include "core/hardcore_table.h"
#include "store/inisettings.h"

extern char** environ;

namespace glossmith::bench {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kInputBytes = std::size_t{100} << 20;

// A private folder with the input file and a settings file holding the
// Hardcore letters; removed at exit.
class Workspace {
 public:
  Workspace() {
    std::string pattern = (fs::temp_directory_path() / "glossmith-cli-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    dir_ = pattern;
    std::ofstream(input(), std::ios::binary) << EnglishText(kInputBytes);
    IniSettings store(QString::fromStdString(settings().string()));
    WriteHardcoreDefaults(store);
  }
  ~Workspace() { fs::remove_all(dir_); }

  fs::path input() const { return dir_ / "input.txt"; }
  fs::path output() const { return dir_ / "output.txt"; }
  fs::path settings() const { return dir_ / "l33t.ini"; }

 private:
  fs::path dir_;
};

const Workspace& workspace() {
  static const Workspace instance;
  return instance;
}

struct Run {
  bool ok = false;
  long peakKilobytes = 0;
};

// Runs glossmith-cli with stdout sent to the output file and waits for it.
Run runCli(const char* chain) {
  const Workspace& files = workspace();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, files.output().c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const std::string settings = files.settings().string();
  const std::string input = files.input().string();
  char* argv[] = {const_cast<char*>(GLOSSMITH_CLI_PATH), const_cast<char*>(chain),
                  const_cast<char*>("--settings"), const_cast<char*>(settings.c_str()),
                  const_cast<char*>(input.c_str()), nullptr};
  pid_t child = 0;
  const int spawned = posix_spawn(&child, GLOSSMITH_CLI_PATH, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return {};

  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) return {};
  return {WIFEXITED(status) && WEXITSTATUS(status) == 0, usage.ru_maxrss};
}

void BM_CliPeakMemory100MB(benchmark::State& state) {
  const char* chain = state.range(0) ? "--hardcore" : "--standard";
  Run run;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    run = runCli(chain);
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (!run.ok) {
      state.SkipWithError("glossmith-cli failed");
      return;
    }
  }
  const auto input = static_cast<double>(fs::file_size(workspace().input()));
  const auto output = static_cast<double>(fs::file_size(workspace().output()));
  const double peak = static_cast<double>(run.peakKilobytes) * 1024.0;
  state.counters["input_bytes"] = input;
  state.counters["output_bytes"] = output;
  state.counters["peak_rss_bytes"] = peak;
  state.counters["limit_bytes"] = 3.0 * (input + output);
  state.counters["peak_per_in_out"] = peak / (input + output);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(input));
}

BENCHMARK(BM_CliPeakMemory100MB)
    ->ArgName("hardcore")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace glossmith::bench

BENCHMARK_MAIN();
