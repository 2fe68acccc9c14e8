#pragma once

#include "ModuleSettings.h"
#include "SettingsStore.h"

#include <sys/stat.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

// What the settings tests share: a configuration home of their own, the store's company,
// writing a store file by hand, the mode of a file, two samples.

// A temporary folder as the user's configuration home (and, if asked, as the system's
// configuration folder) for the whole test run. Made before the first QSettings: Qt reads
// the locations once per process.
class TemporaryConfigHome {
public:
    enum class SystemFolder { Keep, Temporary };

    explicit TemporaryConfigHome(SystemFolder system = SystemFolder::Keep) {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_user.path()));
        if (system == SystemFolder::Temporary)
            qputenv("XDG_CONFIG_DIRS", QFile::encodeName(m_system.path()));
    }
    [[nodiscard]] bool isValid() const { return m_user.isValid() && m_system.isValid(); }
    [[nodiscard]] QString user() const { return m_user.path(); }
    [[nodiscard]] QString system() const { return m_system.path(); }

private:
    QTemporaryDir m_user;
    QTemporaryDir m_system;
};

// Writes content as the file at path, as a hand edit or another program would.
[[nodiscard]] inline bool writeFile(const QString &path, const QByteArray &content) {
    QFile file(path);
    return QFileInfo(path).dir().mkpath(QStringLiteral(".")) && file.open(QIODevice::WriteOnly) &&
           file.write(content) == content.size();
}

inline QString company() {
    return QString::fromUtf16(tavrenode::SettingsStore::kCompany);
}

inline unsigned modeOf(const QString &path) {
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 07777;
}

// Two sets of settings that differ in every text, and in the size of the file they make.
inline tavrenode::ModuleSettings storeSample(int which) {
    using namespace Qt::StringLiterals;
    tavrenode::ModuleSettings s = tavrenode::SettingsStore::defaults();
    if (which == 0) {
        s.deviceName = u"First ~~~~"_s, s.pairMatchPrefix = u"One"_s, s.pin = u"1111"_s;
        s.comPort = 3, s.deviceType = 5;
    } else {
        s.deviceName = u"Second, with \"quotes\" ~~"_s, s.pairMatchPrefix = u"@Two\\"_s;
        s.pin = u"22222222"_s, s.comPort = 12, s.deviceType = 40;
    }
    return s;
}
