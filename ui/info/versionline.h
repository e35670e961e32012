#pragma once

#include <QString>

namespace glossmith::ui {

// The About window's version line: "Version v.<major>.<minor> Beta Build #0<revision>",
// each number in plain decimal. The "0" after the number sign is part of the
// text, not padding: revision 5 reads "#05", revision 1234 reads "#01234".
QString aboutVersionLine(unsigned major, unsigned minor, unsigned revision);

}  // namespace glossmith::ui
