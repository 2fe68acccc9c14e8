#include "Ledger.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUrlQuery>
#include <QUuid>
#include <QVariant>

using namespace Qt::StringLiterals;

namespace tavrenode::prog {

namespace {

struct StateName {
    UnitState state;
    const char16_t *name;
};

constexpr StateName kStates[] = {
    {UnitState::Pending, u"pending"},     {UnitState::Failed, u"failed"},
    {UnitState::Held, u"held"},           {UnitState::Programmed, u"programmed"},
    {UnitState::Uncertain, u"uncertain"},
};

std::optional<UnitState> stateOf(const QString &name) {
    for (const StateName &entry : kStates) {
        if (name == QStringView(entry.name))
            return entry.state;
    }
    return std::nullopt;
}

// PostgreSQL serialises taking and releasing units on this advisory lock, as SQLite does on
// its write lock: one statement's worth of work, so stations hardly ever wait on it.
constexpr qint64 kTakeLock = 0x7461'7672'656e'6f64; // "tavrenod"

// SQLite's primary result codes for a lock held by another connection.
constexpr auto kSqliteBusy = "5";
constexpr auto kSqliteLocked = "6";
// PostgreSQL's SQLSTATE for a lock that lock_timeout gave up on.
constexpr auto kPostgresLockTimeout = "55P03";

// The results of rows that record no try at the module.
bool countsAsFailure(const QString &result) {
    return result != u"ok" && result != u"released" && !result.startsWith(u"resolved-");
}

// Qt binds a null QString as NULL; the ledger's text columns are NOT NULL.
QString text(const QString &value) {
    return value.isNull() ? QString(u""_s) : value;
}

QString percentDecoded(const QString &text) {
    return QUrl::fromPercentEncoding(text.toUtf8());
}

} // namespace

QString stateName(UnitState state) {
    for (const StateName &entry : kStates) {
        if (entry.state == state)
            return QString::fromUtf16(entry.name);
    }
    return {};
}

std::variant<LedgerLocation, QString> parseLedgerLocation(const QString &argument) {
    LedgerLocation location;
    location.shown = argument;
    if (argument.isEmpty())
        return u"--ledger: give a file or a postgresql:// URL"_s;
    if (!argument.startsWith(u"postgresql://") && !argument.startsWith(u"postgres://")) {
        if (argument.contains(u"://"))
            return u"--ledger %1: give a file, or a postgresql://[USER@]HOST[:PORT]/DBNAME URL"_s
                .arg(argument);
        location.path = argument;
        return location;
    }
    // Parsed by hand: QUrl would take a host such as %2Frun%2Fpostgresql apart.
    location.engine = LedgerLocation::Engine::PostgreSQL;
    QString rest = argument.mid(argument.indexOf(u"://") + 3);
    const QString usage =
        u"--ledger %1: give postgresql://[USER@]HOST[:PORT]/DBNAME[?sslmode=MODE]"_s.arg(argument);
    if (const qsizetype query = rest.indexOf(u'?'); query >= 0) {
        const QUrlQuery items(rest.mid(query + 1));
        for (const auto &[key, value] : items.queryItems(QUrl::FullyDecoded)) {
            if (key != u"sslmode")
                return u"--ledger %1: %2 is not an option here; only sslmode is"_s.arg(argument,
                                                                                       key);
            location.sslMode = value;
        }
        rest.truncate(query);
    }
    const qsizetype slash = rest.indexOf(u'/');
    if (slash < 0)
        return usage;
    location.database = percentDecoded(rest.mid(slash + 1));
    QString authority = rest.left(slash);
    if (const qsizetype at = authority.lastIndexOf(u'@'); at >= 0) {
        location.user = percentDecoded(authority.left(at));
        authority.remove(0, at + 1);
        if (location.user.contains(u':'))
            return u"--ledger: a password does not go on the command line, where others can "
                   u"read it; put it into ~/.pgpass or PGPASSWORD"_s;
    }
    if (const qsizetype colon = authority.lastIndexOf(u':');
        colon >= 0 && !authority.endsWith(u']')) {
        bool ok = false;
        location.port = authority.mid(colon + 1).toInt(&ok);
        if (!ok || location.port < 1 || location.port > 65535)
            return u"--ledger %1: the port is a number from 1 to 65535"_s.arg(argument);
        authority.truncate(colon);
    }
    location.host = percentDecoded(authority);
    if (location.host.startsWith(u'[') && location.host.endsWith(u']'))
        location.host = location.host.mid(1, location.host.size() - 2);
    if (location.database.isEmpty() || location.database.contains(u'/'))
        return usage;
    return location;
}

// A transaction that is rolled back unless committed. Exclusive ones are one at a time
// across every station.
class Ledger::Transaction {
public:
    Transaction(Ledger &ledger, bool exclusive)
        : m_ledger(ledger) {
        const bool sqlite = ledger.m_location.engine == LedgerLocation::Engine::SQLite;
        QSqlQuery query(ledger.m_db);
        // IMMEDIATE takes SQLite's write lock at once: a read that later wants to write
        // could fail where waiting would have worked.
        m_open = query.exec(sqlite ? u"BEGIN IMMEDIATE"_s : u"BEGIN"_s);
        if (m_open && exclusive && !sqlite) {
            m_open = query.exec(u"SELECT pg_advisory_xact_lock(%1)"_s.arg(kTakeLock));
            if (!m_open)
                QSqlQuery(ledger.m_db).exec(u"ROLLBACK"_s);
        }
        if (!m_open)
            ledger.failOn(query, u"begin a transaction"_s);
    }
    ~Transaction() {
        if (m_open)
            QSqlQuery(m_ledger.m_db).exec(u"ROLLBACK"_s);
    }
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    [[nodiscard]] bool ok() const { return m_open; }
    [[nodiscard]] bool commit() {
        QSqlQuery query(m_ledger.m_db);
        const bool done = query.exec(u"COMMIT"_s);
        if (!done)
            m_ledger.failOn(query, u"commit"_s);
        else
            m_open = false;
        return done;
    }

private:
    Ledger &m_ledger;
    bool m_open = false;
};

Ledger::Ledger(LedgerLocation location, QString connection)
    : m_location(std::move(location))
    , m_connection(std::move(connection)) {}

Ledger::~Ledger() {
    if (m_db.isValid()) {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

bool Ledger::failWith(Fault fault, const QString &message) {
    m_fault = fault;
    m_error = message;
    return false;
}

bool Ledger::failOn(const QSqlError &error, const QString &doing) {
    const QString code = error.nativeErrorCode();
    const bool sqlite = m_location.engine == LedgerLocation::Engine::SQLite;
    if ((sqlite &&
         (code == QLatin1StringView(kSqliteBusy) || code == QLatin1StringView(kSqliteLocked))) ||
        (!sqlite && code == QLatin1StringView(kPostgresLockTimeout)))
        return failWith(Fault::Unavailable,
                        u"the ledger %1 stayed locked by another program for more than %2 s; "
                        u"nothing was changed"_s.arg(m_location.shown)
                            .arg(kLedgerLockWait.count() / 1000));
    QString reason = error.databaseText().trimmed();
    if (reason.isEmpty())
        reason = error.text().trimmed();
    return failWith(Fault::Unavailable,
                    u"the ledger %1: could not %2: %3"_s.arg(m_location.shown, doing, reason));
}

bool Ledger::failOn(const QSqlQuery &query, const QString &doing) {
    return failOn(query.lastError(), doing);
}

// An attempt row: unit, station, device, address, result, message, attempt, record hash,
// at the database's time.
QString Ledger::insertAttempt() const {
    return u"INSERT INTO tavrenode_attempts (unit, station, at_ms, device, address, result, "
           u"message, attempt, record_sha256) VALUES (?, ?, %1, ?, ?, ?, ?, ?, ?)"_s.arg(now());
}

// The database's own clock in milliseconds since 1970: one clock for every station.
QString Ledger::now() const {
    return m_location.engine == LedgerLocation::Engine::SQLite
               ? u"CAST(ROUND((julianday('now') - 2440587.5) * 86400000.0) AS INTEGER)"_s
               : u"CAST(EXTRACT(EPOCH FROM clock_timestamp()) * 1000 AS BIGINT)"_s;
}

bool Ledger::open(Open how) {
    const bool sqlite = m_location.engine == LedgerLocation::Engine::SQLite;
    if (sqlite) {
        if (const QString network = networkFileSystem(m_location.path); !network.isEmpty())
            return failWith(Fault::BadInput,
                            u"the ledger %1 is on a network file system (%2), where SQLite's "
                            u"locks do not hold; put the ledger into PostgreSQL for stations "
                            u"on several machines"_s.arg(m_location.path, network));
        if (how == Open::Existing && !QFileInfo::exists(m_location.path))
            return failWith(Fault::BadInput,
                            u"there is no ledger at %1; load units into it "
                            u"with tavrenode-prog ledger load"_s.arg(m_location.path));
    }
    m_db = QSqlDatabase::addDatabase(sqlite ? u"QSQLITE"_s : u"QPSQL"_s, m_connection);
    if (!m_db.isValid())
        return failWith(Fault::Unavailable,
                        u"Qt's %1 driver is not installed (package %2)"_s.arg(
                            sqlite ? u"SQLite"_s : u"PostgreSQL"_s,
                            sqlite ? u"libqt6sql6-sqlite"_s : u"libqt6sql6-psql"_s));
    if (sqlite) {
        m_db.setDatabaseName(m_location.path);
        m_db.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=%1"_s.arg(kLedgerLockWait.count()));
    } else {
        // The password, if any, comes from ~/.pgpass or PGPASSWORD, which libpq reads.
        m_db.setHostName(m_location.host);
        if (m_location.port > 0)
            m_db.setPort(m_location.port);
        m_db.setDatabaseName(m_location.database);
        m_db.setUserName(m_location.user);
        QString options = u"connect_timeout=10"_s;
        if (!m_location.sslMode.isEmpty())
            options += u";sslmode="_s + m_location.sslMode;
        m_db.setConnectOptions(options);
    }
    if (!m_db.open())
        return failOn(m_db.lastError(), u"be opened"_s);

    QSqlQuery query(m_db);
    if (sqlite) {
        // WAL lets stations read while one writes; FULL makes each commit survive a power
        // cut, which is what the ledger is for.
        if (!query.exec(u"PRAGMA journal_mode=WAL"_s) || !query.exec(u"PRAGMA synchronous=FULL"_s))
            return failOn(query, u"be read"_s);
    } else if (!query.exec(u"SET lock_timeout = %1"_s.arg(kLedgerLockWait.count()))) {
        return failOn(query, u"set its lock time-out"_s);
    }

    if (!m_db.tables().contains(u"tavrenode_meta"_s)) {
        if (how == Open::Existing)
            return failWith(Fault::BadInput, u"%1 holds no ledger yet; load units into it with "
                                             u"tavrenode-prog ledger load"_s.arg(m_location.shown));
        if (!createSchema())
            return false;
    }
    if (!query.exec(u"SELECT value FROM tavrenode_meta WHERE name = 'schema'"_s))
        return failOn(query, u"be read"_s);
    const int schema = query.next() ? query.value(0).toInt() : 0;
    if (schema > kLedgerSchema)
        return failWith(Fault::Unavailable,
                        u"the ledger %1 was made by a newer tavrenode-prog (schema %2; this one "
                        u"knows %3): use that version, nothing was changed"_s.arg(m_location.shown)
                            .arg(schema)
                            .arg(kLedgerSchema));
    if (schema < 1)
        return failWith(
            Fault::Unavailable,
            u"%1 has a tavrenode_meta table that is not a ledger's"_s.arg(m_location.shown));
    return readMetadataNames();
}

bool Ledger::createSchema() {
    const bool sqlite = m_location.engine == LedgerLocation::Engine::SQLite;
    Transaction transaction(*this, true);
    if (!transaction.ok())
        return false;
    // Another station may have made it while this one waited for the lock.
    if (m_db.tables().contains(u"tavrenode_meta"_s))
        return transaction.commit();
    const QStringList statements{
        u"CREATE TABLE tavrenode_meta (name VARCHAR(64) PRIMARY KEY, value TEXT NOT NULL)"_s,
        u"INSERT INTO tavrenode_meta VALUES ('schema', '%1')"_s.arg(kLedgerSchema),
        u"INSERT INTO tavrenode_meta VALUES ('metadata_names', '[]')"_s,
        // state: pending, failed (pending again), held, programmed, uncertain. station is
        // the last one to hold the unit; hold_token, lease_until and sending belong to the
        // hold under way.
        uR"(CREATE TABLE tavrenode_units (
            unit BIGINT PRIMARY KEY,
            state VARCHAR(16) NOT NULL,
            settings TEXT NOT NULL,
            record_sha256 VARCHAR(64) NOT NULL,
            name TEXT NOT NULL,
            pair_prefix TEXT NOT NULL,
            pin TEXT NOT NULL,
            metadata TEXT NOT NULL,
            station TEXT,
            hold_token VARCHAR(40),
            lease_until BIGINT,
            sending INTEGER NOT NULL DEFAULT 0,
            device TEXT NOT NULL DEFAULT '',
            address TEXT NOT NULL DEFAULT '',
            attempts INTEGER NOT NULL DEFAULT 0))"_s,
        u"CREATE INDEX tavrenode_units_state ON tavrenode_units (state, unit)"_s,
        uR"(CREATE TABLE tavrenode_attempts (
            id %1,
            unit BIGINT NOT NULL,
            station TEXT NOT NULL,
            at_ms BIGINT NOT NULL,
            device TEXT NOT NULL,
            address TEXT NOT NULL,
            result VARCHAR(32) NOT NULL,
            message TEXT NOT NULL,
            attempt INTEGER NOT NULL,
            record_sha256 VARCHAR(64) NOT NULL))"_s.arg(
            sqlite ? u"INTEGER PRIMARY KEY AUTOINCREMENT"_s : u"BIGSERIAL PRIMARY KEY"_s),
    };
    QSqlQuery query(m_db);
    for (const QString &statement : statements) {
        if (!query.exec(statement))
            return failOn(query, u"create its tables"_s);
    }
    return transaction.commit();
}

bool Ledger::readMetadataNames() {
    QSqlQuery query(m_db);
    if (!query.exec(u"SELECT value FROM tavrenode_meta WHERE name = 'metadata_names'"_s))
        return failOn(query, u"be read"_s);
    m_metadataNames.clear();
    if (query.next()) {
        const QJsonArray names = QJsonDocument::fromJson(query.value(0).toByteArray()).array();
        for (const auto &name : names)
            m_metadataNames.append(name.toString());
    }
    return true;
}

bool Ledger::load(const QList<LedgerEntry> &entries, const QStringList &metadataNames) {
    if (entries.isEmpty())
        return true;
    Transaction transaction(*this, true);
    if (!transaction.ok() || !readMetadataNames())
        return false;

    qint64 lowest = entries.constFirst().unit;
    qint64 highest = lowest;
    for (const LedgerEntry &entry : entries) {
        lowest = std::min(lowest, entry.unit);
        highest = std::max(highest, entry.unit);
    }
    QSqlQuery query(m_db);
    query.prepare(
        u"SELECT unit FROM tavrenode_units WHERE unit >= ? AND unit <= ? ORDER BY unit"_s);
    query.addBindValue(lowest);
    query.addBindValue(highest);
    if (!query.exec())
        return failOn(query, u"be read"_s);
    QSet<qint64> loading;
    for (const LedgerEntry &entry : entries)
        loading.insert(entry.unit);
    QStringList held;
    int more = 0;
    while (query.next()) {
        const qint64 unit = query.value(0).toLongLong();
        if (!loading.contains(unit))
            continue;
        if (held.size() < 5)
            held.append(QString::number(unit));
        else
            ++more;
    }
    if (!held.isEmpty())
        return failWith(Fault::BadInput,
                        u"the ledger %1 already holds unit%2 %3%4; nothing was loaded (give "
                        u"--first N to number these units after the others)"_s.arg(
                            m_location.shown, held.size() + more > 1 ? u"s"_s : QString(),
                            held.join(u", "_s),
                            more > 0 ? u" and %1 more"_s.arg(more) : QString()));

    QStringList names = m_metadataNames;
    for (const QString &name : metadataNames) {
        if (!names.contains(name))
            names.append(name);
    }
    query.prepare(u"INSERT INTO tavrenode_units (unit, state, settings, record_sha256, name, "
                  u"pair_prefix, pin, metadata) VALUES (?, 'pending', ?, ?, ?, ?, ?, ?)"_s);
    for (const LedgerEntry &entry : entries) {
        QJsonObject metadata;
        for (qsizetype i = 0; i < metadataNames.size(); ++i)
            metadata.insert(metadataNames[i], entry.metadata.value(i));
        query.addBindValue(entry.unit);
        query.addBindValue(QString::fromUtf8(entry.profile));
        query.addBindValue(QString::fromLatin1(entry.recordSha256));
        query.addBindValue(entry.name);
        query.addBindValue(entry.pairPrefix);
        query.addBindValue(entry.pin);
        query.addBindValue(
            QString::fromUtf8(QJsonDocument(metadata).toJson(QJsonDocument::Compact)));
        if (!query.exec())
            return failOn(query, u"store unit %1"_s.arg(entry.unit));
    }
    QSqlQuery stored(m_db);
    stored.prepare(u"UPDATE tavrenode_meta SET value = ? WHERE name = 'metadata_names'"_s);
    stored.addBindValue(QString::fromUtf8(
        QJsonDocument(QJsonArray::fromStringList(names)).toJson(QJsonDocument::Compact)));
    if (!stored.exec())
        return failOn(stored, u"store the metadata names"_s);
    if (!transaction.commit())
        return false;
    m_metadataNames = names;
    return true;
}

bool Ledger::releaseWhere(const QString &condition, const QString &station, const QString &why,
                          QList<Released> *released) {
    QSqlQuery held(m_db);
    held.prepare(u"SELECT unit, station, sending, device, address, attempts, record_sha256 FROM "
                 u"tavrenode_units WHERE state = 'held' AND (%1) ORDER BY unit"_s.arg(condition));
    if (!station.isEmpty())
        held.addBindValue(station);
    if (!held.exec())
        return failOn(held, u"be read"_s);
    QSqlQuery insert(m_db);
    insert.prepare(insertAttempt());
    QSqlQuery update(m_db);
    update.prepare(u"UPDATE tavrenode_units SET state = ?, hold_token = NULL, lease_until = NULL, "
                   u"sending = 0, attempts = attempts + 1 WHERE unit = ?"_s);
    while (held.next()) {
        const bool sent = held.value(2).toInt() != 0;
        insert.addBindValue(held.value(0));
        insert.addBindValue(held.value(1));
        insert.addBindValue(held.value(3));
        insert.addBindValue(held.value(4));
        insert.addBindValue(sent ? u"uncertain"_s : u"released"_s);
        insert.addBindValue(
            QString(why + (sent ? u" after it began to send: the module may hold this unit; see "
                                  u"tavrenode-prog ledger resolve."_s
                                : u" before it sent anything: the unit is pending again."_s)));
        insert.addBindValue(held.value(5).toInt() + 1);
        insert.addBindValue(sent ? held.value(6) : QVariant(u""_s));
        update.addBindValue(stateName(sent ? UnitState::Uncertain : UnitState::Pending));
        update.addBindValue(held.value(0));
        if (!insert.exec())
            return failOn(insert, u"record a released unit"_s);
        if (!update.exec())
            return failOn(update, u"release a unit"_s);
        if (released)
            released->append(
                {held.value(0).toLongLong(), sent ? UnitState::Uncertain : UnitState::Pending});
    }
    return true;
}

bool Ledger::releaseStale(const QString &station, QList<Released> *released) {
    Transaction transaction(*this, true);
    return transaction.ok() &&
           releaseWhere(u"lease_until < %1"_s.arg(now()) +
                            (station.isEmpty() ? QString() : u" AND station <> ?"_s),
                        station, u"The station's hold ran out"_s) &&
           (station.isEmpty() || releaseWhere(u"station = ?"_s, station,
                                              u"The station was started again"_s, released)) &&
           transaction.commit();
}

std::optional<HeldUnit> Ledger::take(const QString &station, std::chrono::milliseconds lease) {
    Transaction transaction(*this, true);
    if (!transaction.ok() ||
        !releaseWhere(u"lease_until < %1"_s.arg(now()), {}, u"The station's hold ran out"_s))
        return std::nullopt;
    QSqlQuery query(m_db);
    if (!query.exec(
            u"SELECT unit, settings, record_sha256, attempts, metadata FROM "
            u"tavrenode_units WHERE state IN ('pending', 'failed') ORDER BY unit LIMIT 1"_s))
        return failed(query, u"be read"_s);
    if (!query.next()) {
        [[maybe_unused]] const bool ended = transaction.commit();
        return std::nullopt;
    }
    HeldUnit held;
    held.unit = query.value(0).toLongLong();
    held.profile = query.value(1).toString().toUtf8();
    held.recordSha256 = query.value(2).toString().toLatin1();
    held.attempts = query.value(3).toInt();
    const QJsonObject metadata = QJsonDocument::fromJson(query.value(4).toByteArray()).object();
    for (const QString &name : std::as_const(m_metadataNames))
        held.metadata.append(metadata.value(name).toString());
    held.token = QUuid::createUuid().toString(QUuid::WithoutBraces);

    QSqlQuery update(m_db);
    update.prepare(
        u"UPDATE tavrenode_units SET state = 'held', station = ?, hold_token = ?, "
        u"lease_until = %1 + ?, sending = 0, device = '', address = '' WHERE unit = ?"_s.arg(
            now()));
    update.addBindValue(station);
    update.addBindValue(held.token);
    update.addBindValue(qint64(lease.count()));
    update.addBindValue(held.unit);
    if (!update.exec())
        return failed(update, u"hold unit %1"_s.arg(held.unit));
    if (!transaction.commit())
        return std::nullopt;
    return held;
}

bool Ledger::beginSending(const HeldUnit &held, const QString &device, const QString &address) {
    QSqlQuery query(m_db);
    query.prepare(u"UPDATE tavrenode_units SET sending = 1, device = ?, address = ? WHERE "
                  u"unit = ? AND hold_token = ? AND state = 'held'"_s);
    query.addBindValue(text(device));
    query.addBindValue(text(address));
    query.addBindValue(held.unit);
    query.addBindValue(held.token);
    if (!query.exec())
        return failOn(query, u"mark unit %1 as being sent"_s.arg(held.unit));
    return query.numRowsAffected() == 1;
}

bool Ledger::renew(const HeldUnit &held, std::chrono::milliseconds lease) {
    QSqlQuery query(m_db);
    query.prepare(u"UPDATE tavrenode_units SET lease_until = %1 + ? WHERE unit = ? AND "
                  u"hold_token = ? AND state = 'held'"_s.arg(now()));
    query.addBindValue(qint64(lease.count()));
    query.addBindValue(held.unit);
    query.addBindValue(held.token);
    if (!query.exec())
        return failOn(query, u"renew the hold on unit %1"_s.arg(held.unit));
    return query.numRowsAffected() == 1;
}

bool Ledger::finish(const HeldUnit &held, const LedgerAttempt &attempt, UnitState state,
                    bool *holdLost) {
    Transaction transaction(*this, false);
    if (!transaction.ok())
        return false;
    QSqlQuery insert(m_db);
    insert.prepare(insertAttempt());
    insert.addBindValue(held.unit);
    insert.addBindValue(text(attempt.station));
    insert.addBindValue(text(attempt.device));
    insert.addBindValue(text(attempt.address));
    insert.addBindValue(text(attempt.result));
    insert.addBindValue(text(attempt.message));
    insert.addBindValue(attempt.attempt);
    insert.addBindValue(text(QString::fromLatin1(attempt.recordSha256)));
    if (!insert.exec())
        return failOn(insert, u"record the attempt at unit %1"_s.arg(held.unit));

    const bool keep = state == UnitState::Held;
    QSqlQuery update(m_db);
    update.prepare(u"UPDATE tavrenode_units SET state = ?, sending = 0, attempts = attempts + 1%1 "
                   u"WHERE unit = ? AND hold_token = ? AND state = 'held'"_s.arg(
                       keep ? QString() : u", hold_token = NULL, lease_until = NULL"_s));
    update.addBindValue(stateName(state));
    update.addBindValue(held.unit);
    update.addBindValue(held.token);
    if (!update.exec())
        return failOn(update, u"record the state of unit %1"_s.arg(held.unit));
    const bool lost = update.numRowsAffected() != 1;
    if (holdLost)
        *holdLost = lost;
    if (lost && (state == UnitState::Programmed || state == UnitState::Uncertain)) {
        // Released meanwhile, perhaps handed out again: two modules may now carry it.
        QSqlQuery uncertain(m_db);
        uncertain.prepare(u"UPDATE tavrenode_units SET state = 'uncertain', hold_token = NULL, "
                          u"lease_until = NULL, sending = 0 WHERE unit = ?"_s);
        uncertain.addBindValue(held.unit);
        if (!uncertain.exec())
            return failOn(uncertain, u"record the state of unit %1"_s.arg(held.unit));
    }
    return transaction.commit();
}

bool Ledger::resolve(qint64 unit, Resolution resolution, const QString &station) {
    Transaction transaction(*this, true);
    if (!transaction.ok())
        return false;
    QSqlQuery query(m_db);
    query.prepare(
        u"SELECT state, attempts, record_sha256, device, address FROM tavrenode_units WHERE unit = ?"_s);
    query.addBindValue(unit);
    if (!query.exec())
        return failOn(query, u"be read"_s);
    if (!query.next())
        return failWith(Fault::BadInput,
                        u"the ledger %1 holds no unit %2"_s.arg(m_location.shown).arg(unit));
    if (query.value(0).toString() != stateName(UnitState::Uncertain))
        return failWith(Fault::BadInput, u"unit %1 is %2, not uncertain; only an uncertain unit "
                                         u"is resolved"_s.arg(unit)
                                             .arg(query.value(0).toString()));
    const bool programmed = resolution == Resolution::Programmed;
    QSqlQuery insert(m_db);
    insert.prepare(insertAttempt());
    insert.addBindValue(unit);
    insert.addBindValue(text(station));
    insert.addBindValue(query.value(3));
    insert.addBindValue(query.value(4));
    insert.addBindValue(programmed ? u"resolved-programmed"_s : u"resolved-retry"_s);
    insert.addBindValue(programmed ? u"Resolved: the module holds this unit."_s
                                   : u"Resolved: to be programmed again."_s);
    insert.addBindValue(query.value(1).toInt() + 1);
    insert.addBindValue(programmed ? query.value(2) : QVariant(u""_s));
    QSqlQuery update(m_db);
    update.prepare(
        u"UPDATE tavrenode_units SET state = ?, attempts = attempts + 1 WHERE unit = ?"_s);
    update.addBindValue(stateName(programmed ? UnitState::Programmed : UnitState::Pending));
    update.addBindValue(unit);
    if (!insert.exec() || !update.exec())
        return failOn(insert.lastError().isValid() ? insert.lastError() : update.lastError(),
                      u"record the decision on unit %1"_s.arg(unit));
    return transaction.commit();
}

std::optional<LedgerStatus> Ledger::status() {
    if (!releaseStale({}))
        return std::nullopt;
    LedgerStatus status;
    for (const StateName &entry : kStates)
        status.units[entry.state] = 0;
    QSqlQuery query(m_db);
    if (!query.exec(u"SELECT state, COUNT(*) FROM tavrenode_units GROUP BY state"_s))
        return failed(query, u"be read"_s);
    while (query.next()) {
        if (const std::optional<UnitState> state = stateOf(query.value(0).toString()))
            status.units[*state] = query.value(1).toInt();
    }
    if (!query.exec(u"SELECT station, state, COUNT(*) FROM tavrenode_units WHERE state IN "
                    u"('held', 'uncertain') GROUP BY station, state"_s))
        return failed(query, u"be read"_s);
    while (query.next()) {
        StationCounts &counts = status.stations[query.value(0).toString()];
        (query.value(1).toString() == u"held" ? counts.held : counts.uncertain) =
            query.value(2).toInt();
    }
    if (!query.exec(u"SELECT station, result, COUNT(*) FROM tavrenode_attempts GROUP BY "
                    u"station, result"_s))
        return failed(query, u"be read"_s);
    while (query.next()) {
        StationCounts &counts = status.stations[query.value(0).toString()];
        const QString result = query.value(1).toString();
        const int count = query.value(2).toInt();
        counts.attempts += count;
        if (result == u"ok")
            counts.programmed += count;
        else if (countsAsFailure(result))
            counts.failedAttempts += count;
    }
    if (!query.exec(u"SELECT u.unit, u.state, u.name, u.station, a.result, a.message FROM "
                    u"tavrenode_units u LEFT JOIN tavrenode_attempts a ON a.id = (SELECT "
                    u"MAX(id) FROM tavrenode_attempts WHERE unit = u.unit) WHERE u.state IN "
                    u"('uncertain', 'failed') ORDER BY u.unit"_s))
        return failed(query, u"be read"_s);
    while (query.next()) {
        status.notices.append({query.value(0).toLongLong(),
                               stateOf(query.value(1).toString()).value_or(UnitState::Failed),
                               query.value(2).toString(), query.value(3).toString(),
                               query.value(4).toString(), query.value(5).toString()});
    }
    return status;
}

std::optional<QList<LedgerAttempt>> Ledger::attempts() {
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.exec(u"SELECT a.unit, a.station, a.at_ms, a.device, a.address, a.result, "
                    u"a.message, a.attempt, a.record_sha256, u.name, u.pair_prefix, u.pin, "
                    u"u.metadata FROM tavrenode_attempts a JOIN tavrenode_units u ON u.unit = "
                    u"a.unit ORDER BY a.id"_s))
        return failed(query, u"be read"_s);
    QList<LedgerAttempt> rows;
    while (query.next()) {
        LedgerAttempt row;
        row.unit = query.value(0).toLongLong();
        row.station = query.value(1).toString();
        row.time = QDateTime::fromMSecsSinceEpoch(query.value(2).toLongLong())
                       .toUTC()
                       .toString(Qt::ISODateWithMs);
        row.device = query.value(3).toString();
        row.address = query.value(4).toString();
        row.result = query.value(5).toString();
        row.message = query.value(6).toString();
        row.attempt = query.value(7).toInt();
        row.recordSha256 = query.value(8).toString().toLatin1();
        row.name = query.value(9).toString();
        row.pairPrefix = query.value(10).toString();
        row.pin = query.value(11).toString();
        const QJsonObject metadata =
            QJsonDocument::fromJson(query.value(12).toString().toUtf8()).object();
        for (const QString &name : std::as_const(m_metadataNames))
            row.metadata.append(metadata.value(name).toString());
        rows.append(row);
    }
    return rows;
}

} // namespace tavrenode::prog
