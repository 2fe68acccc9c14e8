#include "SerialDevice.h"

#include <algorithm>
#include <windows.h>

using namespace Qt::StringLiterals;

namespace tavrenode {

// The port is opened synchronously and used as the system has it set up: its device control
// block (speed, framing, flow control) is never read or written. Only the time-outs are set,
// before each wait, so that a read returns within the wait with what has arrived.
struct SerialDevice::Port {
    HANDLE handle = INVALID_HANDLE_VALUE;
    DWORD writeTimeoutMs = 0;

    void setTimeouts(DWORD readMs) const {
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = 0;
        timeouts.ReadTotalTimeoutMultiplier = 0;
        timeouts.ReadTotalTimeoutConstant = readMs;
        timeouts.WriteTotalTimeoutMultiplier = 0;
        timeouts.WriteTotalTimeoutConstant = writeTimeoutMs;
        ::SetCommTimeouts(handle, &timeouts);
    }
};

SerialDevice::SerialDevice() = default;

SerialDevice::~SerialDevice() {
    close();
}

void SerialDevice::failOpen(OpenFailure failure, const QString &reason) {
    m_openFailure = failure;
    setErrorString(reason);
    m_port.reset();
}

bool SerialDevice::openPort(const QString &path, std::chrono::milliseconds writeTimeout) {
    close();
    m_openFailure = OpenFailure::None;
    m_linkLost = false;
    m_received.clear();

    const HANDLE handle =
        ::CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), GENERIC_READ | GENERIC_WRITE,
                      0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        OpenFailure failure = OpenFailure::Other;
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            failure = OpenFailure::NotFound;
        else if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)
            failure = OpenFailure::Busy; // ports are not shared: denied means in use
        failOpen(failure, qt_error_string(int(error)));
        return false;
    }
    m_port = std::make_unique<Port>();
    m_port->handle = handle;
    m_port->writeTimeoutMs = DWORD(writeTimeout.count());
    m_port->setTimeouts(m_port->writeTimeoutMs);
    QIODevice::open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    return true;
}

void SerialDevice::close() {
    if (isOpen())
        QIODevice::close();
    if (m_port && m_port->handle != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_port->handle);
    m_port.reset();
}

void SerialDevice::purge() {
    if (m_port)
        ::PurgeComm(m_port->handle, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    m_received.clear();
}

QString SerialDevice::accessAdvice(const QString & /*path*/) {
    return {}; // a port that will not open is in use
}

qint64 SerialDevice::bytesToWrite() const {
    return QIODevice::bytesToWrite(); // writes are synchronous
}

qint64 SerialDevice::readData(char *data, qint64 maxSize) {
    return takeReceived(data, maxSize);
}

qint64 SerialDevice::writeData(const char *data, qint64 size) {
    if (!m_port)
        return -1;
    DWORD written = 0;
    if (!::WriteFile(m_port->handle, data, DWORD(size), &written, nullptr)) {
        setErrorString(qt_error_string(int(::GetLastError())));
        return -1;
    }
    if (qint64(written) < size) // the write time-out ran out
        setErrorString(u"The port took %1 of %2 bytes in time."_s.arg(written).arg(size));
    return qint64(written);
}

bool SerialDevice::waitForReadyRead(int msecs) {
    if (!m_port)
        return false;
    m_port->setTimeouts(DWORD(std::max(msecs, 1)));
    char byte = 0;
    DWORD count = 0;
    if (!::ReadFile(m_port->handle, &byte, 1, &count, nullptr)) {
        loseLink(qt_error_string(int(::GetLastError())));
        return false;
    }
    if (count == 0)
        return false; // timed out
    m_received.append(byte);
    return true;
}

bool SerialDevice::waitForBytesWritten(int /*msecs*/) {
    return false; // nothing is ever left to write
}

} // namespace tavrenode
