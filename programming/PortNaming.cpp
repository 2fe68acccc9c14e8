#include "PortNaming.h"

#include <algorithm>

#include <QDir>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

using namespace Qt::StringLiterals;

namespace tavrenode {

QString SystemPortNaming::devicePath(std::int32_t port) const {
#ifdef Q_OS_WIN
    return u"\\\\.\\COM"_s + QString::number(port);
#else
    return u"/dev/rfcomm"_s + QString::number(port);
#endif
}

QStringList SystemPortNaming::presentDevices() const {
    QStringList devices;
#ifdef Q_OS_WIN
    // The system's list of serial ports: one value per port, its data the port's name.
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ,
                        &key) == ERROR_SUCCESS) {
        for (DWORD index = 0;; ++index) {
            wchar_t name[256];
            wchar_t data[64];
            DWORD nameSize = 256;
            DWORD dataSize = sizeof data;
            DWORD type = 0;
            if (::RegEnumValueW(key, index, name, &nameSize, nullptr, &type,
                                reinterpret_cast<BYTE *>(data), &dataSize) != ERROR_SUCCESS)
                break;
            if (type == REG_SZ)
                devices.append(QString::fromWCharArray(data, int(dataSize / sizeof(wchar_t)))
                                   .section(QChar(0), 0, 0));
        }
        ::RegCloseKey(key);
    }
#else
    const QDir dev(u"/dev"_s);
    const auto names = dev.entryList({u"rfcomm*"_s}, QDir::System | QDir::Files);
    for (const QString &name : names)
        devices.append(dev.filePath(name));
#endif
    // rfcomm2 before rfcomm10
    std::sort(devices.begin(), devices.end(), [](const QString &a, const QString &b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    return devices;
}

} // namespace tavrenode
