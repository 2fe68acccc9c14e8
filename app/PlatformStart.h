#pragma once

namespace tavrenode {

class MessageSink;

// What the platform needs before the window opens. False when it could not be prepared;
// the user has been told why.
[[nodiscard]] bool preparePlatform(MessageSink &messages);

} // namespace tavrenode
