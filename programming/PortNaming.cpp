#include "PortNaming.h"

#include <algorithm>

#include <QDir>
#include <QSerialPortInfo>

namespace tavrenode {

QString SystemPortNaming::devicePath(std::int32_t port) const {
#ifdef Q_OS_WIN
    return u"\\\\.\\COM"_qs + QString::number(port);
#else
    return u"/dev/rfcomm"_qs + QString::number(port);
#endif
}

QStringList SystemPortNaming::presentDevices() const {
    QStringList devices;
#ifdef Q_OS_WIN
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        devices.append(info.portName());
#else
    const QDir dev(u"/dev"_qs);
    const auto names = dev.entryList({u"rfcomm*"_qs}, QDir::System | QDir::Files);
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
