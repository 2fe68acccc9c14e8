#pragma once

#include "DeviceTypeTable.h"
#include "FormTemplates.h"

#include <array>
#include <string_view>

namespace tavrenode {

// One line per control the user works with, in the help page's words.
struct Tooltip {
    int id = 0;
    std::string_view text;
};

namespace tips {
inline constexpr std::string_view kService = "One of the major service classes the module "
                                             "announces.";
inline constexpr std::string_view kPeripheral = "Says what kind of peripheral the module is.";
inline constexpr std::string_view kImaging = "Says what kind of imaging device the module is.";
// What a disabled sub-type box says instead.
inline constexpr std::string_view kPeripheralOnly = "Used with the peripheral device types "
                                                    "(General peripheral to Card reader).";
inline constexpr std::string_view kImagingOnly = "Used with the device type Imaging device.";
} // namespace tips

// A sub-type box's tip: what it says while enabled, which device types use it while not.
[[nodiscard]] constexpr std::string_view subTypeTip(SubTypeGroup group, bool enabled) {
    if (group == SubTypeGroup::Imaging)
        return enabled ? tips::kImaging : tips::kImagingOnly;
    return enabled ? tips::kPeripheral : tips::kPeripheralOnly;
}

inline constexpr auto kTooltips = std::to_array<Tooltip>({
    {forms::id::StatusPin, "What the module's status pin shows while it starts, waits and "
                           "is connected."},
    {forms::id::BaudRate, "The speed of the module's serial line."},
    {forms::id::DeviceType, "The Bluetooth Class of Device the module announces."},
    {forms::id::LimitedDiscoverable, "Announces the module as discoverable for a limited time "
                                     "only."},
    {forms::id::Positioning, tips::kService},
    {forms::id::Networking, tips::kService},
    {forms::id::Rendering, tips::kService},
    {forms::id::Capturing, tips::kService},
    {forms::id::ObjectTransfer, tips::kService},
    {forms::id::Audio, tips::kService},
    {forms::id::Telephony, tips::kService},
    {forms::id::Information, tips::kService},
    {forms::id::Keyboard, tips::kPeripheral},
    {forms::id::PointingDevice, tips::kPeripheral},
    {forms::id::Display, tips::kImaging},
    {forms::id::Camera, tips::kImaging},
    {forms::id::Scanner, tips::kImaging},
    {forms::id::Printer, tips::kImaging},
    {forms::id::DeviceName, "The Bluetooth name, up to 31 characters; each ~ stands for one "
                            "hexadecimal digit of the module's address."},
    {forms::id::PairMatchPrefix, "Up to 20 characters: a master connects to devices whose "
                                 "name starts with this text."},
    {forms::id::MatingMode, "Whether the module connects to any matching device, or only ever "
                            "to the first one it connected to."},
    {forms::id::Pin, "Up to 16 characters, never empty; to turn PIN codes off, choose \"No "
                     "security\"."},
    {forms::id::SecurityMode, "No security, authentication required, or authentication and "
                              "encryption."},
    {forms::id::MasterSlave, "Whether the module starts as master, slave or in WFP mode, from "
                             "its mode pin at power-up or regardless of it."},
    {forms::id::ComPort, "The number of the serial port that leads to the module."},
    {forms::id::Program, "Sends these settings to the module on that port."},
    {forms::id::Close, "Keeps these settings for the next time and closes the window."},
});

} // namespace tavrenode
