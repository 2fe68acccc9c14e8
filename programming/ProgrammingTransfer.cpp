#include "ProgrammingTransfer.h"

#include "BlockProtocol.h"
#include "PortNaming.h"
#include "RecordEncoder.h"
#include "SerialDevice.h"
#include "UserMessage.h"

using namespace Qt::StringLiterals;

namespace tavrenode {

namespace {

constexpr auto kConfigureModeHint = u"You need to put Tavrenode into configure mode first\n"
                                    u"and then connect from here using Bluetooth\n"
                                    u"and put the COM port number in the box provided.";

// Why the port would not open, in the system's words, and what the user can do about it.
QString openFailureDetail(const SerialDevice &port, const QString &path, std::int32_t number,
                          const PortNaming &naming) {
    QString detail = port.errorString();
    if (port.openFailure() == SerialDevice::OpenFailure::NoPermission ||
        port.openFailure() == SerialDevice::OpenFailure::Busy) {
        const QString advice = SerialDevice::accessAdvice(path);
        return detail + u"\n\n"_s +
               (advice.isEmpty() ? u"Another program may be using the port."_s : advice);
    }
    if (port.openFailure() == SerialDevice::OpenFailure::NotFound) {
        const QStringList present = naming.presentDevices();
        const QString paired = pairedDevicesAdvice(naming.pairedSerialDevices(), number);
        if (!present.isEmpty())
            detail += u"\n\nBluetooth serial ports present: "_s + present.join(u", "_s);
        // The paired devices' own commands say more than the general advice.
        else if (paired.isEmpty())
            detail += u"\n\n"_s + SystemPortNaming::noPortAdvice(number);
        if (!paired.isEmpty())
            detail += u"\n\n"_s + paired;
    }
    return detail;
}

// Every failure's detail says first which device the port number led to.
QString onDevice(const QString &path, const QString &detail) {
    return u"Device: "_s + path + u"\n\n"_s + detail;
}

QString transferFailureDetail(const BlockTransferResult &result,
                              std::chrono::milliseconds timeout) {
    const QString where = QString(u"Block %1 of %2."_s).arg(result.block).arg(kBlockCount);
    switch (result.failure) {
    case BlockFailure::Acknowledgement:
        return QString(u"The module answered block %1 with 0x%2 instead of 0x55."_s)
            .arg(result.block)
            .arg(result.acknowledgement, 2, 16, QLatin1Char('0'));
    case BlockFailure::Read:
    case BlockFailure::Write:
        if (result.timedOut)
            return QString(u"No answer within %1 seconds. "_s)
                       .arg(std::chrono::duration<double>(timeout).count()) +
                   where;
        return result.reason + u"\n\n"_s + where;
    case BlockFailure::None:
    case BlockFailure::Interrupted:
        break;
    }
    return {};
}

} // namespace

TransferOutcome ProgrammingTransfer::run(const ModuleSettings &settings, ConfigRecord &record,
                                         const QString &device) {
    MessageSink &messages = m_services.messages;
    const std::chrono::milliseconds timeout = m_services.timeout;
    build(settings, record, messages);

    const std::int32_t number = settings.comPort;
    TransferOutcome outcome;
    outcome.device = device.isEmpty() ? m_services.naming.devicePath(number) : device;
    const QString &path = outcome.device;
    const QString portName = device.isEmpty() ? u"COM%1"_s.arg(number) : device;
    // The failure's own message, then how to get the module ready.
    const auto fail = [&](TransferResult result, const QString &text, const QString &detail) {
        outcome.result = result;
        outcome.failure = text;
        outcome.detail = onDevice(path, detail);
        messages.show({text, outcome.detail});
        messages.show({QString::fromUtf16(kConfigureModeHint), {}});
        return outcome;
    };

    // Opening switches the device to raw bytes, which the module's binary blocks need on
    // systems whose terminals translate them by default; its line settings stay as they are.
    SerialDevice port;
    if (!m_services.opener.open(port, path, timeout))
        return fail(TransferResult::OpenFailed, u"Failed to open %1:"_s.arg(portName),
                    openFailureDetail(port, path, number, m_services.naming));
    port.purge();
    BlockTransferResult result = sendBlocks(port, record, timeout, m_services.hooks);
    // A hang-up reads as end of file, and the port's error text is then whatever the last
    // failing call left behind; say what happened instead.
    if (result.failure == BlockFailure::Read && !result.timedOut && port.linkLost())
        result.reason = u"The link to the module was lost: the device hung up or was removed."_s;
    port.close();

    switch (result.failure) {
    case BlockFailure::None:
        break;
    case BlockFailure::Write:
        return fail(TransferResult::WriteFailed, u"Failed to write to %1:"_s.arg(portName),
                    transferFailureDetail(result, timeout));
    case BlockFailure::Read:
        return fail(TransferResult::ReadFailed, u"Failed to read from %1:"_s.arg(portName),
                    transferFailureDetail(result, timeout));
    case BlockFailure::Acknowledgement:
        return fail(TransferResult::WrongAcknowledgement, u"Programming Failed."_s,
                    transferFailureDetail(result, timeout));
    case BlockFailure::Interrupted:
        outcome.result = TransferResult::Interrupted;
        outcome.failure = u"Interrupted."_s;
        outcome.detail =
            onDevice(path, u"Block %1 of %2 was under way."_s.arg(result.block).arg(kBlockCount));
        return outcome;
    }
    outcome.programmed = true;
    return outcome;
}

} // namespace tavrenode
