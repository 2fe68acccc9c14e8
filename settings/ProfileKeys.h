#pragma once

#include "ListLabels.h"
#include "ModuleSettings.h"
#include "SettingsFields.h"
#include "StoreEntries.h"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace tavrenode {

// What a profile value may be for a key.
enum class ProfileValue : std::uint8_t {
    ListLine, // a line of the list as the form shows it, or its index
    BaudRate, // the number of baud, or the list's line ("9600 baud")
    Box,      // yes / no, true / false, on / off, 1 / 0
    Text,     // any text up to the form's limit
    Port,     // a port number from 1
};

// One key of the profile format. The same keys name the settings on the command line and in
// a batch's columns, so they never change once published.
struct ProfileKey {
    std::string_view name;
    ProfileValue kind = ProfileValue::Text;
    std::int32_t ModuleSettings::*number = nullptr;
    QString ModuleSettings::*text = nullptr;
    std::string_view what;                   // the setting, as messages name it
    std::span<const std::string_view> lines; // a list's lines, in list order
    int minLength = 0;                       // texts only
    int maxLength = 0;
    std::string_view caption; // a comment the writer puts before the group this key starts
};

namespace detail {

// A list's key takes its lines and its name in messages from the list itself.
constexpr ProfileKey listKey(std::string_view name, std::int32_t ModuleSettings::*field,
                             ProfileValue kind = ProfileValue::ListLine) {
    const SettingList &list = *settingList(field);
    return {name, kind, field, nullptr, list.name, list.lines, 0, 0, {}};
}
constexpr ProfileKey boxKey(std::string_view name, std::int32_t ModuleSettings::*field,
                            std::string_view caption = {}) {
    return {name, ProfileValue::Box, field, nullptr, name, {}, 0, 0, caption};
}
constexpr ProfileKey textKey(std::string_view name, QString ModuleSettings::*field,
                             std::string_view what, int minLength, int maxLength,
                             std::string_view caption = {}) {
    return {name, ProfileValue::Text, nullptr, field, what, {}, minLength, maxLength, caption};
}

} // namespace detail

// In the order the writer writes them: the form's lists first, then the boxes, the texts and
// the pairing lists.
inline constexpr std::array<ProfileKey, kSettingsFieldCount> kProfileKeys{
    detail::listKey("status-pin", &ModuleSettings::statusPinMode),
    detail::listKey("baud", &ModuleSettings::baudRate, ProfileValue::BaudRate),
    detail::listKey("device-type", &ModuleSettings::deviceType),
    detail::boxKey("limited-discoverable", &ModuleSettings::limitedDiscoverable,
                   "Class of Device: yes or no"),
    detail::boxKey("positioning", &ModuleSettings::positioning),
    detail::boxKey("networking", &ModuleSettings::networking),
    detail::boxKey("rendering", &ModuleSettings::rendering),
    detail::boxKey("capturing", &ModuleSettings::capturing),
    detail::boxKey("object-transfer", &ModuleSettings::objectTransfer),
    detail::boxKey("audio", &ModuleSettings::audio),
    detail::boxKey("telephony", &ModuleSettings::telephony),
    detail::boxKey("information", &ModuleSettings::information),
    detail::boxKey("keyboard", &ModuleSettings::keyboard,
                   "Sub-types: only those of the device type's group count"),
    detail::boxKey("pointing-device", &ModuleSettings::pointingDevice),
    detail::boxKey("display", &ModuleSettings::display),
    detail::boxKey("camera", &ModuleSettings::camera),
    detail::boxKey("scanner", &ModuleSettings::scanner),
    detail::boxKey("printer", &ModuleSettings::printer),
    detail::textKey("name", &ModuleSettings::deviceName, "device name", 0, kDeviceNameMaxLength,
                    "Each of the first twelve ~ in the name stands for a hexadecimal digit of the "
                    "module's address"),
    detail::textKey("pair-prefix", &ModuleSettings::pairMatchPrefix, "pair match prefix", 0,
                    kPairMatchPrefixMaxLength),
    detail::textKey("pin", &ModuleSettings::pin, "PIN", 1, kPinMaxLength),
    detail::listKey("mating", &ModuleSettings::matingMode),
    detail::listKey("security", &ModuleSettings::securityMode),
    detail::listKey("role", &ModuleSettings::masterSlaveMode),
    ProfileKey{
        "port", ProfileValue::Port, &ModuleSettings::comPort, nullptr, "COM port", {}, 0, 0, {}},
};
static_assert(coversEveryFieldOnce(kProfileKeys),
              "a profile names every field of ModuleSettings, each with one key");
static_assert(sameFields(kProfileKeys, kStoreEntries), "what the store keeps, a profile holds");

} // namespace tavrenode
