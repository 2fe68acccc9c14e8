// The ledger's cost and its gain. Cost: the time the ledger's calls take per unit, as a
// station makes them, on an SQLite file and on a local PostgreSQL server of the machine's
// own release. Gain: the units per minute of three tavrenode-prog stations against one, on
// lines of simulated modules whose next module takes the simulator's usual 300 ms to come.
//   bench-ledger ROUNDS UNITS PROG SIM
#include "Ledger.h"

#include "PostgresServer.h"
#include "Report.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

using namespace Qt::StringLiterals;
using namespace tavrenode::prog;

namespace {

QString g_prog;
QString g_sim;

// A line of simulated modules at path, for as long as this lives.
class Line {
public:
    Line(const QString &path, int pauseMs) {
        m_process.start(
            g_sim, {u"--link-path"_s, path, u"--line"_s, u"--pause"_s, QString::number(pauseMs)});
        m_process.waitForStarted();
        QElapsedTimer timer;
        timer.start();
        while (!QFileInfo::exists(path) && timer.elapsed() < 5000)
            QThread::msleep(5);
    }
    ~Line() {
        m_process.terminate();
        m_process.waitForFinished(5000);
    }
    Line(const Line &) = delete;
    Line &operator=(const Line &) = delete;

private:
    QProcess m_process;
};

// Runs tavrenode-prog to its end; false when it failed.
bool prog(const QStringList &arguments) {
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(g_prog, arguments);
    return process.waitForFinished(600000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// Stations on lines of their own, all started at once; the milliseconds until the last
// ended, negative when one failed.
double stations(const QString &ledger, const QStringList &names, const QTemporaryDir &dir,
                int pauseMs, const QStringList &batch = {}) {
    std::vector<std::unique_ptr<Line>> lines;
    for (const QString &name : names)
        lines.push_back(std::make_unique<Line>(dir.filePath(u"line-"_s + name), pauseMs));
    std::vector<std::unique_ptr<QProcess>> processes;
    QElapsedTimer timer;
    timer.start();
    for (const QString &name : names) {
        auto process = std::make_unique<QProcess>();
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setStandardErrorFile(QProcess::nullDevice());
        QStringList arguments{u"program"_s, u"--device"_s, dir.filePath(u"line-"_s + name),
                              u"--wait"_s, u"-q"_s};
        arguments +=
            ledger.isEmpty() ? batch : QStringList{u"--ledger"_s, ledger, u"--station"_s, name};
        process->start(g_prog, arguments);
        processes.push_back(std::move(process));
    }
    bool ok = true;
    for (const auto &process : processes)
        ok = process->waitForFinished(600000) && process->exitCode() == 0 && ok;
    const double elapsed = double(timer.nsecsElapsed()) / 1e6;
    return ok ? elapsed : -1;
}

bool load(const QString &ledger, int units) {
    return prog({u"ledger"_s, u"load"_s, u"--ledger"_s, ledger, u"--defaults"_s, u"--count"_s,
                 QString::number(units), u"--set"_s, u"name=Unit {n:04}"_s});
}

} // namespace

int main(int argc, char **argv) {
    const QCoreApplication app(argc, argv);
    if (argc != 5) {
        std::fprintf(stderr, "usage: bench-ledger ROUNDS UNITS PROG SIM\n");
        return 2;
    }
    const int rounds = std::atoi(argv[1]);
    const int units = std::atoi(argv[2]);
    g_prog = QString::fromLocal8Bit(argv[3]);
    g_sim = QString::fromLocal8Bit(argv[4]);
    QTemporaryDir dir;
    PostgresServer postgres;
    if (!postgres.ready()) {
        std::fprintf(stderr, "bench-ledger: %s\n", qPrintable(postgres.why()));
        return 1;
    }
    int databases = 0;
    const auto fresh = [&](bool onPostgres) {
        const QString name = u"bench%1"_s.arg(++databases);
        return onPostgres ? postgres.createDatabase(name) : dir.filePath(name + u".db"_s);
    };
    qputenv("PGPASSWORD", PostgresServer::kPassword);

    // What a station asks of the ledger for one unit: take it, mark it as being sent,
    // record the attempt. The same calls as the station's, on one connection.
    std::vector<double> perUnit[2];
    for (int round = 0; round < rounds; ++round) {
        for (const bool onPostgres : {false, true}) {
            const QString location = fresh(onPostgres);
            if (!load(location, units)) {
                std::fprintf(stderr, "bench-ledger: the load failed\n");
                return 1;
            }
            Ledger ledger(std::get<LedgerLocation>(parseLedgerLocation(location)), u"bench"_s);
            if (!ledger.open(Ledger::Open::Existing)) {
                std::fprintf(stderr, "bench-ledger: %s\n", qPrintable(ledger.error()));
                return 1;
            }
            QElapsedTimer timer;
            timer.start();
            for (int unit = 0; unit < units; ++unit) {
                const std::optional<HeldUnit> held = ledger.take(u"A"_s, kDefaultLease);
                LedgerAttempt attempt;
                attempt.station = u"A"_s;
                attempt.result = u"ok"_s;
                attempt.recordSha256 = held ? held->recordSha256 : QByteArray();
                if (!held || !ledger.beginSending(*held, u"/dev/rfcomm7"_s, {}) ||
                    !ledger.finish(*held, attempt, UnitState::Programmed)) {
                    std::fprintf(stderr, "bench-ledger: unit %d: %s\n", unit,
                                 qPrintable(ledger.error()));
                    return 1;
                }
            }
            perUnit[onPostgres].push_back(double(timer.nsecsElapsed()) / 1e6 / units);
        }
    }
    std::printf("# what a station asks of the ledger per unit (take, mark as sent, record), "
                "%d units, %d rounds, medians\n",
                units, rounds);
    // Against the goals: under 3 ms on SQLite, under 5 ms on a local PostgreSQL.
    reportFigure("ledger_sqlite_per_unit", median(perUnit[0]), 3.0, "ms");
    reportFigure("ledger_postgresql_per_unit", median(perUnit[1]), 5.0, "ms");

    constexpr int kLineUnits = 30;
    constexpr int kModuleChangeMs = 300;
    std::printf("# %d units on lines that bring the next module after %d ms\n", kLineUnits,
                kModuleChangeMs);
    for (const bool onPostgres : {false, true}) {
        const QString one = fresh(onPostgres);
        const QString three = fresh(onPostgres);
        const double alone =
            load(one, kLineUnits) ? stations(one, {u"A"_s}, dir, kModuleChangeMs) : -1;
        const double together = load(three, kLineUnits) ? stations(three, {u"A"_s, u"B"_s, u"C"_s},
                                                                   dir, kModuleChangeMs)
                                                        : -1;
        if (alone < 0 || together < 0) {
            std::fprintf(stderr, "bench-ledger: a line failed\n");
            return 1;
        }
        const char *engine = onPostgres ? "postgresql" : "sqlite";
        const double perMinuteAlone = kLineUnits * 60000.0 / alone;
        const double perMinuteTogether = kLineUnits * 60000.0 / together;
        reportFigure(std::string("ledger_") + engine + "_units_per_minute_one", perMinuteAlone, 0,
                     "");
        // Against the goal: at least 2.5 times one station's.
        reportFigure(std::string("ledger_") + engine + "_units_per_minute_three", perMinuteTogether,
                     perMinuteAlone, "");
    }
    return 0;
}
