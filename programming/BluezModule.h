#pragma once

#include "PortNaming.h"

namespace tavrenode::bluez_module {

// The module's file, in lib/tavrenode-config/modules/ beside the programs' bin/ (in the
// build tree beside their folders), and the function it exports.
inline constexpr auto kRelativePath = "../lib/tavrenode-config/modules/tavrenode-bluez.so";
inline constexpr auto kEntry = "tavrenode_bluez_serial_devices";
using Entry = void (*)(QList<PairedSerialDevice> *devices);

} // namespace tavrenode::bluez_module
