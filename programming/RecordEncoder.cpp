#include "RecordEncoder.h"

#include "AnsiText.h"
#include "ClassOfDevice.h"
#include "UserMessage.h"

#include <algorithm>
#include <span>
#include <string_view>

namespace tavrenode {

namespace {

// A list-derived byte is the low eight bits of index plus code offset; an index of -1 (no
// line selected) therefore gives offset - 1.
std::uint8_t lowByte(std::int32_t value, unsigned offset = 0) {
    return static_cast<std::uint8_t>((static_cast<std::uint32_t>(value) + offset) & 0xFFu);
}

// Writes the prefill with its terminator, then the converted text with its terminator over
// it, and nothing beyond: a short text leaves the rest of the prefill, and of older bytes,
// after its terminator. The field's last byte is zero whatever the text.
void writeTextField(std::span<std::uint8_t> field, std::string_view prefill, QStringView text) {
    const auto copyTerminated = [field](std::span<const char> bytes) {
        const std::size_t count = std::min(bytes.size(), field.size() - 1);
        std::copy_n(bytes.begin(), count, field.begin());
        field[count] = 0;
    };
    copyTerminated(prefill);
    const QByteArray converted = toAnsiCodePage(text);
    copyTerminated(std::span(converted.constData(), static_cast<std::size_t>(converted.size())));
    field.back() = 0;
}

} // namespace

QString substituteAddressPlaceholders(QString deviceName) {
    qsizetype from = 0;
    for (const std::uint8_t code : kAddressPlaceholders) {
        const qsizetype tilde = deviceName.indexOf(u'~', from);
        if (tilde < 0)
            break;
        deviceName[tilde] = QChar(char16_t(code));
        from = tilde + 1;
    }
    return deviceName;
}

void build(const ModuleSettings &settings, ConfigRecord &record, MessageSink &messages) {
    if (!buildRecord(settings, record))
        messages.show({QString::fromUtf16(kFaultDetectedMessage), {}});
}

bool buildRecord(const ModuleSettings &settings, ConfigRecord &record) {
    using namespace record;
    record[kStatusPin] = lowByte(settings.statusPinMode, kStatusPinCodeOffset);
    record[kBaud] = lowByte(settings.baudRate, kBaudCodeOffset);

    const ClassOfDevice cod = classOfDevice(settings);
    record[kClassOfDevice] = cod.low;
    record[kClassOfDevice + 1] = cod.middle;
    record[kClassOfDevice + 2] = cod.high;

    const std::span bytes(record);
    writeTextField(bytes.subspan(kDeviceName, kDeviceNameSize), "Tavrenode ???",
                   substituteAddressPlaceholders(settings.deviceName));
    writeTextField(bytes.subspan(kPairMatchPrefix, kPairMatchPrefixSize), "Tavrenode",
                   settings.pairMatchPrefix);
    writeTextField(bytes.subspan(kPin, kPinSize), "7392", settings.pin);

    record[kMatingMode] = lowByte(settings.matingMode);
    record[kSecurityMode] = lowByte(settings.securityMode);
    record[kMasterSlaveMode] = lowByte(settings.masterSlaveMode);
    return cod.deviceTypeKnown;
}

} // namespace tavrenode
