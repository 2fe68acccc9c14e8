#include "Ledger.h"

#include <windows.h>

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace tavrenode::prog {

QString networkFileSystem(const QString &path) {
    const QString absolute = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    if (absolute.startsWith(u"\\\\"_s))
        return u"a network share"_s;
    // The root of the drive: a mapped network drive reports itself as remote.
    const QString root = absolute.left(3);
    if (GetDriveTypeW(reinterpret_cast<const wchar_t *>(root.utf16())) == DRIVE_REMOTE)
        return u"a network drive"_s;
    return {};
}

} // namespace tavrenode::prog
