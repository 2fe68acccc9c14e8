#pragma once

#include <string_view>

#include <QString>

namespace tavrenode {

// The tables' texts are UTF-8 string views, usable in constant expressions; Qt wants them
// as QString.
[[nodiscard]] inline QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace tavrenode
