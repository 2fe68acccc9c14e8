#include "SettingsStore.h"
#include "StoreEntries.h"
#include "StoreTesting.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace tavrenode;

namespace {

// Settings in which every field differs from its default and from every other field.
ModuleSettings distinctSettings() {
    ModuleSettings s;
    s.statusPinMode = 1, s.baudRate = 4, s.deviceType = 46;
    s.positioning = 1, s.networking = 0, s.rendering = 1, s.capturing = 2;
    s.objectTransfer = 0, s.audio = 1, s.telephony = 0, s.information = 1;
    s.keyboard = 1, s.pointingDevice = 2, s.display = 1, s.camera = 1, s.scanner = 2;
    s.printer = 1;
    s.deviceName = u"Gate ~~~~"_s, s.pairMatchPrefix = u"Gate"_s, s.pin = u"0042"_s;
    s.matingMode = 1, s.securityMode = 0, s.limitedDiscoverable = 0, s.comPort = 17;
    s.masterSlaveMode = 5;
    return s;
}

// What the store holds, read as another program would: the file on Unix, the registry key
// on Windows.
QSettings rawStore(const QString &application) {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, company(), application);
}

} // namespace

class TestStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void firstRunOpensWithDefaults();
    void everyFieldRoundTrips();
    void storeWrittenByHandLoadsEveryField();
    void baudIsStoredWithItsOffset();
    void storedNumbers_data();
    void storedNumbers();
    void textsRoundTrip_data();
    void textsRoundTrip();
    void damagedFiles_data();
    void damagedFiles();
    void fileStaysPrivate();
    void saveReplacesTheFileWhole();
    void renamedExecutableHasItsOwnStore();
    void otherFilesAreNeverRead_data();
    void otherFilesAreNeverRead();
    void applicationName_data();
    void applicationName();
    void registryKinds();
    void registryValues_data();
    void registryValues();
    void cleanupTestCase();

private:
    TemporaryConfigHome m_config{TemporaryConfigHome::SystemFolder::Temporary};
    QString m_application;
    int m_case = 0;
};

void TestStore::initTestCase() {
    QVERIFY(m_config.isValid());
}

void TestStore::init() {
    // Each test its own application name: QSettings caches files it has seen.
    m_application = u"tavrenode-test-"_s + QString::number(++m_case);
}

void TestStore::cleanupTestCase() {
    // The registry outlives the run; the temporary configuration home does not need this.
    removeStores(u"tavrenode-test-"_s);
}

void TestStore::firstRunOpensWithDefaults() {
    const SettingsStore store(company(), m_application);
    QCOMPARE(store.location(), expectedLocation(m_config, m_application));
    QVERIFY(!storeExists(m_application));

    // Another program that only reads gets the defaults and leaves no file behind.
    ModuleSettings settings = distinctSettings();
    store.read(settings);
    QCOMPARE(settings, SettingsStore::defaults());
    QVERIFY(!storeExists(m_application));

    settings = distinctSettings();
    store.load(settings);
    QCOMPARE(settings, SettingsStore::defaults());
    QCOMPARE(settings.comPort, 4);
    QCOMPARE(settings.baudRate, 0);
    QCOMPARE(settings.deviceType, 15);
    QCOMPARE(settings.deviceName, u"Tavrenode ~~:~~:~~:~~:~~:~~"_s);
    if (!storeIsFile())
        return; // the section's registry key appears with the first save
    // The first load already creates the (empty) store, private from the start.
    QVERIFY(storeExists(m_application));
    QCOMPARE(modeOf(store.location()), 0600u);
}

void TestStore::everyFieldRoundTrips() {
    const SettingsStore store(company(), m_application);
    store.save(distinctSettings());
    ModuleSettings loaded;
    store.load(loaded);
    QCOMPARE(loaded, distinctSettings());

    QSettings file = rawStore(m_application);
    file.beginGroup(u"Tavrenode Prog"_s);
    QCOMPARE(file.childKeys().size(), qsizetype(kStoreEntries.size()));
    QCOMPARE(file.value(u"m_iComPort"_s).toInt(), 17);
    QCOMPARE(file.value(u"m_DevName"_s).toString(), u"Gate ~~~~"_s);
}

void TestStore::storeWrittenByHandLoadsEveryField() {
    // The 25 entries as earlier versions wrote them, spelled out here rather than taken from
    // the store's own table, so that a misspelt name there fails. Values no two entries
    // share (the store checks none), so that two names swapped fail too.
    struct Entry {
        const char *name;
        std::int32_t number;
        const char16_t *text;
    };
    const Entry entries[] = {
        {"m_cStatus", 101, nullptr},     {"m_cBaud", 105, nullptr},
        {"m_DevType", 103, nullptr},     {"m_cPosition", 104, nullptr},
        {"m_iNetworking", 123, nullptr}, {"m_iRender", 106, nullptr},
        {"m_iCapture", 107, nullptr},    {"m_OBEX", 108, nullptr},
        {"m_Audio", 109, nullptr},       {"m_Phone", 110, nullptr},
        {"m_Info", 111, nullptr},        {"m_iLtdDisc", 112, nullptr},
        {"m_iKeyboard", 113, nullptr},   {"m_iPointer", 114, nullptr},
        {"m_iDisplay", 115, nullptr},    {"m_iCamera", 116, nullptr},
        {"m_iScanner", 117, nullptr},    {"m_iPrinter", 118, nullptr},
        {"m_DevName", 0, u"Gate ~~:~~"}, {"m_PairStub", 0, u"Gate"},
        {"m_PIN", 0, u"0042"},           {"m_iMating", 119, nullptr},
        {"m_iSecurity", 120, nullptr},   {"m_iSlaveMaster", 121, nullptr},
        {"m_iComPort", 122, nullptr},
    };
    const SettingsStore store(company(), m_application);
    QByteArray file = "[Tavrenode%20Prog]\n";
    for (const Entry &entry : entries) {
        const QString value =
            entry.text ? QString::fromUtf16(entry.text) : QString::number(entry.number);
        if (storeIsFile()) {
            file += QByteArray(entry.name) + '=' + value.toUtf8() + '\n';
        } else if (entry.text) { // REG_SZ, with its terminating zero
            QVERIFY(writeRegistryValue(
                m_application, QString::fromLatin1(entry.name), 1,
                QByteArray(reinterpret_cast<const char *>(value.utf16()), (value.size() + 1) * 2)));
        } else { // REG_DWORD
            const auto dword = std::uint32_t(entry.number);
            QVERIFY(writeRegistryValue(m_application, QString::fromLatin1(entry.name), 4,
                                       QByteArray(reinterpret_cast<const char *>(&dword), 4)));
        }
    }
    if (storeIsFile())
        QVERIFY(writeFile(store.location(), file));

    ModuleSettings loaded;
    store.load(loaded);
    ModuleSettings expected;
    expected.statusPinMode = 101, expected.baudRate = 102; // m_cBaud holds the line plus 3
    expected.deviceType = 103, expected.positioning = 104, expected.networking = 123;
    expected.rendering = 106, expected.capturing = 107, expected.objectTransfer = 108;
    expected.audio = 109, expected.telephony = 110, expected.information = 111;
    expected.limitedDiscoverable = 112, expected.keyboard = 113, expected.pointingDevice = 114;
    expected.display = 115, expected.camera = 116, expected.scanner = 117;
    expected.printer = 118, expected.deviceName = u"Gate ~~:~~"_s;
    expected.pairMatchPrefix = u"Gate"_s, expected.pin = u"0042"_s, expected.matingMode = 119;
    expected.securityMode = 120, expected.masterSlaveMode = 121, expected.comPort = 122;
    QCOMPARE(loaded, expected);
}

void TestStore::baudIsStoredWithItsOffset() {
    const SettingsStore store(company(), m_application);
    ModuleSettings settings = SettingsStore::defaults();
    settings.baudRate = -1; // no line selected
    settings.deviceType = -1;
    store.save(settings);
    const QSettings file = rawStore(m_application);
    QCOMPARE(file.value(u"Tavrenode Prog/m_cBaud"_s).toInt(), 2);
    QCOMPARE(file.value(u"Tavrenode Prog/m_DevType"_s).toInt(), -1);
}

void TestStore::storedNumbers_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("baudRate");
    QTest::addColumn<int>("comPort");

    QTest::newRow("115200 baud") << QByteArray("m_cBaud=7") << 4 << 4;
    QTest::newRow("baud beyond the list") << QByteArray("m_cBaud=8") << 5 << 4;
    QTest::newRow("baud below the list") << QByteArray("m_cBaud=2") << -1 << 4;
    QTest::newRow("smallest baud wraps") << QByteArray("m_cBaud=-2147483648") << 2147483645 << 4;
    QTest::newRow("negative port") << QByteArray("m_iComPort=-3") << 0 << -3;
    QTest::newRow("largest port") << QByteArray("m_iComPort=2147483647") << 0 << 2147483647;
    QTest::newRow("port needing more than 32 bits")
        << QByteArray("m_iComPort=4294967297") << 0 << 4;
    QTest::newRow("port as words") << QByteArray("m_iComPort=seven") << 0 << 4;
    QTest::newRow("port in hex") << QByteArray("m_iComPort=0x10") << 0 << 4;
    QTest::newRow("empty port") << QByteArray("m_iComPort=") << 0 << 4;
    QTest::newRow("port as a list") << QByteArray("m_iComPort=1, 2") << 0 << 4;
    QTest::newRow("port as a binary variant")
        << QByteArray("m_iComPort=\"@Variant(\\0\\0\\0\\x2\\0\\0\\0\\t)\"") << 0 << 9;
    QTest::newRow("port as a 64-bit variant")
        << QByteArray("m_iComPort=\"@Variant(\\0\\0\\0\\x4\\0\\0\\0\\0\\0\\0\\0\\t)\"") << 0 << 4;
    QTest::newRow("port as a byte array") << QByteArray("m_iComPort=@ByteArray(12)") << 0 << 12;
}

void TestStore::storedNumbers() {
    if (!storeIsFile())
        QSKIP("The store is the registry, not a file");
    QFETCH(QByteArray, line);
    QFETCH(int, baudRate);
    QFETCH(int, comPort);

    const SettingsStore store(company(), m_application);
    QVERIFY(writeFile(store.location(), "[Tavrenode Prog]\n" + line + "\n"));

    ModuleSettings settings;
    store.load(settings);
    QCOMPARE(settings.baudRate, baudRate);
    QCOMPARE(settings.comPort, comPort);
}

void TestStore::textsRoundTrip_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("commas") << u"a,b, c"_s;
    QTest::newRow("leading @") << u"@Variant(x)"_s;
    QTest::newRow("quotes") << u"\"quoted\" and 'single'"_s;
    QTest::newRow("backslashes") << u"C:\\dir\\\\x\\"_s;
    QTest::newRow("ini syntax") << u"[section]; x=y # not a comment"_s;
    QTest::newRow("blanks at the ends") << u"  padded  "_s;
    QTest::newRow("line breaks") << u"one\ntwo\r\nthree"_s;
    QTest::newRow("outside Latin-1") << u"Gr\u00fc\u00dfe \u65e5\u672c \u20ac"_s;
    QTest::newRow("beyond the BMP") << QString::fromUtf16(u"\U0001F600~");
    QTest::newRow("empty") << QString(u""_s);
    QTest::newRow("NUL inside") << QString(u"a"_s + QChar(0) + u"b"_s);
}

void TestStore::textsRoundTrip() {
    QFETCH(QString, text);
    const SettingsStore store(company(), m_application);
    ModuleSettings settings = SettingsStore::defaults();
    settings.pin = text;
    settings.deviceName = text;
    store.save(settings);

    const SettingsStore again(company(), m_application);
    ModuleSettings loaded;
    again.load(loaded);
    QCOMPARE(loaded.pin, text);
    QCOMPARE(loaded.deviceName, text);
    QCOMPARE(loaded.comPort, 4);
}

void TestStore::damagedFiles_data() {
    QTest::addColumn<QByteArray>("content");
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary.append(char((i * 7919) % 256));
    QTest::newRow("binary") << binary;
    QTest::newRow("unterminated section") << QByteArray("[Tavrenode Prog\nm_iComPort=9");
    QTest::newRow("garbage variant")
        << QByteArray("[Tavrenode Prog]\nm_PIN=@Variant(\\xff\\xff\\xff\\xff\\0\\0)\n"
                      "m_iComPort=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x5\\0\\0\\0)\n");
    // A serialized list that claims 0x6a6a6a6a entries: the allocation it asks for fails,
    // and the reader gives up on the entry.
    QTest::newRow("variant list of 1.8e9 entries")
        << QByteArray("[Tavrenode Prog]\nm_iSecurity=@Variant(\\0\\0\\0\\x9jjjjjjjj2)\n");
    QTest::newRow("huge line") << "[Tavrenode Prog]\nm_DevName=" + QByteArray(1 << 20, 'x');
    QTest::newRow("NUL bytes") << QByteArray("[Tavrenode Prog]\0\nm_iComPort=\0", 30);
}

void TestStore::damagedFiles() {
    if (!storeIsFile())
        QSKIP("The store is the registry, not a file");
    QFETCH(QByteArray, content);
    const SettingsStore store(company(), m_application);
    QVERIFY(writeFile(store.location(), content));

    ModuleSettings loaded;
    store.load(loaded); // must not crash; what is readable is read
    store.save(distinctSettings());
    ModuleSettings reloaded;
    SettingsStore(company(), m_application).load(reloaded);
    QCOMPARE(reloaded.comPort, distinctSettings().comPort);
    QCOMPARE(reloaded.pin, distinctSettings().pin);
}

void TestStore::fileStaysPrivate() {
    if (!storeIsFile())
        QSKIP("The store is the registry, not a file");
    const SettingsStore store(company(), m_application);
    store.save(SettingsStore::defaults());
    QCOMPARE(modeOf(store.location()), 0600u);

    // Opened up by someone since: the next save makes it private again.
    QVERIFY(QFile::setPermissions(store.location(), QFileDevice::ReadOwner |
                                                        QFileDevice::WriteOwner |
                                                        QFileDevice::ReadOther));
    store.save(distinctSettings());
    QCOMPARE(modeOf(store.location()), 0600u);
}

void TestStore::saveReplacesTheFileWhole() {
    if (!storeIsFile())
        QSKIP("The store is the registry, not a file");
    // A crash in the middle of a save must leave the old file or the new one: the new file is
    // written beside the old one and renamed over it.
    const SettingsStore store(company(), m_application);
    store.save(SettingsStore::defaults());
    const ino_t before = inodeOf(store.location());
    store.save(distinctSettings());
    QVERIFY(inodeOf(store.location()) != before);
    QCOMPARE(modeOf(store.location()), 0600u);
}

void TestStore::renamedExecutableHasItsOwnStore() {
    const SettingsStore original(company(), m_application);
    original.save(distinctSettings());

    const SettingsStore renamed(company(), m_application + u"-copy"_s);
    ModuleSettings settings;
    renamed.load(settings);
    QCOMPARE(settings, SettingsStore::defaults());
    renamed.save(settings);

    ModuleSettings untouched;
    original.load(untouched);
    QCOMPARE(untouched, distinctSettings());
}

void TestStore::otherFilesAreNeverRead_data() {
    QTest::addColumn<QString>("file"); // relative to the user's or the system's folder
    QTest::addColumn<bool>("system");
    QTest::newRow("the company's file for the user") << u"Tavrenode Config.conf"_s << false;
    QTest::newRow("the tool's file for all users") << u"Tavrenode Config/%1.conf"_s << true;
    QTest::newRow("the company's file for all users") << u"Tavrenode Config.conf"_s << true;
}

void TestStore::otherFilesAreNeverRead() {
    if (!storeIsFile())
        QSKIP("The store is the registry, not a file");
    QFETCH(QString, file);
    QFETCH(bool, system);

    const QString path =
        QDir(system ? m_config.system() : m_config.user()).filePath(file.arg(m_application));
    QVERIFY(writeFile(path, "[Tavrenode%20Prog]\nm_iComPort=9\nm_PIN=1111\nm_DevType=3\n"
                            "m_cBaud=6\n"));
    // The tool's own file holds one entry; every other takes its default.
    const SettingsStore store(company(), m_application);
    QVERIFY(writeFile(store.location(), "[Tavrenode%20Prog]\nm_cBaud=5\n"));

    ModuleSettings settings;
    store.load(settings);
    QFile::remove(path);
    ModuleSettings expected = SettingsStore::defaults();
    expected.baudRate = 2;
    QCOMPARE(settings, expected);

    // A renamed executable opens with the defaults, whatever else there is.
    ModuleSettings renamed;
    QVERIFY(writeFile(path, "[Tavrenode%20Prog]\nm_iComPort=9\n"));
    SettingsStore(company(), m_application + u"-renamed"_s).load(renamed);
    QFile::remove(path);
    QCOMPARE(renamed, SettingsStore::defaults());
}

void TestStore::applicationName_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::newRow("Linux") << u"/usr/bin/tavrenode-config"_s << u"tavrenode-config"_s;
    QTest::newRow("Windows") << u"C:/Program Files/Tavrenode/TavrenodeConfig.exe"_s
                             << u"TavrenodeConfig"_s;
    QTest::newRow("dots in the name") << u"/opt/tool.v2.bin"_s << u"tool.v2"_s;
}

void TestStore::applicationName() {
    QFETCH(QString, path);
    QFETCH(QString, name);
    QCOMPARE(applicationNameFromExecutable(path), name);
}

void TestStore::registryKinds() {
    if (storeIsFile())
        QSKIP("The store is a file, whose entries are text");
    // Other programs read the entries: numbers are DWORDs, texts strings.
    const SettingsStore store(company(), m_application);
    store.save(distinctSettings());
    for (const StoreEntry &entry : kStoreEntries) {
        const QString name = QString::fromLatin1(entry.name.data(), qsizetype(entry.name.size()));
        QCOMPARE(registryKind(m_application, name),
                 entry.text ? RegistryKind::String : RegistryKind::Dword);
    }
}

void TestStore::registryValues_data() {
    // REG_* kinds by number, so that the table builds everywhere.
    QTest::addColumn<unsigned long>("kind");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("comPort");
    const auto utf16 = [](const char16_t *text) {
        const QString string = QString::fromUtf16(text);
        return QByteArray(reinterpret_cast<const char *>(string.utf16()), (string.size() + 1) * 2);
    };
    const auto little = [](quint64 value, int bytes) {
        QByteArray data;
        for (int i = 0; i < bytes; ++i)
            data.append(char((value >> (8 * i)) & 0xFF));
        return data;
    };
    QTest::newRow("DWORD") << 4ul << little(9, 4) << 9;
    QTest::newRow("DWORD above 2^31") << 4ul << little(0xFFFFFFFD, 4) << -3;
    QTest::newRow("string of digits") << 1ul << utf16(u"12") << 12;
    QTest::newRow("string of words") << 1ul << utf16(u"seven") << 4;
    QTest::newRow("empty string") << 1ul << utf16(u"") << 4;
    QTest::newRow("QWORD, a 64-bit number, as in a file") << 11ul << little(7, 8) << 4;
    QTest::newRow("QWORD needing more than 32 bits") << 11ul << little(0x100000001, 8) << 4;
    QTest::newRow("binary") << 3ul << QByteArray("\x01\x02\x03", 3) << 4;
}

void TestStore::registryValues() {
    if (storeIsFile())
        QSKIP("The store is a file; its damaged entries are the file cases'");
    QFETCH(unsigned long, kind);
    QFETCH(QByteArray, data);
    QFETCH(int, comPort);
    QVERIFY(writeRegistryValue(m_application, u"m_iComPort"_s, kind, data));
    ModuleSettings settings;
    SettingsStore(company(), m_application).load(settings);
    QCOMPARE(settings.comPort, comPort);
    QCOMPARE(settings.pin, SettingsStore::defaults().pin);
}

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
