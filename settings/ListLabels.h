#pragma once

#include <array>
#include <string_view>

// The form's drop-down lists: what the form calls each (the label beside it), and the lines
// of the five short ones, in list order. A line's position is the value stored for it, so
// these arrays must never be sorted or reordered. The device types are in DeviceTypeTable.h.
namespace tavrenode::labels {

inline constexpr std::string_view kStatusPinName = "Status pin";
inline constexpr std::string_view kBaudRateName = "Baud rate";
inline constexpr std::string_view kDeviceTypeName = "Device type";
inline constexpr std::string_view kMatingModeName = "Mating mode";
inline constexpr std::string_view kSecurityModeName = "Security mode";
inline constexpr std::string_view kMasterSlaveName = "WFP / Master / Slave";

inline constexpr std::array<std::string_view, 3> kStatusPinModes{
    "Low unless connected",
    "High until initialized, low if unconnected, high if connected",
    "Low until initialized, 1Hz if unconnected, high if connected",
};

inline constexpr std::array<std::string_view, 5> kBaudRates{
    "9600 baud", "19200 baud", "38400 baud", "57600 baud", "115200 baud",
};

inline constexpr std::array<std::string_view, 2> kMatingModes{
    "Polygamous (Masters connect to any pair match prefix, slaves accept all)",
    "Monogamous (After first connection, only ever connect as a pair)",
};

inline constexpr std::array<std::string_view, 3> kSecurityModes{
    "No security",
    "Authentication required",
    "Authentication and encryption",
};

// The first three lines really do have two spaces after the first full stop.
inline constexpr std::array<std::string_view, 6> kMasterSlaveModes{
    "If high at power-up, enters master mode.  If low, slave mode.",
    "If high at power-up, enters WFP mode.  If low, slave mode.",
    "If high at power-up, enters WFP mode.  If low, master mode.",
    "Operates in WFP mode whatever the state of this pin",
    "Operates in Slave mode whatever the state of this pin",
    "Operates in Master mode whatever the state of this pin",
};

} // namespace tavrenode::labels
