// The BlueZ lookup as a module of its own, loaded by SystemPortNaming only when a port is
// missing or the ports are listed: QtDBus and the D-Bus library it brings are then not
// loaded at every start of tavrenode-prog.
#include "BluezDevices.h"
#include "BluezLinks.h"
#include "BluezModule.h"

#include <QDBusConnection>

extern "C" Q_DECL_EXPORT void
tavrenode_bluez_serial_devices(QList<tavrenode::PairedSerialDevice> *devices) {
    *devices = tavrenode::bluezSerialDevices(QDBusConnection::systemBus());
}

extern "C" Q_DECL_EXPORT const tavrenode::BluetoothLinks *tavrenode_bluez_links() {
    static const tavrenode::BluezLinks links(QDBusConnection::systemBus());
    return &links;
}
