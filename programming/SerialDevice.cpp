#include "SerialDevice.h"

#include <algorithm>

namespace tavrenode {

// What both systems' ports share; the rest, with the constructor and destructor that need
// the system's Port, is in SerialDevice_unix.cpp and _win.cpp.

void SerialDevice::loseLink(const QString &reason) {
    m_linkLost = true;
    setErrorString(reason);
}

qint64 SerialDevice::bytesAvailable() const {
    return m_received.size() + QIODevice::bytesAvailable();
}

qint64 SerialDevice::takeReceived(char *data, qint64 maxSize) {
    const qint64 count = std::min<qint64>(maxSize, m_received.size());
    std::copy_n(m_received.constData(), count, data);
    m_received.remove(0, count);
    return count;
}

} // namespace tavrenode
