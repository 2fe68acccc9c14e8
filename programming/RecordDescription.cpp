#include "RecordDescription.h"

#include "BlockProtocol.h"
#include "DeviceTypeTable.h"
#include "ListLabels.h"

#include <cstdio>
#include <span>
#include <string_view>

namespace tavrenode {

namespace {

std::string hex(unsigned value, int digits = 2) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

// The line of the field's list that a record byte codes, once the code's offset is off.
std::string_view labelOf(std::int32_t ModuleSettings::*field, int index) {
    const std::string_view line = lineAt(settingList(field)->lines, index);
    return line.empty() ? "(not a valid code)" : line;
}

std::string_view majorClassName(unsigned major) {
    static constexpr std::array<std::string_view, 7> kNames{
        "miscellaneous", "computer",   "phone",  "LAN / network access point",
        "audio / video", "peripheral", "imaging"};
    if (major < kNames.size())
        return kNames[major];
    return major == 0x1F ? "uncategorized" : "reserved";
}

std::uint8_t subTypeMask(SubTypeGroup group) {
    std::uint8_t mask = 0;
    for (const ClassBit &bit : kSubTypeBits)
        mask |= bit.group == group ? bit.bit : 0;
    return mask;
}

// The row whose major and minor class the bytes hold, once its sub-type bits are masked off.
const DeviceType *deviceTypeOf(unsigned major, std::uint8_t low) {
    for (const DeviceType &row : kDeviceTypeTable) {
        if (row.major == major && row.minor == (low & ~subTypeMask(row.group)))
            return &row;
    }
    return nullptr;
}

// The names of the bits of byte that the table gives for group.
std::string bitNames(std::span<const ClassBit> bits, SubTypeGroup group, std::uint8_t byte) {
    std::string names;
    for (const ClassBit &bit : bits) {
        if (bit.group == group && (byte & bit.bit))
            names += (names.empty() ? "" : ", ") + std::string(bit.name);
    }
    return names;
}

// Printable bytes as they are, address placeholders as {n} (their position in the
// address), anything else as <HH>; up to the terminator.
std::string text(std::span<const std::uint8_t> field) {
    std::string shown = "\"";
    for (const std::uint8_t byte : field) {
        if (byte == 0)
            break;
        std::size_t placeholder = 0;
        while (placeholder < kAddressPlaceholders.size() &&
               kAddressPlaceholders[placeholder] != byte)
            ++placeholder;
        if (placeholder < kAddressPlaceholders.size())
            shown.append("{").append(std::to_string(placeholder + 1)).append("}");
        else if (byte >= 0x20 && byte < 0x7F)
            shown += static_cast<char>(byte);
        else
            shown.append("<").append(hex(byte).substr(2)).append(">");
    }
    return shown + "\"";
}

std::string line(std::string_view name, const std::string &value) {
    std::string result(name);
    result.resize(20, ' ');
    return result + value + "\n";
}

std::string coded(std::uint8_t byte, std::string_view label) {
    return hex(byte) + "  " + std::string(label);
}

} // namespace

std::string describeRecord(const ConfigRecord &record) {
    using namespace record;
    const std::span bytes(record);
    std::string out;
    out += line("status pin",
                coded(record[kStatusPin], labelOf(&ModuleSettings::statusPinMode,
                                                  record[kStatusPin] - kStatusPinCodeOffset)));
    out += line("baud", coded(record[kBaud],
                              labelOf(&ModuleSettings::baudRate, record[kBaud] - kBaudCodeOffset)));

    const std::uint8_t low = record[kClassOfDevice];
    const std::uint8_t middle = record[kClassOfDevice + 1];
    const std::uint8_t high = record[kClassOfDevice + 2];
    const unsigned major = middle & 0x1Fu;
    std::string cod = hex(unsigned(high) << 16 | unsigned(middle) << 8 | low, 6);
    cod += "  major " + std::to_string(major) + " (" + std::string(majorClassName(major)) + ")";
    if (const DeviceType *row = deviceTypeOf(major, low)) {
        cod += ", minor " + hex(row->minor) + " (" + std::string(row->label) + ")";
        const std::string sub = row->group == SubTypeGroup::None
                                    ? std::string()
                                    : bitNames(kSubTypeBits, row->group, low);
        if (!sub.empty())
            cod += ", sub-types: " + sub;
    } else {
        cod += ", minor " + hex(low) + " (unknown)";
    }
    out += line("class of device", cod);
    out += line("", std::string("limited discoverable: ") +
                        ((middle & kLimitedDiscoverableBit) ? "yes" : "no"));
    const std::string services = bitNames(kServiceBits, SubTypeGroup::None, high);
    out += line("", "services: " + (services.empty() ? std::string("none") : services));
    out += line("device name", text(bytes.subspan(kDeviceName, kDeviceNameSize)));
    out += line("mating", coded(record[kMatingMode],
                                labelOf(&ModuleSettings::matingMode, record[kMatingMode])));
    out += line("pair match prefix", text(bytes.subspan(kPairMatchPrefix, kPairMatchPrefixSize)));
    out += line("PIN", text(bytes.subspan(kPin, kPinSize)));
    out += line("security", coded(record[kSecurityMode],
                                  labelOf(&ModuleSettings::securityMode, record[kSecurityMode])));
    out += line("master/slave",
                coded(record[kMasterSlaveMode],
                      labelOf(&ModuleSettings::masterSlaveMode, record[kMasterSlaveMode])));
    // The hex dump in the blocks the record is sent in.
    for (std::size_t row = 0; row < kRecordSize; row += 16) {
        if (row % kBlockSize == 0)
            out += "block " + std::to_string(row / kBlockSize + 1) + "\n";
        char offset[8];
        std::snprintf(offset, sizeof offset, "%03zu ", row);
        out += offset;
        for (std::size_t i = row; i < row + 16; ++i)
            out += hex(record[i]).substr(2) + (i % 16 == 7 ? "  " : " ");
        out += "\n";
    }
    return out;
}

} // namespace tavrenode
