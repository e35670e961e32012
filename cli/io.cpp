#include "cli/io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace glossmith::cli {
namespace {

constexpr std::size_t kMinGrowth = std::size_t{1} << 16;
// Bytes zero-filled and read per call; bounded so that a pipe, which hands
// over little at a time, does not make every call fill the whole spare room.
constexpr std::size_t kWindow = std::size_t{1} << 20;

// Reads `fd` to its end, appending to `out`. Returns 0 or errno.
int ReadAll(int fd, std::string& out) {
  struct stat info {};
  if (fstat(fd, &info) != 0) return errno;
  if (S_ISDIR(info.st_mode)) return EISDIR;
  if (S_ISREG(info.st_mode)) {
    // The rest of a regular file, plus one byte to see its end, fits without regrowing.
    const off_t at = lseek(fd, 0, SEEK_CUR);
    const off_t left = info.st_size - (at > 0 ? at : 0);
    if (left > 0) out.reserve(out.size() + static_cast<std::size_t>(left) + 1);
  }
  for (;;) {
    if (out.size() == out.capacity()) out.reserve(out.size() + std::max(out.size(), kMinGrowth));
    const std::size_t used = out.size();
    out.resize(std::min(out.capacity(), used + kWindow));
    const ssize_t got = read(fd, out.data() + used, out.size() - used);
    out.resize(used + (got > 0 ? static_cast<std::size_t>(got) : 0));
    if (got == 0) return 0;
    if (got < 0 && errno != EINTR) return errno;
  }
}

}  // namespace

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

std::vector<InputError> ReadInputs(const std::vector<std::string>& files, std::string& text) {
  static const std::vector<std::string> kStandardInput = {"-"};
  const std::vector<std::string>& names = files.empty() ? kStandardInput : files;
  // The regular files' sizes are known up front: room for all of them at
  // once, so that the text is not regrown and copied from file to file.
  std::size_t expected = 0;
  for (const std::string& name : names) {
    struct stat info {};
    if (name != "-" && stat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode))
      expected += static_cast<std::size_t>(info.st_size);
  }
  text.reserve(text.size() + expected + 1);

  std::vector<InputError> errors;
  for (const std::string& name : names) {
    int error = 0;
    if (name == "-") {
      error = ReadAll(STDIN_FILENO, text);
    } else if (const int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC); fd < 0) {
      error = errno;
    } else {
      error = ReadAll(fd, text);
      close(fd);
    }
    if (error) errors.push_back({name == "-" ? "standard input" : name, error});
  }
  return errors;
}

int CheckReadableFile(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  struct stat info {};
  const int error = fstat(fd, &info) != 0 ? errno : S_ISDIR(info.st_mode) ? EISDIR : 0;
  close(fd);
  return error;
}

int WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t written = write(fd, data.data(), data.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
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

}  // namespace glossmith::cli
