#pragma once

#include "ConfigRecord.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace tavrenode {

// How the simulated module answers one block.
enum class Reply {
    Ack,     // 0x55, as a module in configure mode does
    Byte,    // some other byte
    Silence, // nothing, for this block and every later one
    HangUp,  // close the link without answering
};

struct SimScript {
    int atBlock = 0; // 1-based block the reply applies to; every other block is acknowledged
    Reply reply = Reply::Ack;
    std::uint8_t byte = 0; // for Reply::Byte
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
    ~ModuleSimulator();
    ModuleSimulator(const ModuleSimulator &) = delete;
    ModuleSimulator &operator=(const ModuleSimulator &) = delete;

    [[nodiscard]] const std::string &devicePath() const { return m_devicePath; }
    void setScript(const SimScript &script) { m_script = script; }

    // Serves until stop is set or the script hangs up. Safe to stop from a signal handler.
    void serve(const std::atomic<bool> &stop, const Callbacks &callbacks);

    // True once the link was hung up: the device end no longer exists.
    [[nodiscard]] bool hungUp() const { return m_master < 0; }

private:
    void hangUp();

    int m_master = -1;
    std::string m_devicePath;
    SimScript m_script;
};

} // namespace tavrenode
