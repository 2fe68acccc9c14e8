#include "LedgerStation.h"

#include "Profile.h"
#include "RecordEncoder.h"
#include "SettingsStore.h"
#include "UserMessage.h"

#include <cstdio>

using namespace Qt::StringLiterals;

namespace tavrenode::prog {

namespace {

// Record building's own messages do not matter here: the record's hash is compared.
class NoMessages final : public MessageSink {
public:
    void show(const UserMessage & /*message*/) override {}
};

} // namespace

QByteArray settingsRecordSha256(const ModuleSettings &settings) {
    ConfigRecord record{};
    NoMessages messages;
    build(settings, record, messages);
    return recordSha256(record);
}

LeaseKeeper::LeaseKeeper(LedgerLocation location, std::chrono::milliseconds lease)
    : m_location(std::move(location))
    , m_lease(lease)
    , m_thread([this] { run(); }) {}

LeaseKeeper::~LeaseKeeper() {
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void LeaseKeeper::keep(const HeldUnit &held) {
    const std::lock_guard lock(m_mutex);
    m_held = held;
}

void LeaseKeeper::drop() {
    const std::lock_guard lock(m_mutex);
    m_held.reset();
}

void LeaseKeeper::run() {
    // Its own connection: Qt's may only be used on the thread that opened them.
    std::optional<Ledger> ledger;
    std::unique_lock lock(m_mutex);
    while (!m_wake.wait_for(lock, m_lease / 3, [this] { return m_stop; })) {
        if (!m_held)
            continue;
        const HeldUnit held = *m_held;
        lock.unlock();
        if (!ledger) {
            ledger.emplace(m_location, u"tavrenode-lease"_s);
            if (!ledger->open(Ledger::Open::Existing))
                ledger.reset();
        }
        // A renewal that fails is tried again next time; a hold that was lost shows when
        // the attempt is recorded.
        if (ledger && !ledger->renew(held, m_lease) && ledger->fault() != Ledger::Fault::None)
            ledger.reset();
        lock.lock();
    }
}

LedgerStation::LedgerStation(Ledger &ledger, QString station, std::chrono::milliseconds lease)
    : m_ledger(ledger)
    , m_station(std::move(station))
    , m_lease(lease)
    , m_keeper(ledger.location(), lease) {}

bool LedgerStation::failed(const QString &message) {
    m_failure = message;
    return false;
}

std::optional<PlannedUnit> LedgerStation::next() {
    m_held = m_ledger.take(m_station, m_lease);
    if (!m_held) {
        if (m_ledger.fault() != Ledger::Fault::None)
            failed(m_ledger.error());
        else if (m_taken == 0)
            std::fprintf(stderr, "No unit is pending in %s.\n",
                         qPrintable(m_ledger.location().shown));
        return std::nullopt;
    }
    ++m_taken;
    m_keeper.keep(*m_held);
    PlannedUnit unit;
    unit.number = m_held->unit;
    unit.metadata = m_held->metadata;
    unit.settings = SettingsStore::defaults();
    // The settings as loaded must still give the record they gave then: another version
    // of this program on one station must not send something else.
    if (const std::optional<ProfileError> error = readProfile(m_held->profile, unit.settings)) {
        failed(u"unit %1: the ledger's settings do not read: %2"_s.arg(m_held->unit)
                   .arg(error->describe()));
        return std::nullopt;
    }
    if (settingsRecordSha256(unit.settings) != m_held->recordSha256) {
        failed(u"unit %1: its settings give another record here than when they were loaded; "
               u"nothing was sent (is this station's tavrenode-prog another version?)"_s.arg(
                   m_held->unit));
        return std::nullopt;
    }
    return unit;
}

bool LedgerStation::sending(const QString &device, const QString &address) {
    if (!m_held)
        return false;
    if (m_ledger.beginSending(*m_held, device, address))
        return true;
    if (m_ledger.fault() != Ledger::Fault::None)
        return failed(m_ledger.error());
    // Released meanwhile (this station was stuck beyond its lease): another one has it.
    m_keeper.drop();
    m_held.reset();
    return false;
}

bool LedgerStation::ended(const AttemptEnd &attempt, bool again) {
    if (!m_held)
        return true;
    const TransferOutcome &outcome = attempt.outcome;
    const UnitState state = outcome.programmed()                            ? UnitState::Programmed
                            : again                                         ? UnitState::Held
                            : mayHoldRecord(outcome)                        ? UnitState::Uncertain
                            : outcome.result == TransferResult::Interrupted ? UnitState::Pending
                                                                            : UnitState::Failed;
    LedgerAttempt row;
    row.unit = m_held->unit;
    row.station = m_station;
    row.device = attempt.device;
    row.address = attempt.address;
    row.result = state == UnitState::Uncertain ? u"uncertain"_s : attempt.result;
    row.message = state == UnitState::Uncertain
                      ? attempt.message + u" The last block went out unanswered: the module "
                                          u"may hold this unit."_s
                      : attempt.message;
    row.attempt = m_held->attempts + attempt.number;
    row.recordSha256 = attempt.sha256;
    bool lost = false;
    if (!m_ledger.finish(*m_held, row, state, &lost))
        return failed(m_ledger.error());
    if (lost)
        std::fprintf(stderr,
                     "tavrenode-prog: unit %lld: this station's hold had run out meanwhile%s\n",
                     static_cast<long long>(m_held->unit),
                     state == UnitState::Programmed || state == UnitState::Uncertain
                         ? "; the unit is now uncertain, see tavrenode-prog ledger status"
                         : "");
    else if (state == UnitState::Uncertain)
        std::fprintf(stderr,
                     "tavrenode-prog: unit %lld is uncertain: the module may hold it; it is not "
                     "handed out again until tavrenode-prog ledger resolve says so\n",
                     static_cast<long long>(m_held->unit));
    if (!again) {
        m_keeper.drop();
        m_held.reset();
    }
    return true;
}

} // namespace tavrenode::prog
