#include "ModuleSimulator.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <system_error>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tavrenode {

namespace {

// While nobody has the device end open the master reports a hang-up at once; this is how
// long to wait before looking again, so that an idle simulator does not spin.
constexpr int kIdlePollMs = 20;

[[noreturn]] void throwSystemError(const char *what) {
    throw std::system_error(errno, std::generic_category(), what);
}

} // namespace

ModuleSimulator::ModuleSimulator() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0)
        throwSystemError("posix_openpt");
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        const int saved = errno;
        ::close(m_master);
        errno = saved;
        throwSystemError("unlockpt");
    }
    char name[128] = {};
    ::ptsname_r(m_master, name, sizeof name);
    m_devicePath = name;

    // Raw from the start: the blocks are binary, and an echo would come back as answers.
    termios tio{};
    if (::tcgetattr(m_master, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(m_master, TCSANOW, &tio);
    }
}

ModuleSimulator::ModuleSimulator(int connectedSocket)
    : m_master(connectedSocket)
    , m_socket(true) {}

ModuleSimulator::~ModuleSimulator() {
    hangUp();
}

void ModuleSimulator::hangUp() {
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

bool ModuleSimulator::pause(std::chrono::milliseconds delay, const std::atomic<bool> &stop) {
    const auto until = std::chrono::steady_clock::now() + delay;
    while (std::chrono::steady_clock::now() < until) {
        if (stop.load())
            return false;
        std::this_thread::sleep_for(
            std::min(std::chrono::duration_cast<std::chrono::nanoseconds>(
                         until - std::chrono::steady_clock::now()),
                     std::chrono::nanoseconds(std::chrono::milliseconds(5))));
    }
    return true;
}

void ModuleSimulator::serve(const std::atomic<bool> &stop, const Callbacks &callbacks) {
    ConfigRecord record{};
    std::size_t received = 0; // bytes of the current record
    bool silent = false;
    bool running = false;       // something arrived since the device was last closed
    bool hangUpPending = false; // acknowledged, and to hang up at the tool's next step

    const auto endOfRun = [&] {
        received = 0;
        silent = false;
        if (running && callbacks.onRunEnd)
            callbacks.onRunEnd();
        running = false;
    };
    const auto answer = [&](Reply reply, bool scripted) {
        std::uint8_t bytes[2] = {reply == Reply::Byte ? m_script.byte : kAcknowledgement, 0};
        std::size_t count = 1;
        if (scripted && m_script.extraByte >= 0 && m_script.extraByte <= 0xFF)
            bytes[count++] = static_cast<std::uint8_t>(m_script.extraByte);
        [[maybe_unused]] const ssize_t written = ::write(m_master, bytes, count);
    };

    while (!stop.load() && m_master >= 0) {
        pollfd fd{m_master, POLLIN, 0};
        const int ready = ::poll(&fd, 1, kIdlePollMs);
        if (ready < 0 && errno != EINTR)
            break;
        if (ready <= 0)
            continue;

        std::uint8_t buffer[256];
        const ssize_t count =
            (fd.revents & POLLIN) ? ::read(m_master, buffer, sizeof buffer) : ssize_t(-1);
        if (count <= 0) {
            // EIO or POLLHUP: the device end was closed, so that run of the tool is over.
            endOfRun();
            if (hangUpPending || m_socket) {
                hangUp();
                return;
            }
            ::usleep(kIdlePollMs * 1000);
            continue;
        }

        running = true;
        for (ssize_t i = 0; i < count; ++i) {
            const int block = static_cast<int>(received / kBlockSize) + 1;
            const bool scripted = block == m_script.atBlock;
            const Reply reply = scripted ? m_script.reply : Reply::Ack;
            if (hangUpPending ||
                (reply == Reply::HangUp && received % kBlockSize == m_script.hangUpAt)) {
                hangUp();
                return;
            }
            record[received++] = buffer[i];
            if (received % kBlockSize != 0)
                continue;
            if (callbacks.onBlock)
                callbacks.onBlock(block,
                                  std::span(record).subspan(received - kBlockSize, kBlockSize));
            if (reply == Reply::HangUp) {
                hangUp();
                return;
            }
            if (reply == Reply::Silence)
                silent = true;
            // The record is handed on before the last answer goes out: whoever watches the
            // module has it by the time the tool sees that answer.
            const bool complete = received == kRecordSize;
            if (complete && callbacks.onRecord)
                callbacks.onRecord(record);
            if (!silent) {
                if (scripted && !pause(m_script.delay, stop))
                    return;
                answer(reply, scripted);
            }
            hangUpPending = reply == Reply::AckAndHangUp;
            if (complete)
                received = 0;
        }
    }
}

} // namespace tavrenode
