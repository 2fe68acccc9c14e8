#include "AboutDialog.h"
#include "ConfigDialog.h"
#include "ConfigureModeHint.h"
#include "FormTemplates.h"
#include "FormTesting.h"
#include "HelpLauncher.h"
#include "RecordingMessages.h"
#include "SettingsStore.h"
#include "SimulatedModule.h"
#include "StatusColours.h"
#include "StoreTesting.h"
#include "TryCompare.h"

#include <memory>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPalette>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTime>
#include <QTimer>
#include <QToolTip>
#include <QUrl>

using namespace Qt::StringLiterals;

using namespace tavrenode;
using namespace std::chrono_literals;
namespace id = forms::id;

namespace {

// Also notes whether the busy cursor was up while each message was shown.
class CursorAwareMessages final : public RecordingMessages {
public:
    void show(const UserMessage &message) override {
        busy.append(QGuiApplication::overrideCursor() != nullptr);
        RecordingMessages::show(message);
    }
    QList<bool> busy;
};

const QString kZeroLengthPin =
    u"A zero-length PIN code is not permitted.\r\n\r\n"
    u"To turn off PIN codes specify \"No security\" in the security mode box.\r\n"
    u"A PIN code always has to be specified because some remote devices    \r\n"
    u"insist on using security, even if you do not enable it on Tavrenode.    "_s;

} // namespace

// The ways a user closes the window.
enum class Closing { CloseButton, Escape, CloseBox, EnterOnClose, EnterInEdit, KeypadEnterInEdit };
Q_DECLARE_METATYPE(Closing)

class TestWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void opensWithTheDefaults();
    void subTypeBoxesFollowTheDeviceType_data();
    void subTypeBoxesFollowTheDeviceType();
    void comPortBoxControlsTheButton();
    void lettersInThePortBoxStopProgramming();
    void programmingSendsTheFormAndSaves();
    void failedRunShowsItsMessagesUnderTheBusyCursor();
    void statusLineReadsOnThePalette_data();
    void statusLineReadsOnThePalette();
    void emptyPinIsRefused();
    void blankPinIsAccepted();
    void listWithoutSelectionIsRefused();
    void longStoredTextStopsEveryRead();
    void storedBoxValues();
    void closing_data();
    void closing();
    void changesSurviveARestart();
    void f1AsksForTheFormsTopic();
    void aboutBoxFromTheContextMenu();
    void loadsAPartialProfile();
    void refusedProfileChangesNothing();
    void savedProfileLoadsBackEdited();
    void loadsADroppedProfile();
    void formFitsItsTexts();
    void everyControlHasATooltipAndAName();
    void labelsNameTheirControls_data();
    void labelsNameTheirControls();
    void deviceTypeListShowsItsScrollBar();

private:
    ConfigDialog &open();
    void writeStore(const QByteArray &entries);
    [[nodiscard]] QVariant stored(const char *entry) const;
    template<class T = QWidget> T *control(int controlId) const {
        return ::control<T>(*m_dialog, controlId);
    }
    void type(int controlId, const QString &text);

    TemporaryConfigHome m_config;
    int m_case = 0;
    std::unique_ptr<SimulatedModule> m_module;
    std::unique_ptr<FixedNaming> m_naming;
    std::unique_ptr<SerialLinks> m_links;
    std::unique_ptr<SettingsStore> m_store;
    CursorAwareMessages m_messages;
    RecordingHelp m_help;
    PresetProfileFiles m_profiles;
    std::unique_ptr<ConfigDialog> m_dialog;
};

void TestWindow::initTestCase() {
    QVERIFY(m_config.isValid());
}

void TestWindow::init() {
    m_module = std::make_unique<SimulatedModule>();
    m_naming = std::make_unique<FixedNaming>(m_module->path());
    m_links = std::make_unique<SerialLinks>(*m_naming);
    m_store = std::make_unique<SettingsStore>(u"Tavrenode Config"_s,
                                              u"window-test-"_s + QString::number(++m_case));
    m_messages = {};
    m_help = {};
}

void TestWindow::cleanup() {
    m_dialog.reset();
    m_module.reset();
}

ConfigDialog &TestWindow::open() {
    m_dialog = std::make_unique<ConfigDialog>(
        ConfigServices{m_messages, *m_links, m_help, *m_store, m_profiles, 300ms});
    m_dialog->show();
    m_dialog->activateWindow();
    return *m_dialog;
}

void TestWindow::writeStore(const QByteArray &entries) {
    QVERIFY(writeFile(m_store->location(), "[Tavrenode Prog]\n" + entries));
}

QVariant TestWindow::stored(const char *entry) const {
    return QSettings(m_store->location(), QSettings::IniFormat)
        .value(u"Tavrenode Prog/"_s + QString::fromLatin1(entry));
}

void TestWindow::type(int controlId, const QString &text) {
    auto *edit = control<QLineEdit>(controlId);
    edit->setFocus();
    edit->selectAll();
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Delete);
    else
        QTest::keyClicks(edit, text);
}

void TestWindow::opensWithTheDefaults() {
    open();
    QCOMPARE(m_messages.texts(), QStringList{});
    QCOMPARE(m_dialog->settings(), SettingsStore::defaults());
    QCOMPARE(control<QComboBox>(id::DeviceType)->currentText(), u"Cellphone"_s);
    QCOMPARE(control<QComboBox>(id::DeviceType)->count(), 47);
    QCOMPARE(control<QComboBox>(id::BaudRate)->currentText(), u"9600 baud"_s);
    QCOMPARE(control<QLineEdit>(id::ComPort)->text(), u"4"_s);
    QCOMPARE(control<QLineEdit>(id::DeviceName)->maxLength(), 31);
    QCOMPARE(control<QLineEdit>(id::PairMatchPrefix)->maxLength(), 20);
    QCOMPARE(control<QLineEdit>(id::Pin)->maxLength(), 16);
    QVERIFY(control<QCheckBox>(id::Networking)->isChecked());
    QVERIFY(control<QPushButton>(id::Program)->isEnabled());
    QCOMPARE(m_dialog->focusWidget(), control(id::Close));
    QCOMPARE(m_dialog->windowTitle(), u"Tavrenode Configuration Tool"_s);
    QVERIFY(std::all_of(m_dialog->record().begin(), m_dialog->record().end(),
                        [](std::uint8_t byte) { return byte == 0; }));
}

void TestWindow::subTypeBoxesFollowTheDeviceType_data() {
    QTest::addColumn<int>("deviceType");
    QTest::addColumn<bool>("peripheral");
    QTest::addColumn<bool>("imaging");
    QTest::newRow("imaging device") << 0 << false << true;
    QTest::newRow("joystick") << 2 << true << false;
    QTest::newRow("cellphone") << 15 << false << false;
}

void TestWindow::subTypeBoxesFollowTheDeviceType() {
    QFETCH(int, deviceType);
    QFETCH(bool, peripheral);
    QFETCH(bool, imaging);
    open();
    control<QCheckBox>(id::Keyboard)->setChecked(false);
    control<QComboBox>(id::DeviceType)->setCurrentIndex(deviceType);
    QCOMPARE(m_dialog->settings().deviceType, deviceType);
    // A disabled box says which device types use it.
    for (const int box : {id::Keyboard, id::PointingDevice}) {
        QCOMPARE(control(box)->isEnabled(), peripheral);
        QCOMPARE(control(box)->toolTip().startsWith(u"Used with the peripheral device types"_s),
                 !peripheral);
    }
    for (const int box : {id::Display, id::Camera, id::Scanner, id::Printer}) {
        QCOMPARE(control(box)->isEnabled(), imaging);
        QCOMPARE(control(box)->toolTip() == u"Used with the device type Imaging device."_s,
                 !imaging);
    }
}

void TestWindow::comPortBoxControlsTheButton() {
    open();
    auto *program = control<QPushButton>(id::Program);
    type(id::ComPort, u"0"_s);
    QVERIFY(!program->isEnabled());
    type(id::ComPort, u"3"_s);
    QVERIFY(program->isEnabled());
    QCOMPARE(m_dialog->settings().comPort, 3);
    QCOMPARE(m_messages.texts(), QStringList{});

    // Emptied: asked for a number at once; the button keeps the state of the last number.
    type(id::ComPort, QString());
    QCOMPARE(m_messages.texts(), QStringList{u"Please enter an integer."_s});
    QVERIFY(program->isEnabled());
    QCOMPARE(m_dialog->settings().comPort, 3);

    m_messages = {};
    type(id::ComPort, u"7x"_s);
    QCOMPARE(m_dialog->settings().comPort, 7);
    QCOMPARE(m_messages.texts(), QStringList{});
}

void TestWindow::lettersInThePortBoxStopProgramming() {
    open();
    type(id::ComPort, u"abc"_s);
    m_messages = {};
    QTest::mouseClick(control<QPushButton>(id::Program), Qt::LeftButton);
    QCOMPARE(m_messages.texts(), QStringList{u"Please enter an integer."_s});
    QCOMPARE(m_dialog->focusWidget(), control(id::ComPort));
    // Each letter was refused as it was typed, and selected to be typed over.
    QCOMPARE(control<QLineEdit>(id::ComPort)->selectedText(), u"c"_s);
    QTest::qWait(100);
    QCOMPARE(m_module->blocks(), QList<int>{});
    QVERIFY(!stored("m_iComPort").isValid()); // nothing saved
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
}

void TestWindow::programmingSendsTheFormAndSaves() {
    open();
    control<QComboBox>(id::DeviceType)->setCurrentIndex(2); // joystick
    control<QCheckBox>(id::Keyboard)->setChecked(true);
    type(id::Pin, u"2468"_s);
    type(id::DeviceName, u"Pad ~~"_s);
    QTest::mouseClick(control<QPushButton>(id::Program), Qt::LeftButton);

    QCOMPARE(m_messages.texts(), QStringList{});
    TRY_COMPARE(m_module->records().size(), 1);
    const ConfigRecord sent = m_module->records().first();
    QCOMPARE(sent, m_dialog->record());
    QCOMPARE(sent[2], 0x44);
    QCOMPARE(sent[3], 0x25);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(&sent[5]), 7),
             QByteArray("Pad \x10\x1a\0", 7));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(&sent[59]), 5), QByteArray("2468\0", 5));
    QCOMPARE(stored("m_PIN").toString(), u"2468"_s);
    QCOMPARE(stored("m_DevName").toString(), u"Pad ~~"_s);
    QCOMPARE(stored("m_DevType").toInt(), 2);
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);

    // The window says so, with the device behind the port and the time.
    const QString status = control<QLabel>(id::RunStatus)->text();
    const QString expected = u"Programmed COM4 (%1) at "_s.arg(m_module->path());
    QVERIFY2(status.startsWith(expected) && status.endsWith(u'.'), qPrintable(status));
    QVERIFY(QTime::fromString(status.mid(expected.size(), 8), u"HH:mm:ss"_s).isValid());
}

void TestWindow::failedRunShowsItsMessagesUnderTheBusyCursor() {
    m_module = std::make_unique<SimulatedModule>(SimScript{2, Reply::Byte, 0x00});
    m_naming = std::make_unique<FixedNaming>(m_module->path());
    m_links = std::make_unique<SerialLinks>(*m_naming);
    open();
    QTest::mouseClick(control<QPushButton>(id::Program), Qt::LeftButton);
    QCOMPARE(m_messages.texts(), (QStringList{u"Programming Failed."_s, kHint}));
    QVERIFY(m_messages.messages.first().detail.startsWith(u"Device: "_s + m_module->path()));
    QCOMPARE(control<QLabel>(id::RunStatus)->text(), u"Not programmed: Programming Failed"_s);
    QCOMPARE(m_messages.busy, (QList<bool>{true, true}));
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    QCOMPARE(m_module->blocks(), (QList<int>{1, 2}));
    QCOMPARE(stored("m_iComPort").toInt(), 4); // saved before the run
}

void TestWindow::statusLineReadsOnThePalette_data() {
    QTest::addColumn<QColor>("during"); // the window's colour during the run
    QTest::addColumn<QColor>("after");  // and the one a theme chose afterwards
    QTest::addColumn<bool>("programmed");
    const QColor light(0xefefef), dark(0x353535);
    QTest::newRow("programmed, dark") << dark << dark << true;
    QTest::newRow("not programmed, dark") << dark << dark << false;
    QTest::newRow("programmed, then a dark theme") << light << dark << true;
    QTest::newRow("not programmed, then a light theme") << dark << light << false;
}

void TestWindow::statusLineReadsOnThePalette() {
    QFETCH(QColor, during);
    QFETCH(QColor, after);
    QFETCH(bool, programmed);
    const QPalette original = QApplication::palette();
    const auto restore = qScopeGuard([&original] { QApplication::setPalette(original); });
    // As a theme does it: a button and a window colour, the text colours derived from them.
    QApplication::setPalette(QPalette(during, during));
    if (!programmed) {
        m_module = std::make_unique<SimulatedModule>(SimScript{1, Reply::Byte, 0x00});
        m_naming = std::make_unique<FixedNaming>(m_module->path());
        m_links = std::make_unique<SerialLinks>(*m_naming);
    }
    open();
    QTest::mouseClick(control<QPushButton>(id::Program), Qt::LeftButton);
    auto *status = control<QLabel>(id::RunStatus);
    QCOMPARE(status->text().startsWith(u"Programmed"_s), programmed);
    // The window hears of a new palette through the event loop.
    QApplication::setPalette(QPalette(after, after));
    TRY_COMPARE(status->palette().color(QPalette::Window), after);

    const QColor text = status->palette().color(QPalette::WindowText);
    const QColor window = status->palette().color(QPalette::Window);
    QVERIFY2(contrastRatio(text, window) >= 4.5,
             qPrintable(u"%1 on %2"_s.arg(text.name(), window.name())));
    QCOMPARE(text, statusColour(programmed, after));
}

void TestWindow::emptyPinIsRefused() {
    open();
    type(id::Pin, QString());
    QTest::mouseClick(control<QPushButton>(id::Program), Qt::LeftButton);
    QCOMPARE(m_messages.texts(), QStringList{kZeroLengthPin});
    QCOMPARE(m_messages.busy, QList<bool>{true});
    QTest::qWait(100);
    QCOMPARE(m_module->blocks(), QList<int>{});
    QVERIFY(!stored("m_PIN").isValid());
}

void TestWindow::blankPinIsAccepted() {
    open();
    type(id::Pin, u"  "_s);
    QTest::mouseClick(control<QPushButton>(id::Program), Qt::LeftButton);
    QCOMPARE(m_messages.texts(), QStringList{});
    TRY_COMPARE(m_module->records().size(), 1);
}

void TestWindow::listWithoutSelectionIsRefused() {
    writeStore("m_cBaud=8\nm_DevType=47\n");
    open();
    QCOMPARE(control<QComboBox>(id::BaudRate)->currentIndex(), -1);
    QCOMPARE(control<QComboBox>(id::DeviceType)->currentIndex(), -1);
    for (const int box :
         {id::Keyboard, id::PointingDevice, id::Display, id::Camera, id::Scanner, id::Printer})
        QVERIFY(!control(box)->isEnabled());

    QTest::mouseClick(control<QPushButton>(id::Program), Qt::LeftButton);
    QCOMPARE(m_messages.texts(),
             QStringList{u"Please choose a line in the \"Baud rate\" list before programming."_s});
    QTest::qWait(100);
    QCOMPARE(m_module->blocks(), QList<int>{});

    // Closing saves what the form holds: no line is -1, stored with the baud offset.
    QTest::mouseClick(control<QPushButton>(id::Close), Qt::LeftButton);
    QCOMPARE(stored("m_cBaud").toInt(), 2);
    QCOMPARE(stored("m_DevType").toInt(), -1);
}

void TestWindow::longStoredTextStopsEveryRead() {
    const QByteArray longName(40, 'n');
    writeStore("m_DevName=" + longName + "\nm_PIN=1111\nm_iComPort=9\nm_iSlaveMaster=4\n");
    open();
    QCOMPARE(m_messages.texts(), QStringList{u"Please enter no more than 31 characters."_s});
    QCOMPARE(control<QLineEdit>(id::DeviceName)->text(), QString::fromLatin1(longName));

    // Later fields keep their loaded values while the read stops at the name.
    control<QComboBox>(id::MasterSlave)->setCurrentIndex(0);
    type(id::ComPort, u"5"_s);
    QCOMPARE(m_dialog->settings().comPort, 9);
    QCOMPARE(m_dialog->settings().masterSlaveMode, 4);

    // Shortened, the form reads through again and the limit holds.
    type(id::DeviceName, u"Short"_s);
    type(id::ComPort, u"6"_s);
    QCOMPARE(m_dialog->settings().comPort, 6);
    QCOMPARE(m_dialog->settings().masterSlaveMode, 0);
    QCOMPARE(control<QLineEdit>(id::DeviceName)->maxLength(), 31);
}

void TestWindow::storedBoxValues() {
    writeStore("m_Audio=2\nm_Info=5\nm_iRender=-1\n");
    open();
    QCOMPARE(control<QCheckBox>(id::Audio)->checkState(), Qt::PartiallyChecked);
    QCOMPARE(m_dialog->settings().audio, 2);
    QCOMPARE(control<QCheckBox>(id::Information)->checkState(), Qt::Unchecked);
    QCOMPARE(m_dialog->settings().information, 0);
    QCOMPARE(m_dialog->settings().rendering, 0);

    // Clicked, the indeterminate box goes on as a plain one.
    QTest::mouseClick(control<QCheckBox>(id::Audio), Qt::LeftButton);
    QTest::mouseClick(control<QCheckBox>(id::Audio), Qt::LeftButton);
    QCOMPARE(control<QCheckBox>(id::Audio)->checkState(), Qt::Unchecked);
    QTest::mouseClick(control<QCheckBox>(id::Audio), Qt::LeftButton);
    QCOMPARE(control<QCheckBox>(id::Audio)->checkState(), Qt::Checked);
}

void TestWindow::closing_data() {
    QTest::addColumn<Closing>("how");
    QTest::addColumn<bool>("badPort"); // letters in the COM port box
    QTest::addColumn<bool>("closes");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("saves");

    const int rejected = QDialog::Rejected;
    QTest::newRow("Close") << Closing::CloseButton << false << true << rejected << true;
    QTest::newRow("Close with a bad port")
        << Closing::CloseButton << true << true << rejected << true;
    QTest::newRow("Escape") << Closing::Escape << false << true << rejected << true;
    QTest::newRow("Escape with a bad port") << Closing::Escape << true << true << rejected << true;
    QTest::newRow("close box") << Closing::CloseBox << false << true << rejected << true;
    QTest::newRow("Enter on the Close button")
        << Closing::EnterOnClose << false << true << rejected << true;
    QTest::newRow("Enter in an edit box")
        << Closing::EnterInEdit << false << true << int(QDialog::Accepted) << true;
    QTest::newRow("keypad Enter with a bad port keeps the window open")
        << Closing::KeypadEnterInEdit << true << false << 0 << false;
}

void TestWindow::closing() {
    QFETCH(Closing, how);
    QFETCH(bool, badPort);
    QFETCH(bool, closes);
    QFETCH(int, result);
    QFETCH(bool, saves);

    writeStore("m_iSlaveMaster=1\n");
    open();
    type(id::Pin, u"9999"_s);
    if (badPort)
        type(id::ComPort, u"x"_s);
    control<QComboBox>(id::MasterSlave)->setCurrentIndex(5);
    m_messages = {};
    switch (how) {
    case Closing::CloseButton:
        QTest::mouseClick(control<QPushButton>(id::Close), Qt::LeftButton);
        break;
    case Closing::Escape:
        QTest::keyClick(control(id::Pin), Qt::Key_Escape);
        break;
    case Closing::CloseBox:
        m_dialog->close();
        break;
    case Closing::EnterOnClose:
        control(id::Close)->setFocus();
        QTest::keyClick(control(id::Close), Qt::Key_Return);
        break;
    case Closing::EnterInEdit:
        QTest::keyClick(control(id::Pin), Qt::Key_Return);
        break;
    case Closing::KeypadEnterInEdit:
        QTest::keyClick(control(id::ComPort), Qt::Key_Enter, Qt::KeypadModifier);
        break;
    }

    QCOMPARE(m_messages.texts(),
             badPort ? QStringList{u"Please enter an integer."_s} : QStringList{});
    QCOMPARE(m_dialog->isVisible(), !closes);
    if (closes)
        QCOMPARE(m_dialog->result(), result);
    if (!saves) {
        QVERIFY(!stored("m_PIN").isValid());
        QVERIFY(!stored("m_iComPort").isValid());
        return;
    }
    QCOMPARE(stored("m_PIN").toString(), u"9999"_s);
    QCOMPARE(stored("m_iComPort").toInt(), 4);
    // A read stops at the port box: the list after it is not read then.
    QCOMPARE(stored("m_iSlaveMaster").toInt(), badPort ? 1 : 5);
}

void TestWindow::changesSurviveARestart() {
    open();
    control<QComboBox>(id::SecurityMode)->setCurrentIndex(0);
    control<QCheckBox>(id::Positioning)->setChecked(true);
    type(id::ComPort, u"12"_s);
    m_dialog->close();
    const ModuleSettings before = m_dialog->settings();

    open();
    QCOMPARE(m_dialog->settings(), before);
    QCOMPARE(control<QComboBox>(id::SecurityMode)->currentText(), u"No security"_s);
    QVERIFY(control<QCheckBox>(id::Positioning)->isChecked());
    QCOMPARE(control<QLineEdit>(id::ComPort)->text(), u"12"_s);
}

void TestWindow::f1AsksForTheFormsTopic() {
    open();
    QTest::keyClick(control(id::Pin), Qt::Key_F1);
    QCOMPARE(m_help.topics, QList<unsigned>{0x20066});
    QCOMPARE(m_messages.texts(), QStringList{});

    m_help.works = false;
    QTest::keyClick(control(id::Pin), Qt::Key_F1);
    QCOMPARE(m_messages.texts(), QStringList{u"Failed to launch help."_s});
    // It tells where the page is, to open by hand.
    QCOMPARE(m_messages.messages.first().detail,
             u"The help page is /usr/share/tavrenode-config/tavrenode-config.html; open it in a "
             u"web browser."_s);

    AboutDialog about(m_help, m_messages);
    QTest::keyClick(&about, Qt::Key_F1);
    QCOMPARE(m_help.topics.last(), 0x20064u);
}

void TestWindow::aboutBoxFromTheContextMenu() {
    open();
    QStringList itemTexts;
    QString stamp;
    // Both the menu and the box run modally: look at each when it is up, then leave it.
    QTimer::singleShot(0, this, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        const auto actions = menu->actions();
        for (const QAction *action : actions)
            itemTexts << action->text();
        QTimer::singleShot(0, this, [&] {
            auto *about = qobject_cast<AboutDialog *>(QApplication::activeModalWidget());
            QVERIFY(about);
            const auto labels = about->findChildren<QLabel *>();
            for (QLabel *label : labels) {
                if (QRegularExpression(
                        u"^[A-Z][a-z]{2} [ 1-3][0-9] [0-9]{4}  [0-9]{2}:[0-9]{2}:[0-9]{2}$"_s)
                        .match(label->text())
                        .hasMatch())
                    stamp = label->text();
            }
            QTest::keyClick(about, Qt::Key_Escape);
        });
        actions.constLast()->trigger();
        menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                            m_dialog->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(m_dialog.get(), &event);
    QCOMPARE(itemTexts, (QStringList{u"Save settings as..."_s,
                                     u"Load settings from..."_s,
                                     {},
                                     u"&About Tavrenode Config..."_s}));
    QCOMPARE(stamp, AboutDialog::buildStamp());
}

void TestWindow::loadsAPartialProfile() {
    QTemporaryDir folder;
    const QString path = folder.filePath(u"joystick.tavrenode"_s);
    QVERIFY(writeFile(path, "# a joystick, nothing else said\n"
                            "device-type = joystick\nkeyboard = yes\nbaud = 115200\n"));
    open();
    type(id::Pin, u"5555"_s); // typed, not saved: the form's value is what is kept
    m_dialog->loadProfile(path);

    QCOMPARE(m_messages.texts(), QStringList{});
    ModuleSettings expected = SettingsStore::defaults();
    expected.deviceType = 2, expected.keyboard = 1, expected.baudRate = 4;
    expected.pin = u"5555"_s;
    QCOMPARE(m_dialog->settings(), expected);
    QCOMPARE(control<QComboBox>(id::DeviceType)->currentText(), u"Joystick"_s);
    QCOMPARE(control<QComboBox>(id::BaudRate)->currentText(), u"115200 baud"_s);
    QCOMPARE(control<QLineEdit>(id::Pin)->text(), u"5555"_s);
    QCOMPARE(control<QLineEdit>(id::DeviceName)->text(), u"Tavrenode ~~:~~:~~:~~:~~:~~"_s);
    // The enabling rule follows the loaded device type.
    QVERIFY(control<QCheckBox>(id::Keyboard)->isChecked());
    QVERIFY(control(id::Keyboard)->isEnabled());
    QVERIFY(!control(id::Display)->isEnabled());
    // Loading is not saving: the store changes when the window closes, as always.
    QCOMPARE(stored("m_DevType"), QVariant());
}

void TestWindow::refusedProfileChangesNothing() {
    QTemporaryDir folder;
    const QString path = folder.filePath(u"typo.tavrenode"_s);
    QVERIFY(writeFile(path, "format = 1\ndevice-type = Joystick\nbadu = 115200\n"));
    open();
    type(id::Pin, u"5555"_s);
    ModuleSettings before = SettingsStore::defaults();
    before.pin = u"5555"_s;
    m_profiles.file = path;
    m_dialog->chooseProfileToLoad();

    QCOMPARE(m_messages.messages,
             (QList<UserMessage>{
                 {u"Nothing was loaded from %1."_s.arg(path),
                  uR"(Line 3, key "badu": "badu" is not a setting; did you mean "baud"?)"_s}}));
    QCOMPARE(m_dialog->settings(), before);
    QCOMPARE(control<QComboBox>(id::DeviceType)->currentText(), u"Cellphone"_s);
    QCOMPARE(control<QLineEdit>(id::Pin)->text(), u"5555"_s);
}

void TestWindow::savedProfileLoadsBackEdited() {
    QTemporaryDir folder;
    const QString path = folder.filePath(u"saved.tavrenode"_s);
    open();
    type(id::DeviceName, u"Gate ~~~~"_s);
    m_profiles.file = path;
    m_dialog->saveProfile();
    QCOMPARE(m_messages.texts(), QStringList{});
    QCOMPARE(m_profiles.suggested, u"Gate.tavrenode"_s);

    // Edited by hand: a comment added, the baud rate changed.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray content = file.readAll();
    file.close();
    QVERIFY(content.contains("\nbaud = 9600\n"));
    content.replace("\nbaud = 9600\n", "\n# faster for the logger\nbaud = 57600\n");
    QVERIFY(writeFile(path, content));

    type(id::DeviceName, u"Other"_s);
    m_dialog->chooseProfileToLoad();
    QCOMPARE(m_messages.texts(), QStringList{});
    QCOMPARE(control<QComboBox>(id::BaudRate)->currentText(), u"57600 baud"_s);
    QCOMPARE(control<QLineEdit>(id::DeviceName)->text(), u"Gate ~~~~"_s);

    // Cancelled dialogs do nothing; a file that cannot be written says so.
    m_profiles.file.clear();
    m_dialog->saveProfile();
    m_dialog->chooseProfileToLoad();
    QCOMPARE(m_messages.texts(), QStringList{});
    m_profiles.file = folder.filePath(u"missing/x.tavrenode"_s);
    m_dialog->saveProfile();
    QCOMPARE(m_messages.texts(),
             QStringList{u"The settings were not saved to %1."_s.arg(m_profiles.file)});
}

void TestWindow::loadsADroppedProfile() {
    QTemporaryDir folder;
    const QString path = folder.filePath(u"dropped.tavrenode"_s);
    QVERIFY(writeFile(path, "security = no security\n"));
    open();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    data.setText(path); // file managers offer the path as text too
    // Dropped on an edit box, which would otherwise take the path as text.
    auto *name = control<QLineEdit>(id::DeviceName);
    QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(name, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(name, &drop);
    TRY_COMPARE(m_dialog->settings().securityMode, 0);
    QCOMPARE(control<QLineEdit>(id::DeviceName)->text(), u"Tavrenode ~~:~~:~~:~~:~~:~~"_s);
    QCOMPARE(m_messages.texts(), QStringList{});

    // Two files at once are no profile.
    data.setUrls({QUrl::fromLocalFile(path), QUrl::fromLocalFile(path)});
    QDragEnterEvent twoFiles(QPoint(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_dialog.get(), &twoFiles);
    QVERIFY(!twoFiles.isAccepted());
}

void TestWindow::formFitsItsTexts() {
    open();
    // Every single-line text fits its control, and no two controls overlap.
    const auto children = m_dialog->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (QWidget *child : children) {
        QVERIFY(m_dialog->rect().contains(child->geometry()));
        if (auto *box = qobject_cast<QAbstractButton *>(child))
            QVERIFY2(box->width() >= box->sizeHint().width(), qPrintable(box->text()));
        if (auto *label = qobject_cast<QLabel *>(child);
            label && label->height() < 2 * label->fontMetrics().height())
            QVERIFY2(label->width() > label->fontMetrics().horizontalAdvance(label->text()),
                     qPrintable(label->text()));
    }
    for (QWidget *a : children) {
        for (QWidget *b : children) {
            if (a == b || qobject_cast<QGroupBox *>(a) || qobject_cast<QGroupBox *>(b))
                continue;
            QVERIFY2(!a->geometry().intersects(b->geometry()),
                     qPrintable(QString::fromLatin1(a->metaObject()->className()) +
                                u" overlaps "_s +
                                QString::fromLatin1(b->metaObject()->className())));
        }
    }
}

void TestWindow::everyControlHasATooltipAndAName() {
    open();
    // Every control the user can reach with Tab, found in the widget tree rather than in the
    // form's tables, so that a control the tables miss fails too. Its name for a screen
    // reader is its own text, or (boxes and lists) the label that names it.
    int controls = 0;
    for (QWidget *child : m_dialog->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (!(child->focusPolicy() & Qt::TabFocus))
            continue; // labels, the group box, the status line
        ++controls;
        QVERIFY2(!child->toolTip().isEmpty(), qPrintable(child->objectName()));
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(child);
        QVERIFY(accessible);
        const bool named = qobject_cast<QAbstractButton *>(child)
                               ? !accessible->text(QAccessible::Name).isEmpty()
                               : accessible->relations(QAccessible::Label).size() == 1;
        QVERIFY2(named, qPrintable(child->objectName()));
    }
    QCOMPARE(controls, 27); // Close, the programming button, the port and 24 settings

    // Resting the mouse on the baud rate list shows its tip.
    auto *baud = control(id::BaudRate);
    QHelpEvent rest(QEvent::ToolTip, baud->rect().center(),
                    baud->mapToGlobal(baud->rect().center()));
    QCoreApplication::sendEvent(baud, &rest);
    TRY_COMPARE(QToolTip::isVisible(), true);
    QCOMPARE(QToolTip::text(), baud->toolTip());
    QToolTip::hideText();
}

void TestWindow::labelsNameTheirControls_data() {
    QTest::addColumn<int>("controlId");
    QTest::addColumn<QString>("label");
    const auto row = [](const char *name, int controlId, std::string_view label) {
        QTest::newRow(name) << controlId
                            << QString::fromUtf8(label.data(), qsizetype(label.size()));
    };
    row("port box", id::ComPort, "Connected to COM port");
    row("status pin list", id::StatusPin, labels::kStatusPinName);
    row("baud rate list", id::BaudRate, labels::kBaudRateName);
    row("device type list", id::DeviceType, labels::kDeviceTypeName);
    row("device name box", id::DeviceName, "Device name");
    row("pair match prefix box", id::PairMatchPrefix, "Pair match prefix");
    row("mating mode list", id::MatingMode, labels::kMatingModeName);
    row("PIN box", id::Pin, "Pin code");
    row("security mode list", id::SecurityMode, labels::kSecurityModeName);
    row("master or slave list", id::MasterSlave, labels::kMasterSlaveName);
}

void TestWindow::labelsNameTheirControls() {
    QFETCH(int, controlId);
    QFETCH(QString, label);
    open();
    // As a screen reader finds it: the label related to the control, by its text.
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(control(controlId));
    QVERIFY(accessible);
    const auto labels = accessible->relations(QAccessible::Label);
    QCOMPARE(labels.size(), 1);
    QCOMPARE(labels.first().first->text(QAccessible::Name), label);
    if (qobject_cast<QLineEdit *>(control(controlId)))
        QCOMPARE(accessible->text(QAccessible::Name), label);
}

void TestWindow::deviceTypeListShowsItsScrollBar() {
    open();
    auto *deviceTypes = control<QComboBox>(id::DeviceType);
    deviceTypes->showPopup();
    TRY_COMPARE(deviceTypes->view()->isVisible(), true);
    QCOMPARE(deviceTypes->view()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    deviceTypes->hidePopup();
    // The other lists keep the style's way.
    QVERIFY(control<QComboBox>(id::BaudRate)->view()->verticalScrollBarPolicy() !=
            Qt::ScrollBarAlwaysOn);
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
