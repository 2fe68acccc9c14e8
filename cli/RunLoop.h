#pragma once

#include "BlockProtocol.h"
#include "ModuleSettings.h"

#include <atomic>
#include <chrono>
#include <optional>

#include <QList>
#include <QString>
#include <QStringList>

namespace tavrenode::prog {

// Exit codes, as --help and the README give them.
enum Exit : int {
    kProgrammed = 0,
    kBatchFailed = 1,
    kBadInput = 2,
    kOpenFailed = 3,
    kWriteFailed = 4,
    kReadFailed = 5,
    kWrongAcknowledgement = 6,
    kNotPaired = 7, // a Bluetooth module that is not paired, or refused the pairing PIN
    kInterrupted = 130,
};

// How long a batch waits before it tries a failed unit again, unless told.
inline constexpr std::chrono::milliseconds kRetryDelay = 1s;

struct RunOptions {
    std::optional<std::int32_t> port; // --port: in place of the settings' port
    QString device;                   // --device: any serial device
    QString bluetooth;                // --bluetooth: the module's address, no serial device
    bool bluetoothLine = false;       // --bluetooth-line: each unit the next module found
    QString namePrefix;               // --name-prefix: what the line's modules are called
    QString pairPin;                  // --pair-pin: pairs a module that is not paired
    bool keepPaired = false;          // --keep-paired: keep a pairing the run made
    std::chrono::milliseconds timeout = kPortTimeout;
    bool batch = false; // --units or --count: exit 1 for any failure
    bool wait = false;
    int retries = 0;
    std::chrono::milliseconds retryDelay = kRetryDelay;
    bool quiet = false;
    bool json = false;
    QString report;
    bool reportPins = false;
};

struct PlannedUnit {
    qint64 number = 1; // the sequence number templates see
    ModuleSettings settings;
    QStringList metadata;
};

// Programs the units one after the other, reporting on stderr, as JSON Lines on stdout and
// in the report as asked. Stops at once when cancel is set. Returns the exit code.
[[nodiscard]] int programUnits(const QList<PlannedUnit> &units, const QStringList &metadataNames,
                               const RunOptions &options, const std::atomic<bool> &cancel);

} // namespace tavrenode::prog
