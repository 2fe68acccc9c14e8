#include "BluezModule.h"
#include "PortNaming.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>

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

QList<PairedSerialDevice> SystemPortNaming::pairedSerialDevices() const {
    QList<PairedSerialDevice> devices;
    if (!QCoreApplication::instance())
        return devices;
    // Loaded now, not at start: see BluezModule_unix.cpp. Without it, nothing to say.
    const QString path = QDir(QCoreApplication::applicationDirPath())
                             .filePath(QString::fromLatin1(bluez_module::kRelativePath));
    if (const auto lookup =
            reinterpret_cast<bluez_module::Entry>(QLibrary::resolve(path, bluez_module::kEntry)))
        lookup(&devices);
    return devices;
}

QString SystemPortNaming::noPortAdvice(std::int32_t port) {
    // Pairing in the desktop's Bluetooth settings makes no serial device; BlueZ's rfcomm does.
    return u"No Bluetooth serial port exists at the moment. Pairing in the desktop's "
           u"Bluetooth settings does not make one: as root, bind the module's address to port "
           u"%1 with \"rfcomm bind %1 ADDRESS\" (from the bluez package), or connect with "
           u"\"rfcomm connect %1 ADDRESS\"."_s.arg(port);
}

} // namespace tavrenode
