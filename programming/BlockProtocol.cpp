#include "BlockProtocol.h"

#include <algorithm>

#include <QDeadlineTimer>
#include <QIODevice>
#include <QThread>

namespace tavrenode {

namespace {

// Waits are cut into slices this long so that a cancelled transfer ends soon.
constexpr int kWaitSliceMs = 100;

// Rounded up, so that a wait that times out leaves the deadline expired.
int remainingMs(const QDeadlineTimer &deadline) {
    return static_cast<int>((deadline.remainingTimeNSecs() + 999'999) / 1'000'000);
}

bool cancelled(const BlockHooks &hooks) {
    return hooks.cancel && hooks.cancel->load();
}

// The next slice of a wait: all that is left when nobody can cancel.
QDeadlineTimer nextSlice(const QDeadlineTimer &deadline, const BlockHooks &hooks) {
    const int remaining = remainingMs(deadline);
    return QDeadlineTimer(hooks.cancel ? std::min(remaining, kWaitSliceMs) : remaining);
}

// A wait that came back empty-handed is over when the time is up, or when it came back
// before its slice ran out: then the device failed (hung up, went away) and said why.
bool endsTheWait(const QDeadlineTimer &deadline, const QDeadlineTimer &slice) {
    return deadline.hasExpired() || !slice.hasExpired();
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

// A stop comes as a flag, and on Windows the flag is set on a thread of its own: Wine lets the
// same Ctrl-C break the wait it lands in before that thread has run. A link that fails
// without a time-out while somebody can stop the run is given a moment to tell which it was.
constexpr int kStopGraceMs = 200;

BlockFailure failureOrStop(BlockFailure failure, bool timedOut, const BlockHooks &hooks) {
    if (!hooks.cancel || timedOut)
        return failure;
    const QDeadlineTimer grace(kStopGraceMs);
    while (!cancelled(hooks) && !grace.hasExpired())
        QThread::msleep(5);
    return cancelled(hooks) ? BlockFailure::Interrupted : failure;
}

BlockFailure writeBlock(QIODevice &device, std::span<const std::uint8_t> block,
                        std::chrono::milliseconds timeout, const BlockHooks &hooks,
                        bool &timedOut) {
    const auto size = static_cast<qint64>(block.size());
    if (device.write(reinterpret_cast<const char *>(block.data()), size) != size)
        return BlockFailure::Write;
    const QDeadlineTimer deadline(timeout);
    while (device.bytesToWrite() > 0) {
        if (cancelled(hooks))
            return BlockFailure::Interrupted;
        const QDeadlineTimer slice = nextSlice(deadline, hooks);
        if (!device.waitForBytesWritten(remainingMs(slice)) && device.bytesToWrite() > 0 &&
            endsTheWait(deadline, slice)) {
            timedOut = deadline.hasExpired();
            return BlockFailure::Write;
        }
    }
    return BlockFailure::None;
}

} // namespace

BlockTransferResult sendBlocks(QIODevice &device, std::span<const std::uint8_t, kRecordSize> record,
                               std::chrono::milliseconds timeout, const BlockHooks &hooks) {
    if (hooks.starting && !hooks.starting())
        return failed(BlockFailure::Interrupted, 1, device);
    for (std::size_t index = 0; index < kBlockCount; ++index) {
        const int block = static_cast<int>(index) + 1;
        if (cancelled(hooks))
            return failed(BlockFailure::Interrupted, block, device);
        bool timedOut = false;
        const BlockFailure written = writeBlock(
            device, record.subspan(index * kBlockSize, kBlockSize), timeout, hooks, timedOut);
        if (written != BlockFailure::None)
            return failed(failureOrStop(written, timedOut, hooks), block, device, timedOut);

        const QDeadlineTimer deadline(timeout);
        while (device.bytesAvailable() < 1) {
            if (cancelled(hooks))
                return failed(BlockFailure::Interrupted, block, device);
            const QDeadlineTimer slice = nextSlice(deadline, hooks);
            if (!device.waitForReadyRead(remainingMs(slice)) && device.bytesAvailable() < 1 &&
                endsTheWait(deadline, slice)) {
                const bool expired = deadline.hasExpired();
                return failed(failureOrStop(BlockFailure::Read, expired, hooks), block, device,
                              expired);
            }
        }
        char answer = 0;
        if (device.read(&answer, 1) != 1)
            return failed(failureOrStop(BlockFailure::Read, false, hooks), block, device);
        if (hooks.answered)
            hooks.answered(block, static_cast<std::uint8_t>(answer));
        if (static_cast<std::uint8_t>(answer) != kAcknowledgement) {
            BlockTransferResult result = failed(BlockFailure::Acknowledgement, block, device);
            result.acknowledgement = static_cast<std::uint8_t>(answer);
            return result;
        }
    }
    return {};
}

} // namespace tavrenode
