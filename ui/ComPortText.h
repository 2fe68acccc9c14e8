#pragma once

#include <cstdint>
#include <optional>

#include <QStringView>

namespace tavrenode {

// The COM port box as a number: leading blanks and a sign are accepted, whatever follows the
// digits is ignored ("3x" is 3), and only the first 63 characters are looked at. No number,
// or one outside the signed 32-bit range, gives nothing: the box then asks for an integer
// rather than the tool programming some other port.
[[nodiscard]] std::optional<std::int32_t> parseComPort(QStringView text);

} // namespace tavrenode
