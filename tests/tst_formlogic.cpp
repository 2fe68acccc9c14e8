#include "ComPortText.h"
#include "DialogUnits.h"
#include "FormRules.h"
#include "HelpLauncher.h"
#include "SettingsStore.h"
#include "StatusColours.h"

#include <cmath>
#include <functional>
#include <optional>

#include <QColor>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace tavrenode;

using MaybePort = std::optional<std::int32_t>;
Q_DECLARE_METATYPE(MaybePort)

namespace {

// A change to the settings or to the form, for a data row.
using SettingsChange = std::function<void(ModuleSettings &)>;
using FormChange = std::function<void(FormValues &)>;

// The value of the control with this id in the form.
ControlValue &valueOf(FormValues &form, int control) {
    for (std::size_t i = 0; i < kFormExchange.size(); ++i) {
        if (kFormExchange[i].id == control)
            return form[i];
    }
    qFatal("no control %d", control);
}

} // namespace

Q_DECLARE_METATYPE(SettingsChange)
Q_DECLARE_METATYPE(FormChange)
Q_DECLARE_METATYPE(std::optional<FormRefusal>)
Q_DECLARE_METATYPE(tavrenode::TransferResult)

class TestFormLogic : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void comPortText_data();
    void comPortText();
    void enablingRule_data();
    void enablingRule();
    void formFromSettings_data();
    void formFromSettings();
    void settingsFromForm_data();
    void settingsFromForm();
    void programmingRefusal_data();
    void programmingRefusal();
    void dialogUnits();
    void helpFile_data();
    void helpFile();
    void runStatus_data();
    void runStatus();
    void contrastRatio_data();
    void contrastRatio();
    void statusColour_data();
    void statusColour();
};

void TestFormLogic::comPortText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<MaybePort>("port");
    QTest::newRow("plain") << u"4"_s << MaybePort(4);
    QTest::newRow("leading blanks") << u" \t 12"_s << MaybePort(12);
    QTest::newRow("plus sign") << u"+7"_s << MaybePort(7);
    QTest::newRow("negative") << u"-3"_s << MaybePort(-3);
    QTest::newRow("zero") << u"0"_s << MaybePort(0);
    QTest::newRow("letters after the digits") << u"3x"_s << MaybePort(3);
    QTest::newRow("blank after the digits") << u"5 6"_s << MaybePort(5);
    QTest::newRow("leading zeros") << u"0000000000000000000000000009"_s << MaybePort(9);
    QTest::newRow("largest") << u"2147483647"_s << MaybePort(2147483647);
    QTest::newRow("smallest") << u"-2147483648"_s << MaybePort(-2147483647 - 1);
    QTest::newRow("one beyond the largest") << u"2147483648"_s << MaybePort();
    QTest::newRow("one below the smallest") << u"-2147483649"_s << MaybePort();
    QTest::newRow("far beyond") << u"99999999999999999999999"_s << MaybePort();
    QTest::newRow("empty") << QString() << MaybePort();
    QTest::newRow("blank") << u"   "_s << MaybePort();
    QTest::newRow("letters") << u"COM4"_s << MaybePort();
    QTest::newRow("sign alone") << u"-"_s << MaybePort();
    QTest::newRow("blank between sign and digits") << u"- 4"_s << MaybePort();
    QTest::newRow("digits past the 63rd character")
        << QString(QString(63, u' ') + u"5"_s) << MaybePort();
    QTest::newRow("digits up to the 63rd character")
        << QString(QString(62, u' ') + u"56"_s) << MaybePort(5);
    QTest::newRow("non-ASCII digits") << QString::fromUtf16(u"\u0664") << MaybePort();
}

void TestFormLogic::comPortText() {
    QFETCH(QString, text);
    QFETCH(MaybePort, port);
    QCOMPARE(parseComPort(text), port);
}

void TestFormLogic::enablingRule_data() {
    QTest::addColumn<int>("deviceType");
    QTest::addColumn<int>("comPort");
    QTest::addColumn<bool>("peripheral");
    QTest::addColumn<bool>("imaging");
    QTest::addColumn<bool>("program");

    QTest::newRow("imaging") << 0 << 4 << false << true << true;
    QTest::newRow("general peripheral") << 1 << 4 << true << false << true;
    QTest::newRow("joystick") << 2 << 4 << true << false << true;
    QTest::newRow("card reader") << 7 << 4 << true << false << true;
    QTest::newRow("desktop computer") << 8 << 4 << false << false << true;
    QTest::newRow("cellphone") << 15 << 1 << false << false << true;
    QTest::newRow("uncategorized") << 46 << 4 << false << false << true;
    QTest::newRow("beyond the list") << 47 << 4 << false << false << true;
    QTest::newRow("no device type") << -1 << 4 << false << false << true;
    QTest::newRow("port 0") << 15 << 0 << false << false << false;
    QTest::newRow("negative port") << 0 << -1 << false << true << false;
}

void TestFormLogic::enablingRule() {
    QFETCH(int, deviceType);
    QFETCH(int, comPort);
    QFETCH(bool, peripheral);
    QFETCH(bool, imaging);
    QFETCH(bool, program);

    ModuleSettings settings = SettingsStore::defaults();
    settings.deviceType = deviceType;
    settings.comPort = comPort;
    const ControlStates states = controlEnablingRule(settings);
    QCOMPARE(states.program, program);
    for (std::size_t i = 0; i < kSubTypeBits.size(); ++i) {
        const bool expected = kSubTypeBits[i].group == SubTypeGroup::Imaging ? imaging : peripheral;
        QCOMPARE(states.subTypes[i], expected);
    }
}

void TestFormLogic::formFromSettings_data() {
    namespace id = forms::id;
    QTest::addColumn<SettingsChange>("stored");
    QTest::addColumn<int>("control");
    QTest::addColumn<int>("number"); // what the control shows
    QTest::addColumn<QString>("text");
    QTest::addColumn<SettingsChange>("settingsAfter"); // what writing the form does to them

    const SettingsChange none = [](ModuleSettings &) {
    };
    QTest::newRow("115200 baud") << SettingsChange([](ModuleSettings &s) { s.baudRate = 4; })
                                 << id::BaudRate << 4 << QString() << none;
    QTest::newRow("baud beyond the list")
        << SettingsChange([](ModuleSettings &s) { s.baudRate = 5; }) << id::BaudRate << -1
        << QString() << none;
    QTest::newRow("last device type")
        << SettingsChange([](ModuleSettings &s) { s.deviceType = 46; }) << id::DeviceType << 46
        << QString() << none;
    QTest::newRow("device type beyond the list")
        << SettingsChange([](ModuleSettings &s) { s.deviceType = 47; }) << id::DeviceType << -1
        << QString() << none;
    QTest::newRow("box neither ticked nor clear")
        << SettingsChange([](ModuleSettings &s) { s.camera = 2; }) << id::Camera << 2 << QString()
        << none;
    QTest::newRow("box value 3 is cleared, in the settings too")
        << SettingsChange([](ModuleSettings &s) { s.camera = 3; }) << id::Camera << 0 << QString()
        << SettingsChange([](ModuleSettings &s) { s.camera = 0; });
    QTest::newRow("negative box value is cleared")
        << SettingsChange([](ModuleSettings &s) { s.audio = -1; }) << id::Audio << 0 << QString()
        << SettingsChange([](ModuleSettings &s) { s.audio = 0; });
    QTest::newRow("text over its limit is shown whole")
        << SettingsChange([](ModuleSettings &s) { s.pin = QString(20, u'9'); }) << id::Pin << 0
        << QString(20, u'9') << none;
    QTest::newRow("port as a number") << SettingsChange([](ModuleSettings &s) { s.comPort = -12; })
                                      << id::ComPort << 0 << u"-12"_s << none;
}

void TestFormLogic::formFromSettings() {
    QFETCH(SettingsChange, stored);
    QFETCH(int, control);
    QFETCH(int, number);
    QFETCH(QString, text);
    QFETCH(SettingsChange, settingsAfter);

    ModuleSettings settings = SettingsStore::defaults();
    stored(settings);
    ModuleSettings expected = settings;
    settingsAfter(expected);
    FormValues form = tavrenode::formFromSettings(settings);
    QCOMPARE(valueOf(form, control), (ControlValue{number, text}));
    QCOMPARE(settings, expected);
}

void TestFormLogic::settingsFromForm_data() {
    namespace id = forms::id;
    QTest::addColumn<FormChange>("typed");
    QTest::addColumn<std::optional<FormRefusal>>("refusal");
    QTest::addColumn<SettingsChange>("read"); // what the settings become

    const auto over = [](int limit) {
        return FormRefusal{u"Please enter no more than %1 characters."_s.arg(limit), -1};
    };
    QTest::newRow("everything acceptable") << FormChange([](FormValues &f) {
        valueOf(f, id::DeviceType).number = 3;
        valueOf(f, id::Pin).text = u"1234"_s;
        valueOf(f, id::ComPort).text = u" 12x"_s;
    }) << std::optional<FormRefusal>() << SettingsChange([](ModuleSettings &s) {
        s.deviceType = 3, s.pin = u"1234"_s, s.comPort = 12;
    });
    QTest::newRow("device name over 31: it is kept, later fields are not read")
        << FormChange([](FormValues &f) {
               valueOf(f, id::DeviceName).text = QString(32, u'n');
               valueOf(f, id::Pin).text = u"1234"_s;
           })
        << std::optional(FormRefusal{over(31).message, id::DeviceName})
        << SettingsChange([](ModuleSettings &s) { s.deviceName = QString(32, u'n'); });
    QTest::newRow("pair match prefix at 20") << FormChange([](FormValues &f) {
        valueOf(f, id::PairMatchPrefix).text = QString(20, u'p');
    }) << std::optional<FormRefusal>() << SettingsChange([](ModuleSettings &s) {
        s.pairMatchPrefix = QString(20, u'p');
    });
    QTest::newRow("PIN over 16") << FormChange([](FormValues &f) {
        valueOf(f, id::Pin).text = QString(17, u'1');
    }) << std::optional(FormRefusal{over(16).message, id::Pin})
                                 << SettingsChange(
                                        [](ModuleSettings &s) { s.pin = QString(17, u'1'); });
    QTest::newRow("port not a number: earlier fields read, the port and later ones not")
        << FormChange([](FormValues &f) {
               valueOf(f, id::SecurityMode).number = 0;
               valueOf(f, id::ComPort).text = u"seven"_s;
               valueOf(f, id::MasterSlave).number = 5;
           })
        << std::optional(FormRefusal{u"Please enter an integer."_s, id::ComPort})
        << SettingsChange([](ModuleSettings &s) { s.securityMode = 0; });
}

void TestFormLogic::settingsFromForm() {
    QFETCH(FormChange, typed);
    QFETCH(std::optional<FormRefusal>, refusal);
    QFETCH(SettingsChange, read);

    ModuleSettings settings = SettingsStore::defaults();
    FormValues form = tavrenode::formFromSettings(settings);
    typed(form);
    ModuleSettings expected = settings;
    read(expected);
    QCOMPARE(tavrenode::settingsFromForm(form, settings), refusal);
    QCOMPARE(settings, expected);
}

void TestFormLogic::programmingRefusal_data() {
    namespace id = forms::id;
    QTest::addColumn<SettingsChange>("settings");
    QTest::addColumn<int>("control"); // -2 for no refusal
    QTest::addColumn<QString>("message");

    QTest::newRow("defaults") << SettingsChange([](ModuleSettings &) {}) << -2 << QString();
    QTest::newRow("blank PIN") << SettingsChange([](ModuleSettings &s) { s.pin = u" "_s; }) << -2
                               << QString();
    QTest::newRow("no status pin line")
        << SettingsChange([](ModuleSettings &s) { s.statusPinMode = -1; }) << id::StatusPin
        << u"Please choose a line in the \"Status pin\" list before programming."_s;
    QTest::newRow("no device type")
        << SettingsChange([](ModuleSettings &s) { s.deviceType = -1; }) << id::DeviceType
        << u"Please choose a line in the \"Device type\" list before programming."_s;
    QTest::newRow("no master/slave line, and no PIN: the list first")
        << SettingsChange([](ModuleSettings &s) { s.masterSlaveMode = -1, s.pin.clear(); })
        << id::MasterSlave
        << u"Please choose a line in the \"WFP / Master / Slave\" list before programming."_s;
    QTest::newRow("empty PIN") << SettingsChange([](ModuleSettings &s) { s.pin.clear(); }) << -1
                               << u"A zero-length PIN code is not permitted.\r\n"_s;
    QTest::newRow("stored PIN over 16")
        << SettingsChange([](ModuleSettings &s) { s.pin = QString(17, u'1'); }) << id::Pin
        << u"Please enter no more than 16 characters."_s;
    QTest::newRow("stored device name over 31, and no PIN: the name first")
        << SettingsChange(
               [](ModuleSettings &s) { s.deviceName = QString(32, u'n'), s.pin.clear(); })
        << id::DeviceName << u"Please enter no more than 31 characters."_s;
    QTest::newRow("port 0") << SettingsChange([](ModuleSettings &s) { s.comPort = 0; })
                            << id::ComPort << u"Please enter a port number from 1."_s;
    QTest::newRow("port 1") << SettingsChange([](ModuleSettings &s) { s.comPort = 1; }) << -2
                            << QString();
}

void TestFormLogic::programmingRefusal() {
    QFETCH(SettingsChange, settings);
    QFETCH(int, control);
    QFETCH(QString, message);

    ModuleSettings checked = SettingsStore::defaults();
    settings(checked);
    const std::optional<FormRefusal> refusal = tavrenode::programmingRefusal(checked);
    QCOMPARE(refusal.has_value(), control != -2);
    if (refusal) {
        QCOMPARE(refusal->control, control);
        QVERIFY2(refusal->message.startsWith(message), qPrintable(refusal->message));
    }
}

void TestFormLogic::dialogUnits() {
    // The base units of the classic 8-point dialog font: 6 by 13 pixels.
    const DialogUnits units(6, 13);
    QCOMPARE(units.rect(267, 281, 50, 16), QRect(401, 457, 75, 26));
    QCOMPARE(units.x(347), 521);
    QCOMPARE(units.y(322), 523);
    QCOMPARE(units.widened(1.5).x(4), 9);
}

void TestFormLogic::helpFile_data() {
    QTest::addColumn<QString>("executable"); // relative to a temporary folder
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("found"); // empty for none

    const QString installed = u"share/tavrenode-config/tavrenode-config.html"_s;
    QTest::newRow("build tree: beside the executable")
        << u"build/app/tavrenode-config"_s << QStringList{u"build/app/tavrenode-config.html"_s}
        << u"build/app/tavrenode-config.html"_s;
    QTest::newRow("renamed copy in a build tree")
        << u"build/app/tn-copy"_s << QStringList{u"build/app/tn-copy.html"_s}
        << u"build/app/tn-copy.html"_s;
    QTest::newRow("installed tree")
        << u"bin/tavrenode-config"_s << QStringList{installed} << installed;
    QTest::newRow("installed tree, renamed executable")
        << u"bin/tn-copy"_s << QStringList{installed} << installed;
    QTest::newRow("beside the executable first")
        << u"bin/tavrenode-config"_s << QStringList{installed, u"bin/tavrenode-config.html"_s}
        << u"bin/tavrenode-config.html"_s;
    QTest::newRow("none") << u"bin/tavrenode-config"_s << QStringList{} << QString();
}

void TestFormLogic::helpFile() {
    QFETCH(QString, executable);
    QFETCH(QStringList, files);
    QFETCH(QString, found);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QDir dir(root.path());
    for (const QString &file : files) {
        QVERIFY(dir.mkpath(QFileInfo(file).path()));
        QFile page(dir.filePath(file));
        QVERIFY(page.open(QIODevice::WriteOnly));
    }
    QVERIFY(dir.mkpath(QFileInfo(executable).path()));
    QCOMPARE(findHelpFile(dir.filePath(executable)),
             found.isEmpty() ? QString() : dir.filePath(found));
}

void TestFormLogic::runStatus_data() {
    QTest::addColumn<TransferResult>("result");
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("status");
    QTest::newRow("programmed through rfcomm") << TransferResult::Programmed << u"/dev/rfcomm7"_s
                                               << u"Programmed COM7 (/dev/rfcomm7) at 10:42:03."_s;
    QTest::newRow("programmed through a COM port")
        << TransferResult::Programmed << u"\\\\.\\COM7"_s << u"Programmed COM7 at 10:42:03."_s;
    QTest::newRow("read failed") << TransferResult::ReadFailed << u"/dev/rfcomm7"_s
                                 << u"Not programmed: Failed to read from COM7"_s;
    QTest::newRow("wrong answer") << TransferResult::WrongAcknowledgement << u"/dev/rfcomm7"_s
                                  << u"Not programmed: Programming Failed"_s;
}

void TestFormLogic::runStatus() {
    QFETCH(TransferResult, result);
    QFETCH(QString, device);
    QFETCH(QString, status);
    TransferOutcome outcome;
    outcome.result = result, outcome.link = u"COM7"_s, outcome.target = device;
    QCOMPARE(runStatusText(outcome, QTime(10, 42, 3)), status);
}

void TestFormLogic::contrastRatio_data() {
    QTest::addColumn<QColor>("text");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<double>("ratio");
    // The figures WCAG's own examples and the usual checkers give.
    QTest::newRow("black on white") << QColor(Qt::black) << QColor(Qt::white) << 21.0;
    QTest::newRow("white on black") << QColor(Qt::white) << QColor(Qt::black) << 21.0;
    QTest::newRow("the lightest grey that passes") << QColor(0x767676) << QColor(Qt::white) << 4.54;
    QTest::newRow("one step lighter fails") << QColor(0x777777) << QColor(Qt::white) << 4.48;
    QTest::newRow("the same colour") << QColor(0x1a7346) << QColor(0x1a7346) << 1.0;
}

void TestFormLogic::contrastRatio() {
    QFETCH(QColor, text);
    QFETCH(QColor, background);
    QFETCH(double, ratio);
    QCOMPARE(std::round(tavrenode::contrastRatio(text, background) * 100) / 100, ratio);
}

void TestFormLogic::statusColour_data() {
    QTest::addColumn<QColor>("background");
    QTest::addColumn<bool>("programmed");
    QTest::addColumn<bool>("inItsHue"); // green or red; else black or white
    const struct {
        const char *name;
        QRgb window;
        bool hueReadable;
    } windows[] = {
        {"white", 0xffffff, true},
        {"Fusion's light grey", 0xefefef, true},
        {"GNOME's light window", 0xf6f5f4, true},
        {"Breeze's light window", 0xeff0f1, true},
        {"Fusion's dark grey", 0x353535, true},
        {"GNOME's dark window", 0x242424, true},
        {"Breeze's dark window", 0x202326, true},
        {"black", 0x000000, true},
        {"a mid grey neither shade reads on", 0x808080, false},
    };
    for (const auto &window : windows) {
        for (const bool programmed : {true, false}) {
            QTest::addRow("%s, %s", programmed ? "programmed" : "not programmed", window.name)
                << QColor(window.window) << programmed << window.hueReadable;
        }
    }
}

void TestFormLogic::statusColour() {
    QFETCH(QColor, background);
    QFETCH(bool, programmed);
    QFETCH(bool, inItsHue);
    const QColor colour = tavrenode::statusColour(programmed, background);
    const double ratio = tavrenode::contrastRatio(colour, background);
    QVERIFY2(ratio >= 4.5,
             qPrintable(
                 u"%1 on %2: %3:1"_s.arg(colour.name(), background.name()).arg(ratio, 0, 'f', 2)));
    const bool green = colour.green() > colour.red() && colour.green() > colour.blue();
    const bool red = colour.red() > colour.green() && colour.red() > colour.blue();
    QCOMPARE(programmed ? green : red, inItsHue);
}

QTEST_GUILESS_MAIN(TestFormLogic)
#include "tst_formlogic.moc"
