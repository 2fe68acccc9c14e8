// What the tool's programming run adds to the module's own answers: a full run of the
// transfer (build, open, purge, three blocks, close) against the simulator, and a minimal
// POSIX program doing the same writes and reads on the same pseudo-terminal, in turns.
//   bench-transfer ROUNDS
#include "ModuleSimulator.h"
#include "PosixFloor.h"
#include "ProgrammingTransfer.h"
#include "RecordingMessages.h"
#include "Report.h"
#include "SettingsStore.h"
#include "SimulatedModule.h"
#include "TransferRun.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

#include <QCoreApplication>

using namespace tavrenode;

int main(int argc, char **argv) {
    const QCoreApplication app(argc, argv); // the serial port's notifiers need one
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 200;
    ModuleSimulator simulator;
    const std::string path = simulator.devicePath();
    // Holding the device end open keeps the simulator answering at once: with nobody on
    // the line it would look again for a new run only every few milliseconds.
    const int keeper = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    std::atomic<bool> stop = false;
    std::thread module([&] { simulator.serve(stop, {}); });

    const FixedNaming naming(QString::fromStdString(path));
    RecordingMessages messages;
    const SerialLinks links(naming);
    const TransferRun transfer(links, messages, kPortTimeout);
    const ModuleSettings settings = SettingsStore::defaults();
    ConfigRecord record{};
    transfer.run(settings, record); // the record the floor sends, and a warm-up

    std::vector<double> toolTimes, floorTimes;
    bool floorFailed = false;
    for (int round = 0; round < rounds; ++round) {
        auto start = std::chrono::steady_clock::now();
        transfer.run(settings, record);
        toolTimes.push_back(millisecondsSince(start));
        start = std::chrono::steady_clock::now();
        floorFailed |= !minimalRun(path.c_str(), record);
        floorTimes.push_back(millisecondsSince(start));
    }
    stop = true;
    module.join();
    ::close(keeper);
    if (!messages.messages.isEmpty() || floorFailed) {
        std::fprintf(stderr, "bench-transfer: a run failed (%lld messages)\n",
                     static_cast<long long>(messages.messages.size()));
        return 1;
    }

    const double tool = median(toolTimes);
    const double floor = median(floorTimes);
    std::printf("# %d runs each, medians\n", rounds);
    reportFigure("transfer_full_run", tool, floor, "ms");
    // Against the goal: under 1 ms per block.
    reportFigure("transfer_added_per_block", (tool - floor) / double(kBlockCount), 1.0, "ms");
    return 0;
}
