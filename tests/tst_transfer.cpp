#include "BlockProtocol.h"
#include "ConfigureModeHint.h"
#include "ModuleSimulator.h"
#include "PortNaming.h"
#include "ProgrammingTransfer.h"
#include "RecordDescription.h"
#include "RecordEncoder.h"
#include "RecordingMessages.h"
#include "SerialDevice.h"
#include "SettingsStore.h"
#include "SimulatedModule.h"
#include "TransferRun.h"
#include "TryCompare.h"

#include <fcntl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace Qt::StringLiterals;

using namespace tavrenode;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(tavrenode::SimScript)
Q_DECLARE_METATYPE(tavrenode::BlockFailure)
Q_DECLARE_METATYPE(tavrenode::DeviceHolder)

namespace {

int openDescriptors() {
    return int(QDir(u"/proc/self/fd"_s).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size());
}

// A device that answers from a script, for the protocol on its own.
class ScriptedDevice final : public QIODevice {
public:
    ScriptedDevice(QByteArray answers, qint64 writeLimit)
        : m_answers(std::move(answers))
        , m_writeLimit(writeLimit) {
        open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    }
    QByteArray written;
    int answersRead = 0;

protected:
    qint64 readData(char *data, qint64 maxSize) override {
        // One answer becomes available per block written.
        const qint64 available =
            std::min<qint64>(written.size() / 64 - answersRead, m_answers.size() - answersRead);
        const qint64 count = std::min(maxSize, available);
        for (qint64 i = 0; i < count; ++i)
            data[i] = m_answers[answersRead++];
        return count;
    }
    qint64 writeData(const char *data, qint64 size) override {
        const qint64 accepted = std::min(size, m_writeLimit);
        if (accepted > 0)
            written.append(data, accepted);
        return accepted;
    }
    qint64 bytesAvailable() const override {
        return std::max<qint64>(0, std::min<qint64>(written.size() / 64 - answersRead,
                                                    m_answers.size() - answersRead)) +
               QIODevice::bytesAvailable();
    }
    bool waitForReadyRead(int) override { return bytesAvailable() > 0; }
    bool isSequential() const override { return true; }

private:
    QByteArray m_answers;
    qint64 m_writeLimit;
};

} // namespace

class TestTransfer : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void protocol_data();
    void protocol();
    void overPseudoTerminal_data();
    void overPseudoTerminal();
    void silentModuleTimesOutAfterThreeSeconds();
    void openFailures_data();
    void openFailures();
    void presentDevicesInNumberOrder_data();
    void presentDevicesInNumberOrder();
    void portHeldByAnotherProgram();
    void busyPortAdvice_data();
    void busyPortAdvice();
    void consecutiveRunsEachProgramTheModule();
    void lineSettingsStayTheDevices_data();
    void lineSettingsStayTheDevices();
    void simulatorProgramPrintsTheDecodedRecord();
};

void TestTransfer::protocol_data() {
    QTest::addColumn<QByteArray>("answers");
    QTest::addColumn<qint64>("writeLimit");
    QTest::addColumn<BlockFailure>("failure");
    QTest::addColumn<int>("block");
    QTest::addColumn<int>("bytesWritten");
    // Answers seen before the caller cancels; -1 never; -2 from another thread a moment after
    // the link failed, as a console's Ctrl-C comes on Windows.
    QTest::addColumn<int>("cancelAfter");

    QTest::newRow("three acknowledgements")
        << QByteArray("UUU") << qint64(64) << BlockFailure::None << 0 << 192 << -1;
    QTest::newRow("wrong byte for block 3")
        << QByteArray("UUV") << qint64(64) << BlockFailure::Acknowledgement << 3 << 192 << -1;
    QTest::newRow("no answer for block 2")
        << QByteArray("U") << qint64(64) << BlockFailure::Read << 2 << 128 << -1;
    QTest::newRow("short write") << QByteArray("UUU") << qint64(63) << BlockFailure::Write << 1
                                 << 63 << -1;
    QTest::newRow("write error") << QByteArray("UUU") << qint64(-1) << BlockFailure::Write << 1 << 0
                                 << -1;
    QTest::newRow("cancelled after block 1")
        << QByteArray("UUU") << qint64(64) << BlockFailure::Interrupted << 2 << 64 << 1;
    QTest::newRow("cancelled before anything")
        << QByteArray("UUU") << qint64(64) << BlockFailure::Interrupted << 1 << 0 << 0;
    QTest::newRow("write error as the run is stopped")
        << QByteArray("UUU") << qint64(-1) << BlockFailure::Interrupted << 1 << 0 << -2;
    QTest::newRow("link lost as the run is stopped")
        << QByteArray("U") << qint64(64) << BlockFailure::Interrupted << 2 << 128 << -2;
}

void TestTransfer::protocol() {
    QFETCH(QByteArray, answers);
    QFETCH(qint64, writeLimit);
    QFETCH(BlockFailure, failure);
    QFETCH(int, block);
    QFETCH(int, bytesWritten);
    QFETCH(int, cancelAfter);

    ConfigRecord record{};
    for (std::size_t i = 0; i < record.size(); ++i)
        record[i] = std::uint8_t(i);
    ScriptedDevice device(answers, writeLimit);
    std::atomic<bool> cancel = cancelAfter == 0;
    QByteArray seen;
    const BlockHooks hooks{[&](int answered, std::uint8_t answer) {
                               QCOMPARE(answered, seen.size() + 1);
                               seen.append(char(answer));
                               if (seen.size() == cancelAfter)
                                   cancel = true;
                           },
                           &cancel,
                           {}};
    std::jthread lateStop;
    if (cancelAfter == -2)
        lateStop = std::jthread([&cancel] {
            QThread::msleep(30);
            cancel = true;
        });
    const BlockTransferResult result = sendBlocks(device, record, 50ms, hooks);
    // Every answer read is reported, in order.
    QCOMPARE(seen, answers.left(device.answersRead));
    QCOMPARE(result.failure, failure);
    QCOMPARE(result.block, block);
    QCOMPARE(device.written.size(), bytesWritten);
    QCOMPARE(device.written,
             QByteArray(reinterpret_cast<const char *>(record.data()), bytesWritten));
    if (failure == BlockFailure::Acknowledgement)
        QCOMPARE(result.acknowledgement, std::uint8_t('V'));
}

void TestTransfer::overPseudoTerminal_data() {
    QTest::addColumn<SimScript>("script");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QList<int>>("blocks");
    QTest::addColumn<QString>("detail");

    QTest::newRow("module acknowledges every block")
        << SimScript{} << QStringList{} << QList<int>{1, 2, 3} << QString();
    QTest::newRow("block 2 answered with 0x00")
        << SimScript{2, Reply::Byte, 0x00} << QStringList{u"Programming Failed."_s, kHint}
        << QList<int>{1, 2} << u"The module answered block 2 with 0x00 instead of 0x55."_s;
    QTest::newRow("block 1 answered with 0xAA")
        << SimScript{1, Reply::Byte, 0xAA} << QStringList{u"Programming Failed."_s, kHint}
        << QList<int>{1} << u"The module answered block 1 with 0xaa instead of 0x55."_s;
    QTest::newRow("no answer to block 3")
        << SimScript{3, Reply::Silence, 0} << QStringList{u"Failed to read from COM4:"_s, kHint}
        << QList<int>{1, 2, 3} << u"No answer within 0.3 seconds. Block 3 of 3."_s;
    QTest::newRow("hang-up after block 1")
        << SimScript{1, Reply::HangUp, 0} << QStringList{u"Failed to read from COM4:"_s, kHint}
        << QList<int>{1}
        << u"The link to the module was lost: the device hung up or was removed.\n\nBlock 1 of 3."_s;
}

void TestTransfer::overPseudoTerminal() {
    QFETCH(SimScript, script);
    QFETCH(QStringList, messages);
    QFETCH(QList<int>, blocks);
    QFETCH(QString, detail);

    SimulatedModule module(script);
    const FixedNaming naming(module.path());
    RecordingMessages shown;
    const SerialLinks links(naming);
    const TransferRun transfer(links, shown, 300ms);
    const ModuleSettings settings = SettingsStore::defaults();
    ConfigRecord record{};

    // A simulator that hangs up closes its own end, which lives in this process too.
    const int descriptorsBefore = openDescriptors() - (script.reply == Reply::HangUp ? 1 : 0);
    transfer.run(settings, record);
    QCOMPARE(openDescriptors(), descriptorsBefore);

    QCOMPARE(shown.texts(), messages);
    TRY_COMPARE(module.blocks(), blocks);
    // Every failure's detail names the device first.
    if (!detail.isEmpty())
        QCOMPARE(shown.messages.first().detail, u"Device: "_s + module.path() + u"\n\n"_s + detail);
    if (messages.isEmpty()) {
        TRY_COMPARE(module.records().size(), 1);
        QCOMPARE(module.records().first(), record);
    }
}

void TestTransfer::silentModuleTimesOutAfterThreeSeconds() {
    SimulatedModule module({1, Reply::Silence, 0});
    const FixedNaming naming(module.path());
    RecordingMessages shown;
    const SerialLinks links(naming);
    const TransferRun transfer(links, shown, kPortTimeout);
    ConfigRecord record{};
    ModuleSettings settings = SettingsStore::defaults();
    settings.comPort = 12;

    QElapsedTimer clock;
    clock.start();
    transfer.run(settings, record);
    QVERIFY2(clock.elapsed() >= 2900, "gave up before the module's time-out");
    QCOMPARE(shown.texts(), (QStringList{u"Failed to read from COM12:"_s, kHint}));
    QCOMPARE(shown.messages.first().detail,
             u"Device: "_s + module.path() + u"\n\nNo answer within 3 seconds. Block 1 of 3."_s);
    QCOMPARE(module.blocks(), QList<int>{1});
}

void TestTransfer::openFailures_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QList<PairedSerialDevice>>("paired");
    QTest::addColumn<QString>("detailContains");

    const QString absent = u"/dev/rfcomm-absent-7"_s;
    const QList<PairedSerialDevice> paired{{u"Gate 7"_s, u"00:1A:7D:DA:71:13"_s, true},
                                           {QString(), u"00:1A:7D:DA:71:14"_s, false}};
    const QString pairedAdvice =
        u"Paired Bluetooth devices with a serial port, each with the command that makes it "
        u"port 7:\n"
        u"Gate 7 (00:1A:7D:DA:71:13, connected):\n"
        u"    sudo rfcomm bind 7 00:1A:7D:DA:71:13\n"
        u"(no name) (00:1A:7D:DA:71:14, not connected):\n"
        u"    sudo rfcomm bind 7 00:1A:7D:DA:71:14"_s;
    QTest::newRow("absent, others present")
        << absent << QStringList{u"/dev/rfcomm0"_s, u"/dev/rfcomm3"_s}
        << QList<PairedSerialDevice>{}
        << u"Bluetooth serial ports present: /dev/rfcomm0, /dev/rfcomm3"_s;
    QTest::newRow("absent, none present") << absent << QStringList{} << QList<PairedSerialDevice>{}
                                          << u"No Bluetooth serial port exists"_s;
    // The paired devices' own commands take the general advice's place.
    QTest::newRow("absent, none present, two paired")
        << absent << QStringList{} << paired << u"\n\n"_s + pairedAdvice;
    QTest::newRow("absent, others present, two paired")
        << absent << QStringList{u"/dev/rfcomm0"_s} << paired
        << u"Bluetooth serial ports present: /dev/rfcomm0\n\n"_s + pairedAdvice;
    QTest::newRow("not a serial device")
        << QString() << QStringList{} << QList<PairedSerialDevice>{} << QString();
}

void TestTransfer::openFailures() {
    QFETCH(QString, path);
    QFETCH(QStringList, present);
    QFETCH(QList<PairedSerialDevice>, paired);
    QFETCH(QString, detailContains);

    QTemporaryDir dir;
    if (path.isEmpty()) { // a plain file is no terminal
        path = dir.filePath(u"plain"_s);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const FixedNaming naming(path, present, paired);
    RecordingMessages shown;
    const SerialLinks links(naming);
    const TransferRun transfer(links, shown, kPortTimeout);
    ModuleSettings settings = SettingsStore::defaults();
    settings.comPort = 7;
    ConfigRecord record{};

    const int descriptorsBefore = openDescriptors();
    transfer.run(settings, record);
    QCOMPARE(openDescriptors(), descriptorsBefore);
    QCOMPARE(shown.texts(), (QStringList{u"Failed to open COM7:"_s, kHint}));
    const QString detail = shown.messages.first().detail;
    QVERIFY2(detail.startsWith(u"Device: "_s + path + u"\n\n"_s), qPrintable(detail));
    QVERIFY2(detail.size() > path.size() + 10, "the system's reason is missing");
    QVERIFY2(detail.contains(detailContains), qPrintable(detail));
    // Paired devices' own commands take the general advice's place.
    if (!paired.isEmpty())
        QVERIFY2(!detail.contains(u"No Bluetooth serial port exists"_s), qPrintable(detail));
    // The record is built before the port is opened.
    QCOMPARE(record[0], 0x03);
}

void TestTransfer::presentDevicesInNumberOrder_data() {
    QTest::addColumn<QStringList>("devices");
    QTest::addColumn<QStringList>("sorted");
    QTest::newRow("rfcomm 2 before 10")
        << QStringList{u"/dev/rfcomm10"_s, u"/dev/rfcomm2"_s, u"/dev/rfcomm0"_s}
        << QStringList{u"/dev/rfcomm0"_s, u"/dev/rfcomm2"_s, u"/dev/rfcomm10"_s};
    QTest::newRow("COM ports") << QStringList{u"COM12"_s, u"COM3"_s, u"COM1"_s}
                               << QStringList{u"COM1"_s, u"COM3"_s, u"COM12"_s};
    QTest::newRow("none") << QStringList{} << QStringList{};
}

void TestTransfer::presentDevicesInNumberOrder() {
    QFETCH(QStringList, devices);
    QFETCH(QStringList, sorted);
    QCOMPARE(sortedByNumber(devices), sorted);

    // The detail of a port that does not exist lists them in that order.
    const FixedNaming naming(u"/dev/rfcomm-absent-7"_s, sortedByNumber(devices));
    RecordingMessages shown;
    const SerialLinks links(naming);
    const TransferRun transfer(links, shown, kPortTimeout);
    ConfigRecord record{};
    transfer.run(SettingsStore::defaults(), record);
    QVERIFY(!shown.messages.isEmpty());
    const QString detail = shown.messages.first().detail;
    if (sorted.isEmpty())
        QVERIFY2(detail.contains(u"No Bluetooth serial port exists"_s), qPrintable(detail));
    else
        QVERIFY2(detail.endsWith(u"Bluetooth serial ports present: "_s + sorted.join(u", "_s)),
                 qPrintable(detail));
}

void TestTransfer::portHeldByAnotherProgram() {
    SimulatedModule module;
    QSerialPort other;
    other.setPortName(module.path());
    QVERIFY(other.open(QIODevice::ReadWrite));

    const FixedNaming naming(module.path());
    RecordingMessages shown;
    const SerialLinks links(naming);
    const TransferRun transfer(links, shown, kPortTimeout);
    ConfigRecord record{};
    transfer.run(SettingsStore::defaults(), record);
    QCOMPARE(shown.texts(), (QStringList{u"Failed to open COM4:"_s, kHint}));
    const QString heldBy =
        u"It is held by tst_transfer (process %1)."_s.arg(QCoreApplication::applicationPid());
    QVERIFY2(shown.messages.first().detail.contains(heldBy),
             qPrintable(shown.messages.first().detail));
    QCOMPARE(module.blocks(), QList<int>{});
}

void TestTransfer::busyPortAdvice_data() {
    QTest::addColumn<QList<DeviceHolder>>("holders");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("contains"); // none: no advice at all

    QTest::newRow("nobody") << QList<DeviceHolder>{} << u"/dev/rfcomm0"_s << QStringList{};
    QTest::newRow("three programs")
        << QList<DeviceHolder>{{7, u"a"_s}, {8, u"b"_s}, {9, u"c"_s}} << u"/dev/ttyS0"_s
        << QStringList{u"It is held by a (process 7), b (process 8) and c (process 9)."_s};
    QTest::newRow("ModemManager on an rfcomm device")
        << QList<DeviceHolder>{{412, u"ModemManager"_s}} << u"/dev/rfcomm0"_s
        << QStringList{
               u"It is held by ModemManager (process 412).\n\n"_s,
               u"\nSUBSYSTEM==\"tty\", KERNEL==\"rfcomm[0-9]*\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"\n"_s,
               u"\"systemctl stop ModemManager\""_s};
    QTest::newRow("ModemManager on a device named by number")
        << QList<DeviceHolder>{{412, u"ModemManager"_s}} << u"/dev/pts/3"_s
        << QStringList{u"KERNEL==\"3\", ENV"_s};
    QTest::newRow("brltty on a USB adapter")
        << QList<DeviceHolder>{{88, u"brltty"_s}} << u"/dev/ttyUSB12"_s
        << QStringList{u"(\"systemctl stop 'brltty*'\")"_s, u"(\"apt remove brltty\")"_s};
}

void TestTransfer::busyPortAdvice() {
    QFETCH(QList<DeviceHolder>, holders);
    QFETCH(QString, path);
    QFETCH(QStringList, contains);

    const QString advice = SerialDevice::holdersAdvice(holders, path);
    QCOMPARE(advice.isEmpty(), contains.isEmpty());
    for (const QString &part : contains)
        QVERIFY2(advice.contains(part), qPrintable(advice));
}

void TestTransfer::consecutiveRunsEachProgramTheModule() {
    SimulatedModule module;
    const FixedNaming naming(module.path());
    RecordingMessages shown;
    const SerialLinks links(naming);
    const TransferRun transfer(links, shown, kPortTimeout);
    ModuleSettings settings = SettingsStore::defaults();
    ConfigRecord record{};

    transfer.run(settings, record);
    settings.pin = u"0000"_s;
    transfer.run(settings, record);
    QCOMPARE(shown.texts(), QStringList{});
    TRY_COMPARE(module.records().size(), 2);
    QCOMPARE(module.records().at(1), record);
    QCOMPARE(record[59], '0');
}

namespace {

// What the transfer must leave alone: the speed, the stop bits and parity, and flow control.
struct LineSettings {
    speed_t speed = B9600;
    tcflag_t control = 0; // CSTOPB, PARENB, PARODD, CRTSCTS, CLOCAL, HUPCL
    tcflag_t input = 0;   // IXON, IXOFF, IXANY
    bool operator==(const LineSettings &) const = default;
};

constexpr tcflag_t kControlKept = CSTOPB | PARENB | PARODD | CRTSCTS | CLOCAL | HUPCL;
constexpr tcflag_t kInputKept = IXON | IXOFF | IXANY;

LineSettings lineSettingsOf(const termios &tio) {
    return {::cfgetospeed(&tio), tio.c_cflag & kControlKept, tio.c_iflag & kInputKept};
}

} // namespace

Q_DECLARE_METATYPE(LineSettings)

void TestTransfer::lineSettingsStayTheDevices_data() {
    QTest::addColumn<LineSettings>("line");
    // A pseudo-terminal keeps what a serial device keeps, except the data bits and parity,
    // which it always has at 8 and none.
    QTest::newRow("115200 baud, two stop bits, RTS/CTS")
        << LineSettings{B115200, CSTOPB | CRTSCTS | CLOCAL, 0};
    QTest::newRow("1200 baud, XON/XOFF, modem lines and hang-up on close")
        << LineSettings{B1200, HUPCL, IXON | IXOFF | IXANY};
    QTest::newRow("230400 baud, everything else off") << LineSettings{B230400, 0, 0};
}

void TestTransfer::lineSettingsStayTheDevices() {
    QFETCH(LineSettings, line);

    SimulatedModule module;
    // Set up as the system would have it before the tool runs: a cooked terminal with the
    // row's line settings. The observer keeps the device open to look at it throughout.
    const int observer = ::open(QFile::encodeName(module.path()).constData(),
                                O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    QVERIFY(observer >= 0);
    termios before{};
    QCOMPARE(::tcgetattr(observer, &before), 0);
    before.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
    before.c_oflag |= OPOST;
    before.c_cflag = (before.c_cflag & ~kControlKept) | line.control;
    before.c_iflag = (before.c_iflag & ~kInputKept) | line.input;
    QCOMPARE(::cfsetspeed(&before, line.speed), 0);
    QCOMPARE(::tcsetattr(observer, TCSANOW, &before), 0);
    QCOMPARE(::tcgetattr(observer, &before), 0);
    QCOMPARE(lineSettingsOf(before), line);

    const FixedNaming naming(module.path());
    RecordingMessages shown;
    termios whileOpen{};
    HookedLinks ports(naming);
    ports.afterOpen = [&] {
        ::tcgetattr(observer, &whileOpen);
    };
    const TransferRun transfer(ports, shown);
    ConfigRecord record{};
    transfer.run(SettingsStore::defaults(), record);
    QCOMPARE(shown.texts(), QStringList{});
    TRY_COMPARE(module.records().size(), 1);
    QCOMPARE(module.records().first(), record);

    // While open: the same line, but raw bytes.
    QCOMPARE(lineSettingsOf(whileOpen), line);
    QCOMPARE(whileOpen.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), tcflag_t(0));
    QCOMPARE(whileOpen.c_oflag & OPOST, tcflag_t(0));
    // After closing: all of it as it was.
    termios after{};
    QCOMPARE(::tcgetattr(observer, &after), 0);
    ::close(observer);
    QCOMPARE(lineSettingsOf(after), line);
    QCOMPARE(after.c_iflag, before.c_iflag);
    QCOMPARE(after.c_oflag, before.c_oflag);
    QCOMPARE(after.c_cflag, before.c_cflag);
    QCOMPARE(after.c_lflag, before.c_lflag);
}

void TestTransfer::simulatorProgramPrintsTheDecodedRecord() {
    QProcess simulator;
    simulator.start(QString::fromUtf8(TAVRENODE_SIM_PATH), {u"--records"_s, u"1"_s});
    QVERIFY(simulator.waitForStarted());
    QVERIFY(simulator.waitForReadyRead(5000));
    const QString first = QString::fromUtf8(simulator.readLine()).trimmed();
    QVERIFY2(first.startsWith(u"device /dev/pts/"_s), qPrintable(first));

    const FixedNaming naming(first.mid(7));
    RecordingMessages shown;
    const SerialLinks links(naming);
    const TransferRun transfer(links, shown, kPortTimeout);
    ConfigRecord record{};
    transfer.run(SettingsStore::defaults(), record);
    QCOMPARE(shown.texts(), QStringList{});
    QVERIFY(simulator.waitForFinished(5000));
    QCOMPARE(simulator.exitCode(), 0);

    const QString output = QString::fromUtf8(simulator.readAllStandardOutput());
    QVERIFY2(output.contains(QString::fromStdString(describeRecord(record))), qPrintable(output));
    const QStringList expected{
        u"0x03  Low until initialized, 1Hz if unconnected, high if connected"_s,
        u"0x04  9600 baud"_s,
        u"0x522204  major 2 (phone), minor 0x04 (Cellphone)"_s,
        u"limited discoverable: yes"_s,
        u"services: networking, object transfer, telephony"_s,
        u"\"Tavrenode {1}{2}:{3}{4}:{5}{6}:{7}{8}:{9}{10}:{11}{12}\""_s,
        u"\"7392\""_s,
        u"0x02  Authentication and encryption"_s,
        u"0x02  If high at power-up, enters WFP mode.  If low, master mode."_s,
        u"000 03 04 04 22 52 54 61 76  72 65 6E 6F 64 65 20 10"_s,
    };
    for (const QString &line : expected)
        QVERIFY2(output.contains(line), qPrintable(line + u"\n---\n"_s + output));
}

QTEST_GUILESS_MAIN(TestTransfer)
#include "tst_transfer.moc"
