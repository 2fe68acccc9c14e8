#pragma once

#include "ModuleSettings.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tavrenode {

// Which group of sub-type boxes adds its bits to the minor class of a device type.
enum class SubTypeGroup : std::uint8_t { None, Imaging, Peripheral };

struct DeviceType {
    std::string_view label; // the line of the form's device-type list
    std::uint8_t major;     // Bluetooth major device class, 0..31
    std::uint8_t minor;     // minor device class bits, as they stand in the low byte
    SubTypeGroup group;
};

// In the order of the form's list: a row's position is the stored device type.
inline constexpr auto kDeviceTypeTable = std::to_array<DeviceType>({
    {"Imaging device (display, camera, scanner, printer...)", 6, 0x00, SubTypeGroup::Imaging},
    {"General peripheral", 5, 0x00, SubTypeGroup::Peripheral},
    {"Joystick", 5, 0x04, SubTypeGroup::Peripheral},
    {"Gamepad", 5, 0x08, SubTypeGroup::Peripheral},
    {"Remote control", 5, 0x0C, SubTypeGroup::Peripheral},
    {"Sensing device", 5, 0x10, SubTypeGroup::Peripheral},
    {"Digitizer", 5, 0x14, SubTypeGroup::Peripheral},
    {"Card reader", 5, 0x18, SubTypeGroup::Peripheral},
    {"Desktop computer", 1, 0x04, SubTypeGroup::None},
    {"Server", 1, 0x08, SubTypeGroup::None},
    {"Laptop computer", 1, 0x0C, SubTypeGroup::None},
    {"Handheld computer", 1, 0x10, SubTypeGroup::None},
    {"Palm-sized computer", 1, 0x14, SubTypeGroup::None},
    {"Wearable computer", 1, 0x18, SubTypeGroup::None},
    {"Computer (other)", 1, 0x00, SubTypeGroup::None},
    {"Cellphone", 2, 0x04, SubTypeGroup::None},
    {"Cordless phone", 2, 0x08, SubTypeGroup::None},
    {"Smartphone", 2, 0x0C, SubTypeGroup::None},
    {"Gateway / modem", 2, 0x10, SubTypeGroup::None},
    {"ISDN", 2, 0x14, SubTypeGroup::None},
    {"Phone (other)", 2, 0x00, SubTypeGroup::None},
    {"Wearable headset", 4, 0x04, SubTypeGroup::None},
    {"Hands free audio device", 4, 0x08, SubTypeGroup::None},
    {"Microphone", 4, 0x10, SubTypeGroup::None},
    {"Loudspeaker", 4, 0x14, SubTypeGroup::None},
    {"Headphones", 4, 0x18, SubTypeGroup::None},
    {"Walkman", 4, 0x1C, SubTypeGroup::None},
    {"Car audio", 4, 0x20, SubTypeGroup::None},
    {"Set top box", 4, 0x24, SubTypeGroup::None},
    {"Hi-Fi", 4, 0x28, SubTypeGroup::None},
    {"VCR / DVD", 4, 0x2C, SubTypeGroup::None},
    {"Video camera", 4, 0x30, SubTypeGroup::None},
    {"Camcorder", 4, 0x34, SubTypeGroup::None},
    {"Monitor", 4, 0x38, SubTypeGroup::None},
    {"Television / Monitor with audio", 4, 0x3C, SubTypeGroup::None},
    {"Conferencing device", 4, 0x40, SubTypeGroup::None},
    {"Toy", 4, 0x48, SubTypeGroup::None},
    {"LAN 0% utilized", 3, 0x00, SubTypeGroup::None},
    {"LAN 1%-17% utilized", 3, 0x20, SubTypeGroup::None},
    {"LAN 17%-33% utilized", 3, 0x40, SubTypeGroup::None},
    {"LAN 33%-50% utilized", 3, 0x60, SubTypeGroup::None},
    {"LAN 50%-67% utilized", 3, 0x80, SubTypeGroup::None},
    {"LAN 67%-83% utilized", 3, 0xA0, SubTypeGroup::None},
    {"LAN 83%-99% utilized", 3, 0xC0, SubTypeGroup::None},
    {"LAN 100% utilized", 3, 0xE0, SubTypeGroup::None},
    {"Miscellaneous device", 0, 0x00, SubTypeGroup::None},
    {"Uncategorized device", 0x1F, 0x00, SubTypeGroup::None},
});
static_assert(kDeviceTypeTable.size() == 47, "the form's device-type list has 47 lines");

namespace detail {
constexpr auto deviceTypeLabels() {
    std::array<std::string_view, kDeviceTypeTable.size()> lines{};
    auto line = lines.begin();
    for (const DeviceType &row : kDeviceTypeTable)
        *line++ = row.label;
    return lines;
}
} // namespace detail

// The list's lines alone, for what reads labels without the class values.
inline constexpr auto kDeviceTypeLabels = detail::deviceTypeLabels();

// The row for a stored device type, or nullptr for an index outside the list.
[[nodiscard]] constexpr const DeviceType *deviceTypeAt(std::int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= kDeviceTypeTable.size())
        return nullptr;
    return &kDeviceTypeTable[static_cast<std::size_t>(index)];
}

// A box whose tick adds one bit to a Class of Device byte.
struct ClassBit {
    std::int32_t ModuleSettings::*box;
    std::uint8_t bit;
    std::string_view name;
    SubTypeGroup group = SubTypeGroup::None; // for sub-type bits: the rows they belong to
};

// Minor-class bits added for the rows of a group. The form enables a box only while the
// chosen row belongs to its group.
inline constexpr auto kSubTypeBits = std::to_array<ClassBit>({
    {&ModuleSettings::display, 0x10, "display", SubTypeGroup::Imaging},
    {&ModuleSettings::camera, 0x20, "camera", SubTypeGroup::Imaging},
    {&ModuleSettings::scanner, 0x40, "scanner", SubTypeGroup::Imaging},
    {&ModuleSettings::printer, 0x80, "printer", SubTypeGroup::Imaging},
    {&ModuleSettings::keyboard, 0x40, "keyboard", SubTypeGroup::Peripheral},
    {&ModuleSettings::pointingDevice, 0x80, "pointing device", SubTypeGroup::Peripheral},
});

// Major service classes, the high byte of the Class of Device.
inline constexpr auto kServiceBits = std::to_array<ClassBit>({
    {&ModuleSettings::positioning, 0x01, "positioning"},
    {&ModuleSettings::networking, 0x02, "networking"},
    {&ModuleSettings::rendering, 0x04, "rendering"},
    {&ModuleSettings::capturing, 0x08, "capturing"},
    {&ModuleSettings::objectTransfer, 0x10, "object transfer"},
    {&ModuleSettings::audio, 0x20, "audio"},
    {&ModuleSettings::telephony, 0x40, "telephony"},
    {&ModuleSettings::information, 0x80, "information"},
});

// Bit 13 of the Class of Device, in the middle byte.
inline constexpr std::uint8_t kLimitedDiscoverableBit = 0x20;

} // namespace tavrenode
