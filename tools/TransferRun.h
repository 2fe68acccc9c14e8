#pragma once

#include "ModuleLink.h"
#include "ProgrammingTransfer.h"
#include "TransferMessages.h"
#include "UserMessage.h"

#include <chrono>

namespace tavrenode {

// A programming run as the window makes it: over the link its port number leads to, with
// its messages shown once the link is closed again.
class TransferRun {
public:
    TransferRun(const LinkFactory &links, MessageSink &messages,
                std::chrono::milliseconds timeout = kPortTimeout)
        : m_links(links)
        , m_messages(messages)
        , m_transfer({timeout}) {}

    TransferOutcome run(const ModuleSettings &settings, ConfigRecord &record) const {
        const std::unique_ptr<ModuleLink> link = m_links.portLink(settings.comPort);
        TransferOutcome outcome = m_transfer.run(settings, record, *link);
        for (const UserMessage &message : transferMessages(outcome))
            m_messages.show(message);
        return outcome;
    }

private:
    const LinkFactory &m_links;
    MessageSink &m_messages;
    ProgrammingTransfer m_transfer;
};

} // namespace tavrenode
