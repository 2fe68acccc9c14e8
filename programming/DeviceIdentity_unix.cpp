#include "DeviceIdentity.h"

#include <sys/stat.h>

#include <QFile>

namespace tavrenode {

QByteArray deviceIdentity(const QString &path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat link {};
    struct stat device {};
    // The path itself (a link made anew has a new inode or change time) and what it leads
    // to; a link that leads nowhere is no device.
    if (::lstat(name.constData(), &link) != 0 || ::stat(name.constData(), &device) != 0)
        return {};
    QByteArray identity;
    for (const auto value :
         {qint64(link.st_dev), qint64(link.st_ino), qint64(link.st_ctim.tv_sec),
          qint64(link.st_ctim.tv_nsec), qint64(device.st_rdev), qint64(device.st_ino),
          qint64(device.st_ctim.tv_sec), qint64(device.st_ctim.tv_nsec)})
        identity.append(reinterpret_cast<const char *>(&value), sizeof value);
    return identity;
}

} // namespace tavrenode
