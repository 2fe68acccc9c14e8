#include "SimulatedModule_win.h"

#include <algorithm>
#include <functional>
#include <string>
#include <windows.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

using namespace Qt::StringLiterals;

namespace tavrenode {

namespace {

constexpr int kWaitMs = 10000;
int g_nextPort = 0;

// A Unix path as a Windows program sees it: Wine's drive Z: is the root.
QString reachable(const QString &unixPath) {
    return u"Z:"_s + unixPath;
}

QString quoted(const QString &unixPath) {
    return u"'"_s + unixPath + u"'"_s;
}

// Starts sh with the script on the Unix side. Wine runs Unix programs it is given, with the
// command line split as Windows splits it; it hands back no process to wait for.
bool runShell(const QString &script) {
    std::wstring line = QString(u"Z:\\bin\\sh -c \""_s + script + u"\""_s).toStdWString();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process))
        return false;
    if (process.hThread)
        ::CloseHandle(process.hThread);
    if (process.hProcess)
        ::CloseHandle(process.hProcess);
    return true;
}

// The simulator's options for a script, as its --reply and companions write it.
QString options(const SimScript &script) {
    if (script.atBlock == 0 && script.reply == Reply::Ack && script.delay.count() == 0 &&
        script.extraByte < 0)
        return {};
    QString reply;
    switch (script.reply) {
    case Reply::Ack:
        reply = u"ack"_s;
        break;
    case Reply::Byte:
        reply = u"0x%1"_s.arg(script.byte, 2, 16, QChar(u'0'));
        break;
    case Reply::Silence:
        reply = u"none"_s;
        break;
    case Reply::HangUp:
        reply = u"hangup"_s;
        break;
    case Reply::AckAndHangUp:
        reply = u"ack-hangup"_s;
        break;
    }
    QString result =
        u" --block %1 --reply %2 --hangup-at %3 --delay %4"_s.arg(std::max(script.atBlock, 1))
            .arg(reply)
            .arg(script.hangUpAt)
            .arg(script.delay.count());
    if (script.extraByte >= 0)
        result += u" --then 0x%1"_s.arg(script.extraByte, 2, 16, QChar(u'0'));
    return result;
}

bool waitFor(const std::function<bool()> &condition) {
    const QDeadlineTimer deadline(kWaitMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    return true;
}

} // namespace

SimulatedModule::SimulatedModule(const SimScript &script) {
    const QString folder = qEnvironmentVariable("TAVRENODE_WINE_PORTS");
    const QString simulator = qEnvironmentVariable("TAVRENODE_HOST_SIM");
    if (folder.isEmpty() || simulator.isEmpty()) {
        qWarning("TAVRENODE_WINE_PORTS and TAVRENODE_HOST_SIM must name the COM ports' folder "
                 "and the Linux simulator");
        return;
    }
    m_port = kFirstPort + g_nextPort++ % kPortCount;
    const QString base = u"%1/com%2"_s.arg(folder).arg(m_port);
    m_link = base;
    m_log = base + u".log"_s;
    m_pid = base + u".pid"_s;
    QFile::remove(reachable(m_log));
    // The shell stays to say when the simulator has ended.
    const QString command =
        u"%1 --link-path %2%3 >%4 2>&1 & echo $! >%5; wait; echo exited >>%4"_s.arg(
            quoted(simulator), quoted(m_link), options(script), quoted(m_log), quoted(m_pid));
    if (!runShell(command)) {
        qWarning("cannot start the simulator: error %lu", ::GetLastError());
        return;
    }
    m_running = true;
    if (!waitFor([this] { return output().contains(u"\nlink "_s); }))
        qWarning("the simulator made no link: %s", qPrintable(output()));
}

SimulatedModule::~SimulatedModule() {
    stop();
}

QString SimulatedModule::path() const {
    return m_port ? u"\\\\.\\COM%1"_s.arg(m_port) : QString();
}

void SimulatedModule::vanish() {
    stop();
}

void SimulatedModule::stop() {
    if (!m_running)
        return;
    m_running = false;
    if (!runShell(u"kill -TERM $(cat %1)"_s.arg(quoted(m_pid))) ||
        !waitFor([this] { return output().endsWith(u"exited\n"_s); }))
        qWarning("the simulator on COM%d did not end", m_port);
}

QString SimulatedModule::output() const {
    QFile log(reachable(m_log));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.readAll());
}

QList<int> SimulatedModule::blocks() const {
    QList<int> blocks;
    static const QRegularExpression received(u"^block ([1-3]) received$"_s,
                                             QRegularExpression::MultilineOption);
    for (const QRegularExpressionMatch &match : received.globalMatch(output()))
        blocks.append(match.captured(1).toInt());
    return blocks;
}

int SimulatedModule::runs() const {
    return int(output().count(u"\nrun ended\n"_s));
}

QList<ConfigRecord> SimulatedModule::records() const {
    // Each record is followed by its hex dump: rows of an offset and up to 16 bytes.
    QList<ConfigRecord> records;
    static const QRegularExpression row(u"^[0-9]{3} ((?:[0-9A-F]{2} +)*[0-9A-F]{2})\\s*$"_s,
                                        QRegularExpression::MultilineOption);
    const QStringList parts = output().split(u"\nrecord "_s);
    for (qsizetype i = 1; i < parts.size(); ++i) {
        QByteArray bytes;
        for (const QRegularExpressionMatch &match : row.globalMatch(parts[i]))
            bytes += QByteArray::fromHex(match.captured(1).toLatin1());
        if (bytes.size() < qsizetype(kRecordSize))
            continue; // not all of it printed yet
        ConfigRecord record{};
        std::copy_n(bytes.cbegin(), kRecordSize, record.begin());
        records.append(record);
    }
    return records;
}

} // namespace tavrenode
