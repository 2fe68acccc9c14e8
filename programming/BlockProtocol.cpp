#include "BlockProtocol.h"

#include <QDeadlineTimer>
#include <QIODevice>

namespace tavrenode {

namespace {

// Rounded up, so that a wait that times out leaves the deadline expired.
int remainingMs(const QDeadlineTimer &deadline) {
    return static_cast<int>((deadline.remainingTimeNSecs() + 999'999) / 1'000'000);
}

BlockTransferResult failed(BlockFailure failure, int block, const QIODevice &device,
                           bool timedOut = false) {
    BlockTransferResult result;
    result.failure = failure;
    result.block = block;
    result.timedOut = timedOut;
    result.reason = device.errorString();
    return result;
}

bool writeBlock(QIODevice &device, std::span<const std::uint8_t> block,
                std::chrono::milliseconds timeout, bool &timedOut) {
    const auto size = static_cast<qint64>(block.size());
    if (device.write(reinterpret_cast<const char *>(block.data()), size) != size)
        return false;
    const QDeadlineTimer deadline(timeout);
    while (device.bytesToWrite() > 0) {
        if (!device.waitForBytesWritten(remainingMs(deadline)) && device.bytesToWrite() > 0) {
            timedOut = deadline.hasExpired();
            return false;
        }
    }
    return true;
}

} // namespace

BlockTransferResult sendBlocks(QIODevice &device, std::span<const std::uint8_t, kRecordSize> record,
                               std::chrono::milliseconds timeout) {
    for (std::size_t index = 0; index < kBlockCount; ++index) {
        const int block = static_cast<int>(index) + 1;
        bool timedOut = false;
        if (!writeBlock(device, record.subspan(index * kBlockSize, kBlockSize), timeout, timedOut))
            return failed(BlockFailure::Write, block, device, timedOut);

        const QDeadlineTimer deadline(timeout);
        while (device.bytesAvailable() < 1) {
            if (deadline.hasExpired() || !device.waitForReadyRead(remainingMs(deadline)))
                return failed(BlockFailure::Read, block, device, deadline.hasExpired());
        }
        char answer = 0;
        if (device.read(&answer, 1) != 1)
            return failed(BlockFailure::Read, block, device);
        if (static_cast<std::uint8_t>(answer) != kAcknowledgement) {
            BlockTransferResult result = failed(BlockFailure::Acknowledgement, block, device);
            result.acknowledgement = static_cast<std::uint8_t>(answer);
            return result;
        }
    }
    return {};
}

} // namespace tavrenode
