// Bluetooth links over a system's stack (Winsock and the Bluetooth API on Windows), with
// everything above the system's calls run against a stack of the test's own: finding the
// module, pairing with the PIN and unpairing again, the programming run over the channel,
// and the searches that the Bluetooth dialog, scan and --bluetooth-line make.
#include "BluetoothStack.h"
#include "ProgrammingTransfer.h"
#include "SettingsStore.h"

#include <QTest>
#include <QThread>

using namespace Qt::StringLiterals;
using namespace tavrenode;
using namespace std::chrono_literals;

namespace {

constexpr std::uint64_t kAddress = 0x0011223344AA;

// A module the stack can reach, and how it behaves.
struct FakeModule {
    StackDevice device{kAddress, u"Tavrenode 0042"_s, false};
    bool known = true;   // listed without a search
    bool inRange = true; // found by a search
    bool serialPort = true;
    QString pin = u"7392"_s; // the PIN it pairs with
    int wrongAnswerTo = 0;   // the block it answers with 0x00
    int closesAfter = 0;     // the block after which it closes the channel, unanswered
};

class FakeStream final : public StackStream {
public:
    FakeStream(const FakeModule &module, QList<int> &blocks)
        : m_module(module)
        , m_blocks(blocks) {}

    qint64 send(const char *, qint64 size, QString *error) override {
        if (m_closed) {
            *error = u"closed"_s;
            return -1;
        }
        for (m_taken += size; m_taken >= qint64(kBlockSize); m_taken -= qint64(kBlockSize)) {
            const int block = int(m_blocks.size()) + 1;
            m_blocks.append(block);
            if (block == m_module.closesAfter)
                m_closed = true;
            else
                m_answers.append(char(block == m_module.wrongAnswerTo ? 0x00 : 0x55));
        }
        return size;
    }
    qint64 receive(char *data, qint64, std::chrono::milliseconds timeout, QString *error) override {
        if (!m_answers.isEmpty()) {
            data[0] = m_answers.front();
            m_answers.remove(0, 1);
            return 1;
        }
        if (m_closed) {
            *error = u"The module closed the connection."_s;
            return -1;
        }
        QThread::msleep(std::min<unsigned long>(ulong(timeout.count()), 20));
        return 0;
    }

private:
    const FakeModule &m_module;
    QList<int> &m_blocks;
    QByteArray m_answers;
    qint64 m_taken = 0;
    bool m_closed = false;
};

class FakeStack final : public BluetoothStack {
public:
    QString unavailable() const override { return whyUnavailable; }
    std::optional<QList<StackDevice>> devices(std::chrono::milliseconds search,
                                              QString *) const override {
        searches += search.count() > 0;
        QList<StackDevice> listed;
        for (const FakeModule &module : modules) {
            if (module.known || module.device.paired || (search.count() > 0 && module.inRange))
                listed.append(module.device);
        }
        return listed;
    }
    bool offersSerialPort(std::uint64_t address) const override {
        const FakeModule *module = find(address);
        return module && module->serialPort;
    }
    StackPairing pair(std::uint64_t address, const QString &pin, QString *failure) const override {
        ++pairings;
        FakeModule *module = find(address);
        if (!module || pin != module->pin) {
            *failure = u"wrong PIN"_s;
            return StackPairing::Refused;
        }
        module->device.paired = true;
        return StackPairing::Paired;
    }
    bool unpair(std::uint64_t address, QString *) const override {
        ++unpairings;
        if (FakeModule *module = find(address))
            module->device.paired = false;
        return true;
    }
    std::unique_ptr<StackStream> connect(std::uint64_t address, LinkOpenFailure *kind,
                                         QString *failure) const override {
        const FakeModule *module = find(address);
        if (!module || !module->serialPort) {
            *kind = LinkOpenFailure::NotSerial;
            *failure = u"no such service"_s;
            return nullptr;
        }
        return std::make_unique<FakeStream>(*module, blocks);
    }

    FakeModule *find(std::uint64_t address) const {
        for (FakeModule &module : modules) {
            if (module.device.address == address)
                return &module;
        }
        return nullptr;
    }

    mutable QList<FakeModule> modules;
    QString whyUnavailable;
    mutable int searches = 0;
    mutable int pairings = 0;
    mutable int unpairings = 0;
    mutable QList<int> blocks;
};

struct Expected {
    TransferResult result = TransferResult::Programmed;
    LinkOpenFailure failure = LinkOpenFailure::None;
    QString reason; // what the reason must contain
    QList<int> blocks;
    int pairings = 0;
    bool pairedAfterwards = false;
};

} // namespace

Q_DECLARE_METATYPE(FakeModule)
Q_DECLARE_METATYPE(Expected)

class TestStackLinks : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void programs_data();
    void programs();
    void searches();
};

void TestStackLinks::programs_data() {
    QTest::addColumn<FakeModule>("module");
    QTest::addColumn<QString>("pin");
    QTest::addColumn<bool>("keepPaired");
    QTest::addColumn<QString>("unavailable");
    QTest::addColumn<Expected>("expected");

    const QList<int> all{1, 2, 3};
    FakeModule paired;
    paired.device.paired = true;
    const FakeModule unpaired;
    FakeModule farAway;
    farAway.known = false;
    FakeModule gone = farAway;
    gone.inRange = false;
    FakeModule noSerialPort = paired;
    noSerialPort.serialPort = false;
    FakeModule closes = unpaired;
    closes.closesAfter = 2;
    FakeModule wrong = paired;
    wrong.wrongAnswerTo = 3;
    const auto openFailed = [](LinkOpenFailure failure, const QString &reason) {
        return Expected{TransferResult::OpenFailed, failure, reason, {}, 0, false};
    };

    QTest::newRow("paired") << paired << QString() << false << QString()
                            << Expected{TransferResult::Programmed, {}, {}, all, 0, true};
    QTest::newRow("paired with the PIN, unpaired again")
        << unpaired << u"7392"_s << false << QString()
        << Expected{TransferResult::Programmed, {}, {}, all, 1, false};
    QTest::newRow("paired with the PIN, kept paired")
        << unpaired << u"7392"_s << true << QString()
        << Expected{TransferResult::Programmed, {}, {}, all, 1, true};
    QTest::newRow("found by a search")
        << farAway << u"7392"_s << false << QString()
        << Expected{TransferResult::Programmed, {}, {}, all, 1, false};
    QTest::newRow("not paired, no PIN")
        << unpaired << QString() << false << QString()
        << openFailed(LinkOpenFailure::NotPaired, u"00:11:22:33:44:AA is not paired"_s);
    Expected refused = openFailed(LinkOpenFailure::PairingRefused, u"refused the pairing PIN"_s);
    refused.pairings = 1;
    QTest::newRow("the wrong PIN") << unpaired << u"0000"_s << false << QString() << refused;
    QTest::newRow("out of range") << gone << u"7392"_s << false << QString()
                                  << openFailed(LinkOpenFailure::NotFound,
                                                u"was found within 0.2 s"_s);
    Expected noService = openFailed(LinkOpenFailure::NotSerial, u"no such service"_s);
    noService.pairedAfterwards = true;
    QTest::newRow("no serial port service")
        << noSerialPort << QString() << false << QString() << noService;
    Expected noRadio = openFailed(LinkOpenFailure::NotFound, u"No radio here."_s);
    noRadio.pairedAfterwards = true;
    QTest::newRow("no radio") << paired << QString() << false << u"No radio here."_s << noRadio;
    QTest::newRow("closed after block 2, the pairing made for it removed")
        << closes << u"7392"_s << false << QString()
        << Expected{TransferResult::ReadFailed, {}, u"closed the connection"_s, {1, 2}, 1, false};
    QTest::newRow("a wrong answer to block 3")
        << wrong << QString() << false << QString()
        << Expected{TransferResult::WrongAcknowledgement, {}, {}, all, 0, true};
}

void TestStackLinks::programs() {
    QFETCH(FakeModule, module);
    QFETCH(QString, pin);
    QFETCH(bool, keepPaired);
    QFETCH(QString, unavailable);
    QFETCH(Expected, expected);

    FakeStack stack;
    stack.modules = {module};
    stack.whyUnavailable = unavailable;
    const StackLinks links(stack);
    BluetoothTarget target;
    target.address = u"00:11:22:33:44:AA"_s;
    target.pin = pin;
    target.keepPaired = keepPaired;
    target.findTimeout = 200ms;
    target.notPairedAdvice = u"Pair it first."_s;

    ConfigRecord record{};
    TransferOutcome outcome;
    {
        const std::unique_ptr<ModuleLink> link = links.link(target);
        outcome = ProgrammingTransfer({300ms}).run(SettingsStore::defaults(), record, *link);
    }
    QCOMPARE(outcome.result, expected.result);
    QCOMPARE(outcome.openFailure, expected.failure);
    QVERIFY2(outcome.reason.contains(expected.reason), qPrintable(outcome.reason));
    if (expected.failure == LinkOpenFailure::NotPaired)
        QCOMPARE(outcome.advice, u"Pair it first."_s);
    QCOMPARE(stack.blocks, expected.blocks);
    QCOMPARE(stack.pairings, expected.pairings);
    // Closed, the link leaves the pairing as it found it, unless it was to stay.
    QCOMPARE(stack.modules.first().device.paired, expected.pairedAfterwards);
    QVERIFY(stack.unpairings <= stack.pairings);
}

void TestStackLinks::searches() {
    FakeStack stack;
    FakeModule second;
    second.device = {0x0011223344BB, u"Tavrenode 0043"_s, false};
    second.known = false;
    FakeModule first;
    first.device.paired = true;
    FakeModule other;
    other.device = {0x001122334401, u"Headset"_s, false};
    other.serialPort = false;
    other.known = false;
    stack.modules = {second, first, other};
    const StackLinks links(stack);

    QString failure;
    const QList<FoundModule> paired = links.pairedModules(&failure);
    QCOMPARE(paired.size(), 1);
    QCOMPARE(paired.first().address, u"00:11:22:33:44:AA"_s);

    // A scan lists them all, in address order, and tells of each as it appears.
    QStringList seen;
    const QList<FoundModule> found =
        links.scan(100ms, nullptr, &failure, [&](const FoundModule &m) { seen << m.address; });
    QStringList addresses;
    for (const FoundModule &module : found)
        addresses << module.address;
    QCOMPARE(addresses,
             (QStringList{u"00:11:22:33:44:01"_s, u"00:11:22:33:44:AA"_s, u"00:11:22:33:44:BB"_s}));
    QCOMPARE(seen.size(), 3);
    QCOMPARE(found.first().serialPort, false);

    // The next module of a line: the name's prefix, the serial port, not one done already.
    const std::optional<FoundModule> next =
        links.nextModule(u"Tavrenode"_s, {u"00:11:22:33:44:aa"_s}, nullptr, &failure);
    QVERIFY(next);
    QCOMPARE(next->address, u"00:11:22:33:44:BB"_s);
    const std::atomic<bool> cancel = true;
    QVERIFY(!links.nextModule(u"Nothing"_s, {}, &cancel, &failure));

    stack.whyUnavailable = u"No radio here."_s;
    QVERIFY(links.scan(100ms, nullptr, &failure, {}).isEmpty());
    QCOMPARE(failure, u"No radio here."_s);
    QCOMPARE(parseBluetoothAddress(u"00:11:22:33:44:aa"_s), std::optional<std::uint64_t>(kAddress));
    QCOMPARE(parseBluetoothAddress(u"00:11:22:33:44"_s), std::nullopt);
}

QTEST_GUILESS_MAIN(TestStackLinks)
#include "tst_stacklinks.moc"
