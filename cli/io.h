#pragma once

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

// Why an input could not be read: its name as given and errno.
struct InputError {
  std::string name;
  int error = 0;
};

// Reads `files` ("-" is standard input) one after another into one text;
// no files means standard input. Every input is read even after a failure,
// so that all failures are reported; after a failure `text` is incomplete.
std::vector<InputError> ReadInputs(const std::vector<std::string>& files, std::string& text);

// Checks that `path` names a readable file: 0, or errno.
int CheckReadableFile(const std::string& path);

// Writes all of `data` to `fd`: 0, or errno.
int WriteAll(int fd, std::string_view data);

// "glossmith-cli: <what>: <reason>" on standard error.
void ReportError(std::string_view what, int error);

}  // namespace glossmith::cli
