#pragma once

#include "ModuleLink.h"

#include <chrono>
#include <memory>

#include <QIODevice>
#include <QList>
#include <QString>

namespace tavrenode {

// A process that has a device open or holds its lock file.
struct DeviceHolder {
    qint64 pid = 0;
    QString name; // the program's name, as the system gives it
};

// A serial device opened for one transfer. Its line settings (speed, framing, flow control)
// stay as the system has them set up: on an rfcomm device they are passed on to the remote
// side, and the module's link was set up before the tool was started. Only the byte handling
// changes while it is open: on Unix the terminal's line discipline is switched to raw bytes,
// and everything is put back as it was on close.
//
// Reads and writes never block; the waits do, each for as long as it is told.
class SerialDevice final : public QIODevice {
public:
    using OpenFailure = LinkOpenFailure;

    SerialDevice();
    ~SerialDevice() override;
    SerialDevice(const SerialDevice &) = delete;
    SerialDevice &operator=(const SerialDevice &) = delete;

    // Opens the device for reading and writing, exclusively. A write may take up to
    // writeTimeout where the system does not return at once (Windows' synchronous port).
    // On failure, openFailure() says what kind and errorString() in the system's words.
    [[nodiscard]] bool openPort(const QString &path, std::chrono::milliseconds writeTimeout);
    // Unix: takes over a connected stream socket as the device (an RFCOMM channel that
    // BlueZ handed over): the same reads, writes and waits, without a lock file or a line
    // discipline. The device owns fd from here on.
    void adoptSocket(int fd);
    [[nodiscard]] OpenFailure openFailure() const { return m_openFailure; }
    // Discards whatever waits to be sent or read, in the system and here.
    void purge();
    void close() override;

    // What the user can do when the system does not let them use the device at path at all;
    // empty when it does, or when the system has no such rule.
    [[nodiscard]] static QString accessAdvice(const QString &path);
    // The processes that hold the device at path, as far as the user may see them: the one
    // whose lock file it has first, then those that have it open; none on Windows.
    [[nodiscard]] static QList<DeviceHolder> holders(const QString &path);
    // Who holds the device, and for the system's services known to take serial devices
    // (ModemManager, brltty) how to make them let go; empty for nobody.
    [[nodiscard]] static QString holdersAdvice(const QList<DeviceHolder> &holders,
                                               const QString &path);
#ifndef _WIN32
    // The lock file that programs sharing the device at path agree on; empty where no
    // folder for lock files can be written.
    [[nodiscard]] static QString lockFilePath(const QString &path);
#endif

    // The device hung up or went away under the transfer.
    [[nodiscard]] bool linkLost() const { return m_linkLost; }

    [[nodiscard]] bool isSequential() const override { return true; }
    [[nodiscard]] qint64 bytesAvailable() const override;
    [[nodiscard]] qint64 bytesToWrite() const override;
    bool waitForReadyRead(int msecs) override;
    bool waitForBytesWritten(int msecs) override;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    struct Port; // the system's side, one per platform
    std::unique_ptr<Port> m_port;
    QByteArray m_received; // read from the system, not yet by the caller
    OpenFailure m_openFailure = OpenFailure::None;
    bool m_linkLost = false;

    void failOpen(OpenFailure failure, const QString &reason);
    void loseLink(const QString &reason);
    // Hands over up to maxSize of what was received.
    qint64 takeReceived(char *data, qint64 maxSize);
};

} // namespace tavrenode
