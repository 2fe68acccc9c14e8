#pragma once

#include "DeviceTypeTable.h"
#include "ModuleSettings.h"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

// The form's drop-down lists: what the form calls each (the label beside it), and the lines
// of the five short ones, in list order. A line's position is the value stored for it, so
// these arrays must never be sorted or reordered. The device types are in DeviceTypeTable.h.
// The baud list's lines start with their number of baud, which profiles also take.
namespace tavrenode::labels {

inline constexpr std::string_view kStatusPinName = "Status pin";
inline constexpr std::string_view kBaudRateName = "Baud rate";
inline constexpr std::string_view kDeviceTypeName = "Device type";
inline constexpr std::string_view kMatingModeName = "Mating mode";
inline constexpr std::string_view kSecurityModeName = "Security mode";
inline constexpr std::string_view kMasterSlaveName = "WFP / Master / Slave";

inline constexpr auto kStatusPinModes = std::to_array<std::string_view>({
    "Low unless connected",
    "High until initialized, low if unconnected, high if connected",
    "Low until initialized, 1Hz if unconnected, high if connected",
});

inline constexpr auto kBaudRates = std::to_array<std::string_view>({
    "9600 baud",
    "19200 baud",
    "38400 baud",
    "57600 baud",
    "115200 baud",
});

inline constexpr auto kMatingModes = std::to_array<std::string_view>({
    "Polygamous (Masters connect to any pair match prefix, slaves accept all)",
    "Monogamous (After first connection, only ever connect as a pair)",
});

inline constexpr auto kSecurityModes = std::to_array<std::string_view>({
    "No security",
    "Authentication required",
    "Authentication and encryption",
});

// The first three lines really do have two spaces after the first full stop.
inline constexpr auto kMasterSlaveModes = std::to_array<std::string_view>({
    "If high at power-up, enters master mode.  If low, slave mode.",
    "If high at power-up, enters WFP mode.  If low, slave mode.",
    "If high at power-up, enters WFP mode.  If low, master mode.",
    "Operates in WFP mode whatever the state of this pin",
    "Operates in Slave mode whatever the state of this pin",
    "Operates in Master mode whatever the state of this pin",
});

} // namespace tavrenode::labels

namespace tavrenode {

// Every list of the form with the field that holds its line index: what fills the form's
// lists, what profiles accept and write, and what the record's description decodes.
struct SettingList {
    std::int32_t ModuleSettings::*field = nullptr;
    std::string_view name; // the label beside the list
    std::span<const std::string_view> lines;
};

inline constexpr auto kSettingLists = std::to_array<SettingList>({
    {&ModuleSettings::statusPinMode, labels::kStatusPinName, labels::kStatusPinModes},
    {&ModuleSettings::baudRate, labels::kBaudRateName, labels::kBaudRates},
    {&ModuleSettings::deviceType, labels::kDeviceTypeName, kDeviceTypeLabels},
    {&ModuleSettings::matingMode, labels::kMatingModeName, labels::kMatingModes},
    {&ModuleSettings::securityMode, labels::kSecurityModeName, labels::kSecurityModes},
    {&ModuleSettings::masterSlaveMode, labels::kMasterSlaveName, labels::kMasterSlaveModes},
});

// The list whose line index field holds, or nullptr for a field that is no list.
[[nodiscard]] constexpr const SettingList *settingList(std::int32_t ModuleSettings::*field) {
    for (const SettingList &list : kSettingLists) {
        if (list.field == field)
            return &list;
    }
    return nullptr;
}

// The line at index of a list, or an empty view for an index outside it.
[[nodiscard]] constexpr std::string_view lineAt(std::span<const std::string_view> lines,
                                                std::int32_t index) {
    return index >= 0 && std::size_t(index) < lines.size() ? lines[std::size_t(index)]
                                                           : std::string_view();
}

} // namespace tavrenode
