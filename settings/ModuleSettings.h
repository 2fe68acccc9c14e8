#pragma once

#include <cstdint>

#include <QString>

namespace tavrenode {

// Everything the user can set for the module, one field per control of the form. List
// choices are zero-based line indexes (-1: no line selected), boxes are 0 clear, 1 ticked
// (2 indeterminate). Nothing here validates: the form bounds the texts, the program command
// refuses an empty PIN, and the record encoder copes with indexes outside their lists.
//
// Every field starts at 0 or empty; the defaults a user sees come from the settings store,
// which applies them to entries it has no value for.
struct ModuleSettings {
    std::int32_t statusPinMode = 0;
    std::int32_t baudRate = 0;
    std::int32_t deviceType = 0;

    // Major service classes.
    std::int32_t positioning = 0;
    std::int32_t networking = 0;
    std::int32_t rendering = 0;
    std::int32_t capturing = 0;
    std::int32_t objectTransfer = 0;
    std::int32_t audio = 0;
    std::int32_t telephony = 0;
    std::int32_t information = 0;

    // Sub-type boxes: peripheral rows use the first two, the imaging row the other four.
    std::int32_t keyboard = 0;
    std::int32_t pointingDevice = 0;
    std::int32_t display = 0;
    std::int32_t camera = 0;
    std::int32_t scanner = 0;
    std::int32_t printer = 0;

    QString deviceName; // each "~" stands for one nibble of the module's address
    QString pairMatchPrefix;
    QString pin;

    std::int32_t matingMode = 0;
    std::int32_t securityMode = 0;
    std::int32_t limitedDiscoverable = 0;
    std::int32_t comPort = 0;
    std::int32_t masterSlaveMode = 0;

    friend bool operator==(const ModuleSettings &, const ModuleSettings &) = default;
};

// Longest texts the form lets the user type; the record's text fields hold one byte more.
inline constexpr int kDeviceNameMaxLength = 31;
inline constexpr int kPairMatchPrefixMaxLength = 20;
inline constexpr int kPinMaxLength = 16;

} // namespace tavrenode
