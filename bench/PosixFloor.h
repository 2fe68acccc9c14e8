#pragma once

#include "BlockProtocol.h"
#include "ConfigRecord.h"

#include <chrono>
#include <fcntl.h>
#include <unistd.h>

// What the benchmarks measure the tool against: the module's protocol in plain POSIX calls
// (open, three times write a block and read its answer, close), and a stopwatch.

inline bool minimalRun(const char *path, const tavrenode::ConfigRecord &record) {
    using namespace tavrenode;
    const int fd = ::open(path, O_RDWR | O_NOCTTY);
    if (fd < 0)
        return false;
    bool ok = true;
    for (std::size_t block = 0; block < kBlockCount && ok; ++block) {
        std::uint8_t answer = 0;
        ok = ::write(fd, record.data() + block * kBlockSize, kBlockSize) == ssize_t(kBlockSize) &&
             ::read(fd, &answer, 1) == 1 && answer == kAcknowledgement;
    }
    ::close(fd);
    return ok;
}

inline double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}
