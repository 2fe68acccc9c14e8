// The settings file under saves that do not finish: the writer killed at random moments,
// a store the user may not write to, a store that is full.
#include "Privileges.h"
#include "SettingsStore.h"
#include "StoreTesting.h"

#include <csignal>
#include <optional>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace tavrenode;

namespace {

QByteArray contentsOf(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What a store file holds, read through a name the process has never seen, so that no
// cached copy of an earlier read can stand in for the file.
ModuleSettings loadCopy(const QString &path) {
    static int copies = 0;
    const QString application = u"copy-"_s + QString::number(++copies);
    const QString copy = QFileInfo(path).dir().filePath(application + u".conf"_s);
    QFile::remove(copy);
    ModuleSettings settings = SettingsStore::defaults();
    if (QFile::copy(path, copy))
        SettingsStore(company(), application).load(settings);
    QFile::remove(copy);
    return settings;
}

// Takes write access to the store's folder away, from root too (by taking nobody's
// file-system identity, which does not own the file either).
class ReadOnlyFolder {
public:
    ReadOnlyFolder(const QString &folder, const QString &file)
        : m_folder(folder) {
        if (FileAccessAsNobody::isRoot()) {
            [[maybe_unused]] const int owned = ::chown(
                QFile::encodeName(file), FileAccessAsNobody::kNobody, FileAccessAsNobody::kNobody);
            m_nobody.emplace();
        } else {
            ::chmod(QFile::encodeName(folder), 0500);
        }
    }
    ~ReadOnlyFolder() {
        m_nobody.reset();
        if (!FileAccessAsNobody::isRoot())
            ::chmod(QFile::encodeName(m_folder), 0700);
    }
    ReadOnlyFolder(const ReadOnlyFolder &) = delete;
    ReadOnlyFolder &operator=(const ReadOnlyFolder &) = delete;

private:
    QString m_folder;
    std::optional<FileAccessAsNobody> m_nobody;
};

// Lets files grow to no more than limit bytes; a write beyond fails instead of raising
// SIGXFSZ, as a full disk fails it.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) {
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_previous);
        const rlimit reduced{limit, m_previous.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &reduced);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_handler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_previous{};
    void (*m_handler)(int) = nullptr;
};

} // namespace

class TestDurability : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void savesKilledAtRandomMoments();
    void ownerlessLockDoesNotHoldUpTheNextSave();
    void readOnlyStoreKeepsItsFile();
    void fullStoreKeepsItsFile();

private:
    TemporaryConfigHome m_config;
};

void TestDurability::initTestCase() {
    QVERIFY(m_config.isValid());
}

void TestDurability::savesKilledAtRandomMoments() {
    constexpr int kRounds = 300;
    const SettingsStore store(company(), u"killed"_s);
    store.save(storeSample(0));
    const QString path = store.location();
    const QDir folder = QFileInfo(path).dir();

    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    ModuleSettings previous = storeSample(0);
    int inFlight = 0; // rounds killed after the file was replaced, before the writer said so
    int mostSaves = 0;
    for (int round = 0; round < kRounds; ++round) {
        QProcess writer;
        writer.start(QString::fromUtf8(TAVRENODE_STORE_WRITER), {u"killed"_s});
        QVERIFY(writer.waitForStarted());
        // Once it is saving, a save takes about a millisecond: a random moment in the next
        // few lands inside one, at a random point of it.
        QVERIFY2(writer.waitForReadyRead(10'000), qPrintable(u"round %1"_s.arg(round)));
        std::this_thread::sleep_for(std::chrono::microseconds(random.bounded(4'000)));
        writer.kill();
        QVERIFY(writer.waitForFinished());
        const QList<QByteArray> lines = writer.readAllStandardOutput().trimmed().split('\n');
        const int saves = lines.last().startsWith("saved ") ? lines.last().mid(6).toInt() : 0;
        mostSaves = std::max(mostSaves, saves);

        // The file holds the last save that finished, or the one under way when it was
        // killed, whole.
        const ModuleSettings finished = saves == 0 ? previous : storeSample((saves - 1) % 2);
        const ModuleSettings underWay = storeSample(saves % 2);
        const QString where =
            u"round %1 of %2 (seed %3, %4 saves)"_s.arg(round).arg(kRounds).arg(seed).arg(saves);
        QVERIFY2(modeOf(path) == 0600, qPrintable(where));
        const ModuleSettings loaded = loadCopy(path);
        QVERIFY2(loaded == finished || loaded == underWay,
                 qPrintable(u"not what the writer saved in "_s + where + u":\n"_s +
                            QString::fromUtf8(contentsOf(path))));
        if (loaded != finished)
            ++inFlight;
        previous = loaded;
    }

    // A half-written replacement that a killed save leaves behind holds the PIN too, so it
    // is private as well.
    int leftovers = 0;
    for (const QFileInfo &file : folder.entryInfoList(QDir::Files | QDir::Hidden)) {
        // Lock files (and QLockFile's helper for removing a stale one) hold a process id
        // and a host name, nothing else.
        if (file.fileName() == QFileInfo(path).fileName() ||
            file.fileName().startsWith(QFileInfo(path).fileName() + u".lock"_s))
            continue;
        ++leftovers;
        QVERIFY2((modeOf(file.filePath()) & 0077) == 0, qPrintable(file.fileName()));
    }
    qInfo("%d writers killed, after up to %d saves; %d after replacing the file but before "
          "saying so; %d files left behind",
          kRounds, mostSaves, inFlight, leftovers);
}

// A save killed right after creating its lock file leaves it empty; QLockFile would wait 30 s
// before taking it for stale.
void TestDurability::ownerlessLockDoesNotHoldUpTheNextSave() {
    const SettingsStore store(company(), u"ownerless"_s);
    store.save(storeSample(0));
    QFile lock(store.location() + u".lock"_s);
    QVERIFY(lock.open(QIODevice::WriteOnly));
    lock.close();

    QProcess writer;
    writer.start(QString::fromUtf8(TAVRENODE_STORE_WRITER), {u"ownerless"_s});
    QVERIFY(writer.waitForStarted());
    QVERIFY2(writer.waitForReadyRead(10'000), "the save waits for the lock");
    writer.kill();
    QVERIFY(writer.waitForFinished());
}

void TestDurability::readOnlyStoreKeepsItsFile() {
    const SettingsStore store(company(), u"read-only"_s);
    store.save(storeSample(0));
    const QString path = store.location();
    const QByteArray before = contentsOf(path);
    {
        const ReadOnlyFolder readOnly(QFileInfo(path).absolutePath(), path);
        store.save(storeSample(1)); // fails, and says nothing
    }
    QCOMPARE(contentsOf(path), before);
    QCOMPARE(modeOf(path), 0600u);
    QCOMPARE(loadCopy(path), storeSample(0));
}

void TestDurability::fullStoreKeepsItsFile() {
    const SettingsStore store(company(), u"full"_s);
    store.save(storeSample(0));
    const QString path = store.location();
    const QByteArray before = contentsOf(path);
    {
        const FileSizeLimit full(64);
        store.save(storeSample(1));
    }
    QCOMPARE(contentsOf(path), before);
    QCOMPARE(modeOf(path), 0600u);
    QCOMPARE(loadCopy(path), storeSample(0));
    const QStringList rest = QFileInfo(path).dir().entryList(QDir::Files | QDir::Hidden);
    QVERIFY2(!rest.join(u' ').contains(u"full.conf."_s), qPrintable(rest.join(u' ')));
}

QTEST_GUILESS_MAIN(TestDurability)
#include "tst_durability.moc"
