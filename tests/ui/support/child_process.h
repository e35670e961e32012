#pragma once

#include <QProcessEnvironment>
#include <QStringList>

namespace glossmith::ui::testing {

// Set in the environment of a child test process to the settings folder
// (XDG_CONFIG_HOME) it must use instead of a fresh temporary one.
inline constexpr char kConfigHomeVariable[] = "GLOSSMITH_TEST_CONFIG_HOME";

// Runs this test binary again as a new process, restricted to `testName`
// ("Suite.Test"), with this process's XDG_CONFIG_HOME handed down and the
// extra `environment` entries set. Returns the child's exit code, or -1 when
// it did not run to its end; its output is forwarded to this process's.
int runTestInChildProcess(const QString& testName, const QProcessEnvironment& environment);

}  // namespace glossmith::ui::testing
