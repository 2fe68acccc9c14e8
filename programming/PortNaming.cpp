#include "PortNaming.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace tavrenode {

QStringList sortedByNumber(QStringList devices) {
    std::sort(devices.begin(), devices.end(), [](const QString &a, const QString &b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    return devices;
}

QString pairedDevicesAdvice(const QList<PairedSerialDevice> &devices, std::int32_t port,
                            const QString &bluetoothCommand) {
    if (devices.isEmpty())
        return {};
    QString advice = u"Paired Bluetooth devices with a serial port, each with the command that "
                     u"makes it port %1:"_s.arg(port);
    for (const PairedSerialDevice &device : devices) {
        const QString name = device.name.isEmpty() ? u"(no name)"_s : device.name;
        // The command on a line of its own, so that it is never broken inside the address.
        advice += u"\n%1 (%2, %3):\n    sudo rfcomm bind %4 %2"_s.arg(
            name, device.address, device.connected ? u"connected"_s : u"not connected"_s,
            QString::number(port));
        if (!bluetoothCommand.isEmpty())
            advice += u"\n    or, without a port: "_s + bluetoothCommand.arg(device.address);
    }
    return advice;
}

} // namespace tavrenode
