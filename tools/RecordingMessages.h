#pragma once

#include "UserMessage.h"

#include <QList>
#include <QStringList>

// Keeps every message instead of showing it.
class RecordingMessages : public tavrenode::MessageSink {
public:
    void show(const tavrenode::UserMessage &message) override { messages.append(message); }

    [[nodiscard]] QStringList texts() const {
        QStringList result;
        for (const auto &message : messages)
            result.append(message.text);
        return result;
    }

    QList<tavrenode::UserMessage> messages;
};
