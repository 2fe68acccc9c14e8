#pragma once

#include <QByteArray>
#include <QStringView>

namespace tavrenode {

// The module takes single-byte text. On Windows that is the system's ANSI code page; other
// systems have none, so Windows-1252, the common case, stands in for it. Every UTF-16 code
// point gives exactly one byte: one the code page cannot represent (a lone surrogate
// included) becomes '?'. Control characters, the address placeholders among them, pass
// through unchanged.
[[nodiscard]] QByteArray toAnsiCodePage(QStringView text);

// Windows-1252 as above, on every platform.
[[nodiscard]] QByteArray toWindows1252(QStringView text);

} // namespace tavrenode
