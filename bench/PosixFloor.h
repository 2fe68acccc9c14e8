#pragma once

#include "BlockProtocol.h"
#include "ConfigRecord.h"

#include <chrono>
#include <fcntl.h>
#include <unistd.h>

// What the benchmarks measure the tool against: the module's protocol in plain POSIX calls
// (open, three times write a block and read its answer, close), and a stopwatch.

// The three blocks and their answers on an open descriptor, which it closes.
inline bool minimalBlocks(int fd, const tavrenode::ConfigRecord &record) {
    using namespace tavrenode;
    bool ok = true;
    for (std::size_t block = 0; block < kBlockCount && ok; ++block) {
        std::uint8_t answer = 0;
        ok = ::write(fd, record.data() + block * kBlockSize, kBlockSize) == ssize_t(kBlockSize) &&
             ::read(fd, &answer, 1) == 1 && answer == kAcknowledgement;
    }
    ::close(fd);
    return ok;
}

inline bool minimalRun(const char *path, const tavrenode::ConfigRecord &record) {
    const int fd = ::open(path, O_RDWR | O_NOCTTY);
    return fd >= 0 && minimalBlocks(fd, record);
}

inline double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}
