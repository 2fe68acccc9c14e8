#include "BluetoothLinks.h"
#include "BluezDevices.h"
#include "BluezObjects.h"

#include <algorithm>
#include <optional>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QRegularExpression>
#include <QVariantMap>

using namespace Qt::StringLiterals;

namespace tavrenode {

namespace {

const auto kBluez = u"org.bluez"_s;
const auto kDeviceInterface = u"org.bluez.Device1"_s;

// One device's properties, as BlueZ gives them, if it is paired and offers a serial port.
std::optional<PairedSerialDevice> serialDevice(const QVariantMap &properties) {
    static const QRegularExpression addressPattern(u"^[0-9A-Fa-f]{2}(:[0-9A-Fa-f]{2}){5}$"_s);
    const QString address = properties.value(u"Address"_s).toString();
    if (!properties.value(u"Paired"_s).toBool() || !addressPattern.match(address).hasMatch())
        return std::nullopt;
    const QStringList uuids = properties.value(u"UUIDs"_s).toStringList();
    const bool serial = std::any_of(uuids.begin(), uuids.end(), [](const QString &uuid) {
        return uuid.compare(kSerialPortUuid, Qt::CaseInsensitive) == 0;
    });
    if (!serial)
        return std::nullopt;
    // The alias is what the user named it, or else the device's own name.
    QString name = properties.value(u"Alias"_s).toString();
    if (name.isEmpty())
        name = properties.value(u"Name"_s).toString();
    return PairedSerialDevice{name, address.toUpper(), properties.value(u"Connected"_s).toBool()};
}

} // namespace

QList<PairedSerialDevice> bluezSerialDevices(const QDBusConnection &bus,
                                             std::chrono::milliseconds timeout) {
    QList<PairedSerialDevice> devices;
    // Asking for an absent name would start BlueZ where it can be activated, or wait.
    if (!bus.isConnected() || !bus.interface() ||
        !bus.interface()->isServiceRegistered(kBluez).value())
        return devices;
    const QDBusMessage call = QDBusMessage::createMethodCall(
        kBluez, u"/"_s, u"org.freedesktop.DBus.ObjectManager"_s, u"GetManagedObjects"_s);
    const std::optional<BluezObjects> objects =
        bluezObjects(bus.call(call, QDBus::Block, int(timeout.count())));
    if (!objects)
        return devices;
    for (const QMap<QString, QVariantMap> &interfaces : *objects) {
        const auto found = interfaces.constFind(kDeviceInterface);
        if (found == interfaces.constEnd())
            continue;
        if (std::optional<PairedSerialDevice> device = serialDevice(*found))
            devices.append(*device);
    }
    std::sort(devices.begin(), devices.end(),
              [](const auto &a, const auto &b) { return a.address < b.address; });
    return devices;
}

} // namespace tavrenode
