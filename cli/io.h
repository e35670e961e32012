#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace glossmith::cli {

// Plain POSIX input and output on raw bytes: no locale, no line-ending
// conversion.

// Points any closed descriptor among 0, 1 and 2 at /dev/null, so that files
// opened later cannot take their numbers. A closed standard input or output
// keeps failing (EBADF) and is reported like any other read or write error.
void OccupyStandardDescriptors();

// Why an input could not be opened or read: its name as reported and errno.
struct InputError {
  std::string name;
  int error = 0;
};

// One open input: a FILE, or standard input.
struct Input {
  std::string name;  // as reported: the FILE as given, or "standard input"
  int fd = -1;
};

// Opens `files` ("-" is standard input; none means standard input) in order,
// all of them before anything is read, so that a missing or unreadable one is
// known before any output. A folder counts as unreadable (EISDIR). Returns
// every failure; the inputs that did open are in `inputs` (close them with
// CloseInputs).
std::vector<InputError> OpenInputs(const std::vector<std::string>& files,
                                   std::vector<Input>& inputs);
void CloseInputs(std::vector<Input>& inputs);

// Reads `fd` to its end into `out`: 0, or errno (EFBIG past `limit` bytes).
int ReadAll(int fd, std::size_t limit, std::string& out);

// Writes all of `data` to `fd`: 0, or errno.
int WriteAll(int fd, std::string_view data);

// "glossmith-cli: <what>: <reason>" on standard error.
void ReportError(std::string_view what, int error);

// Ends the process as SIGPIPE's default action does, whatever the inherited
// disposition: the quiet end of a filter whose reader went away.
[[noreturn]] void EndOfReader();

}  // namespace glossmith::cli
