#include "TransferMessages.h"

#include "RecordEncoder.h"

using namespace Qt::StringLiterals;

namespace tavrenode {

namespace {

QString transferFailureDetail(const TransferOutcome &outcome) {
    const QString where = u"Block %1 of %2."_s.arg(outcome.block).arg(kBlockCount);
    if (outcome.result == TransferResult::WrongAcknowledgement)
        return u"The module answered block %1 with 0x%2 instead of 0x55."_s.arg(outcome.block)
            .arg(outcome.answer.value_or(0), 2, 16, QLatin1Char('0'));
    if (outcome.timedOut)
        return u"No answer within %1 seconds. "_s.arg(
                   std::chrono::duration<double>(outcome.timeout).count()) +
               where;
    // A hang-up reads as end of file, and the system's text is then whatever the last
    // failing call left behind; say what happened instead.
    const QString reason =
        outcome.linkLost && outcome.result == TransferResult::ReadFailed
            ? u"The link to the module was lost: the device hung up or was removed."_s
            : outcome.reason;
    return reason + u"\n\n"_s + where;
}

} // namespace

UserMessage failureMessage(const TransferOutcome &outcome) {
    QString text;
    QString detail;
    switch (outcome.result) {
    case TransferResult::OpenFailed:
        text = u"Failed to open %1:"_s.arg(outcome.link);
        detail =
            outcome.advice.isEmpty() ? outcome.reason : outcome.reason + u"\n\n"_s + outcome.advice;
        break;
    case TransferResult::WriteFailed:
        text = u"Failed to write to %1:"_s.arg(outcome.link);
        detail = transferFailureDetail(outcome);
        break;
    case TransferResult::ReadFailed:
        text = u"Failed to read from %1:"_s.arg(outcome.link);
        detail = transferFailureDetail(outcome);
        break;
    case TransferResult::WrongAcknowledgement:
        text = u"Programming Failed."_s;
        detail = transferFailureDetail(outcome);
        break;
    case TransferResult::Programmed:
    case TransferResult::Interrupted:
        return {};
    }
    // Every failure's detail says first where the link led.
    return {text, u"Device: "_s + outcome.target + u"\n\n"_s + detail};
}

QList<UserMessage> transferMessages(const TransferOutcome &outcome) {
    QList<UserMessage> messages;
    if (!outcome.deviceTypeKnown)
        messages.append({QString::fromUtf16(kFaultDetectedMessage), {}});
    if (outcome.programmed() || outcome.result == TransferResult::Interrupted)
        return messages;
    messages.append(failureMessage(outcome));
    messages.append({QString::fromUtf16(kConfigureModeHint), {}});
    return messages;
}

} // namespace tavrenode
