// tavrenode-prog from outside, as scripts run it: real processes, the simulator on a
// pseudo-terminal behind a link, exit codes, stderr, JSON Lines and the report.
#include "ProgRun.h"
#include "SimProcess.h"
#include "StoreTesting.h"
#include "TryCompare.h"

#include <csignal>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

using Run = ProgRun;

} // namespace

class TestProg : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void programsOneModule();
    void failures_data();
    void failures();
    void badInput_data();
    void badInput();
    void batchWithTemplatesAndMetadata();
    void recordProfileAndDescribeAgree();
    void retriesAFailedUnit();
    void interruptedRunEndsWith130();

private:
    Run prog(const QStringList &arguments);
    QString path(const QString &name) const { return m_folder.filePath(name); }

    TemporaryConfigHome m_config;
    QTemporaryDir m_folder;
};

void TestProg::initTestCase() {
    QVERIFY(m_config.isValid() && m_folder.isValid());
}

Run TestProg::prog(const QStringList &arguments) {
    return runProg(arguments);
}

void TestProg::programsOneModule() {
    const QString link = path(u"single"_s);
    Simulator simulator(link, {});
    QVERIFY(simulator.ready());
    const Run run = prog({u"program"_s, u"--defaults"_s, u"--device"_s, link, u"--set"_s,
                          u"name=Gate ~~~~"_s, u"--set"_s, u"pin=0042"_s});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.err.contains(u"answers 0x55 0x55 0x55, programmed"_s), qPrintable(run.err));
    TRY_COMPARE(simulator.log().contains(u"PIN                 \"0042\""_s), true);
    QVERIFY(simulator.log().contains(u"device name         \"Gate "_s));
    // The window's store was only read: nothing was written for it.
    QVERIFY(!QFile::exists(m_config.user() + u"/Tavrenode Config/tavrenode-config.conf"_s));
}

void TestProg::failures_data() {
    QTest::addColumn<QStringList>("simulator");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<int>("block");  // in the JSON unit-end: the block under way
    QTest::addColumn<int>("answer"); // and the module's last answer, -1 for none

    QTest::newRow("wrong acknowledgement")
        << QStringList{u"--block"_s, u"2"_s, u"--reply"_s, u"0x0f"_s} << 6
        << u"Programming Failed."_s << u"The module answered block 2 with 0x0f instead of 0x55."_s
        << 2 << 0x0F;
    QTest::newRow("no answer") << QStringList{u"--block"_s, u"3"_s, u"--reply"_s, u"none"_s} << 5
                               << u"Failed to read from %1:"_s
                               << u"No answer within 0.3 seconds. Block 3 of 3."_s << 3 << -1;
    QTest::newRow("hang-up") << QStringList{u"--block"_s, u"1"_s, u"--reply"_s, u"hangup"_s} << 5
                             << u"Failed to read from %1:"_s << u"The link to the module was lost"_s
                             << 1 << -1;
    QTest::newRow("no device") << QStringList() << 3 << u"Failed to open %1:"_s
                               << u"No such file or directory"_s << 0 << -1;
    QTest::newRow("programmed") << QStringList{u"--block"_s, u"2"_s, u"--reply"_s, u"ack"_s} << 0
                                << QString() << QString() << 3 << 0x55;
}

void TestProg::failures() {
    QFETCH(QStringList, simulator);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QFETCH(QString, detail);
    QFETCH(int, block);
    QFETCH(int, answer);

    const QString link = path(u"failing-"_s + QString::fromLatin1(QTest::currentDataTag()));
    message.replace(u"%1"_s, link);
    std::unique_ptr<Simulator> module;
    if (!simulator.isEmpty()) {
        module = std::make_unique<Simulator>(link, simulator);
        QVERIFY(module->ready());
    }
    const Run run = prog({u"program"_s, u"--defaults"_s, u"--device"_s, link, u"--timeout"_s,
                          u"300"_s, u"--json"_s});
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    if (exitCode != 0)
        QVERIFY2(run.err.contains(u"Device: "_s + link), qPrintable(run.err));
    QVERIFY2(run.err.contains(detail), qPrintable(run.err));
    // The JSON says the same, and the summary carries the exit code.
    const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
    QVERIFY(lines.size() >= 3);
    const QJsonObject end = QJsonDocument::fromJson(lines[lines.size() - 2].toUtf8()).object();
    QCOMPARE(end.value(u"event"_s).toString(), u"unit-end"_s);
    QCOMPARE(end.value(u"message"_s).toString(), message);
    QCOMPARE(end.value(u"block"_s).toInt(-2), block);
    QCOMPARE(end.value(u"answer"_s), answer < 0 ? QJsonValue() : QJsonValue(answer));
    const QJsonObject summary = QJsonDocument::fromJson(lines.last().toUtf8()).object();
    QCOMPARE(summary.value(u"exit"_s).toInt(), exitCode);
    QCOMPARE(summary.value(u"schema"_s).toInt(), 1);
}

void TestProg::badInput_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("units");
    QTest::addColumn<QString>("message");

    const QString units = u"--units"_s;
    QTest::newRow("typo in --set") << QStringList{u"--set"_s, u"badu=9600"_s} << QByteArray()
                                   << u"--set badu=9600: \"badu\" is not a setting; did you mean "
                                      u"\"baud\"?"_s;
    QTest::newRow("--set without =")
        << QStringList{u"--set"_s, u"baud"_s} << QByteArray() << u"--set baud: give KEY=VALUE"_s;
    QTest::newRow("empty pin") << QStringList{u"--set"_s, u"pin="_s} << QByteArray()
                               << u"--set pin=: the PIN must not be empty"_s;
    QTest::newRow("port zero") << QStringList{u"--port"_s, u"0"_s} << QByteArray()
                               << u"--port 0: give a whole number from 1"_s;
    QTest::newRow("port and device")
        << QStringList{u"--port"_s, u"3"_s, u"--device"_s, u"x"_s} << QByteArray()
        << u"--port, --device, --bluetooth and --bluetooth-line each say where the module is; "
           u"give one"_s;
    QTest::newRow("a malformed address")
        << QStringList{u"--bluetooth"_s, u"00:1A:7D:DA:71"_s} << QByteArray()
        << u"--bluetooth 00:1A:7D:DA:71: give the module's address as six pairs"_s;
    QTest::newRow("bluetooth and wait")
        << QStringList{u"--bluetooth"_s, u"00:1A:7D:DA:71:13"_s, u"--wait"_s} << QByteArray()
        << u"--wait watches a serial device"_s;
    QTest::newRow("a PIN without bluetooth")
        << QStringList{u"--port"_s, u"3"_s, u"--pair-pin"_s, u"1234"_s} << QByteArray()
        << u"--pair-pin and --keep-paired go with --bluetooth or --bluetooth-line"_s;
    QTest::newRow("a PIN over 16 characters")
        << QStringList{u"--bluetooth"_s, u"00:1A:7D:DA:71:13"_s, u"--pair-pin"_s, QString(17, u'1')}
        << QByteArray() << u"--pair-pin: give 1 to 16 characters"_s;
    QTest::newRow("a line without a name prefix")
        << QStringList{u"--bluetooth-line"_s, u"--count"_s, u"2"_s} << QByteArray()
        << u"--bluetooth-line needs --name-prefix TEXT"_s;
    QTest::newRow("template over the limit")
        << QStringList{units, u"UNITS"_s}
        << QByteArray("name\nA name of thirty-one characters {n:03}\n")
        << u"line 2, column 1 (name): the device name is 35 characters long; the module takes "
           u"at most 31 (unit 1)"_s;
    QTest::newRow("unknown placeholder")
        << QStringList{units, u"UNITS"_s} << QByteArray("name\nGate {m}\n")
        << u"line 2, column 1 (name): {m} is not a placeholder"_s;
    QTest::newRow("value outside its list")
        << QStringList{units, u"UNITS"_s} << QByteArray("serial,security\nS1,2\nS2,7\n")
        << u"line 3, column 2 (security): \"7\" is not a line of the security mode list"_s;
    QTest::newRow("short row") << QStringList{units, u"UNITS"_s} << QByteArray("name,pin\nA,1\nB\n")
                               << u"line 3, column 1: the row has 1 fields; the header has 2"_s;
    QTest::newRow("open quote") << QStringList{units, u"UNITS"_s} << QByteArray("name,pin\n\"A,1\n")
                                << u"line 2, column 1: the quoted field is never closed"_s;
    QTest::newRow("key twice") << QStringList{units, u"UNITS"_s} << QByteArray("pin,PIN\n1,2\n")
                               << u"line 1, column 2: PIN is given twice"_s;
    QTest::newRow("header only") << QStringList{units, u"UNITS"_s} << QByteArray("name,pin\n")
                                 << u"no units below the header"_s;
}

void TestProg::badInput() {
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, units);
    QFETCH(QString, message);

    const QString file = path(u"units.csv"_s);
    if (!units.isEmpty())
        QVERIFY(writeFile(file, units));
    arguments.replaceInStrings(u"UNITS"_s, file);
    const Run run = prog(QStringList{u"program"_s, u"--defaults"_s} + arguments);
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.startsWith(u"tavrenode-prog: "_s) && run.err.contains(message),
             qPrintable(run.err));
    QCOMPARE(run.out, QString());
}

void TestProg::batchWithTemplatesAndMetadata() {
    const QString link = path(u"line"_s);
    Simulator line(link, {u"--line"_s, u"--pause"_s, u"100"_s, u"--fault"_s, u"2:2:0x0F"_s});
    QVERIFY(line.ready());
    QVERIFY(writeFile(path(u"batch.csv"_s), "serial,name,pin,station\n"
                                            "SN-7,Gate {n:03},1001,A\n"
                                            "SN-8,\"Door, {n}\",1002,\"B \"\"east\"\"\"\n"
                                            "SN-9,Lift {n},1003,C\n"));
    const QString report = path(u"report.csv"_s);
    const Run run = prog({u"program"_s, u"--defaults"_s, u"--device"_s, link, u"--units"_s,
                          path(u"batch.csv"_s), u"--first"_s, u"7"_s, u"--wait"_s, u"--json"_s,
                          u"--report"_s, report});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(u"2 of 3 units programmed, 1 failed"_s), qPrintable(run.err));

    // The simulator got each unit's own name and PIN, the failed one's never complete.
    TRY_COMPARE(line.log().count(u"\nrecord "_s), 2);
    QVERIFY(line.log().contains(u"\"Gate 007\""_s) && line.log().contains(u"\"1001\""_s));
    QVERIFY(line.log().contains(u"\"Lift 9\""_s) && line.log().contains(u"\"1003\""_s));

    QStringList results;
    for (const QString &event : run.out.split(u'\n', Qt::SkipEmptyParts)) {
        const QJsonObject object = QJsonDocument::fromJson(event.toUtf8()).object();
        if (object.value(u"event"_s) == u"unit-end"_s)
            results << u"%1 %2"_s.arg(object.value(u"unit"_s).toInt())
                           .arg(object.value(u"result"_s).toString());
    }
    QCOMPARE(results, (QStringList{u"7 ok"_s, u"8 wrong-acknowledgement"_s, u"9 ok"_s}));

    QFile file(report);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(file.readAll()).split(u"\r\n"_s, Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows[0], u"time,unit,device,name,pair-prefix,result,message,attempts,record-sha256,"
                      u"address,serial,station"_s);
    QVERIFY2(rows[2].contains(u",8,%1,\"Door, 8\",Tavrenode,wrong-acknowledgement,Programming "
                              u"Failed.,1,"_s.arg(link)) &&
                 rows[2].endsWith(u",SN-8,\"B \"\"east\"\"\""_s),
             qPrintable(rows[2]));
    QVERIFY(!rows.join(u'\n').contains(u"1002"_s)); // no PINs unless asked
}

void TestProg::recordProfileAndDescribeAgree() {
    const QStringList settings{u"--defaults"_s, u"--set"_s, u"baud=115200"_s, u"--set"_s,
                               u"name=  Gate {n}"_s};
    const Run shown = prog(QStringList{u"record"_s} + settings);
    QCOMPARE(shown.exitCode, 0);
    QVERIFY(shown.out.contains(u"\"  Gate 1\""_s));
    QCOMPARE(prog(QStringList{u"record"_s, u"-o"_s, path(u"r.bin"_s)} + settings).exitCode, 0);
    QCOMPARE(QFileInfo(path(u"r.bin"_s)).size(), 192);
    QCOMPARE(prog({u"describe"_s, path(u"r.bin"_s)}).out, shown.out);
    QCOMPARE(prog(QStringList{u"profile"_s, u"-o"_s, path(u"p.tavrenode"_s)} + settings).exitCode,
             0);
    QCOMPARE(prog({u"record"_s, u"--profile"_s, path(u"p.tavrenode"_s)}).out, shown.out);

    const Run wrongSize = prog({u"describe"_s, path(u"p.tavrenode"_s)});
    QCOMPARE(wrongSize.exitCode, 2);
    QVERIFY(wrongSize.err.contains(u"bytes long; a record is 192"_s));
    QCOMPARE(prog({u"--version"_s}).out, u"tavrenode-prog 1.0.0.1\n"_s);
    QVERIFY(prog({u"program"_s, u"--help"_s}).out.contains(u"--report-pins"_s));
    QCOMPARE(prog({u"flash"_s}).exitCode, 2);
}

void TestProg::retriesAFailedUnit() {
    const QString link = path(u"retry"_s);
    Simulator line(link, {u"--line"_s, u"--pause"_s, u"50"_s, u"--fault"_s, u"1:3:0x00"_s});
    QVERIFY(line.ready());
    const QString report = path(u"retry.csv"_s);
    const Run run = prog({u"program"_s, u"--defaults"_s, u"--device"_s, link, u"--retries"_s,
                          u"2"_s, u"--retry-delay"_s, u"300"_s, u"--report"_s, report});
    QCOMPARE(run.exitCode, 0);
    QFile file(report);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(file.readAll()).split(u"\r\n"_s, Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), 3); // the header and both attempts
    QVERIFY2(rows[1].contains(u",wrong-acknowledgement,Programming Failed.,1,"_s),
             qPrintable(rows[1]));
    QVERIFY2(rows[2].contains(u",ok,,2,"_s), qPrintable(rows[2]));

    // On a line, a last block without an answer is not tried again: the module may hold the
    // unit, and the next try would reach the next module.
    Simulator unanswered(path(u"unanswered"_s),
                         {u"--line"_s, u"--pause"_s, u"50"_s, u"--fault"_s, u"1:3:none"_s});
    QVERIFY(unanswered.ready());
    const Run onLine =
        prog({u"program"_s, u"--defaults"_s, u"--device"_s, path(u"unanswered"_s), u"--wait"_s,
              u"--count"_s, u"2"_s, u"--retries"_s, u"2"_s, u"--timeout"_s, u"300"_s, u"--json"_s});
    QCOMPARE(onLine.exitCode, 1);
    QCOMPARE(onLine.out.count(u"\"event\":\"unit-start\""_s), 2);
    QVERIFY2(onLine.err.contains(u"1 of 2 units programmed, 1 failed"_s), qPrintable(onLine.err));
}

void TestProg::interruptedRunEndsWith130() {
    const QString link = path(u"silent"_s);
    Simulator module(link, {u"--block"_s, u"2"_s, u"--reply"_s, u"none"_s});
    QVERIFY(module.ready());
    QProcess process;
    process.start(QStringLiteral(TAVRENODE_PROG_PATH),
                  {u"program"_s, u"--defaults"_s, u"--device"_s, link, u"--json"_s});
    QVERIFY(process.waitForStarted());
    // Stopped while it waits for the answer to block 2.
    QVERIFY(QTest::qWaitFor([&] { return process.peek(4096).contains("\"block\":1"); }, 5000));
    ::kill(pid_t(process.processId()), SIGINT);
    QVERIFY(process.waitForFinished(2000)); // well before the 3 s time-out
    QCOMPARE(process.exitCode(), 130);
    const QStringList lines =
        QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    const QJsonObject end =
        QJsonDocument::fromJson(lines.value(lines.size() - 2).toUtf8()).object();
    QCOMPARE(end.value(u"result"_s).toString(), u"interrupted"_s);
    QCOMPARE(QJsonDocument::fromJson(lines.last().toUtf8()).object().value(u"exit"_s).toInt(), 130);
    QVERIFY(QString::fromUtf8(process.readAllStandardError()).contains(u"interrupted"_s));
    // The port was let go: the next run opens it and starts again at block 1.
    const Run next =
        prog({u"program"_s, u"--defaults"_s, u"--device"_s, link, u"--timeout"_s, u"200"_s});
    QCOMPARE(next.exitCode, 5);
    QVERIFY2(next.err.contains(u"No answer within 0.2 seconds. Block 2 of 3."_s),
             qPrintable(next.err));
}

QTEST_GUILESS_MAIN(TestProg)
#include "tst_prog.moc"
