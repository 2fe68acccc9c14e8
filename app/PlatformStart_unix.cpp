#include "PlatformStart.h"

namespace tavrenode {

bool preparePlatform(MessageSink & /*messages*/) {
    return true; // nothing to prepare
}

} // namespace tavrenode
