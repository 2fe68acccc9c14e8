#include "SerialDevice.h"

#include <algorithm>
#include <windows.h>

using namespace Qt::StringLiterals;

namespace tavrenode {

namespace {
// How far a wait may differ from the read time-out in force before that is set again.
constexpr DWORD kTimeoutSlackMs = 50;
} // namespace

// The port is opened synchronously and used as the system has it set up: its device control
// block (speed, framing, flow control) is never read or written. Only the time-outs are set:
// on opening, each operation may take the whole port time-out; a wait that is told a
// different time (a slice of a cancellable one) sets the read time-out to it first.
struct SerialDevice::Port {
    HANDLE handle = INVALID_HANDLE_VALUE;
    DWORD writeTimeoutMs = 0;
    DWORD readTimeoutMs = 0;

    bool setReadTimeout(DWORD readMs) {
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = 0;
        timeouts.ReadTotalTimeoutMultiplier = 0;
        timeouts.ReadTotalTimeoutConstant = readMs;
        timeouts.WriteTotalTimeoutMultiplier = 0;
        timeouts.WriteTotalTimeoutConstant = writeTimeoutMs;
        if (!::SetCommTimeouts(handle, &timeouts))
            return false;
        readTimeoutMs = readMs;
        return true;
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
    if (!m_port->setReadTimeout(m_port->writeTimeoutMs)) {
        const DWORD error = ::GetLastError();
        ::CloseHandle(handle);
        // A device that takes no serial requests (Wine says "not supported" for one).
        const bool notSerial = error == ERROR_INVALID_FUNCTION || error == ERROR_INVALID_HANDLE ||
                               error == ERROR_NOT_SUPPORTED;
        failOpen(notSerial ? OpenFailure::NotSerial : OpenFailure::Other,
                 notSerial ? u"%1 is not a serial device."_s.arg(path)
                           : qt_error_string(int(error)));
        return false;
    }
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

QList<DeviceHolder> SerialDevice::holders(const QString & /*path*/) {
    return {}; // Windows does not say who has a port open
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
    // A wait within kTimeoutSlackMs of the time-out in force keeps it: the window's waits
    // (what is left of the port time-out, a few milliseconds short) read with the port
    // time-out itself, as set on opening.
    const DWORD wanted = DWORD(std::max(msecs, 1));
    const DWORD current = m_port->readTimeoutMs;
    const DWORD difference = wanted > current ? wanted - current : current - wanted;
    if (difference > kTimeoutSlackMs && !m_port->setReadTimeout(wanted)) {
        loseLink(qt_error_string(int(::GetLastError())));
        return false;
    }
    char byte = 0;
    DWORD count = 0;
    const ULONGLONG started = ::GetTickCount64();
    if (!::ReadFile(m_port->handle, &byte, 1, &count, nullptr)) {
        loseLink(qt_error_string(int(::GetLastError())));
        return false;
    }
    if (count == 0) {
        // Nothing may come back only once the time-out has passed; sooner, the device went
        // away under the read (as a pseudo-terminal that hangs up does under Wine).
        if (::GetTickCount64() - started + kTimeoutSlackMs < m_port->readTimeoutMs)
            loseLink(u"The device hung up."_s);
        return false;
    }
    m_received.append(byte);
    return true;
}

bool SerialDevice::waitForBytesWritten(int /*msecs*/) {
    return false; // nothing is ever left to write
}

} // namespace tavrenode
