#pragma once

#include <QString>

namespace tavrenode {

// What the tool tells its user: a text in the tool's own fixed words, and optionally the
// detail behind it (the system's reason, what to try). The window shows each as a modal box
// and waits until it is dismissed; tests record them.
struct UserMessage {
    QString text;
    QString detail;

    friend bool operator==(const UserMessage &, const UserMessage &) = default;
};

class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void show(const UserMessage &message) = 0;
};

} // namespace tavrenode
