// tavrenode-prog: the window's programming run from the command line, for one module or a
// batch of them. Exit codes and output are described by --help and in the README.
#include "Commands.h"

#include "BluetoothLinks.h"
#include "CommandLine.h"
#include "LedgerCommands.h"
#include "PortNaming.h"
#include "Profile.h"
#include "RecordDescription.h"
#include "RecordEncoder.h"
#include "RunLoop.h"
#include "SettingsCheck.h"
#include "TavrenodeVersion.h"
#include "TextView.h"
#include "UnitSettings.h"
#include "UserMessage.h"

#include <csignal>
#include <cstdio>
#include <functional>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace tavrenode::prog {

namespace {

extern "C" void cancelRun(int) {
    g_cancel = true;
}

// Messages of record building (a device type outside the table), for people.
class StderrMessages final : public MessageSink {
public:
    void show(const UserMessage &message) override {
        err(u"tavrenode-prog: "_s + message.text + u'\n');
    }
};

// --help: this, the commands from the command table, then kUsageEnd.
constexpr auto kUsageStart = uR"(Usage: tavrenode-prog COMMAND [OPTIONS]

Programs Tavrenode modules as the window does, one or a whole batch.

Commands:
)";

constexpr auto kUsageEnd = uR"(
Run "tavrenode-prog COMMAND --help" for a command's options.

Settings, later wins: the built-in defaults; the window's last settings (unless
--defaults), or --profile FILE instead; each --set KEY=VALUE; in a batch, the unit's row.

Exit codes: 0 every unit programmed; 1 a batch in which any unit failed; 2 bad usage or
input (nothing was sent); for one module 3 the port did not open, 4 a write failed,
5 a read failed or no answer came, 6 a wrong acknowledgement, 7 a Bluetooth module is
not paired and no --pair-pin was given, or it refused the PIN; 8 the ledger could not be
reached, opened, read or written; 130 interrupted.
)";

void programOptions(QCommandLineParser &parser) {
    settingsOptions(parser);
    parser.addOptions({
        {u"port"_s, u"The COM port number (/dev/rfcommN); default: the settings' port."_s, u"N"_s},
        {u"device"_s, u"Any serial device, in place of a port number."_s, u"PATH"_s},
        {u"bluetooth"_s,
         u"The module at this Bluetooth address, through BlueZ (Linux) or Winsock (Windows): no "_s
         u"serial device needed."_s,
         u"ADDRESS"_s},
        {u"bluetooth-line"_s, u"A line of modules over Bluetooth: each unit is the next module "_s
                              u"found whose name starts with --name-prefix."_s},
        {u"name-prefix"_s, u"What the line's modules are called (the start of the name)."_s,
         u"TEXT"_s},
        {u"pair-pin"_s, u"Pair the module with this PIN first when it is not paired."_s, u"PIN"_s},
        {u"keep-paired"_s, u"Keep a pairing that the run made (default: removed)."_s},
        {u"timeout"_s,
         u"How long a write or an answer may take (default %1)."_s.arg(kPortTimeout.count()),
         u"MS"_s},
        {u"units"_s, u"A batch: one unit per row after a header of keys."_s, u"FILE.csv"_s},
        {u"count"_s, u"A batch of K units from the same settings."_s, u"K"_s},
        {u"first"_s, u"The first unit's number for {n} (default 1)."_s, u"N"_s},
        {u"wait"_s, u"Wait for each unit's port to appear, and to go away afterwards."_s},
        {u"retries"_s, u"Try a failed unit again up to K more times (default 0)."_s, u"K"_s},
        {u"retry-delay"_s, u"Pause before a retry (default %1)."_s.arg(kRetryDelay.count()),
         u"MS"_s},
        {{u"q"_s, u"quiet"_s}, u"Report failures only."_s},
        {u"json"_s, u"JSON Lines events on stdout."_s},
        {u"report"_s, u"Append one CSV row per unit attempt."_s, u"FILE.csv"_s},
        {u"report-pins"_s, u"Put the PINs into the report too."_s},
    });
    stationOptions(parser);
}

void recordOptions(QCommandLineParser &parser) {
    settingsOptions(parser);
    parser.addOption({{u"o"_s, u"output"_s}, u"Write the raw 192 bytes to FILE."_s, u"FILE"_s});
}

void profileOptions(QCommandLineParser &parser) {
    settingsOptions(parser);
    parser.addOption({{u"o"_s, u"output"_s}, u"The profile to write (- for stdout)."_s, u"FILE"_s});
}

void scanOptions(QCommandLineParser &parser) {
    parser.addOptions({
        {u"seconds"_s, u"How long to search (default 10)."_s, u"S"_s},
        {u"name-prefix"_s, u"Only modules whose name starts with this."_s, u"TEXT"_s},
        {u"json"_s, u"One JSON object per module on stdout."_s},
    });
}

void noOptions(QCommandLineParser & /*parser*/) {}

// Settings for one module (record, profile): no batch, so {n} is 1.
std::variant<ModuleSettings, QString> singleSettings(QCommandLineParser &parser) {
    QList<Assignment> sets;
    auto base = commonSettings(parser, sets);
    if (const QString *fault = std::get_if<QString>(&base))
        return *fault;
    return unitSettings(std::get<ModuleSettings>(base), sets, 1);
}

int runRecord(QCommandLineParser &parser) {
    auto settings = singleSettings(parser);
    if (const QString *fault = std::get_if<QString>(&settings))
        return fail(*fault);
    ConfigRecord record{};
    StderrMessages messages;
    build(std::get<ModuleSettings>(settings), record, messages);
    if (parser.isSet(u"output"_s)) {
        QSaveFile file(parser.value(u"output"_s));
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(reinterpret_cast<const char *>(record.data()), qint64(record.size())) !=
                qint64(record.size()) ||
            !file.commit())
            return fail(u"-o %1: %2"_s.arg(parser.value(u"output"_s), file.errorString()));
        return 0;
    }
    out(QString::fromStdString(describeRecord(record)));
    return 0;
}

int runDescribe(QCommandLineParser &parser) {
    if (parser.positionalArguments().size() != 1)
        return fail(u"describe takes one record file"_s);
    const QString path = parser.positionalArguments().constFirst();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(u"%1: %2"_s.arg(path, file.errorString()));
    const QByteArray bytes = file.read(qint64(kRecordSize) + 1);
    if (bytes.size() != qsizetype(kRecordSize))
        return fail(u"%1 is %2 bytes long; a record is %3"_s.arg(path)
                        .arg(QFileInfo(file).size())
                        .arg(kRecordSize));
    ConfigRecord record{};
    std::copy(bytes.begin(), bytes.end(), record.begin());
    out(QString::fromStdString(describeRecord(record)));
    return 0;
}

int runProfile(QCommandLineParser &parser) {
    if (!parser.isSet(u"output"_s))
        return fail(u"profile needs -o FILE (- for stdout)"_s);
    auto settings = singleSettings(parser);
    if (const QString *fault = std::get_if<QString>(&settings))
        return fail(*fault);
    const QString writer = u"tavrenode-prog "_s + toQString(version::kFull);
    const QString path = parser.value(u"output"_s);
    if (path == u"-") {
        std::fputs(writeProfile(std::get<ModuleSettings>(settings), writer).constData(), stdout);
        return 0;
    }
    if (std::optional<QString> reason =
            saveProfileFile(path, std::get<ModuleSettings>(settings), writer))
        return fail(u"-o %1: %2"_s.arg(path, *reason));
    return 0;
}

int runPorts(QCommandLineParser & /*parser*/) {
    const SystemPortNaming naming;
    const QStringList devices = naming.presentDevices();
    const QList<PairedSerialDevice> paired = naming.pairedSerialDevices();
    if (devices.isEmpty() && paired.isEmpty()) {
        err(u"No serial device that could lead to a module exists at the moment; see "
            u"\"Getting a serial port for the module\" in the help.\n"_s);
        return 0;
    }
    for (const QString &device : devices) {
        QString digits = device;
        digits.remove(0, digits.lastIndexOf(QRegularExpression(u"[^0-9]"_s)) + 1);
        out(u"%1\t%2\n"_s.arg(digits.isEmpty() ? u"-"_s : digits, device));
    }
    // Paired devices without a port yet: a line each, marked, then how to bind one.
    for (const PairedSerialDevice &device : paired)
        out(u"paired\t%1\t%2\t%3\n"_s.arg(
            device.address, device.connected ? u"connected"_s : u"not-connected"_s, device.name));
    if (paired.isEmpty())
        return 0;
    err(u"A paired device is programmed without a port, or made port N, with:\n"_s);
    for (const PairedSerialDevice &device : paired)
        err(u"  tavrenode-prog program --bluetooth %1   (%2)\n  sudo rfcomm bind N %1\n"_s.arg(
            device.address, device.name));
    return 0;
}

int runScan(QCommandLineParser &parser) {
    const std::optional<qint64> seconds =
        parser.isSet(u"seconds"_s) ? count(parser.value(u"seconds"_s), 0, 3600) : 10;
    if (!seconds)
        return fail(
            u"--seconds %1: give a whole number from 0 to 3600"_s.arg(parser.value(u"seconds"_s)));
    QString failure;
    const BluetoothLinks *links = systemBluetoothLinks(&failure);
    const QList<FoundModule> found =
        links ? links->scan(std::chrono::seconds(*seconds), &g_cancel, &failure, {})
              : QList<FoundModule>();
    if (!failure.isEmpty()) {
        err(u"tavrenode-prog: no search: %1\n"_s.arg(failure));
        return kOpenFailed;
    }
    const QString prefix = parser.value(u"name-prefix"_s);
    for (const FoundModule &module : found) {
        if (!module.name.startsWith(prefix))
            continue;
        if (parser.isSet(u"json"_s)) {
            const QJsonObject object{
                {u"address"_s, module.address},
                {u"paired"_s, module.paired},
                {u"rssi"_s, module.rssi ? QJsonValue(*module.rssi) : QJsonValue()},
                {u"name"_s, module.name},
                {u"serial_port"_s, module.serialPort}};
            out(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) + u'\n');
        } else {
            out(u"%1\t%2\t%3\t%4\t%5\n"_s.arg(
                module.address, module.paired ? u"paired"_s : u"new"_s,
                module.rssi ? QString::number(*module.rssi) : u"-"_s,
                module.serialPort ? u"serial-port"_s : u"no-serial-port"_s, module.name));
        }
    }
    return g_cancel ? kInterrupted : 0;
}

int runProgram(QCommandLineParser &parser) {
    RunOptions options;
    const bool line = parser.isSet(u"bluetooth-line"_s);
    const bool overBluetooth = parser.isSet(u"bluetooth"_s) || line;
    const int linkOptions = int(parser.isSet(u"port"_s)) + int(parser.isSet(u"device"_s)) +
                            int(parser.isSet(u"bluetooth"_s)) + int(line);
    if (linkOptions > 1)
        return fail(u"--port, --device, --bluetooth and --bluetooth-line each say where the "
                    u"module is; give one"_s);
    if (line != parser.isSet(u"name-prefix"_s) ||
        (line && parser.value(u"name-prefix"_s).isEmpty()))
        return fail(u"--bluetooth-line needs --name-prefix TEXT, the start of the modules' "
                    u"names, and --name-prefix goes with it"_s);
    if (parser.isSet(u"bluetooth"_s) && !isBluetoothAddress(parser.value(u"bluetooth"_s)))
        return fail(u"--bluetooth %1: give the module's address as six pairs of hexadecimal "
                    u"digits, such as 00:1A:7D:DA:71:13"_s.arg(parser.value(u"bluetooth"_s)));
    if (overBluetooth && parser.isSet(u"wait"_s))
        return fail(u"--wait watches a serial device; over Bluetooth the module is connected "
                    u"when it is its turn"_s);
    if ((parser.isSet(u"pair-pin"_s) || parser.isSet(u"keep-paired"_s)) && !overBluetooth)
        return fail(u"--pair-pin and --keep-paired go with --bluetooth or --bluetooth-line"_s);
    // BlueZ passes a legacy PIN of 1 to 16 characters.
    if (parser.isSet(u"pair-pin"_s) &&
        (parser.value(u"pair-pin"_s).isEmpty() || parser.value(u"pair-pin"_s).size() > 16))
        return fail(u"--pair-pin: give 1 to 16 characters"_s);
    if (parser.isSet(u"units"_s) && parser.isSet(u"count"_s))
        return fail(u"--units and --count both make a batch; give one"_s);
    // Each number option, or its default; the first one out of range is the fault.
    QString badNumber;
    const auto number = [&](const QString &name, qint64 least, qint64 fallback,
                            qint64 most = 1LL << 31) {
        if (!parser.isSet(name))
            return fallback;
        const std::optional<qint64> value = count(parser.value(name), least, most);
        if (!value && badNumber.isEmpty())
            badNumber =
                u"--%1 %2: give a whole number from %3"_s.arg(name, parser.value(name)).arg(least);
        return value.value_or(fallback);
    };
    const qint64 port = number(u"port"_s, kFirstPort, 0, 0x7fffffff);
    const qint64 timeout = number(u"timeout"_s, 1, kPortTimeout.count());
    const qint64 first = number(u"first"_s, 0, 1);
    const qint64 retries = number(u"retries"_s, 0, 0, 1000);
    const qint64 retryDelay = number(u"retry-delay"_s, 0, kRetryDelay.count());
    const qint64 units = number(u"count"_s, 1, 1, 10'000'000);
    if (!badNumber.isEmpty())
        return fail(badNumber);
    if (parser.isSet(u"port"_s))
        options.port = std::int32_t(port);
    options.device = parser.value(u"device"_s);
    options.bluetooth = parser.value(u"bluetooth"_s).toUpper();
    options.bluetoothLine = line;
    options.namePrefix = parser.value(u"name-prefix"_s);
    options.pairPin = parser.value(u"pair-pin"_s);
    options.keepPaired = parser.isSet(u"keep-paired"_s);
    options.timeout = std::chrono::milliseconds(timeout);
    options.batch = parser.isSet(u"units"_s) || parser.isSet(u"count"_s);
    options.wait = parser.isSet(u"wait"_s);
    options.retries = int(retries);
    options.retryDelay = std::chrono::milliseconds(retryDelay);
    options.quiet = parser.isSet(u"quiet"_s);
    options.json = parser.isSet(u"json"_s);
    options.report = parser.value(u"report"_s);
    options.reportPins = parser.isSet(u"report-pins"_s);

    if (parser.isSet(u"ledger"_s))
        return runStation(parser, options);
    if (parser.isSet(u"station"_s) || parser.isSet(u"lease"_s))
        return fail(u"--station and --lease go with --ledger"_s);

    QList<Assignment> sets;
    auto base = commonSettings(parser, sets);
    if (const QString *fault = std::get_if<QString>(&base))
        return fail(*fault);

    // Every unit's settings are made and checked before anything is sent.
    auto planned =
        planBatch(std::get<ModuleSettings>(base), sets, parser.value(u"units"_s), units, first);
    if (const QString *fault = std::get_if<QString>(&planned))
        return fail(*fault);
    PlannedBatch &batch = std::get<PlannedBatch>(planned);
    if (options.device.isEmpty() && !overBluetooth && !options.port) {
        for (const PlannedUnit &unit : std::as_const(batch.units)) {
            if (const std::optional<SettingsProblem> problem =
                    checkSettings(unit.settings, PortUse::Used))
                return fail(
                    u"the settings cannot be sent: %1; give --port N or --device PATH"_s.arg(
                        describeProblem(*problem)));
        }
    }
    PlannedUnits source(std::move(batch.units), batch.metadataNames);
    return programUnits(source, options, g_cancel);
}

constexpr auto kCommands = std::to_array<Command>({
    {"program", "Build the record and program one module, or a batch.", runProgram, programOptions},
    {"record", "Build the record without touching any port: hex dump and fields.", runRecord,
     recordOptions},
    {"describe", "Decode a 192-byte record file.", runDescribe, noOptions, "FILE"},
    {"profile", "Write the merged settings as a profile.", runProfile, profileOptions},
    {"ports", "List serial devices and paired Bluetooth devices that could lead to a module.",
     runPorts, noOptions},
    {"scan", "Search for Bluetooth modules nearby; list them with the paired ones.", runScan,
     scanOptions},
    {"ledger", "A batch shared by several stations: ledger load, status, report, resolve.", nullptr,
     noOptions, "SUBCOMMAND"},
});

// The usage with the commands as the table has them, each summary wrapped under its name.
QString usage() {
    constexpr qsizetype kWidth = 80;
    constexpr qsizetype kIndent = 13;
    QString text = QString::fromUtf16(kUsageStart);
    for (const Command &command : kCommands) {
        QString line = u"  "_s + QString::fromLatin1(command.name).leftJustified(kIndent - 3);
        for (const QString &word : QString::fromLatin1(command.summary).split(u' ')) {
            if (line.size() + 1 + word.size() > kWidth) {
                text += line + u'\n';
                line = QString(kIndent - 1, u' ');
            }
            line += u' ' + word;
        }
        text += line + u'\n';
    }
    return text + QString::fromUtf16(kUsageEnd);
}

// A parser with the command's options, and --help.
void prepare(QCommandLineParser &parser, const Command &command) {
    parser.setApplicationDescription(QString::fromLatin1(command.summary));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOption({{u"h"_s, u"help"_s}, u"Show this help."_s});
    command.options(parser);
    if (command.positional)
        parser.addPositionalArgument(QString::fromLatin1(command.positional), {});
}

QString helpOf(const Command &command, const QString &name) {
    QCommandLineParser parser;
    prepare(parser, command);
    return parser.helpText().replace(u"tavrenode-prog [options]"_s,
                                     u"tavrenode-prog %1 [options]"_s.arg(name));
}

} // namespace

int runCommand(QStringList arguments) {
    QCoreApplication::setApplicationName(u"tavrenode-prog"_s);
    QCoreApplication::setApplicationVersion(toQString(version::kFull));

    const QString first = arguments.value(1);
    if (first.isEmpty() || first == u"--help" || first == u"-h" || first == u"help") {
        (first.isEmpty() ? err : out)(usage());
        return first.isEmpty() ? kBadInput : 0;
    }
    if (first == u"--version" || first == u"-V") {
        out(u"tavrenode-prog %1\n"_s.arg(toQString(version::kFull)));
        return 0;
    }
    const Command *command = nullptr;
    for (const Command &candidate : kCommands) {
        if (first == QLatin1StringView(candidate.name))
            command = &candidate;
    }
    if (!command)
        return fail(u"%1 is not a command; see tavrenode-prog --help"_s.arg(first));

    QString name = QString::fromLatin1(command->name);
    if (!command->run) {
        // ledger SUBCOMMAND
        const QString sub = arguments.value(2);
        if (sub.isEmpty() || sub == u"--help" || sub == u"-h") {
            QString text;
            for (const Command &candidate : ledgerCommands())
                text += helpOf(candidate, name + u' ' + QLatin1StringView(candidate.name)) + u'\n';
            (sub.isEmpty() ? err : out)(text);
            return sub.isEmpty() ? kBadInput : 0;
        }
        command = nullptr;
        for (const Command &candidate : ledgerCommands()) {
            if (sub == QLatin1StringView(candidate.name))
                command = &candidate;
        }
        if (!command)
            return fail(u"ledger %1 is not a command; see tavrenode-prog ledger --help"_s.arg(sub));
        name += u' ' + sub;
        arguments.removeAt(1);
    }

    QCommandLineParser parser;
    prepare(parser, *command);
    arguments.removeAt(1);
    if (!parser.parse(arguments))
        return fail(parser.errorText());
    if (parser.isSet(u"help"_s)) {
        out(helpOf(*command, name));
        return 0;
    }
    if (!command->positional && !parser.positionalArguments().isEmpty())
        return fail(
            u"%1: unexpected argument %2"_s.arg(name, parser.positionalArguments().first()));

    // Standard C, so that Windows has it too; every wait looks at the flag at least every
    // tenth of a second, so a call the signal does not interrupt does not matter.
    std::signal(SIGINT, cancelRun);
    std::signal(SIGTERM, cancelRun);
    return command->run(parser);
}

} // namespace tavrenode::prog
