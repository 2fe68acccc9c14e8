#include "AnsiText.h"

#include <qt_windows.h>

namespace tavrenode {

QByteArray toAnsiCodePage(QStringView text) {
    if (text.isEmpty())
        return {};
    const auto *wide = reinterpret_cast<const wchar_t *>(text.utf16());
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
    QByteArray bytes(size, Qt::Uninitialized);
    WideCharToMultiByte(CP_ACP, 0, wide, length, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

} // namespace tavrenode
