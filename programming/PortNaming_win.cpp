#include "PortNaming.h"

#include <windows.h>

using namespace Qt::StringLiterals;

namespace tavrenode {

QString SystemPortNaming::devicePath(std::int32_t port) const {
    return u"\\\\.\\COM"_s + QString::number(port);
}

QStringList SystemPortNaming::presentDevices() const {
    // The system's list of serial ports: one value per port, its data the port's name.
    QStringList devices;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ,
                        &key) != ERROR_SUCCESS)
        return devices;
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
    return sortedByNumber(devices);
}

QList<PairedSerialDevice> SystemPortNaming::pairedSerialDevices() const {
    return {};
}

QString SystemPortNaming::noPortAdvice(std::int32_t /*port*/) {
    return u"No Bluetooth serial port exists at the moment: connect to the module from the "
           u"system's Bluetooth settings first."_s;
}

} // namespace tavrenode
