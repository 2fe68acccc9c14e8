#include "ComPortText.h"
#include "ControlEnablingRule.h"
#include "DialogUnits.h"
#include "SettingsStore.h"

#include <optional>

#include <QTest>

using namespace Qt::StringLiterals;

using namespace tavrenode;

using MaybePort = std::optional<std::int32_t>;
Q_DECLARE_METATYPE(MaybePort)

class TestFormLogic : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void comPortText_data();
    void comPortText();
    void enablingRule_data();
    void enablingRule();
    void dialogUnits();
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

void TestFormLogic::dialogUnits() {
    // The base units of the classic 8-point dialog font: 6 by 13 pixels.
    const DialogUnits units(6, 13);
    QCOMPARE(units.rect(267, 281, 50, 16), QRect(401, 457, 75, 26));
    QCOMPARE(units.x(347), 521);
    QCOMPARE(units.y(322), 523);
    QCOMPARE(units.widened(1.5).x(4), 9);
}

QTEST_GUILESS_MAIN(TestFormLogic)
#include "tst_formlogic.moc"
