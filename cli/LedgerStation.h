#pragma once

#include "Ledger.h"
#include "RunLoop.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace tavrenode::prog {

// The hash of the record the settings give: what a load stores and a station checks.
[[nodiscard]] QByteArray settingsRecordSha256(const ModuleSettings &settings);

// Renews the hold on the unit a station works on, on a connection and a thread of its own,
// so that a long wait (a module that is slow to come, a Bluetooth pairing) keeps it.
class LeaseKeeper {
public:
    LeaseKeeper(LedgerLocation location, std::chrono::milliseconds lease);
    ~LeaseKeeper();
    LeaseKeeper(const LeaseKeeper &) = delete;
    LeaseKeeper &operator=(const LeaseKeeper &) = delete;

    void keep(const HeldUnit &held);
    void drop();

private:
    void run();

    LedgerLocation m_location;
    std::chrono::milliseconds m_lease;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<HeldUnit> m_held;
    bool m_stop = false;
    std::thread m_thread;
};

// The units of a ledger, as one station takes them.
class LedgerStation final : public UnitSource {
public:
    LedgerStation(Ledger &ledger, QString station, std::chrono::milliseconds lease);

    std::optional<PlannedUnit> next() override;
    bool sending(const QString &device, const QString &address) override;
    bool ended(const AttemptEnd &attempt, bool again) override;
    [[nodiscard]] QString failure() const override { return m_failure; }
    [[nodiscard]] QStringList metadataNames() const override { return m_ledger.metadataNames(); }
    [[nodiscard]] qsizetype total(qsizetype taken) const override { return taken; }

private:
    bool failed(const QString &message);

    Ledger &m_ledger;
    QString m_station;
    std::chrono::milliseconds m_lease;
    LeaseKeeper m_keeper;
    std::optional<HeldUnit> m_held;
    int m_taken = 0;
    QString m_failure;
};

} // namespace tavrenode::prog
