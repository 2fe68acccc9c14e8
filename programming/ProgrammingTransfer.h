#pragma once

#include "BlockProtocol.h"
#include "ConfigRecord.h"
#include "ModuleSettings.h"

#include <chrono>

#include <QString>

namespace tavrenode {

class MessageSink;
class PortNaming;
class PortOpener;

// What a transfer works with, handed in so that tests can replace each one.
struct TransferServices {
    MessageSink &messages;
    const PortNaming &naming;
    const PortOpener &opener;
    // How long one write, and one wait for an acknowledgement, may take.
    std::chrono::milliseconds timeout;
    // For callers that follow each answer or may stop a run (the command line).
    BlockHooks hooks = {};
};

enum class TransferResult {
    Programmed,
    OpenFailed,
    WriteFailed,
    ReadFailed, // no answer in time, or the link went away
    WrongAcknowledgement,
    Interrupted, // the caller's cancel flag was set
};

// How a run ended: programmed, or not and why (the first message's text and its detail),
// and the device the port number led to.
struct TransferOutcome {
    bool programmed = false;
    TransferResult result = TransferResult::Programmed;
    QString device;
    QString failure;
    QString detail;
};

// One programming run: build the record, open the port, purge it, send the three blocks
// and close the port again. Success is silent; every failure is reported to the user as
// two messages (what failed, then how to get the module ready) after the port is closed.
class ProgrammingTransfer {
public:
    explicit ProgrammingTransfer(const TransferServices &services)
        : m_services(services) {}

    // The caller has already refused an empty PIN. Fills record, then sends it to the
    // settings' port, or to device when one is named (the messages then name it in place of
    // "COM<port>"). An interrupted run shows no message.
    TransferOutcome run(const ModuleSettings &settings, ConfigRecord &record,
                        const QString &device = {});

private:
    TransferServices m_services;
};

} // namespace tavrenode
