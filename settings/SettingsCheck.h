#pragma once

#include "ModuleSettings.h"
#include "ProfileKeys.h"

#include <cstdint>
#include <optional>

#include <QString>

namespace tavrenode {

// Ports are numbered from 1, on the form, on the command line and in profiles.
inline constexpr std::int32_t kFirstPort = 1;
[[nodiscard]] constexpr bool isPortNumber(std::int32_t port) {
    return port >= kFirstPort;
}

// What writing the form does to the boxes: a value other than 0, 1 or 2 (only an edited
// store holds one) becomes 0, so that whoever reads the same store sends the same record.
void normaliseBoxes(ModuleSettings &settings);

// Why settings cannot be sent to a module.
enum class SettingsFault : std::uint8_t {
    NoListLine,  // a list's index is outside the list (the module would get an unknown code)
    EmptyText,   // a text that must not be empty (the PIN)
    TextTooLong, // longer than the form lets the user type
    NoPort,      // a port below 1 where a port is used
};

struct SettingsProblem {
    const ProfileKey *key = nullptr; // the setting
    SettingsFault fault = SettingsFault::NoListLine;
    std::int32_t value = 0; // the index, the port, or the text's length

    friend bool operator==(const SettingsProblem &, const SettingsProblem &) = default;
};

enum class PortUse : std::uint8_t { Ignored, Used };

// The first thing that keeps settings from being sent: the lists first, then the texts,
// then the port when one is used.
[[nodiscard]] std::optional<SettingsProblem> checkSettings(const ModuleSettings &settings,
                                                           PortUse port);

// Why a text does not do for key, in the words profiles and the command line use; empty
// when it does.
[[nodiscard]] QString textProblem(const ProfileKey &key, qsizetype length);

// The problem as the command line says it, naming the key: "pin: the PIN must not be empty".
[[nodiscard]] QString describeProblem(const SettingsProblem &problem);

} // namespace tavrenode
