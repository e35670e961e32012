// Reads or writes one value of a settings file from a process of its own, so
// that tests see what another run of the program would see.
//
//   store_probe FILE read SECTION KEY          prints the value, byte for byte
//   store_probe FILE write SECTION KEY VALUE
#include <QFile>

#include <cstdio>
#include <string>
#include <string_view>

#include "store/inisettings.h"

int main(int argc, char** argv) {
  if (argc < 5) return 2;
  glossmith::IniSettings store(QFile::decodeName(argv[1]));
  const std::string_view command = argv[2];
  if (command == "read" && argc == 5) {
    const std::string value = store.Read(glossmith::kApp, argv[3], argv[4]);
    return std::fwrite(value.data(), 1, value.size(), stdout) == value.size() ? 0 : 1;
  }
  if (command == "write" && argc == 6) {
    store.Write(glossmith::kApp, argv[3], argv[4], argv[5]);
    return 0;
  }
  return 2;
}
