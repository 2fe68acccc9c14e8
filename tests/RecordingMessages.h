#pragma once

#include "UserMessage.h"

#include <QList>
#include <QStringList>

// The second message of every failed programming run.
namespace hint {
using namespace Qt::StringLiterals;
inline const QString kHint = u"You need to put Tavrenode into configure mode first\n"
                             u"and then connect from here using Bluetooth\n"
                             u"and put the COM port number in the box provided."_s;
} // namespace hint
using hint::kHint;

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
