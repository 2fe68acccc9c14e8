#pragma once

#include "ModuleSettings.h"
#include "UnitSettings.h"

#include <atomic>
#include <optional>
#include <variant>

#include <QList>
#include <QString>

class QCommandLineParser;

namespace tavrenode::prog {

// What every command shares: its outputs, the stop flag that Ctrl-C sets, and the settings
// options.

// Set by Ctrl-C and SIGTERM while a command runs.
extern std::atomic<bool> g_cancel;

void out(const QString &text); // data, on stdout
void err(const QString &text); // for people, on stderr
// Says what is wrong with the input and returns the exit code for it.
int fail(const QString &message);

// A whole number from least to most, or nothing.
[[nodiscard]] std::optional<qint64> count(const QString &text, qint64 least,
                                          qint64 most = 1LL << 31);

// --defaults, --profile and --set.
void settingsOptions(QCommandLineParser &parser);
// The settings from those options, before any batch row; the --set assignments go to sets.
[[nodiscard]] std::variant<ModuleSettings, QString> commonSettings(QCommandLineParser &parser,
                                                                   QList<Assignment> &sets);

// A command of the command table: its options, its work, its positional argument if any.
struct Command {
    const char *name = nullptr;
    const char *summary = nullptr;
    int (*run)(QCommandLineParser &parser) = nullptr; // none: it has subcommands
    void (*options)(QCommandLineParser &parser) = nullptr;
    const char *positional = nullptr;
};

} // namespace tavrenode::prog
