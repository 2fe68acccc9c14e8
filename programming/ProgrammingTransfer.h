#pragma once

#include "ConfigRecord.h"
#include "ModuleSettings.h"

#include <chrono>
#include <functional>

namespace tavrenode {

class MessageSink;
class PortNaming;

// One programming run: build the record, open the port, purge it, send the three blocks
// and close the port again. Success is silent; every failure is reported to the user as
// two messages (what failed, then how to get the module ready) after the port is closed.
class ProgrammingTransfer {
public:
    ProgrammingTransfer(MessageSink &messages, const PortNaming &naming);

    // The caller has already refused an empty PIN. Fills record, then sends it.
    void run(const ModuleSettings &settings, ConfigRecord &record);

    // Tests shorten the wait for a module that never answers.
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }
    // Runs once the port is open, before anything is sent: fault-injection tests take the
    // device away there.
    void setAfterOpen(std::function<void()> hook) { m_afterOpen = std::move(hook); }

private:
    MessageSink &m_messages;
    const PortNaming &m_naming;
    std::chrono::milliseconds m_timeout;
    std::function<void()> m_afterOpen;
};

} // namespace tavrenode
