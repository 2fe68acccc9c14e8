// The settings loader fed any file: a hand edit gone wrong, a torn copy, binary junk.
#include "FuzzSupport.h"
#include "ModuleSettings.h"
#include "SettingsStore.h"

#include <cstddef>
#include <cstdint>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

using namespace tavrenode;

// Each input gets a store of its own: QSettings caches what it read per file name.
SettingsStore freshStore() {
    static int count = 0;
    return SettingsStore(QString::fromUtf16(SettingsStore::kCompany),
                         u"fuzz-store-"_s + QString::number(++count));
}

bool hasLoneSurrogate(const QString &text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    silenceQtMessages();
    // In memory where the system offers it: every save syncs its file to disk.
    const QString base = QFileInfo(u"/dev/shm"_s).isWritable() ? u"/dev/shm"_s : QDir::tempPath();
    static QTemporaryDir home(base + u"/fuzz-store-XXXXXX"_s);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const SettingsStore store = freshStore();
    const QString path = store.location();
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }

    ModuleSettings loaded = SettingsStore::defaults();
    store.load(loaded);

    // What was loaded is saved and loaded back unchanged (text that is not valid UTF-16
    // cannot be written as it came).
    if (!hasLoneSurrogate(loaded.deviceName) && !hasLoneSurrogate(loaded.pairMatchPrefix) &&
        !hasLoneSurrogate(loaded.pin)) {
        store.save(loaded);
        const SettingsStore reopened = freshStore();
        QFile::remove(reopened.location());
        FUZZ_CHECK(QFile::rename(path, reopened.location()));
        ModuleSettings reloaded = SettingsStore::defaults();
        reopened.load(reloaded);
        FUZZ_CHECK(reloaded == loaded);
        QFile::remove(reopened.location());
    }
    QFile::remove(path);
    return 0;
}
