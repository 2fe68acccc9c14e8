#pragma once

#include "BlockProtocol.h"
#include "ConfigRecord.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace tavrenode {

// How the simulated module answers one block.
enum class Reply {
    Ack,          // 0x55, as a module in configure mode does
    Byte,         // some other byte
    Silence,      // nothing, for this block and every later one
    HangUp,       // close the link without answering, hangUpAt bytes into the block
    AckAndHangUp, // acknowledge, then close the link at whatever the tool does next
};

struct SimScript {
    int atBlock = 0; // 1-based block the reply applies to; every other block is acknowledged
    Reply reply = Reply::Ack;
    std::uint8_t byte = 0; // for Reply::Byte
    // For Reply::HangUp: how much of the block the module takes first. 0 hangs up as the
    // block begins to arrive, the block size once all of it is in.
    std::size_t hangUpAt = kBlockSize;
    // For Reply::Ack and Reply::Byte: how long the answer takes, and a second byte sent
    // straight after it (0 to 255; none when negative).
    std::chrono::milliseconds delay{0};
    int extraByte = -1;
};

// Plays the module on the master side of a pseudo-terminal. Whatever opens the device end
// (devicePath()) talks to it as to a module in configure mode: each 64-byte block is
// answered as the script says, each complete record is handed to onRecord. A run of the
// tool ends when it closes the device; the next run starts again at block 1.
class ModuleSimulator {
public:
    struct Callbacks {
        std::function<void(int block, std::span<const std::uint8_t> bytes)> onBlock;
        std::function<void(const ConfigRecord &record)> onRecord;
        // The tool closed the device after sending something: its run is over.
        std::function<void()> onRunEnd;
    };

    // Opens the pseudo-terminal; throws std::system_error when the system has none to give.
    ModuleSimulator();
    // Plays the module on one end of a connected stream socket instead, as BlueZ's RFCOMM
    // socket is; the run, and serve(), end when the other side closes it.
    explicit ModuleSimulator(int connectedSocket);
    ~ModuleSimulator();
    ModuleSimulator(const ModuleSimulator &) = delete;
    ModuleSimulator &operator=(const ModuleSimulator &) = delete;

    [[nodiscard]] const std::string &devicePath() const { return m_devicePath; }
    void setScript(const SimScript &script) { m_script = script; }

    // Serves until stop is set or the script hangs up. Safe to stop from a signal handler.
    void serve(const std::atomic<bool> &stop, const Callbacks &callbacks);

    // True once the link was hung up: the device end no longer exists.
    [[nodiscard]] bool hungUp() const { return m_master < 0; }

    // Closes the link, as a module does that is switched off: the device end disappears
    // and whoever has it open gets a hang-up. Not while serve() runs on another thread.
    void hangUp();

private:
    // Waits for the scripted delay in short steps; false when stop was set meanwhile.
    static bool pause(std::chrono::milliseconds delay, const std::atomic<bool> &stop);

    int m_master = -1;
    bool m_socket = false;
    std::string m_devicePath;
    SimScript m_script;
};

} // namespace tavrenode
