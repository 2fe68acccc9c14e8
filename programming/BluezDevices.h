#pragma once

#include "PortNaming.h"

#include <chrono>

class QDBusConnection;

namespace tavrenode {

// The paired devices BlueZ knows on `bus` that offer the Serial Port service, in the order
// of their addresses. None when the bus is not connected, BlueZ is not on it or does not
// answer within `timeout`: the lookup never holds up a message for long.
[[nodiscard]] QList<PairedSerialDevice>
bluezSerialDevices(const QDBusConnection &bus,
                   std::chrono::milliseconds timeout = std::chrono::milliseconds(1000));

} // namespace tavrenode
