#include "StoreFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

using namespace Qt::StringLiterals;

namespace tavrenode {

// The store file holds the PIN: it is created private to its owner before anything is
// written to it, and made private again should someone have opened it up since. QSettings
// replaces the file through QSaveFile, which keeps the mode of the file it replaces.
void prepareStoreFile(const QString &path) {
    const QFileInfo info(path);
    QDir().mkpath(info.absolutePath());
    constexpr auto kPrivate = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    QFile file(path);
    if (!info.exists()) {
        // NewOnly: never truncate a file that appeared in the meantime.
        file.open(QIODevice::WriteOnly | QIODevice::NewOnly, kPrivate);
        return;
    }
    if ((file.permissions() & ~(kPrivate | QFileDevice::ReadUser | QFileDevice::WriteUser)) != 0)
        file.setPermissions(kPrivate);
}

// A save killed between creating its lock file and writing its owner into it leaves an
// empty lock, which QLockFile takes for stale only after 30 seconds: the next save, on
// Close or before programming, would hold the window that long. An owner writes its name
// within microseconds of creating the file, so a lock that stays empty for 100 ms has none.
void removeOwnerlessLock(const QString &storePath) {
    constexpr qint64 kOwnerWritesWithinMs = 100;
    const QString lockPath = storePath + u".lock"_s;
    QFileInfo lock(lockPath);
    if (!lock.exists() || lock.size() != 0)
        return;
    const qint64 age = lock.lastModified().msecsTo(QDateTime::currentDateTime());
    if (age >= 0 && age < kOwnerWritesWithinMs)
        QThread::msleep(static_cast<unsigned long>(kOwnerWritesWithinMs - age));
    lock.refresh();
    if (lock.exists() && lock.size() == 0)
        QFile::remove(lockPath);
}

} // namespace tavrenode
