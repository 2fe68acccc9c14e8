#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tavrenode {

// The 192-byte record that configures the module. Every field is a byte or a byte string;
// bytes 78 to 191 are never written.
inline constexpr std::size_t kRecordSize = 192;
using ConfigRecord = std::array<std::uint8_t, kRecordSize>;

namespace record {
inline constexpr std::size_t kStatusPin = 0;
inline constexpr std::size_t kBaud = 1;
inline constexpr std::size_t kClassOfDevice = 2; // three bytes, least significant first
inline constexpr std::size_t kDeviceName = 5;
inline constexpr std::size_t kDeviceNameSize = 32;
inline constexpr std::size_t kMatingMode = 37;
inline constexpr std::size_t kPairMatchPrefix = 38;
inline constexpr std::size_t kPairMatchPrefixSize = 21;
inline constexpr std::size_t kPin = 59;
inline constexpr std::size_t kPinSize = 17;
inline constexpr std::size_t kSecurityMode = 76;
inline constexpr std::size_t kMasterSlaveMode = 77;
inline constexpr std::size_t kWrittenSize = 78;

// What the record's code for a list choice adds to the line's index: the status pin's lines
// are codes 1..3, the baud rates' 4..8 (9600 baud is 4). The other lists' codes are their
// indexes.
inline constexpr std::int32_t kStatusPinCodeOffset = 1;
inline constexpr std::int32_t kBaudCodeOffset = 4;
} // namespace record

// Codes that stand in the record for successive "~" of the device name; the module puts
// the nibbles of its own address in their place.
inline constexpr auto kAddressPlaceholders = std::to_array<std::uint8_t>({
    0x10,
    0x1A,
    0x11,
    0x1B,
    0x12,
    0x1C,
    0x13,
    0x1D,
    0x14,
    0x1E,
    0x15,
    0x1F,
});

} // namespace tavrenode
