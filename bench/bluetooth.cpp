// What a Bluetooth link costs the tool. First the transfer over a connected stream socket
// (the kind BlueZ hands over) against a minimal POSIX loop doing the same writes and reads,
// each against the simulator on the socket's other end; then, when a system bus is given
// with BlueZ's mock on it (tools/bluez-try runs this), the D-Bus set-up per unit: register
// the profile, connect, take the socket, disconnect, unregister.
//   bench-bluetooth ROUNDS [ADDRESS]
#include "BluezLinks.h"
#include "ModuleSimulator.h"
#include "PosixFloor.h"
#include "ProgrammingTransfer.h"
#include "Report.h"
#include "SerialDevice.h"
#include "SettingsStore.h"

#include <atomic>
#include <cstdlib>
#include <optional>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>

using namespace tavrenode;

namespace {

// One end of a socket pair whose other end the simulator plays, for one run.
class SimulatedSocket {
public:
    SimulatedSocket() {
        int ends[2] = {-1, -1};
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
            std::abort();
        m_ours = ends[0];
        m_module.emplace(ends[1]);
        m_thread = std::thread([this] { m_module->serve(m_stop, {}); });
    }
    ~SimulatedSocket() {
        if (m_ours >= 0)
            ::close(m_ours);
        m_thread.join(); // the simulator ends when our end is closed
    }
    SimulatedSocket(const SimulatedSocket &) = delete;
    SimulatedSocket &operator=(const SimulatedSocket &) = delete;

    int take() { return std::exchange(m_ours, -1); }

private:
    std::atomic<bool> m_stop = false;
    int m_ours = -1;
    std::optional<ModuleSimulator> m_module;
    std::thread m_thread;
};

// The socket as the transfer's link, as BluezLinks makes it once BlueZ has handed it over.
class SocketLink final : public ModuleLink {
public:
    explicit SocketLink(SimulatedSocket &socket)
        : m_socket(socket) {}
    QString name() const override { return QStringLiteral("socket"); }
    QString target() const override { return name(); }
    std::optional<LinkOpenError> open(std::chrono::milliseconds) override {
        m_device.adoptSocket(m_socket.take());
        return std::nullopt;
    }
    QIODevice &stream() override { return m_device; }
    void purge() override { m_device.purge(); }
    bool lost() const override { return m_device.linkLost(); }
    void close() override { m_device.close(); }

private:
    SimulatedSocket &m_socket;
    SerialDevice m_device;
};

} // namespace

int main(int argc, char **argv) {
    const QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 200;
    const QString address = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    const ModuleSettings settings = SettingsStore::defaults();
    const ProgrammingTransfer transfer({kPortTimeout});
    ConfigRecord record{};

    std::vector<double> toolTimes, floorTimes;
    bool failed = false;
    for (int round = 0; round < rounds; ++round) {
        {
            SimulatedSocket socket;
            SocketLink link(socket);
            const auto start = std::chrono::steady_clock::now();
            failed |= !transfer.run(settings, record, link).programmed();
            toolTimes.push_back(millisecondsSince(start));
        }
        SimulatedSocket socket;
        const auto start = std::chrono::steady_clock::now();
        failed |= !minimalBlocks(socket.take(), record);
        floorTimes.push_back(millisecondsSince(start));
    }
    if (failed) {
        std::fprintf(stderr, "bench-bluetooth: a run over the socket failed\n");
        return 1;
    }
    std::printf("# %d runs each over a socket pair, medians\n", rounds);
    const double tool = median(toolTimes);
    reportFigure("bluetooth_socket_run", tool, median(floorTimes), "ms");
    // Against the goal: under 1 ms per unit.
    reportFigure("bluetooth_added_per_unit", tool - median(floorTimes), 1.0, "ms");

    if (address.isEmpty())
        return 0;
    const BluezLinks links(QDBusConnection::systemBus());
    std::vector<double> setUp;
    for (int round = 0; round < rounds && !failed; ++round) {
        BluetoothTarget target;
        target.address = address;
        const std::unique_ptr<ModuleLink> link = links.link(target);
        const auto start = std::chrono::steady_clock::now();
        failed |= link->open(kPortTimeout).has_value();
        link->close();
        setUp.push_back(millisecondsSince(start));
    }
    if (failed) {
        std::fprintf(stderr, "bench-bluetooth: BlueZ's mock did not connect %s\n",
                     qPrintable(address));
        return 1;
    }
    std::printf("# %d connections through the mocked BlueZ, which starts the simulator for "
                "each, medians\n",
                rounds);
    reportFigure("bluetooth_dbus_setup_per_unit", median(setUp), 0.0, "ms");
    return 0;
}
