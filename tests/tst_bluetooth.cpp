// Bluetooth through BlueZ, played by python-dbusmock on a bus of the test's own with the
// modules of tools/bluez_modules.py: the paired devices the failure detail and
// "tavrenode-prog ports" offer, and programming modules straight over BlueZ's profile and
// agent API. The machine's system bus is never used: the test points
// DBUS_SYSTEM_BUS_ADDRESS at its own bus before anything connects.
#include "BluetoothDialog.h"
#include "BluezDevices.h"
#include "BluezLinks.h"
#include "ConfigDialog.h"
#include "FormTemplates.h"
#include "FormTesting.h"
#include "ProgRun.h"
#include "RecordingMessages.h"
#include "SerialLink.h"
#include "SettingsStore.h"
#include "SimulatedModule.h"
#include "StoreTesting.h"
#include "TryCompare.h"

#include <csignal>
#include <sys/prctl.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

// What BlueZ has of the module after the run.
enum class Afterwards { Paired, Gone, Unpaired };
Q_DECLARE_METATYPE(Afterwards)

namespace {

const QString kSerialPort = u"00001101-0000-1000-8000-00805f9b34fb"_s;
const QString kModule = u"00:1A:7D:DA:71:13"_s;

// Helpers go when the test goes, even when it crashes: CTest waits for them otherwise.
void endWithTheTest(QProcess &process) {
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

// A message bus of our own, on a socket in `folder`.
class PrivateBus {
public:
    bool start(const QString &folder) {
        const QString config = folder + u"/bus.conf"_s;
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        // Anyone may own and call anything: the test is the only one on it.
        file.write(u"<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                   u"1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                   u"<busconfig><type>system</type><listen>unix:path=%1/bus</listen>"
                   u"<auth>EXTERNAL</auth><policy context=\"default\"><allow user=\"*\"/>"
                   u"<allow own=\"*\"/><allow send_destination=\"*\"/>"
                   u"<allow receive_sender=\"*\"/></policy></busconfig>\n"_s.arg(folder)
                       .toUtf8());
        file.close();
        endWithTheTest(m_process);
        m_process.start(u"dbus-daemon"_s, {u"--config-file="_s + config, u"--nofork"_s,
                                           u"--nopidfile"_s, u"--print-address=1"_s});
        if (!m_process.waitForStarted() ||
            !QTest::qWaitFor([&] { return m_process.canReadLine(); }, 10000))
            return false;
        m_address = QString::fromUtf8(m_process.readLine()).trimmed();
        return !m_address.isEmpty();
    }
    ~PrivateBus() {
        m_process.terminate();
        m_process.waitForFinished(5000);
    }
    [[nodiscard]] QString address() const { return m_address; }

private:
    QProcess m_process;
    QString m_address;
};

QDBusMessage mockCall(const QString &path, const QString &interface, const QString &method,
                      const QVariantList &arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(u"org.bluez"_s, path, interface, method);
    call.setArguments(arguments);
    return QDBusConnection::systemBus().call(call);
}

} // namespace

class TestBluetooth : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void onlyPairedSerialDevices();
    void noBluez_data();
    void noBluez();
    void portsListsThePairedModule();
    void openFailureOffersTheBindCommand();
    void programOverBluetooth_data();
    void programOverBluetooth();
    void scanListsModules();
    void aLineOfModules();
    void theWindowsDialog();

private:
    using Run = ProgRun;
    static Run prog(const QStringList &arguments, const QString &systemBus);
    // A module of the mock at address, its PIN 8642, faults for its simulator; its log
    // (what it was asked, the records it received) is moduleLogOf(address), in the test's
    // folder.
    [[nodiscard]] bool addModule(const QString &address, const QString &name, bool paired,
                                 const QStringList &faults = {}) const;
    [[nodiscard]] QString moduleLogOf(const QString &address) const;
    [[nodiscard]] QString moduleLogPath(const QString &address) const;

    TemporaryConfigHome m_config;
    QTemporaryDir m_folder;
    PrivateBus m_bus;
    PrivateBus m_emptyBus;
    QProcess m_bluez;
};

void TestBluetooth::initTestCase() {
    QVERIFY(m_folder.isValid());
    QVERIFY2(!QStandardPaths::findExecutable(u"dbus-daemon"_s).isEmpty(),
             "dbus-daemon is missing (package dbus-daemon; tools/dev test installs it)");
    QVERIFY(QDir().mkpath(m_folder.filePath(u"system"_s)));
    QVERIFY(QDir().mkpath(m_folder.filePath(u"empty"_s)));
    QVERIFY(m_bus.start(m_folder.filePath(u"system"_s)));
    QVERIFY(m_emptyBus.start(m_folder.filePath(u"empty"_s)));
    // Before the first use of the system bus in this process.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_bus.address().toUtf8());

    m_bluez.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    endWithTheTest(m_bluez);
    m_bluez.start(u"/usr/bin/python3"_s,
                  {u"-m"_s, u"dbusmock"_s, u"--template"_s,
                   QStringLiteral(TAVRENODE_BLUEZ_TEMPLATE), u"--parameters"_s,
                   u"{\"simulator\": \"%1\"}"_s.arg(QStringLiteral(TAVRENODE_SIM_PATH))});
    QVERIFY(m_bluez.waitForStarted());
    QDBusConnectionInterface *bus = QDBusConnection::systemBus().interface();
    QVERIFY(bus);
    QVERIFY2(
        QTest::qWaitFor([&] { return bus->isServiceRegistered(u"org.bluez"_s).value(); }, 20000),
        "dbusmock's BlueZ did not appear (package python3-dbusmock)");

    // An adapter, and three devices: the module (paired, a serial port, connected), a
    // headset (paired, audio only), a second module nobody paired. Pairing and services are
    // set as properties: the template's PairDevice differs between dbusmock's versions.
    const QString mock = u"org.bluez.Mock"_s;
    QCOMPARE(mockCall(u"/"_s, mock, u"AddAdapter"_s, {u"hci0"_s, u"workbench"_s}).type(),
             QDBusMessage::ReplyMessage);
    // The module's service list in upper case, as some stacks write it.
    const QList<std::pair<QStringList, QVariantMap>> devices{
        {{kModule, u"Gate 7"_s},
         {{u"Paired"_s, true},
          {u"Connected"_s, true},
          {u"UUIDs"_s, QStringList{u"00001101-0000-1000-8000-00805F9B34FB"_s}}}},
        {{u"00:1B:66:0A:0B:0C"_s, u"Headset"_s},
         {{u"Paired"_s, true},
          {u"UUIDs"_s, QStringList{u"0000110b-0000-1000-8000-00805f9b34fb"_s,
                                   u"0000111e-0000-1000-8000-00805f9b34fb"_s}}}},
        {{u"00:1A:7D:DA:71:99"_s, u"Gate 8"_s}, {{u"UUIDs"_s, QStringList{kSerialPort}}}},
    };
    for (const auto &[device, properties] : devices) {
        QCOMPARE(mockCall(u"/"_s, mock, u"AddDevice"_s, {u"hci0"_s, device[0], device[1]}).type(),
                 QDBusMessage::ReplyMessage);
        const QString path = u"/org/bluez/hci0/dev_"_s + QString(device[0]).replace(u':', u'_');
        QCOMPARE(mockCall(path, u"org.freedesktop.DBus.Mock"_s, u"UpdateProperties"_s,
                          {u"org.bluez.Device1"_s, properties})
                     .type(),
                 QDBusMessage::ReplyMessage);
    }
}

void TestBluetooth::cleanupTestCase() {
    m_bluez.terminate();
    m_bluez.waitForFinished(5000);
}

void TestBluetooth::onlyPairedSerialDevices() {
    const QList<tavrenode::PairedSerialDevice> expected{{u"Gate 7"_s, kModule, true}};
    QCOMPARE(tavrenode::bluezSerialDevices(QDBusConnection::systemBus()), expected);
}

void TestBluetooth::noBluez_data() {
    QTest::addColumn<QString>("address");
    QTest::newRow("a bus without BlueZ") << m_emptyBus.address();
    QTest::newRow("no bus at all") << u"unix:path=%1/none"_s.arg(m_folder.path());
}

void TestBluetooth::noBluez() {
    QFETCH(QString, address);
    const QString name = QString::fromLatin1(QTest::currentDataTag());
    {
        const QDBusConnection bus = QDBusConnection::connectToBus(address, name);
        QVERIFY(tavrenode::bluezSerialDevices(bus).isEmpty());
    }
    QDBusConnection::disconnectFromBus(name);

    const Run ports = prog({u"ports"_s}, address);
    QCOMPARE(ports.exitCode, 0);
    QVERIFY2(!ports.out.contains(u"paired"_s), qPrintable(ports.out));
    QVERIFY2(!ports.err.contains(u"rfcomm bind"_s), qPrintable(ports.err));
}

void TestBluetooth::portsListsThePairedModule() {
    const Run ports = prog({u"ports"_s}, m_bus.address());
    QCOMPARE(ports.exitCode, 0);
    const QStringList paired = ports.out.split(u'\n').filter(QRegularExpression(u"^paired\t"_s));
    QCOMPARE(paired, QStringList{u"paired\t%1\tconnected\tGate 7"_s.arg(kModule)});
    QVERIFY2(ports.err.contains(u"  tavrenode-prog program --bluetooth %1   (Gate 7)\n"
                                u"  sudo rfcomm bind N %1\n"_s.arg(kModule)),
             qPrintable(ports.err));
}

void TestBluetooth::openFailureOffersTheBindCommand() {
    // No /dev/rfcomm42 exists here: the failure's detail lists what could become it.
    const Run run = prog({u"program"_s, u"--defaults"_s, u"--port"_s, u"42"_s}, m_bus.address());
    QCOMPARE(run.exitCode, 3);
    QVERIFY2(run.err.contains(u"Failed to open COM42:"_s), qPrintable(run.err));
    QVERIFY2(run.err.contains(u"Paired Bluetooth devices with a serial port, each with the "
                              u"command that makes it port 42:"_s),
             qPrintable(run.err));
    // (tavrenode-prog indents the detail's lines)
    const QRegularExpression module(u"Gate 7 \\(%1, connected\\):\n +sudo rfcomm bind 42 %1\n"
                                    u" +or, without a port: tavrenode-prog program --bluetooth "
                                    u"%1\n"_s.arg(kModule));
    QVERIFY2(run.err.contains(module), qPrintable(run.err));
    QVERIFY2(!run.err.contains(u"Headset"_s) && !run.err.contains(u"Gate 8"_s),
             qPrintable(run.err));
}

namespace {

// The module's log as the mock writes it: what it was asked, and what it received.
QString moduleLog(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The device's properties, as BlueZ has them now; empty once it is gone.
QVariantMap deviceProperties(const QString &address) {
    const QString path = u"/org/bluez/hci0/dev_"_s + QString(address).replace(u':', u'_');
    const QDBusMessage reply =
        mockCall(path, u"org.freedesktop.DBus.Properties"_s, u"GetAll"_s, {u"org.bluez.Device1"_s});
    return reply.type() == QDBusMessage::ReplyMessage
               ? qdbus_cast<QVariantMap>(reply.arguments().value(0))
               : QVariantMap();
}

} // namespace

void TestBluetooth::programOverBluetooth_data() {
    QTest::addColumn<bool>("paired");        // before the run
    QTest::addColumn<QStringList>("faults"); // the simulator's
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message"); // on stderr
    QTest::addColumn<QStringList>("log"); // in the module's log, in this order
    QTest::addColumn<Afterwards>("afterwards");

    const QStringList pin{u"--pair-pin"_s, u"8642"_s};
    // (the simulator prints a record after its last answer, so it may come after the end)
    const QStringList programmed{u"connected"_s, u"record 1"_s};
    QTest::newRow("a paired module") << true << QStringList() << QStringList() << 0 << QString()
                                     << programmed << Afterwards::Paired;
    QTest::newRow("a new module, paired and forgotten")
        << false << QStringList() << pin << 0 << QString()
        << QStringList{u"paired"_s, u"connected"_s, u"record 1"_s} << Afterwards::Gone;
    QTest::newRow("a new module kept paired")
        << false << QStringList() << pin + QStringList{u"--keep-paired"_s} << 0 << QString()
        << QStringList{u"paired"_s, u"record 1"_s} << Afterwards::Paired;
    QTest::newRow("a wrong PIN") << false << QStringList()
                                 << QStringList{u"--pair-pin"_s, u"1111"_s} << 7
                                 << u"The module refused the pairing PIN"_s
                                 << QStringList{u"pairing refused: wrong PIN"_s}
                                 << Afterwards::Unpaired;
    QTest::newRow("no PIN") << false << QStringList() << QStringList() << 7
                            << u"is not paired with this computer.\n\n    Give its PIN with "
                               u"--pair-pin PIN"_s
                            << QStringList() << Afterwards::Unpaired;
    QTest::newRow("a wrong acknowledgement")
        << true << QStringList{u"--block"_s, u"2"_s, u"--reply"_s, u"0x0f"_s} << QStringList() << 6
        << u"The module answered block 2 with 0x0f instead of 0x55."_s
        << QStringList{u"connected"_s, u"block 2 received"_s, u"disconnected"_s}
        << Afterwards::Paired;
    QTest::newRow("a hang-up") << true
                               << QStringList{u"--block"_s, u"1"_s, u"--reply"_s, u"hangup"_s}
                               << QStringList() << 5 << u"The link to the module was lost"_s
                               << QStringList{u"connected"_s, u"disconnected"_s}
                               << Afterwards::Paired;
    QTest::newRow("a foreign caller's connection")
        << true << QStringList() << QStringList{u"intruder"_s} << 0 << QString()
        << QStringList{u"intruder got org.bluez.Error.Rejected; its descriptor closed"_s,
                       u"record 1"_s}
        << Afterwards::Paired;
}

void TestBluetooth::programOverBluetooth() {
    QFETCH(bool, paired);
    QFETCH(QStringList, faults);
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QFETCH(QStringList, log);
    QFETCH(Afterwards, afterwards);

    // A module of the row's own: its address from the row's number.
    static int rows = 0;
    const QString address = u"00:1A:7D:DA:72:%1"_s.arg(++rows, 2, 10, QLatin1Char('0'));
    QVERIFY(addModule(address, u"Tavrenode %1"_s.arg(rows), paired, faults));
    if (options.removeAll(u"intruder"_s) > 0)
        QCOMPARE(mockCall(u"/"_s, u"org.bluez.Mock"_s, u"AddIntruder"_s, {address}).type(),
                 QDBusMessage::ReplyMessage);

    const Run run = prog(QStringList{u"program"_s, u"--defaults"_s, u"--bluetooth"_s, address,
                                     u"--timeout"_s, u"500"_s, u"--json"_s} +
                             options,
                         m_bus.address());
    QVERIFY2(run.exitCode == exitCode, qPrintable(run.err));
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    // The pairing PIN is never shown, in text or JSON.
    QVERIFY2(!run.out.contains(u"8642"_s) && !run.err.contains(u"8642"_s), qPrintable(run.err));
    QVERIFY2(run.out.contains(u"\"address\":\"%1\""_s.arg(address)), qPrintable(run.out));

    // The mock writes its log as the calls come; the last lines may follow the exit.
    const auto inOrder = [&] {
        const QString text = moduleLogOf(address);
        qsizetype from = 0;
        for (const QString &line : log) {
            if ((from = text.indexOf(line, from)) < 0)
                return false;
        }
        return true;
    };
    TRY_VERIFY2(inOrder(), qPrintable(moduleLogOf(address)));
    if (exitCode == 7)
        QVERIFY2(!moduleLogOf(address).contains(u"connected"_s), "nothing was sent");
    else
        TRY_VERIFY2(moduleLogOf(address).contains(u"disconnected"_s), "the link was ended");
    const QVariantMap device = deviceProperties(address);
    switch (afterwards) {
    case Afterwards::Paired:
        QVERIFY(device.value(u"Paired"_s).toBool());
        break;
    case Afterwards::Gone:
        QVERIFY2(device.isEmpty(), "the pairing the run made is gone");
        break;
    case Afterwards::Unpaired:
        QVERIFY(!device.isEmpty() && !device.value(u"Paired"_s).toBool());
        break;
    }
}

void TestBluetooth::scanListsModules() {
    const Run scan =
        prog({u"scan"_s, u"--seconds"_s, u"0"_s, u"--name-prefix"_s, u"Gate"_s}, m_bus.address());
    QCOMPARE(scan.exitCode, 0);
    // The paired module, and the one nearby that is new; the headset's name does not match.
    QCOMPARE(scan.out, u"%1\tpaired\t-79\tserial-port\tGate 7\n"
                       u"00:1A:7D:DA:71:99\tnew\t-79\tserial-port\tGate 8\n"_s.arg(kModule));
    const Run json =
        prog({u"scan"_s, u"--seconds"_s, u"0"_s, u"--name-prefix"_s, u"Gate 8"_s, u"--json"_s},
             m_bus.address());
    QCOMPARE(json.out, u"{\"address\":\"00:1A:7D:DA:71:99\",\"name\":\"Gate 8\",\"paired\":false,"
                       u"\"rssi\":-79,\"serial_port\":true}\n"_s);
    const Run unknown = prog({u"program"_s, u"--defaults"_s, u"--bluetooth"_s,
                              u"00:1A:7D:DA:7F:7F"_s, u"--timeout"_s, u"300"_s},
                             m_bus.address());
    QCOMPARE(unknown.exitCode, 3);
    QVERIFY2(unknown.err.contains(u"No Bluetooth device with the address 00:1A:7D:DA:7F:7F"_s),
             qPrintable(unknown.err));
    const Run malformed =
        prog({u"program"_s, u"--defaults"_s, u"--bluetooth"_s, u"00:1A:7D"_s}, m_bus.address());
    QCOMPARE(malformed.exitCode, 2);
}

void TestBluetooth::aLineOfModules() {
    // Modules named "Line N" come one after another; "Liner" beside them never matches a
    // prefix of "Line " and is never connected.
    const QString other = u"00:1A:7D:DA:73:09"_s;
    QVERIFY(addModule(other, u"Liner"_s, true));
    QVERIFY(addModule(u"00:1A:7D:DA:73:01"_s, u"Line 1"_s, false));

    QProcess line;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"DBUS_SYSTEM_BUS_ADDRESS"_s, m_bus.address());
    line.setProcessEnvironment(environment);
    endWithTheTest(line);
    line.start(QStringLiteral(TAVRENODE_PROG_PATH),
               {u"program"_s, u"--defaults"_s, u"--bluetooth-line"_s, u"--name-prefix"_s,
                u"Line "_s, u"--count"_s, u"4"_s, u"--pair-pin"_s, u"8642"_s, u"--set"_s,
                u"name=Unit {n}"_s, u"--json"_s});
    QVERIFY(line.waitForStarted());
    const auto logOf = [&](int n) {
        return moduleLogOf(u"00:1A:7D:DA:73:0%1"_s.arg(n));
    };
    // The second is paired already, the others are paired by the run.
    for (int n = 1; n <= 3; ++n) {
        TRY_VERIFY2(logOf(n).contains(u"disconnected"_s), qPrintable(logOf(n)));
        QVERIFY2(logOf(n).contains(u"device name         \"Unit %1\""_s.arg(n)),
                 qPrintable(logOf(n)));
        if (n < 3)
            QVERIFY(
                addModule(u"00:1A:7D:DA:73:0%1"_s.arg(n + 1), u"Line %1"_s.arg(n + 1), n + 1 == 2));
    }
    // Waiting for a fourth that does not come: Ctrl-C ends the line.
    QByteArray errors;
    TRY_VERIFY2((errors += line.readAllStandardError()).contains("unit 4: looking"),
                errors.constData());
    ::kill(pid_t(line.processId()), SIGINT);
    QVERIFY(line.waitForFinished(10000));
    QCOMPARE(line.exitCode(), 130);
    const QString events = QString::fromUtf8(line.readAllStandardOutput());
    QVERIFY2(events.contains(u"\"programmed\":3"_s), qPrintable(events));
    QVERIFY2(!events.contains(u"8642"_s), "the PIN stays out of the JSON");
    for (int n = 1; n <= 3; ++n)
        QVERIFY2(events.contains(u"\"address\":\"00:1A:7D:DA:73:0%1\""_s.arg(n)),
                 qPrintable(events));

    QVERIFY2(!moduleLogOf(other).contains(u"connected"_s),
             "a module of another name is never connected");
    QVERIFY(deviceProperties(u"00:1A:7D:DA:73:01"_s).isEmpty());
    QVERIFY(deviceProperties(u"00:1A:7D:DA:73:02"_s).value(u"Paired"_s).toBool());
    QVERIFY(deviceProperties(u"00:1A:7D:DA:73:03"_s).isEmpty());
}

void TestBluetooth::theWindowsDialog() {
    using namespace tavrenode;
    const QString first = u"00:1A:7D:DA:74:01"_s;
    const QString second = u"00:1A:7D:DA:74:02"_s;
    QVERIFY(addModule(first, u"Desk 1"_s, true));

    const BluezLinks links(QDBusConnection::systemBus());
    const FixedNaming naming(m_folder.filePath(u"no-port"_s));
    const SerialLinks ports(naming);
    RecordingMessages messages;
    RecordingHelp help;
    PresetProfileFiles profiles;
    const SettingsStore store(u"Tavrenode Config"_s, u"bluetooth-window-test"_s);
    ConfigServices services{messages, ports, help, store, profiles};
    services.bluetooth = [&] {
        return &links;
    };
    ConfigDialog window(services);
    window.show();
    // The form's name, sent over Bluetooth as over a port.
    control<QLineEdit>(window, forms::id::DeviceName)->setText(u"Desk unit"_s);

    BluetoothDialog dialog(links, std::bind_front(&ConfigDialog::programOverBluetooth, &window), {},
                           &window);
    dialog.show();
    auto *modules = dialog.findChild<QTreeWidget *>();
    QVERIFY(modules);
    const auto programButton = [&] {
        for (QPushButton *button : dialog.findChildren<QPushButton *>()) {
            if (button->text() == u"&Program")
                return button;
        }
        return static_cast<QPushButton *>(nullptr);
    };
    QVERIFY(programButton());

    const auto itemOf = [&](const QString &address) {
        const QList<QTreeWidgetItem *> found = modules->findItems(address, Qt::MatchExactly, 1);
        return found.value(0);
    };
    // The paired modules are offered at once (the earlier cases' among them).
    QVERIFY(itemOf(first));
    QVERIFY(!itemOf(second));
    modules->setCurrentItem(itemOf(first));
    programButton()->click();
    QVERIFY2(moduleLogOf(first).contains(u"device name         \"Desk unit\""_s),
             qPrintable(moduleLogOf(first)));
    const auto *status = control<QLabel>(window, forms::id::RunStatus);
    QVERIFY2(status->text().startsWith(u"Programmed Desk 1 (00:1A:7D:DA:74:01) at "_s),
             qPrintable(status->text()));
    QVERIFY2(messages.messages.isEmpty(), qPrintable(messages.texts().join(u'\n')));
    ModuleSettings saved; // the store saved before sending, as the programming button does
    store.load(saved);
    QCOMPARE(saved.deviceName, u"Desk unit"_s);

    // A new module comes into range during the search, and is paired with the PIN typed.
    bool added = false;
    QTimer::singleShot(300, this, [&] { added = addModule(second, u"Desk 2"_s, false); });
    // Pressed again, the button stops the search.
    QTimer::singleShot(1500, &dialog, [&] { dialog.findModules(); });
    dialog.findModules();
    QVERIFY(added);
    QVERIFY(itemOf(second));
    QCOMPARE(itemOf(second)->text(3), u"new"_s);
    modules->setCurrentItem(itemOf(second));
    dialog.findChild<QLineEdit *>()->setText(u"8642"_s);
    programButton()->click();
    QVERIFY2(moduleLogOf(second).contains(u"paired"_s) &&
                 moduleLogOf(second).contains(u"record 1"_s),
             qPrintable(moduleLogOf(second)));
    QVERIFY2(status->text().startsWith(u"Programmed Desk 2 (00:1A:7D:DA:74:02) at "_s),
             qPrintable(status->text()));
    QCOMPARE(dialog.programmedAddress(), second);
    QVERIFY2(deviceProperties(second).isEmpty(), "the pairing made is gone");
}

bool TestBluetooth::addModule(const QString &address, const QString &name, bool paired,
                              const QStringList &faults) const {
    return mockCall(u"/"_s, u"org.bluez.Mock"_s, u"AddModule"_s,
                    {u"hci0"_s, address, name, paired, u"8642"_s, faults, moduleLogPath(address)})
               .type() == QDBusMessage::ReplyMessage;
}

QString TestBluetooth::moduleLogOf(const QString &address) const {
    return moduleLog(moduleLogPath(address));
}

QString TestBluetooth::moduleLogPath(const QString &address) const {
    return m_folder.filePath(u"module-%1.log"_s.arg(QString(address).remove(u':')));
}

TestBluetooth::Run TestBluetooth::prog(const QStringList &arguments, const QString &systemBus) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"DBUS_SYSTEM_BUS_ADDRESS"_s, systemBus);
    return runProg(arguments, environment);
}

QTEST_MAIN(TestBluetooth)
#include "tst_bluetooth.moc"
