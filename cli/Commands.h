#pragma once

#include <QStringList>

namespace tavrenode::prog {

// Runs one tavrenode-prog command line (the program's name first) and returns its exit
// code. A QCoreApplication must exist; Ctrl-C and SIGTERM stop a run under way.
[[nodiscard]] int runCommand(QStringList arguments);

} // namespace tavrenode::prog
