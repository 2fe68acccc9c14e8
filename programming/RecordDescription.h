#pragma once

#include "ConfigRecord.h"

#include <string>

namespace tavrenode {

// The record field by field, as a person reads it, followed by a hex dump.
[[nodiscard]] std::string describeRecord(const ConfigRecord &record);

} // namespace tavrenode
