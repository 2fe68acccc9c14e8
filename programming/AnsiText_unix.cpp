#include "AnsiText.h"

namespace tavrenode {

// No system here has an ANSI code page: Windows-1252 stands in for it.
QByteArray toAnsiCodePage(QStringView text) {
    return toWindows1252(text);
}

} // namespace tavrenode
