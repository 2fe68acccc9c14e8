// A long factory run: a line of simulated modules, some of them faulty, programmed in one
// --wait batch. Every attempt is reported once with the result its fault calls for, and
// the programmer's descriptors and memory stay flat. TAVRENODE_SOAK_UNITS sets the length
// (1000 unless told).
#include "TryCompare.h"

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

struct Usage {
    int descriptors = 0;
    qint64 residentKiB = 0;
};

Usage usageOf(qint64 pid) {
    Usage usage;
    usage.descriptors = int(QDir(u"/proc/%1/fd"_s.arg(pid))
                                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                                .size());
    QFile status(u"/proc/%1/status"_s.arg(pid));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                usage.residentKiB = line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return usage;
}

// The programmer holds the next module's device and its lock file open while it probes and
// programs it, so a single look may catch a descriptor more. The fewest over a tenth of a
// second is what it keeps between modules (a leak shows in every look); looks after it has
// ended count for nothing.
Usage settledUsageOf(qint64 pid) {
    Usage least = usageOf(pid);
    for (int look = 1; look < 50; ++look) {
        QTest::qSleep(2);
        const Usage now = usageOf(pid);
        if (now.descriptors == 0)
            break;
        least.descriptors = std::min(least.descriptors, now.descriptors);
        least.residentKiB = std::min(least.residentKiB, now.residentKiB);
    }
    return least;
}

} // namespace

class TestSoak : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aLongLineWithFaults();
};

void TestSoak::aLongLineWithFaults() {
    const int units = qEnvironmentVariableIsSet("TAVRENODE_SOAK_UNITS")
                          ? qEnvironmentVariableIntValue("TAVRENODE_SOAK_UNITS")
                          : 1000;
    QVERIFY(units >= 20);
    QTemporaryDir folder;
    const QString link = folder.filePath(u"line"_s);

    // One module in ten is faulty, the fault and its block drawn at random.
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    QStringList simulatorArguments{u"--line"_s, u"--pause"_s, u"5"_s, u"--link-path"_s, link};
    QMap<int, QString> expected;
    for (int unit = 1; unit <= units; ++unit) {
        expected[unit] = u"ok"_s;
        if (unit <= 10 || random.bounded(10) != 0)
            continue;
        const int block = random.bounded(1, 4);
        static const QStringList kReplies{u"hangup"_s, u"0x00"_s, u"none"_s};
        const QString &reply = kReplies[random.bounded(int(kReplies.size()))];
        simulatorArguments << u"--fault"_s << u"%1:%2:%3"_s.arg(unit).arg(block).arg(reply);
        expected[unit] = reply == u"0x00" ? u"wrong-acknowledgement"_s : u"read-failed"_s;
    }
    QProcess simulator;
    simulator.setStandardOutputFile(QProcess::nullDevice());
    simulator.start(QStringLiteral(TAVRENODE_SIM_PATH), simulatorArguments);
    QVERIFY(simulator.waitForStarted());

    const QString report = folder.filePath(u"report.csv"_s);
    // The time-out is long enough that a machine busy with a build beside the test does not
    // miss a healthy module's answer, and short enough for the silent ones.
    QProcess prog;
    prog.start(QStringLiteral(TAVRENODE_PROG_PATH),
               {u"program"_s, u"--defaults"_s, u"--device"_s, link, u"--count"_s,
                QString::number(units), u"--set"_s, u"name=Unit {n:04}"_s, u"--wait"_s,
                u"--timeout"_s, u"400"_s, u"--json"_s, u"-q"_s, u"--report"_s, report});
    QVERIFY(prog.waitForStarted());

    QMap<int, QString> results;
    Usage early;
    Usage late;
    QByteArray pending;
    while (prog.state() == QProcess::Running || prog.bytesAvailable() > 0) {
        prog.waitForReadyRead(1000);
        pending += prog.readAllStandardOutput();
        qsizetype end = 0;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QJsonObject event = QJsonDocument::fromJson(pending.left(end)).object();
            pending.remove(0, end + 1);
            if (event.value(u"event"_s) != u"unit-end"_s)
                continue;
            const int unit = event.value(u"unit"_s).toInt();
            QVERIFY2(!results.contains(unit), "one end per unit");
            results[unit] = event.value(u"result"_s).toString();
            // Measured while the programmer waits for the next module.
            if (unit == 10)
                early = settledUsageOf(prog.processId());
            if (unit == units - 1)
                late = settledUsageOf(prog.processId());
        }
    }
    QCOMPARE(prog.exitCode(), 1);
    simulator.terminate();
    simulator.waitForFinished();

    const QString context = u"seed %1"_s.arg(seed);
    QCOMPARE(results.size(), units);
    for (int unit = 1; unit <= units; ++unit)
        QVERIFY2(results[unit] == expected[unit],
                 qPrintable(u"unit %1: %2, not %3 (%4)"_s.arg(unit).arg(results[unit],
                                                                        expected[unit], context)));

    QFile file(report);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = file.readAll().split('\n');
    QCOMPARE(rows.size(), units + 2); // the header, and the empty rest after the last CRLF
    for (int unit = 1; unit <= units; ++unit)
        QVERIFY2(rows[unit].contains(u",%1,"_s.arg(expected[unit]).toUtf8()),
                 rows[unit].constData());

    qInfo("descriptors %d -> %d, resident %lld KiB -> %lld KiB", early.descriptors,
          late.descriptors, early.residentKiB, late.residentKiB);
    QCOMPARE(late.descriptors, early.descriptors);
    // AddressSanitizer keeps freed memory in quarantine and grows its own books as it goes,
    // so memory only means something in a plain build.
    if (!kSanitized)
        QVERIFY2(late.residentKiB - early.residentKiB < 1024, qPrintable(context));
}

QTEST_GUILESS_MAIN(TestSoak)
#include "tst_soak.moc"
