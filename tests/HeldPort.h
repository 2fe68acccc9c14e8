#pragma once

#include <QString>

#ifdef _WIN32
#include <windows.h>
#else
#include <QSerialPort>
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
