#include "Profile.h"
#include "SettingsStore.h"
#include "StoreTesting.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace tavrenode;

namespace {

const ProfileKey &key(const char *name) {
    const ProfileKey *found = findProfileKey(QString::fromLatin1(name));
    Q_ASSERT(found);
    return *found;
}

// The defaults with one field changed, as a row expects them.
ModuleSettings defaultsWith(const char *name, int number, const QString &text) {
    ModuleSettings s = SettingsStore::defaults();
    const ProfileKey &k = key(name);
    if (k.text)
        s.*k.text = text;
    else
        s.*k.number = number;
    return s;
}

// Settings the defaults differ from in every field, so that nothing a refused file changes
// can hide.
ModuleSettings unusualSettings() {
    ModuleSettings s = storeSample(1);
    s.statusPinMode = 0, s.baudRate = 3, s.deviceType = 2, s.matingMode = 1;
    s.securityMode = 0, s.masterSlaveMode = 4, s.comPort = 9;
    return s;
}

QString randomText(QRandomGenerator &random, int maxLength) {
    QString text;
    const int length = random.bounded(maxLength + 1);
    for (int i = 0; i < length; ++i) {
        // Mostly printable, with every awkward kind mixed in: blanks, quotes, backslashes,
        // controls, non-Latin-1, surrogates paired and alone.
        static constexpr char16_t kAwkward[] = u" \t\"\\=;#~\n\r\x7f\x85\xa0\x2028\xe9\x3a9";
        switch (random.bounded(4)) {
        case 0:
            text += QChar(kAwkward[random.bounded(int(std::size(kAwkward)) - 1)]);
            break;
        case 1:
            text += QChar(char16_t(random.bounded(0x10000)));
            break;
        default:
            text += QChar(char16_t(random.bounded(0x20, 0x7f)));
        }
    }
    return text;
}

} // namespace

class TestProfile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void values_data();
    void values();
    void refusals_data();
    void refusals();
    void textsRoundTrip_data();
    void textsRoundTrip();
    void randomSettingsRoundTrip();
    void writerReadsLikeTheForm();
    void files();
};

void TestProfile::values_data() {
    QTest::addColumn<QByteArray>("profile");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("text");

    const auto row = [](const char *name, const QByteArray &profile, const char *key, int number,
                        const QString &text = {}) {
        QTest::newRow(name) << profile << QByteArray(key) << number << text;
    };
    row("status pin by label", "status-pin = Low unless connected", "status-pin", 0);
    row("status pin any case, blanks around", "  STATUS-PIN=  low UNLESS connected  ", "status-pin",
        0);
    row("status pin by index", "status-pin = 1", "status-pin", 1);
    row("baud by number", "baud = 115200", "baud", 4);
    row("baud by label", "baud = 57600 Baud", "baud", 3);
    row("device type by label", "device-type = smartphone", "device-type", 17);
    row("device type label with punctuation",
        "device-type = Imaging device (display, camera, scanner, printer...)", "device-type", 0);
    row("device type last index", "device-type = 46", "device-type", 46);
    row("limited discoverable off", "limited-discoverable = no", "limited-discoverable", 0);
    row("positioning true", "positioning = TRUE", "positioning", 1);
    row("networking off", "networking = off", "networking", 0);
    row("rendering 1", "rendering = 1", "rendering", 1);
    row("capturing on", "capturing = On", "capturing", 1);
    row("object transfer false", "object-transfer = false", "object-transfer", 0);
    row("audio yes", "audio = yes", "audio", 1);
    row("telephony 0", "telephony = 0", "telephony", 0);
    row("information yes", "information = yes", "information", 1);
    row("keyboard yes", "keyboard = yes", "keyboard", 1);
    row("pointing device yes", "pointing-device = yes", "pointing-device", 1);
    row("display yes", "display = yes", "display", 1);
    row("camera yes", "camera = yes", "camera", 1);
    row("scanner yes", "scanner = yes", "scanner", 1);
    row("printer yes", "printer = yes", "printer", 1);
    row("name bare, blanks dropped", "name =   Gate ~~~~   ", "name", 0, u"Gate ~~~~"_s);
    row("name with = ; # and quotes inside", "name = a=b; c # \"d\"", "name", 0,
        u"a=b; c # \"d\""_s);
    row("bare backslashes are literal", "name = C:\\path\\n", "name", 0, u"C:\\path\\n"_s);
    row("name quoted keeps its blanks", "name = \"  Gate  \"", "name", 0, u"  Gate  "_s);
    row("quoted escapes", "name = \"\\\"q\\\" \\\\ \\t\\u00e9\\uD83D\\uDE00\"", "name", 0,
        u"\"q\" \\ \t\u00e9\U0001F600"_s);
    row("name of 31 characters", "name = " + QByteArray(31, 'n'), "name", 0, QString(31, u'n'));
    row("name counted in characters, not bytes", "name = " + QString(31, u'\u00e9').toUtf8(),
        "name", 0, QString(31, u'\u00e9'));
    row("empty name", "name =", "name", 0, QString());
    row("pair prefix of 20", "pair-prefix = " + QByteArray(20, 'p'), "pair-prefix", 0,
        QString(20, u'p'));
    row("pin of 16", "pin = 0123456789abcdef", "pin", 0, u"0123456789abcdef"_s);
    row("blank pin in quotes", "pin = \" \"", "pin", 0, u" "_s);
    row("mating by label",
        "mating = monogamous (after first connection, only ever connect as a pair)", "mating", 1);
    row("security by index", "security = 0", "security", 0);
    row("role with single spaces",
        "role = If high at power-up, enters master mode. If low, slave mode.", "role", 0);
    row("role by index", "role = 5", "role", 5);
    row("port", "port = 12", "port", 12);
    row("largest port", "port = 2147483647", "port", 2147483647);
    row("format, comments, blank lines, BOM and CRLF",
        "\xEF\xBB\xBF# made by hand\r\n; another comment\r\n\r\nformat = 1\r\n  # indented\r\n"
        "baud = 38400\r\n",
        "baud", 2);
    row("no newline at the end", "# x\nbaud = 19200", "baud", 1);
    row("empty file changes nothing", "", "baud", 0);
}

void TestProfile::values() {
    QFETCH(QByteArray, profile);
    QFETCH(QByteArray, key);
    QFETCH(int, number);
    QFETCH(QString, text);

    // Everything the profile does not name keeps its value.
    ModuleSettings settings = SettingsStore::defaults();
    const std::optional<ProfileError> error = readProfile(profile, settings);
    QVERIFY2(!error, error ? qPrintable(error->describe()) : "");
    QCOMPARE(settings, defaultsWith(key.constData(), number, text));
}

void TestProfile::refusals_data() {
    QTest::addColumn<QByteArray>("profile");
    QTest::addColumn<QString>("described");

    const auto row = [](const char *name, const QByteArray &profile, const QString &described) {
        QTest::newRow(name) << profile << described;
    };
    row("typo in a key", "format = 1\nbaud = 9600\nbadu = 19200\n",
        uR"(Line 3, key "badu": "badu" is not a setting; did you mean "baud"?)"_s);
    row("underscore for dash", "device_type = 3",
        uR"(Line 1, key "device_type": "device_type" is not a setting; did you mean "device-type"?)"_s);
    row("unknown word", "colour = red",
        uR"(Line 1, key "colour": "colour" is not a setting; the settings are status-pin, baud, device-type, limited-discoverable, positioning, networking, rendering, capturing, object-transfer, audio, telephony, information, keyboard, pointing-device, display, camera, scanner, printer, name, pair-prefix, pin, mating, security, role, port)"_s);
    row("list index past the end", "status-pin = 3",
        uR"(Line 1, key "status-pin": "3" is not a line of the status pin list; give one as the form shows it, or its number from 0 to 2)"_s);
    row("device type past the end", "device-type = 47",
        uR"(Line 1, key "device-type": "47" is not a line of the device type list; give one as the form shows it, or its number from 0 to 46)"_s);
    row("negative index", "role = -1",
        uR"(Line 1, key "role": "-1" is not a line of the wfp / master / slave list; give one as the form shows it, or its number from 0 to 5)"_s);
    row("label of another list", "security = Monogamous",
        uR"(Line 1, key "security": "Monogamous" is not a line of the security mode list; give one as the form shows it, or its number from 0 to 2)"_s);
    row("baud the module lacks", "baud = 1200",
        uR"(Line 1, key "baud": "1200" is not a baud rate the module takes: 9600, 19200, 38400, 57600 or 115200)"_s);
    row("baud as a list index", "baud = 4",
        uR"(Line 1, key "baud": "4" is not a baud rate the module takes: 9600, 19200, 38400, 57600 or 115200)"_s);
    row("box neither yes nor no", "audio = maybe",
        uR"(Line 1, key "audio": "maybe" is not yes or no (true and false, on and off, 1 and 0 also do))"_s);
    row("name over its limit", "name = " + QByteArray(32, 'n'),
        uR"(Line 1, key "name": the device name is 32 characters long; the module takes at most 31)"_s);
    row("pair prefix over its limit", "pair-prefix = " + QByteArray(21, 'p'),
        uR"(Line 1, key "pair-prefix": the pair match prefix is 21 characters long; the module takes at most 20)"_s);
    row("pin over its limit", "pin = 12345678901234567",
        uR"(Line 1, key "pin": the PIN is 17 characters long; the module takes at most 16)"_s);
    row("empty pin", "pin =", uR"(Line 1, key "pin": the PIN must not be empty)"_s);
    row("empty pin in quotes", "pin = \"\"", uR"(Line 1, key "pin": the PIN must not be empty)"_s);
    row("duplicate key", "baud = 9600\n# again\nbaud = 19200",
        uR"(Line 3, key "baud": the setting is given again; line 1 gave it first)"_s);
    row("duplicate in another case", "audio = yes\nAUDIO = yes",
        uR"(Line 2, key "AUDIO": the setting is given again; line 1 gave it first)"_s);
    row("section header", "[module]\nbaud = 9600",
        uR"(Line 1: "[module]" is not a "key = value" line)"_s);
    row("value without a key", "= 9600", uR"(Line 1: "= 9600" is not a "key = value" line)"_s);
    row("colon for equals", "baud: 9600", uR"(Line 1: "baud: 9600" is not a "key = value" line)"_s);
    row("port zero", "port = 0",
        uR"(Line 1, key "port": "0" is not a port number: give a whole number from 1)"_s);
    row("port past 32 bits", "port = 2147483648",
        uR"(Line 1, key "port": "2147483648" is not a port number: give a whole number from 1)"_s);
    row("port in words", "port = seven",
        uR"(Line 1, key "port": "seven" is not a port number: give a whole number from 1)"_s);
    row("newer format", "format = 2\nbaud = 9600",
        uR"(Line 1, key "format": the file is in profile format 2, from a newer version of the tool; this version reads format 1)"_s);
    row("newer format wins over a new key", "new-setting = 1\nformat = 3",
        uR"(Line 2, key "format": the file is in profile format 3, from a newer version of the tool; this version reads format 1)"_s);
    row("format not a number", "format = one",
        uR"(Line 1, key "format": "one" is not a profile format; this version reads format 1)"_s);
    row("format given twice", "format = 1\nformat = 1",
        uR"(Line 2, key "format": the format is given again; line 1 gave it first)"_s);
    row("not UTF-8", "format = 1\n# ok\nname = caf\xE9\n",
        uR"(Line 3: the line is not UTF-8 text)"_s);
    row("closing quote missing", "name = \"Gate",
        uR"(Line 1, key "name": the text has no closing quote)"_s);
    row("text after the closing quote", "name = \"Gate\" # the gate",
        uR"(Line 1, key "name": the text goes on after its closing quote: # the gate)"_s);
    row("unknown escape", "name = \"a\\qb\"",
        uR"(Line 1, key "name": \q is not an escape the format knows; a backslash is written \\)"_s);
    row("short unicode escape", "name = \"\\u12\"",
        uR"(Line 1, key "name": \u takes four hexadecimal digits, as in \u00E9)"_s);
    row("unicode escape with a sign", "name = \"\\u+123\"",
        uR"(Line 1, key "name": \u takes four hexadecimal digits, as in \u00E9)"_s);
    row("control character in a bare value", QByteArray("name = a\x01z"),
        uR"(Line 1, key "name": the value holds the control character \u0001; write the text in double quotes with \u0001 for it)"_s);
    row("first fault is the one named", "badu = 1\nbaud = 7",
        uR"(Line 1, key "badu": "badu" is not a setting; did you mean "baud"?)"_s);
    row("file too big", QByteArray(kProfileMaxBytes + 1, '#'),
        u"The file is larger than 1048576 bytes; a profile is a page of text."_s);
}

void TestProfile::refusals() {
    QFETCH(QByteArray, profile);
    QFETCH(QString, described);

    // A refused file changes nothing, not even the settings before its fault.
    ModuleSettings settings = unusualSettings();
    const std::optional<ProfileError> error = readProfile(profile, settings);
    QVERIFY(error);
    QCOMPARE(settings, unusualSettings());
    QCOMPARE(error->describe(), described);
}

void TestProfile::textsRoundTrip_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("written"); // the line as the writer puts it

    QTest::newRow("plain") << u"Gate ~~:~~"_s << u"name = Gate ~~:~~"_s;
    QTest::newRow("= ; # inside stay bare") << u"a = b ; c # d"_s << u"name = a = b ; c # d"_s;
    QTest::newRow("leading and trailing blanks") << u"  x  "_s << u"name = \"  x  \""_s;
    QTest::newRow("no-break space at the end") << u"x\u00a0"_s << u"name = \"x\u00a0\""_s;
    QTest::newRow("starts with a quote") << u"\"x\" y"_s << u"name = \"\\\"x\\\" y\""_s;
    QTest::newRow("backslashes bare") << u"a\\b\\\\"_s << u"name = a\\b\\\\"_s;
    QTest::newRow("backslash and quote when quoted") << u" \\\" "_s << u"name = \" \\\\\\\" \""_s;
    QTest::newRow("tab inside") << u"a\tb"_s << u"name = \"a\\tb\""_s;
    QTest::newRow("line breaks") << u"a\nb\rc"_s << u"name = \"a\\nb\\rc\""_s;
    QTest::newRow("other control") << u"a\u0007b"_s << u"name = \"a\\u0007b\""_s;
    QTest::newRow("line separator") << u"a\u2028b"_s << u"name = \"a\\u2028b\""_s;
    QTest::newRow("outside Latin-1") << u"Πύλη 门 🚪"_s << u"name = Πύλη 门 🚪"_s;
    QTest::newRow("lone surrogate") << u"a"_s + QChar(0xD800) + u"b"_s << u"name = \"a\\uD800b\""_s;
    QTest::newRow("escape-like text stays text") << u"\\u0041"_s << u"name = \\u0041"_s;
    QTest::newRow("empty") << QString() << u"name = \"\""_s;
}

void TestProfile::textsRoundTrip() {
    QFETCH(QString, text);
    QFETCH(QString, written);

    ModuleSettings settings = SettingsStore::defaults();
    settings.deviceName = text;
    const QByteArray profile = writeProfile(settings, u"test");
    QVERIFY2(QString::fromUtf8(profile).split(u'\n').contains(written), profile.constData());

    ModuleSettings read;
    const std::optional<ProfileError> error = readProfile(profile, read);
    QVERIFY2(!error, error ? qPrintable(error->describe()) : "");
    read.comPort = settings.comPort; // never written
    QCOMPARE(read, settings);
}

void TestProfile::randomSettingsRoundTrip() {
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    for (int round = 0; round < 2000; ++round) {
        ModuleSettings settings;
        for (const ProfileKey &k : kProfileKeys) {
            if (k.text)
                settings.*k.text = randomText(random, k.maxLength);
            else if (k.kind == ProfileValue::Box)
                settings.*k.number = random.bounded(2);
            else if (k.kind != ProfileValue::Port)
                settings.*k.number = random.bounded(int(k.lines.size()));
        }
        if (settings.pin.isEmpty())
            settings.pin = u"0"_s;

        ModuleSettings read;
        const std::optional<ProfileError> error =
            readProfile(writeProfile(settings, u"test"), read);
        QVERIFY2(!error && read == settings,
                 qPrintable(u"round %1 (seed %2): %3"_s.arg(round).arg(seed).arg(
                     error ? error->describe() : u"read back differently"_s)));
    }
}

void TestProfile::writerReadsLikeTheForm() {
    ModuleSettings settings = SettingsStore::defaults();
    settings.scanner = 2; // set by an edited store: it acts on the module as a tick
    settings.matingMode = -1;
    const QString profile = QString::fromUtf8(writeProfile(settings, u"tavrenode-config 9.9"));
    QVERIFY(profile.startsWith(u"# Settings for a Tavrenode module, written by tavrenode-config "
                               u"9.9.\n"_s));

    QStringList values;
    const QStringList lines = profile.split(u'\n');
    for (const QString &line : lines) {
        if (!line.isEmpty() && !line.startsWith(u'#'))
            values << line;
    }
    QCOMPARE(values, (QStringList{
                         u"format = 1"_s,
                         u"status-pin = Low until initialized, 1Hz if unconnected, high if "
                         u"connected"_s,
                         u"baud = 9600"_s,
                         u"device-type = Cellphone"_s,
                         u"limited-discoverable = yes"_s,
                         u"positioning = no"_s,
                         u"networking = yes"_s,
                         u"rendering = no"_s,
                         u"capturing = no"_s,
                         u"object-transfer = yes"_s,
                         u"audio = no"_s,
                         u"telephony = yes"_s,
                         u"information = no"_s,
                         u"keyboard = no"_s,
                         u"pointing-device = no"_s,
                         u"display = no"_s,
                         u"camera = no"_s,
                         u"scanner = yes"_s,
                         u"printer = no"_s,
                         u"name = Tavrenode ~~:~~:~~:~~:~~:~~"_s,
                         u"pair-prefix = Tavrenode"_s,
                         u"pin = 7392"_s,
                         u"security = Authentication and encryption"_s,
                         u"role = If high at power-up, enters WFP mode.  If low, master mode."_s,
                     }));
    QVERIFY(lines.contains(u"# mating: no line of the list chosen, so none is written"_s));
}

void TestProfile::files() {
    QTemporaryDir folder;
    const QString path = folder.filePath(u"gate.tavrenode"_s);
    ModuleSettings settings = unusualSettings();
    QCOMPARE(saveProfileFile(path, settings, u"test"), std::nullopt);

    ModuleSettings read = SettingsStore::defaults();
    QCOMPARE(loadProfileFile(path, read), std::nullopt);
    read.comPort = settings.comPort;
    QCOMPARE(read, settings);

    // Failures name the system's reason and change nothing.
    const std::optional<ProfileError> missing =
        loadProfileFile(folder.filePath(u"none.tavrenode"_s), read);
    QVERIFY(missing);
    QCOMPARE(missing->line, 0);
    QVERIFY2(missing->describe().startsWith(u"The file cannot be read: "_s),
             qPrintable(missing->describe()));
    QCOMPARE(read, settings);
    QVERIFY(saveProfileFile(folder.filePath(u"no/such/folder/x.tavrenode"_s), settings, u"test"));
    QVERIFY(loadProfileFile(folder.path(), read)); // a folder
    QCOMPARE(read, settings);
}

QTEST_GUILESS_MAIN(TestProfile)
#include "tst_profile.moc"
