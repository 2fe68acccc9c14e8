#pragma once

#include "ProgrammingTransfer.h"
#include "UserMessage.h"

#include <QList>

namespace tavrenode {

// The second message of every failed run.
inline constexpr auto kConfigureModeHint = u"You need to put Tavrenode into configure mode first\n"
                                           u"and then connect from here using Bluetooth\n"
                                           u"and put the COM port number in the box provided.";

// What the user is told of a run, in the order it is shown: "Fault detected" for a record
// without a device type, then for a failure what failed (its detail naming the device and
// the system's reason) and how to get the module ready. Nothing else for a programmed
// module, nor for an interrupted run, whose caller says so itself.
[[nodiscard]] QList<UserMessage> transferMessages(const TransferOutcome &outcome);

// The first of a failure's two messages; empty for a programmed or interrupted run.
[[nodiscard]] UserMessage failureMessage(const TransferOutcome &outcome);

} // namespace tavrenode
