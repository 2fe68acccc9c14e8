#include "ProgrammingTransfer.h"

#include "RecordEncoder.h"

#include <QIODevice>

namespace tavrenode {

namespace {

TransferResult resultOf(BlockFailure failure) {
    switch (failure) {
    case BlockFailure::None:
        break;
    case BlockFailure::Write:
        return TransferResult::WriteFailed;
    case BlockFailure::Read:
        return TransferResult::ReadFailed;
    case BlockFailure::Acknowledgement:
        return TransferResult::WrongAcknowledgement;
    case BlockFailure::Interrupted:
        return TransferResult::Interrupted;
    }
    return TransferResult::Programmed;
}

} // namespace

TransferOutcome ProgrammingTransfer::run(const ModuleSettings &settings, ConfigRecord &record,
                                         ModuleLink &link) const {
    TransferOutcome outcome;
    outcome.deviceTypeKnown = buildRecord(settings, record);
    outcome.link = link.name();
    outcome.target = link.target();
    outcome.timeout = m_services.timeout;

    if (const std::optional<LinkOpenError> error = link.open(m_services.timeout)) {
        outcome.result = TransferResult::OpenFailed;
        outcome.openFailure = error->failure;
        outcome.reason = error->reason;
        outcome.advice = error->advice;
        return outcome;
    }
    link.purge();
    const BlockTransferResult sent =
        sendBlocks(link.stream(), record, m_services.timeout, m_services.hooks);
    outcome.linkLost = link.lost();
    link.close();

    outcome.result = resultOf(sent.failure);
    outcome.block = sent.failure == BlockFailure::None ? int(kBlockCount) : sent.block;
    outcome.timedOut = sent.timedOut;
    outcome.reason = sent.reason;
    if (sent.failure == BlockFailure::None)
        outcome.answer = kAcknowledgement;
    else if (sent.failure == BlockFailure::Acknowledgement)
        outcome.answer = sent.acknowledgement;
    return outcome;
}

} // namespace tavrenode
