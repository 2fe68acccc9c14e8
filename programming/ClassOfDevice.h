#pragma once

#include "ModuleSettings.h"

#include <cstdint>

namespace tavrenode {

// The 24-bit Bluetooth Class of Device as the record holds it, least significant byte
// first: minor class (with the format bits, always 0), major class with the limited
// discoverable bit, and the major service classes.
struct ClassOfDevice {
    std::uint8_t low = 0;
    std::uint8_t middle = 0;
    std::uint8_t high = 0;
    // False when the device type is outside the table: the class then carries no major or
    // minor class, only the limited discoverable and service bits.
    bool deviceTypeKnown = true;

    friend bool operator==(const ClassOfDevice &, const ClassOfDevice &) = default;
};

[[nodiscard]] ClassOfDevice classOfDevice(const ModuleSettings &settings);

} // namespace tavrenode
