#include "RunLoop.h"

#include "BluetoothLinks.h"
#include "CsvTable.h"
#include "DeviceIdentity.h"
#include "PortNaming.h"
#include "ProgrammingTransfer.h"
#include "SerialLink.h"
#include "TransferMessages.h"

#include <cstdio>
#include <thread>

#include <QCryptographicHash>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace tavrenode::prog {

namespace {

// How a paired module is programmed without a port, for the advice when a port is missing.
QString bluetoothCommand() {
    return systemHasBluetoothLinks() ? u"tavrenode-prog program --bluetooth %1"_s : QString();
}

// How often --wait looks for the device: a stat, cheap enough to do often.
constexpr auto kPollInterval = 10ms;

void toStderr(const QString &text) {
    std::fputs(text.toUtf8().constData(), stderr);
    std::fflush(stderr);
}

// Every line indented (blank lines stay empty), for messages under their unit's line.
QString indented(const QString &text, int by) {
    QStringList lines = text.split(u'\n');
    for (QString &line : lines) {
        if (!line.isEmpty())
            line.prepend(QString(by, u' '));
    }
    return lines.join(u'\n') + u'\n';
}

struct ResultName {
    const char16_t *name = nullptr;
    TransferResult result = TransferResult::Programmed;
    int exitCode = kProgrammed;
    bool pairing = false; // an open that failed on pairing: the fix is a PIN, not a port
};

constexpr ResultName kResults[] = {
    {u"ok", TransferResult::Programmed, kProgrammed},
    {u"open-failed", TransferResult::OpenFailed, kOpenFailed},
    {u"not-paired", TransferResult::OpenFailed, kNotPaired, true},
    {u"write-failed", TransferResult::WriteFailed, kWriteFailed},
    {u"read-failed", TransferResult::ReadFailed, kReadFailed},
    {u"wrong-acknowledgement", TransferResult::WrongAcknowledgement, kWrongAcknowledgement},
    {u"interrupted", TransferResult::Interrupted, kInterrupted},
};

const ResultName &describe(const TransferOutcome &outcome) {
    const bool pairing = outcome.openFailure == LinkOpenFailure::NotPaired ||
                         outcome.openFailure == LinkOpenFailure::PairingRefused;
    for (const ResultName &entry : kResults) {
        if (entry.result == outcome.result && entry.pairing == pairing)
            return entry;
    }
    return kResults[0];
}

// Sleeps up to duration in short steps; false when cancel was set meanwhile.
bool pause(std::chrono::milliseconds duration, const std::atomic<bool> &cancel) {
    QElapsedTimer timer;
    timer.start();
    while (!cancel) {
        const auto left = duration - std::chrono::milliseconds(timer.elapsed());
        if (left <= 0ms)
            return true;
        std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(kPollInterval)));
    }
    return false;
}

// One unit attempt as the outputs see it.
struct Attempt {
    qint64 unit = 0;
    int number = 1;
    QString device;
    QString address; // a Bluetooth module's; empty for a serial device
    QList<std::uint8_t> answers;
    TransferOutcome outcome;
    QByteArray sha256;
    double seconds = 0;
    QString interruptedDetail; // what was under way when the run was stopped

    // What the user is told, the first message (text and detail) leading.
    [[nodiscard]] QList<UserMessage> messages() const {
        if (outcome.result == TransferResult::Interrupted)
            return {{u"Interrupted."_s, u"Device: "_s + device + u"\n\n"_s + interruptedDetail}};
        return transferMessages(outcome);
    }

    [[nodiscard]] AttemptEnd end() const {
        return {unit,
                number,
                device,
                address,
                QString::fromUtf16(describe(outcome).name),
                messages().value(0).text,
                sha256,
                outcome};
    }
};

class Outputs {
public:
    Outputs(const RunOptions &options, const QStringList &metadataNames)
        : m_options(options)
        , m_metadataNames(metadataNames) {}

    void event(QJsonObject object) {
        if (!m_options.json)
            return;
        object.insert(u"schema"_s, 1);
        const QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
        std::fputs(line.constData(), stdout);
        std::fflush(stdout);
    }

    void say(const QString &line) {
        if (!m_options.quiet)
            toStderr(line + u'\n');
    }

    void unitEnd(const Attempt &attempt, const PlannedUnit &unit) {
        const ResultName &result = describe(attempt.outcome);
        const QList<UserMessage> messages = attempt.messages();
        const UserMessage first = messages.value(0);
        QStringList answers;
        for (const std::uint8_t answer : attempt.answers)
            answers << u"0x%1"_s.arg(answer, 2, 16, QLatin1Char('0'));
        const QString line =
            u"unit %1 (%2): %3%4 in %5 s%6"_s.arg(attempt.unit)
                .arg(attempt.device,
                     answers.isEmpty() ? QString() : u"answers "_s + answers.join(u' ') + u", "_s,
                     attempt.outcome.programmed() ? u"programmed"_s
                                                  : QString::fromUtf16(result.name))
                .arg(attempt.seconds, 0, 'f', 2)
                .arg(attempt.number > 1 ? u" (attempt %1)"_s.arg(attempt.number) : QString());
        if (attempt.outcome.programmed()) {
            say(line);
        } else {
            toStderr(line + u'\n');
            for (const UserMessage &message : messages) {
                toStderr(indented(message.text, 2));
                if (!message.detail.isEmpty())
                    toStderr(indented(message.detail, 4));
            }
        }
        event({{u"event"_s, u"unit-end"_s},
               {u"unit"_s, attempt.unit},
               {u"attempt"_s, attempt.number},
               {u"device"_s, attempt.device},
               {u"address"_s, attempt.address},
               {u"result"_s, QString::fromUtf16(result.name)},
               {u"message"_s, first.text},
               {u"detail"_s, first.detail},
               {u"block"_s, attempt.outcome.block},
               {u"answer"_s,
                attempt.outcome.answer ? QJsonValue(int(*attempt.outcome.answer)) : QJsonValue()},
               {u"seconds"_s, attempt.seconds},
               {u"record_sha256"_s, QString::fromLatin1(attempt.sha256)}});
        report(attempt, unit, QString::fromUtf16(result.name), first.text);
    }

    // The report is opened for each row, so that what was written survives whatever
    // ends the run.
    bool report(const Attempt &attempt, const PlannedUnit &unit, const QString &result,
                const QString &message) {
        if (m_options.report.isEmpty())
            return true;
        QFile file(m_options.report);
        const bool fresh = QFileInfo(file).size() == 0;
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
            toStderr(u"tavrenode-prog: cannot write the report %1: %2\n"_s.arg(m_options.report,
                                                                               file.errorString()));
            return false;
        }
        QStringList fields;
        if (fresh) {
            // The address came later than the rest, so it follows them.
            fields << u"time"_s << u"unit"_s << u"device"_s << u"name"_s << u"pair-prefix"_s
                   << u"result"_s << u"message"_s << u"attempts"_s << u"record-sha256"_s
                   << u"address"_s;
            if (m_options.reportPins)
                fields << u"pin"_s;
            fields << m_metadataNames;
            file.write(row(fields));
            fields.clear();
        }
        fields << QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)
               << QString::number(attempt.unit) << attempt.device << unit.settings.deviceName
               << unit.settings.pairMatchPrefix << result << message
               << QString::number(attempt.number) << QString::fromLatin1(attempt.sha256)
               << attempt.address;
        if (m_options.reportPins)
            fields << unit.settings.pin;
        fields << unit.metadata;
        file.write(row(fields));
        return true;
    }

private:
    static QByteArray row(const QStringList &fields) { return csvRow(fields).toUtf8(); }

    const RunOptions &m_options;
    QStringList m_metadataNames;
};

// Waits until the link's device exists and opens; its identity then, or empty when
// cancelled.
QByteArray waitForDevice(ModuleLink &link, const std::atomic<bool> &cancel, Outputs &out) {
    const QString path = link.target();
    bool told = false;
    while (!cancel) {
        if (QByteArray identity = deviceIdentity(path); !identity.isEmpty()) {
            if (!link.open(1s)) {
                link.close();
                return identity;
            }
        }
        if (!told)
            out.say(u"waiting for %1"_s.arg(path));
        told = true;
        pause(kPollInterval, cancel);
    }
    return {};
}

// Waits until the device that was there has gone away (the module dropped the link), even
// if another came back at the same path meanwhile; false when cancelled.
bool waitUntilGone(const QString &path, const QByteArray &identity, const std::atomic<bool> &cancel,
                   Outputs &out) {
    bool told = false;
    while (!cancel) {
        if (deviceIdentity(path) != identity)
            return true;
        if (!told)
            out.say(u"waiting for %1 to go away"_s.arg(path));
        told = true;
        pause(kPollInterval, cancel);
    }
    return false;
}

} // namespace

bool mayHoldRecord(const TransferOutcome &outcome) {
    return outcome.block == int(kBlockCount) && (outcome.result == TransferResult::ReadFailed ||
                                                 outcome.result == TransferResult::WriteFailed ||
                                                 outcome.result == TransferResult::Interrupted);
}

QByteArray recordSha256(const ConfigRecord &record) {
    return QCryptographicHash::hash(QByteArrayView(reinterpret_cast<const char *>(record.data()),
                                                   qsizetype(record.size())),
                                    QCryptographicHash::Sha256)
        .toHex();
}

int programUnits(UnitSource &units, const RunOptions &options, const std::atomic<bool> &cancel) {
    Outputs out(options, units.metadataNames());
    const SystemPortNaming naming;
    qsizetype taken = 0;
    int programmed = 0;
    int failed = 0;
    int lastExit = kProgrammed;
    bool interrupted = false;
    QString fault; // the source's: the run ends

    const BluetoothLinks *bluetooth = nullptr;
    QStringList programmedModules; // on a line, in this run
    if (!options.bluetooth.isEmpty() || options.bluetoothLine) {
        QString whyNot;
        if (!(bluetooth = systemBluetoothLinks(&whyNot))) {
            toStderr(u"tavrenode-prog: Bluetooth cannot be used here: %1\n"_s.arg(whyNot));
            return kOpenFailed;
        }
    }

    // Tells the source and the outputs how an attempt ended; false when the source failed.
    const auto ended = [&](const Attempt &attempt, const PlannedUnit &unit, bool again) {
        const bool recorded = units.ended(attempt.end(), again);
        out.unitEnd(attempt, unit);
        if (!recorded)
            fault = units.failure();
        return recorded;
    };

    while (!interrupted && !cancel && fault.isEmpty()) {
        const std::optional<PlannedUnit> next = units.next();
        if (!next) {
            fault = units.failure();
            break;
        }
        ++taken;
        const PlannedUnit &unit = *next;
        ModuleSettings settings = unit.settings;
        if (options.port)
            settings.comPort = *options.port;
        QString address = options.bluetooth;
        QString moduleName;
        if (options.bluetoothLine) {
            out.say(u"unit %1: looking for a module named %2..."_s.arg(unit.number)
                        .arg(options.namePrefix));
            QString failure;
            const std::optional<FoundModule> module =
                bluetooth->nextModule(options.namePrefix, programmedModules, &cancel, &failure);
            if (!module) {
                Attempt never;
                never.unit = unit.number;
                if (!cancel) {
                    // BlueZ went away under the line: the units left are not tried, and the
                    // summary says so.
                    toStderr(u"tavrenode-prog: no search for modules: %1\n"_s.arg(failure));
                    never.outcome.result = TransferResult::OpenFailed;
                    never.outcome.reason = failure;
                    never.outcome.advice = u"No search for modules."_s;
                    lastExit = kOpenFailed;
                    ++failed;
                } else {
                    never.outcome.result = TransferResult::Interrupted;
                    never.interruptedDetail = u"Looking for the next module."_s;
                    interrupted = true;
                }
                ended(never, unit, false);
                break;
            }
            address = module->address;
            moduleName = module->name;
            out.say(u"unit %1: %2 at %3"_s.arg(unit.number).arg(module->name, address));
        }
        std::unique_ptr<ModuleLink> link;
        if (bluetooth)
            link = bluetooth->link(
                {address, moduleName, options.pairPin, options.keepPaired, options.timeout,
                 u"Give its PIN with --pair-pin PIN to pair it first."_s, &cancel});
        else if (options.device.isEmpty())
            link = std::make_unique<SerialLink>(naming, settings.comPort, bluetoothCommand());
        else
            link = std::make_unique<SerialLink>(naming, settings.comPort, options.device,
                                                bluetoothCommand());
        const QString path = link->target();
        const auto attemptOf = [&](int number) {
            Attempt attempt;
            attempt.unit = unit.number;
            attempt.number = number;
            attempt.device = path;
            attempt.address = address;
            return attempt;
        };
        bool done = false;
        QByteArray identity;
        for (int attempt = 1; !done && !interrupted; ++attempt) {
            if (options.wait && (identity = waitForDevice(*link, cancel, out)).isEmpty()) {
                Attempt never = attemptOf(attempt);
                never.outcome.result = TransferResult::Interrupted;
                never.interruptedDetail = u"Waiting for the device."_s;
                ended(never, unit, false);
                interrupted = true;
                break;
            }
            out.event({{u"event"_s, u"unit-start"_s},
                       {u"unit"_s, unit.number},
                       {u"attempt"_s, attempt},
                       {u"device"_s, path},
                       {u"address"_s, address}});
            Attempt record = attemptOf(attempt);
            bool refused = false; // the source said not to send
            BlockHooks hooks;
            hooks.cancel = &cancel;
            hooks.starting = [&] {
                refused = !units.sending(path, address);
                return !refused;
            };
            hooks.answered = [&](int block, std::uint8_t answer) {
                record.answers.append(answer);
                out.event({{u"event"_s, u"block"_s},
                           {u"unit"_s, unit.number},
                           {u"attempt"_s, attempt},
                           {u"block"_s, block},
                           {u"answer"_s, int(answer)}});
            };
            const ProgrammingTransfer transfer({options.timeout, hooks});
            // A fresh buffer for every unit: a tail left by a longer name must not reach
            // the next module.
            ConfigRecord bytes{};
            QElapsedTimer timer;
            timer.start();
            record.outcome = transfer.run(settings, bytes, *link);
            record.seconds = double(timer.nsecsElapsed()) / 1e9;
            record.sha256 = recordSha256(bytes);
            record.interruptedDetail =
                refused
                    ? u"The unit was not sent: %1"_s.arg(units.failure().isEmpty()
                                                             ? u"another station holds it now."_s
                                                             : units.failure())
                    : u"Block %1 of %2 was under way."_s.arg(record.outcome.block).arg(kBlockCount);
            if (refused) {
                // Not an attempt at the module: the source's fault, or another station's unit.
                fault = units.failure();
                if (fault.isEmpty())
                    out.say(u"unit %1: %2"_s.arg(unit.number).arg(record.interruptedDetail));
                break;
            }
            lastExit = describe(record.outcome).exitCode;
            const bool finished = record.outcome.programmed() || attempt > options.retries ||
                                  record.outcome.result == TransferResult::Interrupted ||
                                  // The next try could reach the next module of a line.
                                  (options.wait && mayHoldRecord(record.outcome));
            if (!ended(record, unit, !finished))
                break;

            if (record.outcome.result == TransferResult::Interrupted) {
                interrupted = true;
            } else if (finished) {
                ++(record.outcome.programmed() ? programmed : failed);
                done = true;
                // Programmed or not, a line's module is this unit's: the next is another.
                programmedModules.append(address);
                // The next unit is another module: this one has to go first, programmed or
                // not, so that the next open does not find it again.
                if (options.wait && !waitUntilGone(path, identity, cancel, out))
                    interrupted = true;
            } else {
                interrupted = !pause(options.retryDelay, cancel);
            }
        }
    }
    interrupted = interrupted || cancel;
    if (!fault.isEmpty())
        toStderr(u"tavrenode-prog: %1\n"_s.arg(fault));

    const int exitCode = !fault.isEmpty() ? kLedgerFailed
                         : interrupted    ? kInterrupted
                         : !options.batch ? lastExit
                         : failed > 0     ? kBatchFailed
                                          : kProgrammed;
    out.event({{u"event"_s, u"summary"_s},
               {u"units"_s, units.total(taken)},
               {u"programmed"_s, programmed},
               {u"failed"_s, failed},
               {u"interrupted"_s, interrupted},
               {u"exit"_s, exitCode}});
    if ((options.batch && (!options.quiet || failed > 0)) || interrupted)
        toStderr(u"%1 of %2 units programmed, %3 failed%4\n"_s.arg(programmed)
                     .arg(units.total(taken))
                     .arg(failed)
                     .arg(interrupted ? u"; interrupted"_s : QString()));
    return exitCode;
}

} // namespace tavrenode::prog
