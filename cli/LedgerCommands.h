#pragma once

#include "CommandLine.h"
#include "RunLoop.h"

#include <span>

class QCommandLineParser;

namespace tavrenode::prog {

// ledger load, status, report and resolve.
[[nodiscard]] std::span<const Command> ledgerCommands();

// program's --ledger, --station and --lease.
void stationOptions(QCommandLineParser &parser);

// program --ledger: a station that takes its units from the ledger until none is left.
[[nodiscard]] int runStation(QCommandLineParser &parser, RunOptions options);

} // namespace tavrenode::prog
