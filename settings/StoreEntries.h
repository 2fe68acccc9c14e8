#pragma once

#include "ModuleSettings.h"
#include "SettingsFields.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace tavrenode {

// The store keeps the baud rate's line index plus 3 (9600 baud is 3): stores written by
// earlier versions rely on it, so it never changes. It has nothing to do with the record's
// own code for the baud rate.
inline constexpr std::int32_t kStoredBaudOffset = 3;

// One remembered setting: its entry name in the store, the field it fills, and what the
// field takes when the store has no value. Exactly one of number and text is set.
struct StoreEntry {
    std::string_view name;
    std::int32_t ModuleSettings::*number = nullptr;
    QString ModuleSettings::*text = nullptr;
    std::int32_t defaultNumber = 0;
    std::u16string_view defaultText;
    // Added on writing, subtracted on reading; only the baud rate has one.
    std::int32_t storedOffset = 0;
};

constexpr StoreEntry numberEntry(std::string_view name, std::int32_t ModuleSettings::*field,
                                 std::int32_t fallback, std::int32_t offset = 0) {
    return {name, field, nullptr, fallback, {}, offset};
}

constexpr StoreEntry textEntry(std::string_view name, QString ModuleSettings::*field,
                               std::u16string_view fallback) {
    return {name, nullptr, field, 0, fallback, 0};
}

// In the order in which they are read and written. The odd prefixes (m_c, m_i, bare m_) are
// the names existing stores carry and must stay as they are.
inline constexpr std::array<StoreEntry, kSettingsFieldCount> kStoreEntries{
    numberEntry("m_cStatus", &ModuleSettings::statusPinMode, 2),
    numberEntry("m_cBaud", &ModuleSettings::baudRate, kStoredBaudOffset, kStoredBaudOffset),
    numberEntry("m_DevType", &ModuleSettings::deviceType, 15),
    numberEntry("m_cPosition", &ModuleSettings::positioning, 0),
    numberEntry("m_iNetworking", &ModuleSettings::networking, 1),
    numberEntry("m_iRender", &ModuleSettings::rendering, 0),
    numberEntry("m_iCapture", &ModuleSettings::capturing, 0),
    numberEntry("m_OBEX", &ModuleSettings::objectTransfer, 1),
    numberEntry("m_Audio", &ModuleSettings::audio, 0),
    numberEntry("m_Phone", &ModuleSettings::telephony, 1),
    numberEntry("m_Info", &ModuleSettings::information, 0),
    numberEntry("m_iLtdDisc", &ModuleSettings::limitedDiscoverable, 1),
    numberEntry("m_iKeyboard", &ModuleSettings::keyboard, 0),
    numberEntry("m_iPointer", &ModuleSettings::pointingDevice, 0),
    numberEntry("m_iDisplay", &ModuleSettings::display, 0),
    numberEntry("m_iCamera", &ModuleSettings::camera, 0),
    numberEntry("m_iScanner", &ModuleSettings::scanner, 0),
    numberEntry("m_iPrinter", &ModuleSettings::printer, 0),
    textEntry("m_DevName", &ModuleSettings::deviceName, u"Tavrenode ~~:~~:~~:~~:~~:~~"),
    textEntry("m_PairStub", &ModuleSettings::pairMatchPrefix, u"Tavrenode"),
    textEntry("m_PIN", &ModuleSettings::pin, u"7392"),
    numberEntry("m_iMating", &ModuleSettings::matingMode, 0),
    numberEntry("m_iSecurity", &ModuleSettings::securityMode, 2),
    numberEntry("m_iSlaveMaster", &ModuleSettings::masterSlaveMode, 2),
    numberEntry("m_iComPort", &ModuleSettings::comPort, 4),
};
static_assert(coversEveryFieldOnce(kStoreEntries),
              "the store keeps every field of ModuleSettings, each in one entry");

} // namespace tavrenode
