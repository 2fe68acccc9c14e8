// The window programming a module whose link misbehaves in every way we know of, over a
// real pseudo-terminal. Each case checks what the user is told, that the port is closed
// again and no descriptor is left behind, and that the window programs a healthy module
// straight afterwards.
#include "ConfigDialog.h"
#include "ConfigureModeHint.h"
#include "FormTemplates.h"
#include "FormTesting.h"
#include "HelpLauncher.h"
#include "PortNaming.h"
#include "Privileges.h"
#include "RecordingMessages.h"
#include "SettingsStore.h"
#include "SimulatedModule.h"
#include "StoreTesting.h"
#include "TryCompare.h"

#include <memory>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPushButton>
#include <QSerialPort>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace tavrenode;
using namespace std::chrono_literals;
namespace id = forms::id;

namespace {

enum class Setup {
    None,
    GoneBeforeOpen,   // the module went away before the button was pressed
    VanishAfterOpen,  // ... between the port's opening and the first block
    HeldElsewhere,    // another program has the port open
    PermissionDenied, // the user may not open the device
};

struct Fault {
    Setup setup = Setup::None;
    SimScript script;
};

} // namespace

Q_DECLARE_METATYPE(Fault)

namespace {

// Port 4 leads wherever the test says, so a second run can go to another module.
class SwitchableNaming final : public PortNaming {
public:
    QString devicePath(std::int32_t) const override { return path; }
    QStringList presentDevices() const override { return {}; }
    QString path;
};

class NoHelp final : public HelpLauncher {
public:
    bool showTopic(unsigned) override { return true; }
};

// Descriptors of this process, but for the simulators' own pseudo-terminal masters, which
// come and go with the simulated modules.
QStringList openDescriptors() {
    QStringList targets;
    const QDir fds(u"/proc/self/fd"_s);
    for (const QString &fd : fds.entryList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
        char target[4096] = {};
        const ssize_t length =
            ::readlink(QFile::encodeName(fds.filePath(fd)).constData(), target, sizeof target - 1);
        if (length < 0) // the listing's own descriptor, gone by now
            continue;
        const QString name = QString::fromLocal8Bit(target, length);
        if (name != u"/dev/ptmx"_s && name != u"/dev/pts/ptmx"_s)
            targets.append(fd + u" -> "_s + name);
    }
    return targets;
}

// Opens the device as nobody would: root takes nobody's file-system identity; anyone else
// takes every permission off the device, which its owner cannot then override either.
class WithoutPermission {
public:
    explicit WithoutPermission(const QString &device)
        : m_device(device)
        , m_permissions(QFile::permissions(device)) {
        if (!FileAccessAsNobody::isRoot())
            QFile::setPermissions(device, {});
    }
    ~WithoutPermission() {
        if (!FileAccessAsNobody::isRoot())
            QFile::setPermissions(m_device, m_permissions);
    }
    WithoutPermission(const WithoutPermission &) = delete;
    WithoutPermission &operator=(const WithoutPermission &) = delete;

private:
    QString m_device;
    QFileDevice::Permissions m_permissions;
    FileAccessAsNobody m_nobody;
};

const QString kLinkLost = u"The link to the module was lost: the device hung up or was removed."_s;

} // namespace

class TestFaults : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void faultyLink_data();
    void faultyLink();

private:
    void program();

    TemporaryConfigHome m_config;
    RecordingMessages m_messages;
    SwitchableNaming m_naming;
    NoHelp m_help;
    HookedLinks m_ports{m_naming};
    PresetProfileFiles m_profiles;
    std::unique_ptr<SettingsStore> m_store;
    std::unique_ptr<ConfigDialog> m_dialog;
};

void TestFaults::initTestCase() {
    QVERIFY(m_config.isValid());
    m_store = std::make_unique<SettingsStore>(u"Tavrenode Config"_s, u"faults-test"_s);
    m_dialog = std::make_unique<ConfigDialog>(
        ConfigServices{m_messages, m_ports, m_help, *m_store, m_profiles});
    m_dialog->show();
}

void TestFaults::program() {
    auto *button = control<QPushButton>(*m_dialog, id::Program);
    QVERIFY(button && button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);
}

void TestFaults::faultyLink_data() {
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("message"); // the first of the two; none on success
    QTest::addColumn<QString>("detail");  // what its detail must contain
    QTest::addColumn<QList<int>>("blocks");

    const QString open = u"Failed to open COM4:"_s;
    const QString write = u"Failed to write to COM4:"_s;
    const QString read = u"Failed to read from COM4:"_s;
    const QString failed = u"Programming Failed."_s;
    const auto hangUp = [](int block, std::size_t at) {
        return Fault{Setup::None, {block, Reply::HangUp, 0, at}};
    };

    QTest::newRow("module gone before the port is opened")
        << Fault{Setup::GoneBeforeOpen, {}} << open << u"No such file or directory"_s
        << QList<int>{};
    QTest::newRow("device vanishes between open and write")
        << Fault{Setup::VanishAfterOpen, {}} << write << u"Block 1 of 3."_s << QList<int>{};
    for (int block = 1; block <= 3; ++block) {
        QList<int> sent;
        for (int b = 1; b < block; ++b)
            sent.append(b);
        const QString where = kLinkLost + u"\n\nBlock %1 of 3."_s.arg(block);
        QTest::addRow("hang-up as block %d begins", block)
            << hangUp(block, 0) << read << where << sent;
        QTest::addRow("hang-up in the middle of block %d", block)
            << hangUp(block, 32) << read << where << sent;
        sent.append(block);
        QTest::addRow("hang-up after block %d, unanswered", block)
            << hangUp(block, 64) << read << where << sent;
        if (block < 3)
            QTest::addRow("hang-up after acknowledging block %d", block)
                << Fault{Setup::None, {block, Reply::AckAndHangUp}} << read
                << kLinkLost + u"\n\nBlock %1 of 3."_s.arg(block + 1) << sent;
    }
    QTest::newRow("hang-up after acknowledging block 3")
        << Fault{Setup::None, {3, Reply::AckAndHangUp}} << QString() << QString()
        << QList<int>{1, 2, 3};
    QTest::newRow("two acknowledgements for block 1")
        << Fault{Setup::None, {1, Reply::Ack, 0, 64, 0ms, 0x55}} << QString() << QString()
        << QList<int>{1, 2, 3};
    QTest::newRow("acknowledgement and a wrong byte for block 1")
        << Fault{Setup::None, {1, Reply::Ack, 0, 64, 0ms, 0xAA}} << failed
        << u"The module answered block 2 with 0xaa instead of 0x55."_s << QList<int>{1, 2};
    QTest::newRow("wrong byte for block 2")
        << Fault{Setup::None, {2, Reply::Byte, 0x00}} << failed
        << u"The module answered block 2 with 0x00 instead of 0x55."_s << QList<int>{1, 2};
    QTest::newRow("answer to block 2 after 2.7 s")
        << Fault{Setup::None, {2, Reply::Ack, 0, 64, 2700ms}} << QString() << QString()
        << QList<int>{1, 2, 3};
    QTest::newRow("answer to block 2 after 3.3 s")
        << Fault{Setup::None, {2, Reply::Ack, 0, 64, 3300ms}} << read
        << u"No answer within 3 seconds. Block 2 of 3."_s << QList<int>{1, 2};
    QTest::newRow("port held by another program")
        << Fault{Setup::HeldElsewhere, {}} << open << u"Another program may be using the port."_s
        << QList<int>{};
    QTest::newRow("permission denied") << Fault{Setup::PermissionDenied, {}} << open
                                       << u"Add it to the dialout group"_s << QList<int>{};
}

void TestFaults::faultyLink() {
    QFETCH(Fault, fault);
    QFETCH(QString, message);
    QFETCH(QString, detail);
    QFETCH(QList<int>, blocks);

    m_messages = {};
    auto module = std::make_unique<SimulatedModule>(fault.script);
    m_naming.path = module->path();
    m_ports.afterOpen = {};

    QSerialPort other;
    std::unique_ptr<WithoutPermission> withoutPermission;
    switch (fault.setup) {
    case Setup::None:
        break;
    case Setup::GoneBeforeOpen:
        module->vanish();
        break;
    case Setup::VanishAfterOpen:
        m_ports.afterOpen = [&module] {
            module->vanish();
        };
        break;
    case Setup::HeldElsewhere:
        other.setPortName(module->path());
        QVERIFY(other.open(QIODevice::ReadWrite));
        break;
    case Setup::PermissionDenied:
        withoutPermission = std::make_unique<WithoutPermission>(module->path());
        break;
    }

    const QStringList descriptorsBefore = openDescriptors();
    program();
    withoutPermission.reset();
    QCOMPARE(openDescriptors(), descriptorsBefore);
    other.close();
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);

    if (message.isEmpty()) {
        QCOMPARE(m_messages.texts(), QStringList{});
        TRY_COMPARE(module->records().size(), 1);
        QCOMPARE(module->records().first(), m_dialog->record());
    } else {
        QCOMPARE(m_messages.texts(), (QStringList{message, kHint}));
        const QString shownDetail = m_messages.messages.first().detail;
        QVERIFY2(shownDetail.contains(detail), qPrintable(shownDetail));
        QCOMPARE(module->records().size(), 0);
    }
    TRY_COMPARE(module->blocks(), blocks);
    // A module that kept its link saw the port opened and closed once.
    if (!blocks.isEmpty() && fault.script.reply != Reply::HangUp &&
        fault.script.reply != Reply::AckAndHangUp)
        TRY_COMPARE(module->runs(), 1);

    // The window is ready for the next try, and that try reaches a healthy module.
    m_messages = {};
    m_ports.afterOpen = {};
    module = std::make_unique<SimulatedModule>();
    m_naming.path = module->path();
    program();
    QCOMPARE(m_messages.texts(), QStringList{});
    TRY_COMPARE(module->records().size(), 1);
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
