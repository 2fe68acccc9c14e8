// tavrenode-prog against its floors: its start (record --defaults, to exit) against a bare
// QtCore program that prints 192 bytes in hex; and a batch of units against the simulator
// against a POSIX loop doing the same opens, writes and reads on the same pseudo-terminal.
//   bench-cli ROUNDS UNITS PROG BARE
#include "ModuleSimulator.h"
#include "PosixFloor.h"
#include "RecordEncoder.h"
#include "RecordingMessages.h"
#include "Report.h"
#include "SettingsStore.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

using namespace tavrenode;

namespace {

// Runs a command to its end with its output thrown away; the time it took, or a negative
// time when it failed.
double timed(const std::vector<std::string> &command) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char *> argv;
    for (const std::string &word : command)
        argv.push_back(const_cast<char *>(word.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    int status = 1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0 ||
        ::waitpid(pid, &status, 0) != pid)
        status = 1;
    posix_spawn_file_actions_destroy(&actions);
    const double elapsed = millisecondsSince(start);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? elapsed : -1;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: bench-cli ROUNDS UNITS PROG BARE\n");
        return 2;
    }
    const int rounds = std::atoi(argv[1]);
    const int units = std::atoi(argv[2]);
    const std::string prog = argv[3];
    const std::string bare = argv[4];

    std::vector<double> progTimes, bareTimes;
    for (int round = 0; round < rounds; ++round) {
        progTimes.push_back(timed({prog, "record", "--defaults"}));
        bareTimes.push_back(timed({bare}));
    }
    if (*std::min_element(progTimes.begin(), progTimes.end()) < 0 ||
        *std::min_element(bareTimes.begin(), bareTimes.end()) < 0) {
        std::fprintf(stderr, "bench-cli: a start failed\n");
        return 1;
    }
    std::printf("# %d starts each, medians\n", rounds);
    reportFigure("cli_startup", median(progTimes), median(bareTimes), "ms");

    ModuleSimulator simulator;
    const std::string path = simulator.devicePath();
    // Holding the device end open keeps the simulator answering at once between units.
    const int keeper = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    std::atomic<bool> stop = false;
    std::thread module([&] { simulator.serve(stop, {}); });

    RecordingMessages messages;
    ConfigRecord record{};
    build(SettingsStore::defaults(), record, messages);
    const double batch = timed(
        {prog, "program", "--defaults", "--device", path, "--count", std::to_string(units), "-q"});
    auto start = std::chrono::steady_clock::now();
    bool floorOk = true;
    for (int unit = 0; unit < units && floorOk; ++unit)
        floorOk = minimalRun(path.c_str(), record);
    const double floor = millisecondsSince(start);
    stop = true;
    module.join();
    ::close(keeper);
    if (batch < 0 || !floorOk) {
        std::fprintf(stderr, "bench-cli: the batch failed\n");
        return 1;
    }
    std::printf("# a batch of %d units, its start included\n", units);
    reportFigure("batch_per_unit", batch / units, floor / units, "ms");
    // Against the goal: under 1 ms added per unit.
    reportFigure("batch_added_per_unit", (batch - floor) / units, 1.0, "ms");
    return 0;
}
