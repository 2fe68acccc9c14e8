#include "DeviceIdentity.h"

#include <qt_windows.h>

namespace tavrenode {

QByteArray deviceIdentity(const QString &path) {
    // \\.\COM7 is the DOS device COM7; what it is defined as (\Device\BthModem0, say) names
    // the device behind it, and it is undefined while the port does not exist.
    const QString name = path.mid(path.lastIndexOf(u'\\') + 1);
    wchar_t target[1024];
    const DWORD length =
        QueryDosDeviceW(reinterpret_cast<LPCWSTR>(name.utf16()), target, DWORD(std::size(target)));
    if (length == 0)
        return {};
    return QString::fromWCharArray(target, int(length)).toUtf8();
}

} // namespace tavrenode
