#pragma once

#include "ConfigRecord.h"
#include "ModuleSettings.h"

#include <QString>

namespace tavrenode {

class MessageSink;

inline constexpr auto kFaultDetectedMessage = u"Fault detected";

// Fills bytes 0 to 77 of the record from the settings. Bytes a build does not reach (the
// tail of a text field past its terminator, and bytes 78 to 191) keep what the previous
// build left there: the module has always been sent such a record, so a fresh buffer is
// the caller's business. False when the device type is outside the table: the record is
// built all the same, without a major and minor class.
[[nodiscard]] bool buildRecord(const ModuleSettings &settings, ConfigRecord &record);

// The same, showing "Fault detected" for a device type outside the table.
void build(const ModuleSettings &settings, ConfigRecord &record, MessageSink &messages);

// The device name as it goes into the record: the first twelve "~" replaced, in order, by
// the address placeholder codes; any later "~" stays.
[[nodiscard]] QString substituteAddressPlaceholders(QString deviceName);

} // namespace tavrenode
