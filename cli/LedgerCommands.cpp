// tavrenode-prog's ledger: a batch loaded once and shared by several stations.
#include "LedgerCommands.h"

#include "CsvTable.h"
#include "Ledger.h"
#include "LedgerStation.h"
#include "Profile.h"
#include "TavrenodeVersion.h"
#include "TextView.h"
#include "UnitSettings.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace tavrenode::prog {

namespace {

// A station's name goes into every attempt it records and into the report.
constexpr qsizetype kLongestStation = 64;

void ledgerOption(QCommandLineParser &parser) {
    parser.addOption({u"ledger"_s,
                      u"The ledger: an SQLite file, or postgresql://[USER@]HOST[:PORT]/DBNAME"_s,
                      u"DB"_s});
}

void loadOptions(QCommandLineParser &parser) {
    ledgerOption(parser);
    settingsOptions(parser);
    parser.addOptions({
        {u"units"_s, u"The units: one per row after a header of keys."_s, u"FILE.csv"_s},
        {u"count"_s, u"K units from the same settings."_s, u"K"_s},
        {u"first"_s, u"The first unit's number (default 1)."_s, u"N"_s},
    });
}

void statusOptions(QCommandLineParser &parser) {
    ledgerOption(parser);
    parser.addOption({u"json"_s, u"One JSON object on stdout."_s});
}

void reportOptions(QCommandLineParser &parser) {
    ledgerOption(parser);
    parser.addOptions({
        {{u"o"_s, u"output"_s}, u"The CSV file to write (- for stdout)."_s, u"FILE.csv"_s},
        {u"report-pins"_s, u"Put the PINs into the report too."_s},
    });
}

void resolveOptions(QCommandLineParser &parser) {
    ledgerOption(parser);
    parser.addOptions({
        {u"programmed"_s, u"The module holds the unit: it is done."_s},
        {u"retry"_s, u"The module does not hold it: hand the unit out again."_s},
        {u"station"_s, u"Who decided, for the record (default: operator)."_s, u"NAME"_s},
    });
}

// The message for a ledger that failed, and its exit code.
int ledgerFailed(const Ledger &ledger) {
    err(u"tavrenode-prog: "_s + ledger.error() + u'\n');
    return ledger.fault() == Ledger::Fault::BadInput ? kBadInput : kLedgerFailed;
}

std::variant<LedgerLocation, QString> locationOf(QCommandLineParser &parser) {
    if (!parser.isSet(u"ledger"_s))
        return u"give the ledger with --ledger DB"_s;
    return parseLedgerLocation(parser.value(u"ledger"_s));
}

std::optional<QString> checkStation(const QString &name) {
    if (name.trimmed().isEmpty() || name.size() > kLongestStation)
        return u"--station: give the station a name of 1 to %1 characters"_s.arg(kLongestStation);
    for (const QChar c : name) {
        if (!c.isPrint())
            return u"--station %1: a name of printable characters"_s.arg(name);
    }
    return std::nullopt;
}

// Opens the ledger the options name; on failure the message is out and exitCode set.
std::unique_ptr<Ledger> openLedger(QCommandLineParser &parser, Ledger::Open how, int &exitCode) {
    auto location = locationOf(parser);
    if (const QString *fault = std::get_if<QString>(&location)) {
        exitCode = fail(*fault);
        return nullptr;
    }
    auto ledger = std::make_unique<Ledger>(std::get<LedgerLocation>(location), u"tavrenode"_s);
    if (!ledger->open(how)) {
        exitCode = ledgerFailed(*ledger);
        return nullptr;
    }
    return ledger;
}

int runLoad(QCommandLineParser &parser) {
    if (parser.isSet(u"units"_s) == parser.isSet(u"count"_s))
        return fail(u"ledger load needs the units: --units FILE.csv or --count K"_s);
    const std::optional<qint64> units =
        parser.isSet(u"count"_s) ? count(parser.value(u"count"_s), 1, 10'000'000) : 1;
    const std::optional<qint64> first =
        parser.isSet(u"first"_s) ? count(parser.value(u"first"_s), 0) : 1;
    if (!units)
        return fail(u"--count %1: give a whole number from 1"_s.arg(parser.value(u"count"_s)));
    if (!first)
        return fail(u"--first %1: give a whole number from 0"_s.arg(parser.value(u"first"_s)));
    if (auto location = locationOf(parser); std::holds_alternative<QString>(location))
        return fail(std::get<QString>(location));

    // Every unit is made and checked before the ledger is touched.
    QList<Assignment> sets;
    auto base = commonSettings(parser, sets);
    if (const QString *fault = std::get_if<QString>(&base))
        return fail(*fault);
    auto planned =
        planBatch(std::get<ModuleSettings>(base), sets, parser.value(u"units"_s), *units, *first);
    if (const QString *fault = std::get_if<QString>(&planned))
        return fail(*fault);
    const PlannedBatch &batch = std::get<PlannedBatch>(planned);

    const QString writer = u"tavrenode-prog "_s + toQString(version::kFull);
    QList<LedgerEntry> entries;
    entries.reserve(batch.units.size());
    for (const PlannedUnit &unit : batch.units) {
        entries.append({unit.number, writeProfile(unit.settings, writer),
                        settingsRecordSha256(unit.settings), unit.settings.deviceName,
                        unit.settings.pairMatchPrefix, unit.settings.pin, unit.metadata});
    }

    int exitCode = 0;
    const std::unique_ptr<Ledger> ledger =
        openLedger(parser, Ledger::Open::CreateIfMissing, exitCode);
    if (!ledger)
        return exitCode;
    if (!ledger->load(entries, batch.metadataNames))
        return ledgerFailed(*ledger);
    err(u"Loaded %1 units, %2 to %3, into %4.\n"_s.arg(entries.size())
            .arg(entries.constFirst().unit)
            .arg(entries.constLast().unit)
            .arg(ledger->location().shown));
    return 0;
}

QJsonObject stationObject(const StationCounts &counts) {
    return {{u"held"_s, counts.held},
            {u"programmed"_s, counts.programmed},
            {u"uncertain"_s, counts.uncertain},
            {u"attempts"_s, counts.attempts},
            {u"failed_attempts"_s, counts.failedAttempts}};
}

int runStatus(QCommandLineParser &parser) {
    int exitCode = 0;
    const std::unique_ptr<Ledger> ledger = openLedger(parser, Ledger::Open::Existing, exitCode);
    if (!ledger)
        return exitCode;
    const std::optional<LedgerStatus> status = ledger->status();
    if (!status)
        return ledgerFailed(*ledger);
    int total = 0;
    for (const int n : status->units)
        total += n;
    const auto units = [&](UnitState state) {
        return status->units.value(state);
    };

    if (parser.isSet(u"json"_s)) {
        QJsonObject stations;
        for (auto it = status->stations.cbegin(); it != status->stations.cend(); ++it)
            stations.insert(it.key(), stationObject(it.value()));
        QJsonArray attention;
        for (const UnitNotice &notice : status->notices)
            attention.append(QJsonObject{{u"unit"_s, notice.unit},
                                         {u"state"_s, stateName(notice.state)},
                                         {u"name"_s, notice.name},
                                         {u"station"_s, notice.station},
                                         {u"result"_s, notice.result},
                                         {u"message"_s, notice.message}});
        QJsonObject object{{u"schema"_s, kLedgerSchema},
                           {u"units"_s, total},
                           {u"stations"_s, stations},
                           {u"attention"_s, attention}};
        for (const UnitState state : {UnitState::Pending, UnitState::Held, UnitState::Programmed,
                                      UnitState::Failed, UnitState::Uncertain})
            object.insert(stateName(state), units(state));
        out(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) + u'\n');
        return 0;
    }

    out(u"%1 units: %2 programmed, %3 pending, %4 failed and pending again, %5 held, "
        u"%6 uncertain\n"_s.arg(total)
            .arg(units(UnitState::Programmed))
            .arg(units(UnitState::Pending))
            .arg(units(UnitState::Failed))
            .arg(units(UnitState::Held))
            .arg(units(UnitState::Uncertain)));
    if (!status->stations.isEmpty()) {
        qsizetype width = 7;
        for (auto it = status->stations.cbegin(); it != status->stations.cend(); ++it)
            width = std::max(width, it.key().size());
        out(u"\n%1  held  programmed  uncertain  attempts  failed attempts\n"_s.arg(
            u"station"_s.leftJustified(width)));
        for (auto it = status->stations.cbegin(); it != status->stations.cend(); ++it)
            out(u"%1  %2  %3  %4  %5  %6\n"_s.arg(it.key().leftJustified(width))
                    .arg(it->held, 4)
                    .arg(it->programmed, 10)
                    .arg(it->uncertain, 9)
                    .arg(it->attempts, 8)
                    .arg(it->failedAttempts, 15));
    }
    for (const UnitState state : {UnitState::Uncertain, UnitState::Failed}) {
        bool headed = false;
        for (const UnitNotice &notice : status->notices) {
            if (notice.state != state)
                continue;
            if (!headed)
                out(state == UnitState::Uncertain
                        ? u"\nUncertain: the module may hold the unit. Look at it, then record "
                          u"what you found with\ntavrenode-prog ledger resolve UNIT --programmed "
                          u"or --retry:\n"_s
                        : u"\nFailed, and pending again:\n"_s);
            headed = true;
            out(u"  unit %1 (%2), station %3: %4: %5\n"_s.arg(notice.unit)
                    .arg(notice.name, notice.station, notice.result, notice.message));
        }
    }
    return 0;
}

int runReport(QCommandLineParser &parser) {
    if (!parser.isSet(u"output"_s))
        return fail(u"ledger report needs -o FILE.csv (- for stdout)"_s);
    int exitCode = 0;
    const std::unique_ptr<Ledger> ledger = openLedger(parser, Ledger::Open::Existing, exitCode);
    if (!ledger)
        return exitCode;
    const std::optional<QList<LedgerAttempt>> attempts = ledger->attempts();
    if (!attempts)
        return ledgerFailed(*ledger);
    const bool pins = parser.isSet(u"report-pins"_s);
    // The columns of program --report, the station after the address.
    QStringList header{u"time"_s,          u"unit"_s,    u"device"_s,  u"name"_s,
                       u"pair-prefix"_s,   u"result"_s,  u"message"_s, u"attempts"_s,
                       u"record-sha256"_s, u"address"_s, u"station"_s};
    if (pins)
        header << u"pin"_s;
    header << ledger->metadataNames();
    QString text = csvRow(header);
    for (const LedgerAttempt &row : *attempts) {
        QStringList fields{row.time,
                           QString::number(row.unit),
                           row.device,
                           row.name,
                           row.pairPrefix,
                           row.result,
                           row.message,
                           QString::number(row.attempt),
                           QString::fromLatin1(row.recordSha256),
                           row.address,
                           row.station};
        if (pins)
            fields << row.pin;
        text += csvRow(fields + row.metadata);
    }
    const QString path = parser.value(u"output"_s);
    if (path == u"-") {
        out(text);
        return 0;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit())
        return fail(u"-o %1: %2"_s.arg(path, file.errorString()));
    err(u"%1 attempts written to %2.\n"_s.arg(attempts->size()).arg(path));
    return 0;
}

int runResolve(QCommandLineParser &parser) {
    if (parser.positionalArguments().size() != 1)
        return fail(u"ledger resolve takes one unit number"_s);
    const std::optional<qint64> unit =
        count(parser.positionalArguments().constFirst(), 0, std::numeric_limits<qint64>::max());
    if (!unit)
        return fail(u"ledger resolve %1: give the unit's number"_s.arg(
            parser.positionalArguments().constFirst()));
    if (parser.isSet(u"programmed"_s) == parser.isSet(u"retry"_s))
        return fail(u"ledger resolve needs what you found: --programmed (the module holds the "
                    u"unit) or --retry (it does not)"_s);
    const QString station = parser.isSet(u"station"_s) ? parser.value(u"station"_s) : u"operator"_s;
    if (const std::optional<QString> fault = checkStation(station))
        return fail(*fault);
    int exitCode = 0;
    const std::unique_ptr<Ledger> ledger = openLedger(parser, Ledger::Open::Existing, exitCode);
    if (!ledger)
        return exitCode;
    const bool programmed = parser.isSet(u"programmed"_s);
    if (!ledger->resolve(*unit, programmed ? Resolution::Programmed : Resolution::Retry, station))
        return ledgerFailed(*ledger);
    err(programmed ? u"Unit %1 is recorded as programmed.\n"_s.arg(*unit)
                   : u"Unit %1 is pending again.\n"_s.arg(*unit));
    return 0;
}

constexpr auto kLedgerCommands = std::to_array<Command>({
    {"load", "Store units, each with its complete settings, for the stations to take.", runLoad,
     loadOptions},
    {"status", "Units per state and per station; the uncertain and failed ones.", runStatus,
     statusOptions},
    {"report", "Every attempt as CSV: program --report's columns and the station.", runReport,
     reportOptions},
    {"resolve", "Record what an uncertain unit's module was found to hold.", runResolve,
     resolveOptions, "UNIT"},
});

} // namespace

std::span<const Command> ledgerCommands() {
    return kLedgerCommands;
}

void stationOptions(QCommandLineParser &parser) {
    parser.addOptions({
        {u"ledger"_s,
         u"Take the units from this ledger (an SQLite file or a postgresql:// URL), "_s
         u"as station --station, until none is left."_s,
         u"DB"_s},
        {u"station"_s, u"This station's name in the ledger."_s, u"NAME"_s},
        {u"lease"_s,
         u"How long a hold lasts unless renewed (default %1)."_s.arg(kDefaultLease.count()),
         u"SECONDS"_s},
    });
}

int runStation(QCommandLineParser &parser, RunOptions options) {
    for (const QString &name :
         {u"units"_s, u"count"_s, u"first"_s, u"defaults"_s, u"profile"_s, u"set"_s}) {
        if (parser.isSet(name))
            return fail(u"--%1 goes with ledger load: with --ledger every unit's settings come "
                        u"from the ledger"_s.arg(name));
    }
    if (!parser.isSet(u"station"_s))
        return fail(u"--ledger needs --station NAME, the name this station records"_s);
    if (const std::optional<QString> fault = checkStation(parser.value(u"station"_s)))
        return fail(*fault);
    const std::optional<qint64> lease = parser.isSet(u"lease"_s)
                                            ? count(parser.value(u"lease"_s), 3, 86400)
                                            : kDefaultLease.count();
    if (!lease)
        return fail(
            u"--lease %1: give a whole number of seconds from 3"_s.arg(parser.value(u"lease"_s)));
    if (!options.bluetooth.isEmpty())
        return fail(u"--bluetooth names one module; a station programs a line of them: give "
                    u"--bluetooth-line --name-prefix TEXT"_s);
    if (!options.bluetoothLine && !((options.port || !options.device.isEmpty()) && options.wait))
        return fail(u"--ledger needs a line of modules: --port N --wait, --device PATH --wait "
                    u"or --bluetooth-line --name-prefix TEXT"_s);

    int exitCode = 0;
    const std::unique_ptr<Ledger> ledger = openLedger(parser, Ledger::Open::Existing, exitCode);
    if (!ledger)
        return exitCode;
    const QString station = parser.value(u"station"_s);
    // A station started again under its name: what it held when it stopped is settled now.
    QList<Ledger::Released> released;
    if (!ledger->releaseStale(station, &released))
        return ledgerFailed(*ledger);
    for (const Ledger::Released &unit : std::as_const(released))
        err(unit.state == UnitState::Uncertain
                ? u"unit %1: this station stopped while it sent it; it is uncertain now (see "
                  u"tavrenode-prog ledger status)\n"_s.arg(unit.unit)
                : u"unit %1: this station stopped before it sent it; it is pending again\n"_s.arg(
                      unit.unit));
    options.batch = true;
    LedgerStation source(*ledger, station, std::chrono::seconds(*lease));
    return programUnits(source, options, g_cancel);
}

} // namespace tavrenode::prog
