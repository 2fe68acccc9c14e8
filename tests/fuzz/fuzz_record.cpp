// The record encoder fed settings no form would produce: any integers, any UTF-16 (lone
// surrogates included), texts far longer than their fields.
#include "ConfigRecord.h"
#include "FuzzSupport.h"
#include "ModuleSettings.h"
#include "RecordEncoder.h"
#include "RecordingMessages.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>
#include <vector>

#include <QString>

namespace {

using namespace tavrenode;

QString anyText(FuzzedDataProvider &input) {
    std::vector<char16_t> units(input.ConsumeIntegralInRange<std::size_t>(0, 300));
    for (char16_t &unit : units)
        unit = input.ConsumeIntegral<char16_t>();
    return QString::fromUtf16(units.data(), qsizetype(units.size()));
}

// A text field holds at most its size less one bytes and always ends in zero.
bool terminated(const ConfigRecord &record, std::size_t offset, std::size_t size) {
    const auto field = record.begin() + std::ptrdiff_t(offset);
    return record[offset + size - 1] == 0 &&
           std::find(field, field + std::ptrdiff_t(size), 0) != field + std::ptrdiff_t(size);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    ModuleSettings settings;
    for (std::int32_t *field : {&settings.statusPinMode,  &settings.baudRate,
                                &settings.deviceType,     &settings.positioning,
                                &settings.networking,     &settings.rendering,
                                &settings.capturing,      &settings.objectTransfer,
                                &settings.audio,          &settings.telephony,
                                &settings.information,    &settings.keyboard,
                                &settings.pointingDevice, &settings.display,
                                &settings.camera,         &settings.scanner,
                                &settings.printer,        &settings.matingMode,
                                &settings.securityMode,   &settings.limitedDiscoverable,
                                &settings.comPort,        &settings.masterSlaveMode})
        *field = input.ConsumeIntegral<std::int32_t>();
    settings.deviceName = anyText(input);
    settings.pairMatchPrefix = anyText(input);
    settings.pin = anyText(input);

    // Whatever the previous build left in the record.
    ConfigRecord record{};
    const std::vector<std::uint8_t> previous = input.ConsumeRemainingBytes<std::uint8_t>();
    std::copy_n(previous.begin(), std::min(previous.size(), record.size()), record.begin());
    const ConfigRecord before = record;

    RecordingMessages messages;
    build(settings, record, messages);
    FUZZ_CHECK(messages.messages.size() <= 1);
    FUZZ_CHECK(std::equal(record.begin() + record::kWrittenSize, record.end(),
                          before.begin() + record::kWrittenSize));
    FUZZ_CHECK(terminated(record, record::kDeviceName, record::kDeviceNameSize));
    FUZZ_CHECK(terminated(record, record::kPairMatchPrefix, record::kPairMatchPrefixSize));
    FUZZ_CHECK(terminated(record, record::kPin, record::kPinSize));

    // Building again over the result changes nothing.
    ConfigRecord again = record;
    build(settings, again, messages);
    FUZZ_CHECK(again == record);
    return 0;
}
