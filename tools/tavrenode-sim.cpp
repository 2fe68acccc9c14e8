// tavrenode-sim: a Tavrenode module in configure mode, on a pseudo-terminal.
//
// It prints the path of the device end; with --link N it also makes /dev/rfcommN point at
// it, so that the configuration tool reaches it as port N. Each record the tool sends is
// printed field by field, then as a hex dump. With --line it plays a production line: after
// each run the module drops its link and, after a pause, the next module appears at the
// same port, each with faults of its own (--fault).

#include "ModuleSimulator.h"
#include "RecordDescription.h"
#include "TavrenodeVersion.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unistd.h>

using namespace tavrenode;

namespace {

std::atomic<bool> g_stop = false;
std::atomic<bool> g_moduleDone = false; // the current module's link is to be dropped

extern "C" void requestStop(int) {
    g_stop = true;
    g_moduleDone = true;
}

void usage(std::FILE *to) {
    std::fputs(
        "usage: tavrenode-sim [--link N | --link-path PATH] [--block K --reply "
        "ack|late|none|hangup|ack-hangup|0xHH] [--records R]\n"
        "                     [--hangup-at BYTES] [--delay MS] [--then 0xHH]\n"
        "                     [--line [--pause MS] [--fault UNIT:BLOCK:REPLY]...]\n"
        "                     [--socket FD]\n"
        "\n"
        "  --link N     make /dev/rfcommN a link to the simulator (needs root), removed on exit\n"
        "  --link-path PATH  the same link anywhere else\n"
        "  --block K    the block (1 to 3) that --reply applies to; the others get 0x55\n"
        "  --reply R    ack: 0x55; late: 0x55 after 2 s; none: no answer, now or later;\n"
        "               hangup: close the link; ack-hangup: 0x55, then close the link\n"
        "               at whatever the tool does next; 0xHH: that byte\n"
        "  --hangup-at BYTES  how much of the block (0 to 64, default 64) a hangup takes first\n"
        "  --delay MS   how long an ack or 0xHH answer takes\n"
        "  --then 0xHH  a second byte straight after that answer\n"
        "  --records R  end after R complete records (default: run until interrupted)\n"
        "  --line       a line of modules: after each run the link drops and the next module\n"
        "               comes back at the same port (and device path, with --link)\n"
        "  --pause MS   how long the line takes to bring the next module (default 300)\n"
        "  --fault U:K:R  module U (from 1) answers block K with R, as --reply does\n"
        "  --socket FD  serve one run on the connected stream socket FD (as BlueZ hands an\n"
        "               RFCOMM channel over) instead of a pseudo-terminal\n",
        to);
}

std::optional<long> number(const char *text, int base = 10) {
    char *end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, base);
    if (errno != 0 || end == text || *end != '\0')
        return std::nullopt;
    return value;
}

// A link of ours in /dev, removed again when the simulator ends.
class DeviceLink {
public:
    DeviceLink() = default;
    DeviceLink(const DeviceLink &) = delete;
    DeviceLink &operator=(const DeviceLink &) = delete;
    ~DeviceLink() { remove(); }

    void remove() {
        std::error_code ignored;
        if (!m_path.empty() && std::filesystem::read_symlink(m_path, ignored) == m_target)
            std::filesystem::remove(m_path, ignored);
        m_path.clear();
    }

    bool create(const std::string &path, const std::string &target) {
        std::error_code error;
        if (std::filesystem::symlink_status(path, error).type() !=
            std::filesystem::file_type::not_found) {
            std::fprintf(stderr, "tavrenode-sim: %s exists already; not replacing it\n",
                         path.c_str());
            return false;
        }
        std::filesystem::create_symlink(target, path, error);
        if (error) {
            std::fprintf(stderr, "tavrenode-sim: cannot create %s: %s\n", path.c_str(),
                         error.message().c_str());
            return false;
        }
        m_path = path;
        m_target = target;
        return true;
    }

private:
    std::string m_path;
    std::filesystem::path m_target;
};

// How long a late answer takes: well inside the tool's 3 s, long enough to watch.
constexpr auto kLateAnswer = std::chrono::milliseconds(2000);

// A reply as --reply and --fault write it.
bool parseReply(std::string_view text, SimScript &script) {
    if (text == "ack") {
        script.reply = Reply::Ack;
    } else if (text == "late") {
        script.reply = Reply::Ack;
        script.delay = kLateAnswer;
    } else if (text == "none") {
        script.reply = Reply::Silence;
    } else if (text == "hangup") {
        script.reply = Reply::HangUp;
    } else if (text == "ack-hangup") {
        script.reply = Reply::AckAndHangUp;
    } else if (const std::optional<long> byte = number(std::string(text).c_str(), 16);
               byte && *byte >= 0 && *byte <= 0xFF) {
        script.reply = Reply::Byte;
        script.byte = static_cast<std::uint8_t>(*byte);
    } else {
        return false;
    }
    return true;
}

// UNIT:BLOCK:REPLY
bool parseFault(std::string_view text, std::map<long, SimScript> &faults) {
    const std::size_t first = text.find(':');
    const std::size_t second = text.find(':', first + 1);
    if (first == std::string_view::npos || second == std::string_view::npos)
        return false;
    const std::optional<long> unit = number(std::string(text.substr(0, first)).c_str());
    const std::optional<long> block =
        number(std::string(text.substr(first + 1, second - first - 1)).c_str());
    SimScript script;
    if (!unit || *unit < 1 || !block || *block < 1 || *block > 3 ||
        !parseReply(text.substr(second + 1), script))
        return false;
    script.atBlock = int(*block);
    faults[*unit] = script;
    return true;
}

} // namespace

int main(int argc, char **argv) {
    std::optional<long> link;
    std::optional<long> socket;
    std::string linkPath;
    long records = 0;
    bool line = false;
    long pauseMs = 300;
    SimScript script;
    std::map<long, SimScript> faults;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("tavrenode-sim %.*s\n", int(tavrenode::version::kFull.size()),
                        tavrenode::version::kFull.data());
            return 0;
        }
        if (arg == "--line") {
            line = true;
            continue;
        }
        // Every other option takes one value.
        const char *value = i + 1 < argc ? argv[++i] : nullptr;
        std::optional<long> parsed;
        if (value && arg == "--link" && (parsed = number(value)) && *parsed >= 0) {
            link = parsed;
            linkPath = "/dev/rfcomm" + std::to_string(*parsed);
        } else if (value && arg == "--socket" && (parsed = number(value)) && *parsed >= 0) {
            socket = parsed;
        } else if (value && arg == "--link-path" && *value) {
            linkPath = value;
        } else if (value && arg == "--block" && (parsed = number(value)) && *parsed >= 1 &&
                   *parsed <= 3) {
            script.atBlock = int(*parsed);
        } else if (value && arg == "--records" && (parsed = number(value)) && *parsed > 0) {
            records = *parsed;
        } else if (value && arg == "--pause" && (parsed = number(value)) && *parsed >= 0) {
            pauseMs = *parsed;
        } else if (value && arg == "--hangup-at" && (parsed = number(value)) && *parsed >= 0 &&
                   *parsed <= long(kBlockSize)) {
            script.hangUpAt = std::size_t(*parsed);
        } else if (value && arg == "--delay" && (parsed = number(value)) && *parsed >= 0) {
            script.delay = std::chrono::milliseconds(*parsed);
        } else if (value && arg == "--then" && (parsed = number(value, 16)) && *parsed >= 0 &&
                   *parsed <= 0xFF) {
            script.extraByte = int(*parsed);
        } else {
            // The two that parse what they are given themselves.
            const bool parsedHere = value && ((arg == "--reply" && parseReply(value, script)) ||
                                              (arg == "--fault" && parseFault(value, faults)));
            if (!parsedHere) {
                usage(stderr);
                return 2;
            }
        }
    }
    if (script.reply != Reply::Ack && script.atBlock == 0)
        script.atBlock = 1;

    struct sigaction action {};
    action.sa_handler = requestStop;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);

    ModuleSimulator::Callbacks callbacks;
    long received = 0;
    callbacks.onBlock = [](int block, std::span<const std::uint8_t>) {
        std::printf("block %d received\n", block);
        std::fflush(stdout);
    };
    callbacks.onRecord = [&](const ConfigRecord &record) {
        std::printf("record %ld\n%s\n", ++received, describeRecord(record).c_str());
        std::fflush(stdout);
    };
    if (socket) {
        ModuleSimulator simulator{static_cast<int>(*socket)};
        simulator.setScript(script);
        simulator.serve(g_stop, callbacks);
        return 0;
    }

    try {
        for (long module = 1; !g_stop; ++module) {
            ModuleSimulator simulator;
            const auto fault = faults.find(module);
            simulator.setScript(fault != faults.end() ? fault->second : script);
            DeviceLink deviceLink;
            if (line)
                std::printf("module %ld\n", module);
            std::printf("device %s\n", simulator.devicePath().c_str());
            if (!linkPath.empty()) {
                if (!deviceLink.create(linkPath, simulator.devicePath()))
                    return 1;
                if (link)
                    std::printf("port %ld (%s)\n", *link, linkPath.c_str());
                else
                    std::printf("link %s\n", linkPath.c_str());
            }
            std::fflush(stdout);

            // Ending straight after the last acknowledgement would hang up under the tool's
            // feet before it has read it; wait until it has closed the port. On a line, each
            // run is the module's only one.
            callbacks.onRunEnd = [&] {
                std::printf("run ended\n");
                std::fflush(stdout);
                if ((records > 0 && received >= records) || line)
                    g_moduleDone = true;
                if (records > 0 && received >= records)
                    g_stop = true;
            };
            g_moduleDone = g_stop.load();
            simulator.serve(g_moduleDone, callbacks);
            if (simulator.hungUp())
                std::printf("hung up\n");
            if (!line)
                break;
            simulator.hangUp();
            std::printf("link dropped\n");
            std::fflush(stdout);
            // The link goes before the pause, as a module's does when it is switched off.
            deviceLink.remove();
            std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
        }
    } catch (const std::exception &error) {
        std::fprintf(stderr, "tavrenode-sim: %s\n", error.what());
        return 1;
    }
    return 0;
}
