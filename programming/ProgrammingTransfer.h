#pragma once

#include "BlockProtocol.h"
#include "ConfigRecord.h"
#include "ModuleLink.h"
#include "ModuleSettings.h"

#include <chrono>
#include <optional>

#include <QString>

namespace tavrenode {

// How a transfer works: how long one write, and one wait for an acknowledgement, may take,
// and for callers that follow each answer or may stop a run (the command line), the hooks.
struct TransferServices {
    std::chrono::milliseconds timeout = kPortTimeout;
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

// What happened in one run, for each program to present in its own way.
struct TransferOutcome {
    TransferResult result = TransferResult::Programmed;
    // False when the record went out without a device type (one outside the table).
    bool deviceTypeKnown = true;
    QString link;   // how messages name the link: "COM4" or a device path
    QString target; // where the link led
    LinkOpenFailure openFailure = LinkOpenFailure::None;
    int block = 0; // the block under way when the run ended, from 1; 0 before the first
    std::optional<std::uint8_t> answer; // the last byte the module answered
    bool timedOut = false;              // the time-out ran out, rather than the link failing
    bool linkLost = false;              // the other side hung up or went away
    std::chrono::milliseconds timeout{};
    QString reason; // the system's words, where it gave some
    QString advice; // what the user can do about a failed open

    [[nodiscard]] bool programmed() const { return result == TransferResult::Programmed; }
};

// One programming run: build the record, open the link, purge it, send the three blocks and
// close the link again. It shows nothing: the caller presents what it returns.
class ProgrammingTransfer {
public:
    explicit ProgrammingTransfer(const TransferServices &services = {})
        : m_services(services) {}

    // The caller has already refused settings that cannot be sent. Fills record, then
    // sends it over link.
    [[nodiscard]] TransferOutcome run(const ModuleSettings &settings, ConfigRecord &record,
                                      ModuleLink &link) const;

private:
    TransferServices m_services;
};

} // namespace tavrenode
