#include "PortNaming.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace tavrenode {

QString SystemPortNaming::devicePath(std::int32_t port) const {
    return u"/dev/rfcomm"_s + QString::number(port);
}

QStringList SystemPortNaming::presentDevices() const {
    const QDir dev(u"/dev"_s);
    QStringList devices;
    const auto names = dev.entryList({u"rfcomm*"_s}, QDir::System | QDir::Files);
    for (const QString &name : names)
        devices.append(dev.filePath(name));
    return sortedByNumber(devices);
}

} // namespace tavrenode
