#pragma once

#include "ModuleSettings.h"
#include "SettingsStore.h"

#include <sys/stat.h>

#include <QFile>

// What the settings tests share: the store's company, the mode of a file, two samples.

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
