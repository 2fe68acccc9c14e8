#pragma once

#include "UserMessage.h"

#include <QPointer>
#include <QWidget>

namespace tavrenode {

// Shows each message as a modal box: the application's name as caption, the exclamation
// icon, an OK button, the detail (if any) as informative text.
class MessageBoxSink final : public MessageSink {
public:
    void setParentWidget(QWidget *parent) { m_parent = parent; }
    void show(const UserMessage &message) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace tavrenode
