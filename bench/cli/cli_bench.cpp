// glossmith-cli end to end, run as its own process exactly as a user runs it,
// next to cat in the same place:
//   file/...   100 MB of English prose (Debian's /usr/share/common-licenses
//              concatenated and repeated) or its L33T, from a file, output to
//              a file;
//   pipe/...   about 1 GB (copies of the same input) written into a pipe by
//              this program, output to a file;
//   line/...   a 10-byte line written into a pipe: the time until the first
//              byte of its translation comes back, once right after start
//              and then while the process runs and waits for input;
//   engine/... the translation engine alone on one thread, on the same text,
//              for how much of the end-to-end time the translation takes;
//   short/...  the first 10 MB of the English from a file next to all 100
//              MB, both started directly by this program (the launcher below
//              would add its own start, a large share of 10 MB's time): how
//              much of its speed on a long input the filter keeps on a
//              shorter one, where its fixed costs (starting, the first touch
//              of its memory) weigh ten times as much. cat's share on the
//              same two files is printed beside it: what starting and ending
//              a process leave of any filter's speed on this machine.
// Every run's output is compared with the engine's translation made in this
// process, after the clock has stopped. Times are wall-clock (the filter's
// threads and its reading and writing all count), medians of the repetitions;
// peak memory is the child's peak resident set size (wait4), the largest of
// the repetitions; MB/cpu-s is the input per second of the child's processor
// time, all threads (on a machine shared with other work, the wall-clock
// figures depend on how much of the processors the run gets). At the end a
// table lists every figure next to cat's and next to its bar. $GLOSSMITH_CLI
// names another glossmith-cli to measure instead (an older build, say).

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QString>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/support/english.h"
#include "core/engine/engine.h"
#include "core/rules/hardcore_table.h"
#include "core/rules/rule_set.h"
#include "store/inisettings.h"

extern char** environ;

namespace glossmith::bench {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kProseBytes = 100'000'000;
constexpr std::size_t kShortBytes = 10'000'000;
constexpr double kPipeBytes = 1e9;
constexpr double kMB = 1e6;
constexpr const char* kLaunch = "--launch";
constexpr int kReportFd = 3;

// 100 MB of English: the licenses of /usr/share/common-licenses repeated, or
// generated prose where that folder is missing; cut after the last line feed,
// so that copies of it join at a line break.
std::string Prose() {
  std::string text = LicenseProse(kProseBytes);
  if (text.empty()) text = EnglishProse(kProseBytes);
  text.resize(text.rfind('\n') + 1);
  return text;
}

struct Case {
  const char* name;
  const char* label;
  bool toEnglish, hardcore;
  const char* jobs;       // nullptr: the default
  double bar;             // MB/s
  bool shortToo = false;  // also the short/ rows (English to L33T only)
};

const Case kCases[] = {
    {"to_l33t", "English to L33T, standard", false, false, nullptr, 400, true},
    {"to_l33t_hardcore", "English to L33T, Hardcore", false, true, nullptr, 250},
    {"to_english", "L33T to English, standard", true, false, nullptr, 250},
    {"to_english_hardcore", "L33T to English, Hardcore", true, true, nullptr, 250},
    {"to_l33t_j1", "English to L33T, standard, -j 1", false, false, "1", 0, true},
    // Memory and time as the job count grows: the jobs share one translator.
    {"to_l33t_j2", "English to L33T, standard, -j 2", false, false, "2", 0},
    {"to_l33t_j16", "English to L33T, standard, -j 16", false, false, "16", 0},
    {"to_l33t_j64", "English to L33T, standard, -j 64", false, false, "64", 0},
    {"to_l33t_j256", "English to L33T, standard, -j 256", false, false, "256", 0},
};

// The inputs, the settings (the default Hardcore alphabet) and the expected
// outputs, in a private folder removed at exit.
class Workspace {
 public:
  Workspace() {
    std::string pattern = (fs::temp_directory_path() / "glossmith-cli-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    dir_ = pattern;
    IniSettings store(QString::fromStdString(settings().string()));
    WriteHardcoreDefaults(store);
    WriteHardcoreDefaults(rules_);

    english_ = Prose();
    for (const bool hardcore : {false, true}) {
      Translator(Direction::kEnglishToL33t, hardcore, ReadRuleSet(rules_, hardcore))
          .Translate(english_, l33t_[hardcore]);
      Translator(Direction::kL33tToEnglish, hardcore, ReadRuleSet(rules_, hardcore))
          .Translate(l33t_[hardcore], back_[hardcore]);
      Save(input(true, hardcore), l33t_[hardcore]);
    }
    Save(input(false, false), english_);
    // The first 10 MB, cut after a line feed, where the translation may be cut too.
    shortEnglish_ = english_.substr(0, english_.rfind('\n', kShortBytes) + 1);
    Translator(Direction::kEnglishToL33t, false, ReadRuleSet(rules_, false))
        .Translate(shortEnglish_, shortL33t_);
    Save(shortInput(), shortEnglish_);
  }
  ~Workspace() { fs::remove_all(dir_); }

  fs::path settings() const { return dir_ / "l33t.ini"; }
  fs::path output() const { return dir_ / "output"; }
  fs::path input(bool toEnglish, bool hardcore) const {
    return dir_ / (toEnglish ? (hardcore ? "hardcore.l33t" : "standard.l33t") : "english.txt");
  }
  fs::path shortInput() const { return dir_ / "english10.txt"; }
  const std::string& shortText() const { return shortEnglish_; }
  const std::string& shortExpected() const { return shortL33t_; }
  const MemorySettings& rules() const { return rules_; }
  const std::string& text(const Case& c) const { return c.toEnglish ? l33t_[c.hardcore] : english_; }
  const std::string& expected(const Case& c) const {
    return c.toEnglish ? back_[c.hardcore] : l33t_[c.hardcore];
  }

 private:
  static void Save(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
  }

  fs::path dir_;
  MemorySettings rules_;
  std::string english_, l33t_[2], back_[2];
  std::string shortEnglish_, shortL33t_;
};

const Workspace& workspace() {
  static const Workspace instance;
  return instance;
}

// --- child processes --------------------------------------------------------------

// The glossmith-cli of this build, or the one named by $GLOSSMITH_CLI (to
// compare with another build).
std::string CliPath() {
  const char* path = std::getenv("GLOSSMITH_CLI");
  return path && *path ? path : GLOSSMITH_CLI_PATH;
}

std::vector<std::string> CliArguments(const Case& c) {
  std::vector<std::string> args = {CliPath(), c.hardcore ? "--hardcore" : "--standard",
                                   "--settings", workspace().settings().string()};
  if (c.toEnglish) args.push_back("-r");
  if (c.jobs) args.insert(args.end(), {"-j", c.jobs});
  return args;
}

// A child with standard input and output as given; the others are closed in
// it. It runs under this program's launcher (Launch below): a child started
// from this large process would report this process's peak memory as its own
// (the kernel keeps the larger of the two across exec), so the launcher, a
// small process, forks the real one and reports its peak.
// What the launcher saw of the child: its peak resident set size and the
// processor time it used (user and system, all threads).
struct Usage {
  double peak = 0, cpu = 0;
};

struct Child {
  pid_t pid = 0;
  int report = -1;  // where the launcher writes the child's Usage

  Child(const std::vector<std::string>& args, int in, int out, bool launched = true) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], kReportFd);
    std::vector<char*> argv;
    if (launched) argv = {const_cast<char*>("/proc/self/exe"), const_cast<char*>(kLaunch)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = 0;
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    report = pipeFds[0];
    if (!launched) {
      close(report);
      report = -1;
    }
  }

  // Exit status 0, and the child's usage (zero when not launched); nothing on failure.
  std::optional<Usage> Wait() {
    int status = 0;
    char text[64] = {};
    const ssize_t got = report >= 0 ? read(report, text, sizeof text - 1) : 0;
    if (report >= 0) close(report);
    if (pid <= 0 || waitpid(pid, &status, 0) != pid || got < 0) return std::nullopt;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    Usage usage;
    if (got > 0) std::sscanf(text, "%lf %lf", &usage.peak, &usage.cpu);
    usage.peak *= 1024.0;
    return usage;
  }
};

// The launcher: runs argv[0] with its arguments, writes the peak resident set
// size of that process (KiB) and its processor time (seconds) to kReportFd
// and ends with its exit status.
int Launch(char** argv) {
  const pid_t child = fork();
  if (child == 0) {
    close(kReportFd);
    execv(argv[0], argv);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (child < 0 || wait4(child, &status, 0, &usage) != child) return 127;
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  const std::string report = std::to_string(usage.ru_maxrss) + " " +
                             std::to_string(seconds(usage.ru_utime) + seconds(usage.ru_stime));
  if (write(kReportFd, report.data(), report.size()) < 0) return 127;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int OpenOrDie(const fs::path& path, int flags) {
  const int fd = open(path.c_str(), flags | O_CLOEXEC, 0644);
  if (fd < 0) std::abort();
  return fd;
}

// True when the file holds `copies` copies of `expected`, read in blocks.
bool FileHolds(const fs::path& path, const std::string& expected, int copies) {
  std::error_code error;
  if (fs::file_size(path, error) != expected.size() * static_cast<std::size_t>(copies)) return false;
  std::ifstream file(path, std::ios::binary);
  std::string block(std::size_t{1} << 20, '\0');
  for (int copy = 0; copy < copies; ++copy) {
    for (std::size_t at = 0; at < expected.size(); at += block.size()) {
      const std::size_t size = std::min(block.size(), expected.size() - at);
      if (!file.read(block.data(), static_cast<std::streamsize>(size))) return false;
      if (std::memcmp(block.data(), expected.data() + at, size) != 0) return false;
    }
  }
  return true;
}

// --- figures -------------------------------------------------------------------------

struct Sample {
  double seconds = 0, bytes = 0;
  Usage usage;
};
std::map<std::string, std::vector<Sample>>& Samples() {
  static std::map<std::string, std::vector<Sample>> samples;
  return samples;
}

void Record(benchmark::State& state, const std::string& name, double seconds, double bytes,
            Usage usage) {
  state.SetIterationTime(seconds);
  Samples()[name].push_back({seconds, bytes, usage});
  if (bytes > 0) state.counters["MB/s"] = bytes / seconds / kMB;
  if (usage.peak > 0) state.counters["peak_rss_MB"] = usage.peak / kMB;
  if (usage.cpu > 0) state.counters["MB_per_cpu_s"] = bytes / usage.cpu / kMB;
}

// How a FileBench run goes: the 10 MB file instead of the case's own 100 MB
// (English only), and the child started directly rather than by the launcher
// (no peak memory or processor time then).
struct FileRun {
  bool shortInput = false;
  bool direct = false;
};

// One run from a file to a file: glossmith-cli, or cat when `cat`.
void FileBench(benchmark::State& state, const Case& c, bool cat, const std::string& name,
               FileRun run = {}) {
  const Workspace& w = workspace();
  const fs::path input = run.shortInput ? w.shortInput() : w.input(c.toEnglish, c.hardcore);
  const std::string& text = run.shortInput ? w.shortText() : w.text(c);
  const std::string& expected = cat ? text : run.shortInput ? w.shortExpected() : w.expected(c);
  for (auto _ : state) {
    fs::remove(w.output());
    const auto start = Clock::now();
    const int in = OpenOrDie(input, O_RDONLY);
    const int out = OpenOrDie(w.output(), O_WRONLY | O_CREAT | O_TRUNC);
    std::vector<std::string> args = cat ? std::vector<std::string>{"/bin/cat"} : CliArguments(c);
    args.push_back(input.string());
    Child child(args, in, out, !run.direct);
    close(in);
    close(out);
    const auto usage = child.Wait();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (!usage || !FileHolds(w.output(), expected, 1)) {
      state.SkipWithError("wrong output or failure");
      return;
    }
    Record(state, name, seconds, static_cast<double>(text.size()), *usage);
  }
}

// About 1 GB, copies of the input, written into a pipe by this process.
void PipeBench(benchmark::State& state, const Case& c, bool cat, const std::string& name) {
  const Workspace& w = workspace();
  const std::string& text = w.text(c);
  const int copies = std::max(1, static_cast<int>(kPipeBytes / static_cast<double>(text.size()) + 0.5));
  for (auto _ : state) {
    fs::remove(w.output());
    const auto start = Clock::now();
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) std::abort();
    const int out = OpenOrDie(w.output(), O_WRONLY | O_CREAT | O_TRUNC);
    Child child(cat ? std::vector<std::string>{"/bin/cat"} : CliArguments(c), pipeFds[0], out);
    close(pipeFds[0]);
    close(out);
    bool written = true;
    for (int copy = 0; copy < copies && written; ++copy) {
      for (std::size_t at = 0; at < text.size();) {
        const ssize_t n = write(pipeFds[1], text.data() + at, text.size() - at);
        if (n <= 0) {
          written = false;
          break;
        }
        at += static_cast<std::size_t>(n);
      }
    }
    close(pipeFds[1]);
    const auto usage = child.Wait();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (!written || !usage || !FileHolds(w.output(), cat ? text : w.expected(c), copies)) {
      state.SkipWithError("wrong output or failure");
      return;
    }
    Record(state, name, seconds, static_cast<double>(text.size()) * copies, *usage);
  }
}

// Seconds from writing `line` until a byte comes back on `from`.
std::optional<double> FirstByte(int to, int from, std::string_view line) {
  const auto start = Clock::now();
  if (write(to, line.data(), line.size()) != static_cast<ssize_t>(line.size())) return std::nullopt;
  pollfd ready{from, POLLIN, 0};
  if (poll(&ready, 1, 10000) != 1) return std::nullopt;
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  char answer[256];
  std::size_t got = 0;
  // The whole translation of the line ends with its line feed.
  while (got == 0 || answer[got - 1] != '\n') {
    const ssize_t n = read(from, answer + got, sizeof answer - got);
    if (n <= 0) return std::nullopt;
    got += static_cast<std::size_t>(n);
  }
  return seconds;
}

// A 10-byte line: right after the process starts (`started`), or while it
// runs and waits for input.
void LineBench(benchmark::State& state, bool cat, bool started, const std::string& name) {
  constexpr std::string_view kLine = "hack this\n";
  for (auto _ : state) {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) std::abort();
    Child child(cat ? std::vector<std::string>{"/bin/cat"}
                    : CliArguments({"", "", false, false, nullptr, 0}),
                in[0], out[1], false);
    close(in[0]);
    close(out[1]);
    std::optional<double> seconds = FirstByte(in[1], out[0], kLine);
    if (seconds && !started) {
      // Idle for a while, so that the next line finds every thread waiting.
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      seconds = FirstByte(in[1], out[0], kLine);
    }
    close(in[1]);
    close(out[0]);
    if (!child.Wait() || !seconds) {
      state.SkipWithError("no answer");
      return;
    }
    Record(state, name, *seconds, 0, {});
  }
}

// The engine alone, one thread, in blocks of 1 MiB cut after a line feed.
void EngineBench(benchmark::State& state, const Case& c, const std::string& name) {
  const Workspace& w = workspace();
  const std::string& text = w.text(c);
  const Translator translator(c.toEnglish ? Direction::kL33tToEnglish : Direction::kEnglishToL33t,
                              c.hardcore, ReadRuleSet(w.rules(), c.hardcore));
  std::string out, all;
  for (auto _ : state) {
    all.clear();
    double seconds = 0;
    for (std::size_t at = 0; at < text.size();) {
      std::string_view piece = std::string_view(text).substr(at, std::size_t{1} << 20);
      piece = piece.substr(0, piece.rfind('\n') + 1);
      const auto start = Clock::now();
      translator.Translate(piece, out);
      seconds += std::chrono::duration<double>(Clock::now() - start).count();
      at += piece.size();
      all += out;
    }
    if (all != w.expected(c)) {
      state.SkipWithError("wrong output");
      return;
    }
    Record(state, name, seconds, static_cast<double>(text.size()), {0, seconds});
  }
}

// --- registration and the table --------------------------------------------------------

struct Figure {
  std::string label, cli, cat, unit;
  double bar;  // 0: none; MB/s at least, or ms at most
};
std::vector<Figure>& Figures() {
  static std::vector<Figure> figures;
  return figures;
}

void RegisterAll() {
  const auto runs = [](benchmark::internal::Benchmark* b, int repetitions) {
    b->UseManualTime()->Iterations(1)->Repetitions(repetitions)->Unit(benchmark::kMillisecond);
  };
  for (const Case& c : kCases) {
    for (const char* where : {"file", "pipe"}) {
      const bool pipe = std::strcmp(where, "pipe") == 0;
      const std::string base = std::string(where) + "/" + c.name;
      for (const bool cat : {false, true}) {
        const std::string name = base + (cat ? "/cat" : "/cli");
        runs(benchmark::RegisterBenchmark(name.c_str(),
                                          [=](benchmark::State& s) {
                                            if (pipe) PipeBench(s, c, cat, name);
                                            else FileBench(s, c, cat, name);
                                          }),
             3);
      }
      Figures().push_back({c.label + std::string(pipe ? ", 1 GB through a pipe" : ", 100 MB file"),
                           base + "/cli", base + "/cat", "MB/s", c.bar});
    }
    const std::string engine = std::string("engine/") + c.name;
    if (!c.jobs) {
      runs(benchmark::RegisterBenchmark(engine.c_str(),
                                        [=](benchmark::State& s) { EngineBench(s, c, engine); }),
           3);
      Figures().push_back({std::string("  engine alone, one thread: ") + c.label, engine, "", "MB/s", 0});
    }
    if (c.shortToo) {
      for (const bool shortInput : {true, false}) {
        const std::string base = std::string("short/") + c.name + (shortInput ? "/10MB" : "/100MB");
        for (const bool cat : {false, true}) {
          const std::string name = base + (cat ? "/cat" : "/cli");
          runs(benchmark::RegisterBenchmark(name.c_str(),
                                            [=](benchmark::State& s) {
                                              FileBench(s, c, cat, name, {shortInput, true});
                                            }),
               shortInput ? 9 : 5);
        }
        Figures().push_back(
            {c.label + std::string(shortInput ? ", 10 MB" : ", 100 MB") + ", direct start",
             base + "/cli", base + "/cat", "MB/s", 0});
      }
    }
  }
  for (const bool started : {true, false}) {
    const std::string base = started ? "line/at_start" : "line/while_running";
    for (const bool cat : {false, true}) {
      const std::string name = base + (cat ? "/cat" : "/cli");
      runs(benchmark::RegisterBenchmark(
               name.c_str(), [=](benchmark::State& s) { LineBench(s, cat, started, name); }),
           started ? 9 : 21);
    }
    Figures().push_back({started ? "10-byte line, first byte back, just started"
                                 : "10-byte line, first byte back, while running",
                         base + "/cli", base + "/cat", "ms", started ? 2.0 : 10.0});
  }
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Median of one figure over a benchmark's samples: MB/s, or ms.
double Value(const std::vector<Sample>& samples, bool ms) {
  std::vector<double> values;
  for (const Sample& s : samples) values.push_back(ms ? s.seconds * 1e3 : s.bytes / s.seconds / kMB);
  return Median(values);
}

// Columns: the figure of glossmith-cli and of cat (medians), the bar, MB per
// second of processor time (all of glossmith-cli's threads, user and system:
// what the figure would be on one free processor), and the peak memory.
void PrintTable() {
  std::printf("\n%-54s %13s %13s %11s %10s %8s\n", "Figure (median; peak: largest)",
              "glossmith-cli", "cat", "bar", "MB/cpu-s", "peak MB");
  bool allMet = true;
  for (const Figure& f : Figures()) {
    const auto cli = Samples().find(f.cli);
    if (cli == Samples().end()) continue;  // filtered out or failed
    const bool ms = f.unit == "ms";
    const double value = Value(cli->second, ms);
    std::printf(ms ? "%-54s %8.2f %-4s" : "%-54s %8.1f %-4s", f.label.c_str(), value, f.unit.c_str());
    if (const auto cat = Samples().find(f.cat); cat != Samples().end())
      std::printf(ms ? " %8.2f %-4s" : " %8.1f %-4s", Value(cat->second, ms), f.unit.c_str());
    else
      std::printf(" %13s", "");
    bool met = true;
    if (f.bar > 0) {
      met = ms ? value < f.bar : value >= f.bar;
      std::printf(" %s%4.0f %-4s", ms ? "< " : ">=", f.bar, f.unit.c_str());
    } else {
      std::printf(" %11s", "");
    }
    std::vector<double> perCpu;
    double peak = 0;
    for (const Sample& s : cli->second) {
      if (s.usage.cpu > 0 && s.bytes > 0) perCpu.push_back(s.bytes / s.usage.cpu / kMB);
      peak = std::max(peak, s.usage.peak);
    }
    if (perCpu.empty())
      std::printf(" %10s", "");
    else
      std::printf(" %10.1f", Median(perCpu));
    if (peak > 0) {
      met = met && peak <= 64.0 * 1024 * 1024;
      std::printf(" %8.1f", peak / kMB);
    } else {
      std::printf(" %8s", "");
    }
    if (f.bar > 0 || peak > 0) std::printf("  %s", met ? "met" : "MISSED");
    allMet = allMet && met;
    std::printf("\n");
  }
  std::printf("%s (peak memory bar: 64 MiB)\n",
              allMet ? "Every bar that was measured is met." : "Some bar is not met.");
  for (const Case& c : kCases) {
    const std::string base = std::string("short/") + c.name;
    const auto share = [&](const char* program) -> std::optional<double> {
      const auto ten = Samples().find(base + "/10MB/" + program);
      const auto hundred = Samples().find(base + "/100MB/" + program);
      if (ten == Samples().end() || hundred == Samples().end()) return std::nullopt;
      return 100 * Value(ten->second, false) / Value(hundred->second, false);
    };
    const std::optional<double> cli = share("cli"), cat = share("cat");
    if (!cli) continue;
    std::printf("%s: 10 MB at %.0f %% of the speed on 100 MB (direct start)", c.label, *cli);
    if (cat) std::printf("; cat: %.0f %%", *cat);
    std::printf("\n");
  }
  std::printf("Online processors: %ld; load average now: ", sysconf(_SC_NPROCESSORS_ONLN));
  double load[3] = {};
  if (getloadavg(load, 3) == 3) std::printf("%.2f %.2f %.2f\n", load[0], load[1], load[2]);
}

}  // namespace
}  // namespace glossmith::bench

int main(int argc, char** argv) {
  if (argc > 2 && std::strcmp(argv[1], glossmith::bench::kLaunch) == 0)
    return glossmith::bench::Launch(argv + 2);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  glossmith::bench::RegisterAll();
  benchmark::RunSpecifiedBenchmarks();
  glossmith::bench::PrintTable();
  benchmark::Shutdown();
  return 0;
}
