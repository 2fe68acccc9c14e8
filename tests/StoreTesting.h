#pragma once

#include "ModuleSettings.h"
#include "SettingsStore.h"

#include <sys/stat.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

// What the settings tests share: a configuration home of their own, the store's company,
// writing a store file by hand, where the store is and what it holds on each system, two
// samples.

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

// The kind of an entry in the registry (Windows only).
enum class RegistryKind { Missing, Dword, String, Other };

#ifdef Q_OS_WIN

// The registry: the store is the key HKEY_CURRENT_USER\Software\<company>\<application>.
constexpr bool storeIsFile() {
    return false;
}

inline std::wstring companyKey() {
    return QString(QStringLiteral("Software\\") + company()).toStdWString();
}

inline std::wstring storeKey(const QString &application) {
    return companyKey() + L'\\' + application.toStdWString();
}

inline std::wstring sectionKey(const QString &application) {
    return storeKey(application) + L"\\Tavrenode Prog";
}

inline QString expectedLocation(const TemporaryConfigHome & /*config*/,
                                const QString &application) {
    return QStringLiteral("\\HKEY_CURRENT_USER\\Software\\") + company() + u'\\' + application;
}

// Qt opens, and so makes, the application's key as soon as it looks at the store; the
// section's key, which holds the entries, comes with the first save.
inline bool storeExists(const QString &application) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, sectionKey(application).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// Removes the keys of the applications whose names start with prefix, and the company's key
// once nothing else is left in it.
inline void removeStores(const QString &prefix) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, companyKey().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    QStringList doomed;
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD size = 256;
        if (RegEnumKeyExW(key, index, name, &size, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        const QString application = QString::fromWCharArray(name, int(size));
        if (application.startsWith(prefix))
            doomed.append(application);
    }
    RegCloseKey(key);
    for (const QString &application : doomed)
        RegDeleteTreeW(HKEY_CURRENT_USER, storeKey(application).c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, companyKey().c_str());
}

// Writes an entry of any kind, as another program or a hand edit might.
inline bool writeRegistryValue(const QString &application, const QString &entry, DWORD kind,
                               const QByteArray &data) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, sectionKey(application).c_str(), 0, nullptr, 0,
                        KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const bool written = RegSetValueExW(key, entry.toStdWString().c_str(), 0, kind,
                                        reinterpret_cast<const BYTE *>(data.constData()),
                                        DWORD(data.size())) == ERROR_SUCCESS;
    RegCloseKey(key);
    return written;
}

inline RegistryKind registryKind(const QString &application, const QString &entry) {
    DWORD type = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, sectionKey(application).c_str(),
                     entry.toStdWString().c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr,
                     nullptr) != ERROR_SUCCESS)
        return RegistryKind::Missing;
    return type == REG_DWORD ? RegistryKind::Dword
           : type == REG_SZ  ? RegistryKind::String
                             : RegistryKind::Other;
}

#else

// A file in the user's configuration home.
constexpr bool storeIsFile() {
    return true;
}

inline QString expectedLocation(const TemporaryConfigHome &config, const QString &application) {
    return config.user() + u'/' + company() + u'/' + application + QStringLiteral(".conf");
}

inline bool storeExists(const QString &application) {
    return QFile::exists(
        QSettings(QSettings::NativeFormat, QSettings::UserScope, company(), application)
            .fileName());
}

// The files go with the temporary configuration home.
inline void removeStores(const QString & /*prefix*/) {}

inline RegistryKind registryKind(const QString & /*application*/, const QString & /*entry*/) {
    return RegistryKind::Missing;
}

inline bool writeRegistryValue(const QString & /*application*/, const QString & /*entry*/,
                               unsigned long /*kind*/, const QByteArray & /*data*/) {
    return false;
}

#endif

// Of a store file (Windows' C library has them too, but they mean little there).
inline unsigned modeOf(const QString &path) {
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 07777;
}

inline ino_t inodeOf(const QString &path) {
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info.st_ino;
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
