#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <variant>

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace tavrenode::prog {

using namespace std::chrono_literals;

// A batch shared by several stations: each unit with its complete settings, its state and
// every attempt at it, in an SQLite file or a PostgreSQL database. Taking a unit is atomic
// across stations; a station holds the unit it works on under a lease that it renews, and a
// hold that is not renewed in time is released: pending again when nothing was sent,
// uncertain once the station began to send (the module may hold the unit's name and PIN).

inline constexpr int kLedgerSchema = 1;
// How long an SQLite ledger waits for another station's lock, and PostgreSQL for a row's.
inline constexpr std::chrono::milliseconds kLedgerLockWait = 5s;
inline constexpr std::chrono::seconds kDefaultLease = 30s;

// Where a ledger is: a file, or postgresql://[USER@]HOST[:PORT]/DBNAME[?sslmode=MODE].
struct LedgerLocation {
    enum class Engine { SQLite, PostgreSQL };
    Engine engine = Engine::SQLite;
    QString path; // SQLite
    QString user; // PostgreSQL; the others empty for libpq's defaults
    QString host;
    int port = 0;
    QString database;
    QString sslMode;
    QString shown; // how messages name it
};

// The location a --ledger argument names, or why it names none.
[[nodiscard]] std::variant<LedgerLocation, QString> parseLedgerLocation(const QString &argument);

// The name of the network file system path is on (for SQLite's sake), or empty.
[[nodiscard]] QString networkFileSystem(const QString &path);

enum class UnitState { Pending, Failed, Held, Programmed, Uncertain };
[[nodiscard]] QString stateName(UnitState state);

// A unit as a load stores it.
struct LedgerEntry {
    qint64 unit = 0;
    QByteArray profile; // the unit's complete settings
    QByteArray recordSha256;
    QString name;
    QString pairPrefix;
    QString pin;
    QStringList metadata; // values of the load's metadata names
};

// A unit taken by a station.
struct HeldUnit {
    qint64 unit = 0;
    QByteArray profile;
    QByteArray recordSha256;
    QString token;        // this hold's
    int attempts = 0;     // attempts before this hold
    QStringList metadata; // in the order of metadataNames()
};

// One attempt as the ledger records it; time is set by the ledger.
struct LedgerAttempt {
    qint64 unit = 0;
    QString station;
    QString time; // UTC, ISO 8601 with milliseconds
    QString device;
    QString address;
    QString result;
    QString message;
    int attempt = 1;
    QByteArray recordSha256;
    // Of the unit, for the report.
    QString name;
    QString pairPrefix;
    QString pin;
    QStringList metadata;
};

struct StationCounts {
    int held = 0;
    int programmed = 0;
    int uncertain = 0;
    int attempts = 0;
    int failedAttempts = 0;
};

// A unit that needs someone's attention: uncertain, or failed and pending again.
struct UnitNotice {
    qint64 unit = 0;
    UnitState state = UnitState::Pending;
    QString name;
    QString station;
    QString result;
    QString message;
};

struct LedgerStatus {
    QMap<UnitState, int> units;
    QMap<QString, StationCounts> stations;
    QList<UnitNotice> notices;
};

enum class Resolution { Programmed, Retry };

class Ledger {
public:
    enum class Fault {
        None,
        BadInput,    // the caller's: units already loaded, an unknown unit, not uncertain
        Unavailable, // cannot be reached, opened, read or written; locked; newer schema
    };
    enum class Open { Existing, CreateIfMissing };

    // connection names the Qt SQL connection; each thread needs its own.
    Ledger(LedgerLocation location, QString connection);
    ~Ledger();
    Ledger(const Ledger &) = delete;
    Ledger &operator=(const Ledger &) = delete;

    // Connects and checks the schema, creating it when asked and missing.
    [[nodiscard]] bool open(Open how);

    [[nodiscard]] Fault fault() const { return m_fault; }
    [[nodiscard]] const QString &error() const { return m_error; }
    [[nodiscard]] const LedgerLocation &location() const { return m_location; }

    // Stores the units, or none of them; metadataNames are the names of their metadata.
    [[nodiscard]] bool load(const QList<LedgerEntry> &entries, const QStringList &metadataNames);

    // A hold that was released: the unit and the state it was left in.
    struct Released {
        qint64 unit = 0;
        UnitState state = UnitState::Pending;
    };
    // Releases the station's own holds (it was started again) and every hold whose lease
    // ran out, each with an attempt row saying so; the station's own go to released.
    [[nodiscard]] bool releaseStale(const QString &station, QList<Released> *released = nullptr);

    // Takes the lowest pending unit for the station; nullopt with no fault when none is
    // left.
    [[nodiscard]] std::optional<HeldUnit> take(const QString &station,
                                               std::chrono::milliseconds lease);

    // The station is about to send: from now on a lost hold makes the unit uncertain.
    // False, with no fault, when the hold was lost meanwhile.
    [[nodiscard]] bool beginSending(const HeldUnit &held, const QString &device,
                                    const QString &address);
    // False, with no fault, when the hold was lost meanwhile.
    [[nodiscard]] bool renew(const HeldUnit &held, std::chrono::milliseconds lease);

    // Records an attempt and leaves the unit in state (Held: the station tries again, so
    // the hold stays, nothing sent). holdLost is set when another station had released
    // the hold meanwhile; the unit is then made uncertain if this attempt may have
    // programmed it.
    [[nodiscard]] bool finish(const HeldUnit &held, const LedgerAttempt &attempt, UnitState state,
                              bool *holdLost = nullptr);

    [[nodiscard]] bool resolve(qint64 unit, Resolution resolution, const QString &station);

    [[nodiscard]] std::optional<LedgerStatus> status();
    [[nodiscard]] std::optional<QList<LedgerAttempt>> attempts();
    [[nodiscard]] QStringList metadataNames() const { return m_metadataNames; }

private:
    class Transaction;

    bool failWith(Fault fault, const QString &message);
    bool failOn(const class QSqlQuery &query, const QString &doing);
    bool failOn(const class QSqlError &error, const QString &doing);
    // failOn, for what returns an optional.
    std::nullopt_t failed(const class QSqlQuery &query, const QString &doing) {
        failOn(query, doing);
        return std::nullopt;
    }
    [[nodiscard]] QString now() const;
    [[nodiscard]] QString insertAttempt() const;
    bool createSchema();
    bool readMetadataNames();
    bool releaseWhere(const QString &condition, const QString &station, const QString &why,
                      QList<Released> *released = nullptr);

    LedgerLocation m_location;
    QString m_connection;
    QSqlDatabase m_db;
    Fault m_fault = Fault::None;
    QString m_error;
    QStringList m_metadataNames;
};

} // namespace tavrenode::prog
