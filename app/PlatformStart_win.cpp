#include "FormTemplates.h"
#include "PlatformStart.h"
#include "TextView.h"
#include "UserMessage.h"

#include <winsock2.h>

#include <QString>

namespace tavrenode {

// The tool uses no sockets; earlier versions refused to start without the socket layer,
// and the check stays so that a broken installation says so at once.
bool preparePlatform(MessageSink &messages) {
    WSADATA data{};
    const bool started = WSAStartup(MAKEWORD(1, 1), &data) == 0;
    if (started && data.wVersion == MAKEWORD(1, 1))
        return true;
    if (started)
        WSACleanup();
    messages.show({toQString(strings::kSocketsFailed), {}});
    return false;
}

} // namespace tavrenode
