#pragma once

#include "ConfigRecord.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <span>

#include <QString>

class QIODevice;

namespace tavrenode {

using namespace std::chrono_literals;

inline constexpr std::size_t kBlockSize = 64;
inline constexpr std::size_t kBlockCount = kRecordSize / kBlockSize;
inline constexpr std::uint8_t kAcknowledgement = 0x55; // 'U'
// How long one write, and one wait for an acknowledgement, may take.
inline constexpr std::chrono::milliseconds kPortTimeout = 3s;

enum class BlockFailure { None, Write, Read, Acknowledgement, Interrupted };

struct BlockTransferResult {
    BlockFailure failure = BlockFailure::None;
    int block = 0;                    // 1-based block the failure happened at
    bool timedOut = false;            // the time-out ran out rather than the device failing
    std::uint8_t acknowledgement = 0; // the byte read in place of 0x55
    QString reason;                   // the device's error text, when it gave one
};

// What a caller may follow and stop while blocks go out: every answer as it comes, a flag
// (set from anywhere, a signal handler included) that ends the transfer within about a
// tenth of a second, and the moment before the first byte (false sends nothing).
struct BlockHooks {
    std::function<void(int block, std::uint8_t answer)> answered;
    const std::atomic<bool> *cancel = nullptr;
    std::function<bool()> starting;
};

// The module's protocol: each 64-byte block is written whole and answered by exactly one
// byte, read straight after the write; anything but 0x55 ends the transfer. Works on any
// open QIODevice that supports the blocking waits.
[[nodiscard]] BlockTransferResult sendBlocks(QIODevice &device,
                                             std::span<const std::uint8_t, kRecordSize> record,
                                             std::chrono::milliseconds timeout = kPortTimeout,
                                             const BlockHooks &hooks = {});

} // namespace tavrenode
