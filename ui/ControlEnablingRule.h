#pragma once

#include "DeviceTypeTable.h"
#include "ModuleSettings.h"

#include <array>

namespace tavrenode {

// Which of the dependent controls the form enables for the current settings.
struct ControlStates {
    // In the order of kSubTypeBits: a box is enabled only while the chosen device type
    // belongs to its group (the encoder ignores the others anyway).
    std::array<bool, kSubTypeBits.size()> subTypes{};
    bool program = false; // only for a port number above 0

    friend bool operator==(const ControlStates &, const ControlStates &) = default;
};

[[nodiscard]] ControlStates controlEnablingRule(const ModuleSettings &settings);

} // namespace tavrenode
