// Start-up and peak memory of the tool against two bare dialogs of the same size: one with
// the same child widgets (as many of each class), one with as many labels as the tool's
// window holds widgets. All started by this program in turns, in whatever X server DISPLAY
// names.
//   bench-startup ROUNDS TOOL BARE_DIALOG
#include "Report.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

struct Start {
    double milliseconds = 0; // from just before the spawn to the end of the first paint
    double residentMiB = 0;  // peak resident set
    std::string size;        // the window's, WIDTHxHEIGHT
    long widgets = 0;        // inside the window
    std::string children;    // the window's own, by class
};

[[noreturn]] void fail(const std::string &what) {
    std::fprintf(stderr, "bench-startup: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

Start start(const std::vector<std::string> &command) {
    int out[2];
    if (::pipe(out) != 0)
        fail("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);

    std::vector<char *> argv;
    for (const std::string &word : command)
        argv.push_back(const_cast<char *>(word.c_str()));
    argv.push_back(nullptr);

    const auto before = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        fail("spawn " + command[0]);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);

    std::string output;
    char buffer[256];
    for (ssize_t count; (count = ::read(out[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, std::size_t(count));
    ::close(out[0]);
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid)
        fail("wait");

    Start result;
    long long paintedAt = 0;
    char size[32] = {};
    char children[1024] = {};
    const std::size_t line = output.find("first-paint ");
    if (line == std::string::npos ||
        std::sscanf(output.c_str() + line, "first-paint %lld %31s %ld %1023s", &paintedAt, size,
                    &result.widgets, children) != 4) {
        std::fprintf(stderr, "bench-startup: %s did not report its first paint\n",
                     command[0].c_str());
        std::exit(1);
    }
    const long long startedAt =
        std::chrono::duration_cast<std::chrono::nanoseconds>(before.time_since_epoch()).count();
    result.milliseconds = double(paintedAt - startedAt) / 1e6;
    result.residentMiB = double(usage.ru_maxrss) / 1024.0;
    result.size = size;
    result.children = children;
    return result;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench-startup ROUNDS TOOL BARE_DIALOG\n");
        return 2;
    }
    const int rounds = std::atoi(argv[1]);

    // A first start warms the caches they share and tells the window's size and contents.
    const Start first = start({argv[2]});
    const std::string::size_type x = first.size.find('x');
    const std::string width = first.size.substr(0, x);
    const std::string height = first.size.substr(x + 1);
    const std::vector<std::string> sameWidgets{argv[3], width, height, first.children};
    const std::vector<std::string> labels{argv[3], width, height, std::to_string(first.widgets)};
    start(sameWidgets);
    start(labels);

    struct Figures {
        std::vector<double> times, memory;
        void add(const Start &run) {
            times.push_back(run.milliseconds);
            memory.push_back(run.residentMiB);
        }
    } tool, same, bare;
    for (int round = 0; round < rounds; ++round) {
        // Taking turns, so that whatever else the machine does falls on all alike.
        tool.add(start({argv[2]}));
        same.add(start(sameWidgets));
        bare.add(start(labels));
    }
    std::printf("# %d starts each, medians; window %s, %ld widgets, children %s\n", rounds,
                first.size.c_str(), first.widgets, first.children.c_str());
    reportFigure("startup_to_first_paint", median(tool.times), median(same.times), "ms");
    reportFigure("peak_resident_memory", median(tool.memory), median(same.memory), "MiB");
    reportFigure("startup_vs_labels_only", median(tool.times), median(bare.times), "ms");
    reportFigure("memory_vs_labels_only", median(tool.memory), median(bare.memory), "MiB");
    return 0;
}
