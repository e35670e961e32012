#include "cli/io.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

namespace glossmith::cli {

void OccupyStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // Opened the wrong way round, so that standard input and output still fail
    // as closed ones do; standard error just goes nowhere.
    const int opened = open("/dev/null", fd == 0 ? O_WRONLY : fd == 1 ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) {
      dup2(opened, fd);
      close(opened);
    }
  }
}

std::vector<InputError> OpenInputs(const std::vector<std::string>& files,
                                   std::vector<Input>& inputs) {
  static const std::vector<std::string> kStandardInput = {"-"};
  const std::vector<std::string>& names = files.empty() ? kStandardInput : files;
  // Every FILE stays open until its turn: room for as many as the system allows.
  if (rlimit limit{}; names.size() > 64 && getrlimit(RLIMIT_NOFILE, &limit) == 0) {
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
  std::vector<InputError> errors;
  for (const std::string& name : names) {
    const bool standard = name == "-";
    Input input{standard ? "standard input" : name, standard ? STDIN_FILENO : -1};
    if (!standard) input.fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    int error = 0;
    if (input.fd < 0) {
      error = errno;
    } else if (fstat(input.fd, &info) != 0) {
      error = errno;
    } else if (S_ISDIR(info.st_mode)) {
      error = EISDIR;
    }
    if (error) {
      if (!standard && input.fd >= 0) close(input.fd);
      errors.push_back({input.name, error});
    } else {
      inputs.push_back(std::move(input));
    }
  }
  return errors;
}

void CloseInputs(std::vector<Input>& inputs) {
  for (const Input& input : inputs)
    if (input.fd != STDIN_FILENO) close(input.fd);
  inputs.clear();
}

int ReadAll(int fd, std::size_t limit, std::string& out) {
  constexpr std::size_t kStep = std::size_t{1} << 16;
  for (;;) {
    const std::size_t used = out.size();
    if (used > limit) return EFBIG;
    out.resize(used + kStep);
    const ssize_t got = read(fd, out.data() + used, kStep);
    out.resize(used + (got > 0 ? static_cast<std::size_t>(got) : 0));
    if (got == 0) return 0;
    if (got < 0 && errno != EINTR) return errno;
  }
}

int WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t written = write(fd, data.data(), data.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      if (errno != EAGAIN) return errno;
      // A descriptor left non-blocking by whoever gave it: wait until it takes more.
      pollfd ready{fd, POLLOUT, 0};
      if (poll(&ready, 1, -1) < 0 && errno != EINTR) return errno;
      continue;
    }
    data.remove_prefix(static_cast<std::size_t>(written));
  }
  return 0;
}

void ReportError(std::string_view what, int error) {
  std::string line = "glossmith-cli: ";
  line += what;
  line += ": ";
  line += std::strerror(error);
  line += '\n';
  WriteAll(STDERR_FILENO, line);
}

void EndOfReader() {
  std::signal(SIGPIPE, SIG_DFL);
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_UNBLOCK, &pipe, nullptr);
  raise(SIGPIPE);
  _exit(128 + SIGPIPE);  // not reached: the default action ends the process
}

}  // namespace glossmith::cli
