// tavrenode-sim: a Tavrenode module in configure mode, on a pseudo-terminal.
//
// It prints the path of the device end; with --link N it also makes /dev/rfcommN point at
// it, so that the configuration tool reaches it as port N. Each record the tool sends is
// printed field by field, then as a hex dump.

#include "ModuleSimulator.h"
#include "RecordDescription.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>

using namespace tavrenode;

namespace {

std::atomic<bool> g_stop = false;

extern "C" void requestStop(int) {
    g_stop = true;
}

void usage(std::FILE *to) {
    std::fputs(
        "usage: tavrenode-sim [--link N] [--block K --reply ack|none|hangup|0xHH] [--records R]\n"
        "\n"
        "  --link N     make /dev/rfcommN a link to the simulator (needs root), removed on exit\n"
        "  --block K    the block (1 to 3) that --reply applies to; the others get 0x55\n"
        "  --reply R    ack: 0x55; none: no answer, now or later; hangup: close the link;\n"
        "               0xHH: that byte\n"
        "  --records R  end after R complete records (default: run until interrupted)\n",
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
    ~DeviceLink() {
        std::error_code ignored;
        if (!m_path.empty() && std::filesystem::read_symlink(m_path, ignored) == m_target)
            std::filesystem::remove(m_path, ignored);
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

} // namespace

int main(int argc, char **argv) {
    std::optional<long> link;
    long records = 0;
    SimScript script;
    // Every option but --help takes one value.
    for (int i = 1; i < argc; i += 2) {
        const std::string_view arg = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        }
        std::optional<long> parsed;
        if (value && arg == "--link" && (parsed = number(value)) && *parsed >= 0) {
            link = parsed;
        } else if (value && arg == "--block" && (parsed = number(value)) && *parsed >= 1 &&
                   *parsed <= 3) {
            script.atBlock = int(*parsed);
        } else if (value && arg == "--records" && (parsed = number(value)) && *parsed > 0) {
            records = *parsed;
        } else if (value && arg == "--reply") {
            const std::string_view reply = value;
            if (reply == "ack") {
                script.reply = Reply::Ack;
            } else if (reply == "none") {
                script.reply = Reply::Silence;
            } else if (reply == "hangup") {
                script.reply = Reply::HangUp;
            } else if ((parsed = number(value, 16)) && *parsed >= 0 && *parsed <= 0xFF) {
                script.reply = Reply::Byte;
                script.byte = static_cast<std::uint8_t>(*parsed);
            } else {
                usage(stderr);
                return 2;
            }
        } else {
            usage(stderr);
            return 2;
        }
    }
    if (script.reply != Reply::Ack && script.atBlock == 0)
        script.atBlock = 1;

    struct sigaction action {};
    action.sa_handler = requestStop;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);

    try {
        ModuleSimulator simulator;
        simulator.setScript(script);
        DeviceLink deviceLink;
        std::printf("device %s\n", simulator.devicePath().c_str());
        if (link) {
            const std::string path = "/dev/rfcomm" + std::to_string(*link);
            if (!deviceLink.create(path, simulator.devicePath()))
                return 1;
            std::printf("port %ld (%s)\n", *link, path.c_str());
        }
        std::fflush(stdout);

        long received = 0;
        ModuleSimulator::Callbacks callbacks;
        callbacks.onBlock = [](int block, std::span<const std::uint8_t>) {
            std::printf("block %d received\n", block);
            std::fflush(stdout);
        };
        callbacks.onRecord = [&](const ConfigRecord &record) {
            std::printf("record %ld\n%s\n", ++received, describeRecord(record).c_str());
            std::fflush(stdout);
        };
        // Ending straight after the last acknowledgement would hang up under the tool's
        // feet before it has read it; wait until it has closed the port.
        callbacks.onRunEnd = [&] {
            if (records > 0 && received >= records)
                g_stop = true;
        };
        simulator.serve(g_stop, callbacks);
        if (simulator.hungUp())
            std::printf("hung up\n");
    } catch (const std::exception &error) {
        std::fprintf(stderr, "tavrenode-sim: %s\n", error.what());
        return 1;
    }
    return 0;
}
