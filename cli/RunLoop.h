#pragma once

#include "BlockProtocol.h"
#include "ConfigRecord.h"
#include "ModuleSettings.h"
#include "ProgrammingTransfer.h"

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
    kNotPaired = 7,    // a Bluetooth module that is not paired, or refused the pairing PIN
    kLedgerFailed = 8, // the ledger could not be reached, read or written
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

// One attempt at a unit as it ended.
struct AttemptEnd {
    qint64 unit = 0;
    int number = 1; // from 1, for this unit in this run
    QString device;
    QString address; // a Bluetooth module's; empty for a serial device
    QString result;  // as the report has it: "ok", "wrong-acknowledgement", ...
    QString message;
    QByteArray sha256;
    TransferOutcome outcome;
};

// The module may hold the record although the run did not see it acknowledged: the last
// block went out, or was going out, when the run ended.
[[nodiscard]] bool mayHoldRecord(const TransferOutcome &outcome);

[[nodiscard]] QByteArray recordSha256(const ConfigRecord &record);

// Where a run's units come from, and what it is told of each attempt.
class UnitSource {
public:
    virtual ~UnitSource() = default;
    // The next unit; nullopt when none is left, or on a fault (failure() then says what).
    virtual std::optional<PlannedUnit> next() = 0;
    // Just before the first byte of an attempt goes out; false sends nothing.
    virtual bool sending(const QString &device, const QString &address) = 0;
    // An attempt ended; again: the run tries the unit once more. False on a fault.
    virtual bool ended(const AttemptEnd &attempt, bool again) = 0;
    [[nodiscard]] virtual QString failure() const = 0;
    [[nodiscard]] virtual QStringList metadataNames() const = 0;
    // The units the summary counts: all that were planned, or those taken.
    [[nodiscard]] virtual qsizetype total(qsizetype taken) const = 0;
};

// The units of one process's batch, planned in full before the run.
class PlannedUnits final : public UnitSource {
public:
    PlannedUnits(QList<PlannedUnit> units, QStringList metadataNames)
        : m_units(std::move(units))
        , m_metadataNames(std::move(metadataNames)) {}

    std::optional<PlannedUnit> next() override {
        if (m_next >= m_units.size())
            return std::nullopt;
        return m_units[m_next++];
    }
    bool sending(const QString &, const QString &) override { return true; }
    bool ended(const AttemptEnd &, bool) override { return true; }
    [[nodiscard]] QString failure() const override { return {}; }
    [[nodiscard]] QStringList metadataNames() const override { return m_metadataNames; }
    [[nodiscard]] qsizetype total(qsizetype /*taken*/) const override { return m_units.size(); }

private:
    QList<PlannedUnit> m_units;
    QStringList m_metadataNames;
    qsizetype m_next = 0;
};

// Programs the units one after the other, reporting on stderr, as JSON Lines on stdout and
// in the report as asked. Stops at once when cancel is set. Returns the exit code.
[[nodiscard]] int programUnits(UnitSource &units, const RunOptions &options,
                               const std::atomic<bool> &cancel);

} // namespace tavrenode::prog
