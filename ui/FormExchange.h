#pragma once

#include "FormTemplates.h"
#include "ModuleSettings.h"
#include "SettingsFields.h"
#include "StoreEntries.h"

#include <array>

namespace tavrenode {

enum class ExchangeKind { ListIndex, Box, Text, Integer };

// One control's exchange with its field. The order matters: a read stops at the first
// control that fails, so earlier fields are updated and later ones keep their values.
struct ExchangeEntry {
    int id = 0;
    ExchangeKind kind = ExchangeKind::Text;
    std::int32_t ModuleSettings::*number = nullptr;
    QString ModuleSettings::*text = nullptr;
    int limit = 0; // for texts: the most characters the box takes
};

constexpr ExchangeEntry listEntry(int id, std::int32_t ModuleSettings::*field) {
    return {id, ExchangeKind::ListIndex, field};
}
constexpr ExchangeEntry boxEntry(int id, std::int32_t ModuleSettings::*field) {
    return {id, ExchangeKind::Box, field};
}
constexpr ExchangeEntry textEntry(int id, QString ModuleSettings::*field, int limit) {
    return {id, ExchangeKind::Text, nullptr, field, limit};
}

namespace id = forms::id;

inline constexpr std::array<ExchangeEntry, kSettingsFieldCount> kFormExchange{
    listEntry(id::StatusPin, &ModuleSettings::statusPinMode),
    listEntry(id::BaudRate, &ModuleSettings::baudRate),
    listEntry(id::DeviceType, &ModuleSettings::deviceType),
    boxEntry(id::Positioning, &ModuleSettings::positioning),
    boxEntry(id::Networking, &ModuleSettings::networking),
    boxEntry(id::Rendering, &ModuleSettings::rendering),
    boxEntry(id::Capturing, &ModuleSettings::capturing),
    boxEntry(id::ObjectTransfer, &ModuleSettings::objectTransfer),
    boxEntry(id::Audio, &ModuleSettings::audio),
    boxEntry(id::Telephony, &ModuleSettings::telephony),
    boxEntry(id::Information, &ModuleSettings::information),
    boxEntry(id::Keyboard, &ModuleSettings::keyboard),
    boxEntry(id::PointingDevice, &ModuleSettings::pointingDevice),
    boxEntry(id::Display, &ModuleSettings::display),
    boxEntry(id::Camera, &ModuleSettings::camera),
    boxEntry(id::Scanner, &ModuleSettings::scanner),
    boxEntry(id::Printer, &ModuleSettings::printer),
    textEntry(id::DeviceName, &ModuleSettings::deviceName, kDeviceNameMaxLength),
    textEntry(id::PairMatchPrefix, &ModuleSettings::pairMatchPrefix, kPairMatchPrefixMaxLength),
    textEntry(id::Pin, &ModuleSettings::pin, kPinMaxLength),
    listEntry(id::MatingMode, &ModuleSettings::matingMode),
    listEntry(id::SecurityMode, &ModuleSettings::securityMode),
    boxEntry(id::LimitedDiscoverable, &ModuleSettings::limitedDiscoverable),
    {id::ComPort, ExchangeKind::Integer, &ModuleSettings::comPort},
    listEntry(id::MasterSlave, &ModuleSettings::masterSlaveMode),
};
static_assert(coversEveryFieldOnce(kFormExchange),
              "the form edits every field of ModuleSettings, each with one control");
static_assert(sameFields(kFormExchange, kStoreEntries), "what the form edits, the store keeps");

// The control that edits a number field (a list, a box, the port), or -1.
[[nodiscard]] constexpr int controlOf(std::int32_t ModuleSettings::*field) {
    for (const ExchangeEntry &entry : kFormExchange) {
        if (entry.number == field)
            return entry.id;
    }
    return -1;
}

// The control that edits a text field, or -1.
[[nodiscard]] constexpr int controlOf(QString ModuleSettings::*field) {
    for (const ExchangeEntry &entry : kFormExchange) {
        if (entry.text == field)
            return entry.id;
    }
    return -1;
}

} // namespace tavrenode
