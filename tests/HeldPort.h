#pragma once

#include <QString>

#ifdef _WIN32
#include <windows.h>
#else
#include "SerialDevice.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSerialPort>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>
#endif

// Another program's hold on a serial port: on Unix QSerialPort's lock, on Windows a second
// open of the port, which the system refuses to share.
class HeldPort {
public:
    HeldPort() = default;
    HeldPort(const HeldPort &) = delete;
    HeldPort &operator=(const HeldPort &) = delete;
    ~HeldPort() { release(); }

    bool hold(const QString &path) {
#ifdef _WIN32
        m_handle =
            ::CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()),
                          GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        return m_handle != INVALID_HANDLE_VALUE;
#else
        m_port.setPortName(path);
        return m_port.open(QIODevice::ReadWrite);
#endif
    }
    void release() {
#ifdef _WIN32
        if (m_handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
#else
        m_port.close();
#endif
    }

private:
#ifdef _WIN32
    HANDLE m_handle = INVALID_HANDLE_VALUE;
#else
    QSerialPort m_port;
#endif
};

#ifndef _WIN32
// A process of a name of the test's choosing (a copy of sleep under that name) that has a
// device open, as ModemManager or brltty have theirs; with the lock, it also holds the
// device's lock file, as QSerialPort's programs do, taken an hour ago.
class NamedHolder {
public:
    NamedHolder(const QString &name, const QString &device, bool withLock) {
        const QString program = m_folder.filePath(name);
        if (!QFile::copy(QStringLiteral("/bin/sleep"), program))
            return;
        m_process.start(QStringLiteral("/bin/sh"),
                        {QStringLiteral("-c"), QStringLiteral("exec 3<>\"$0\" && exec \"$1\" 600"),
                         device, program});
        if (!m_process.waitForStarted())
            return;
        // The shell has opened the device and become the program once the process has its name.
        const QDeadlineTimer deadline(5000);
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid()));
        while (
            !(comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == name.toLocal8Bit())) {
            comm.close();
            if (deadline.hasExpired())
                return;
            QThread::msleep(10);
        }
        if (withLock) {
            m_lockPath = tavrenode::SerialDevice::lockFilePath(device);
            QFile lock(m_lockPath);
            if (!lock.open(QIODevice::WriteOnly | QIODevice::NewOnly))
                return;
            lock.write(QStringLiteral("%1\n%2\n%3\n")
                           .arg(pid())
                           .arg(name, QSysInfo::machineHostName())
                           .toLocal8Bit());
            // Written out first, or the write on closing would make it new again.
            if (!lock.flush() || !lock.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                                   QFileDevice::FileModificationTime))
                return;
        }
        m_holding = true;
    }
    ~NamedHolder() {
        m_process.kill();
        m_process.waitForFinished();
        if (!m_lockPath.isEmpty())
            QFile::remove(m_lockPath);
    }
    NamedHolder(const NamedHolder &) = delete;
    NamedHolder &operator=(const NamedHolder &) = delete;

    [[nodiscard]] bool isHolding() const { return m_holding; }
    [[nodiscard]] qint64 pid() const { return m_process.processId(); }

private:
    QTemporaryDir m_folder;
    QProcess m_process;
    QString m_lockPath;
    bool m_holding = false;
};
#endif
