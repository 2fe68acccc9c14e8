#pragma once

#include "BluetoothLinks.h"
#include "PortNaming.h"

namespace tavrenode::bluez_module {

// The module's file, in lib/tavrenode-config/modules/ beside the programs' bin/ (in the
// build tree beside their folders), and the function it exports.
inline constexpr auto kRelativePath = "../lib/tavrenode-config/modules/tavrenode-bluez.so";
inline constexpr auto kEntry = "tavrenode_bluez_serial_devices";
using Entry = void (*)(QList<PairedSerialDevice> *devices);
// The links over BlueZ on the system bus, made on first use and kept while the program runs.
inline constexpr auto kLinksEntry = "tavrenode_bluez_links";
using LinksEntry = const BluetoothLinks *(*)();

} // namespace tavrenode::bluez_module
