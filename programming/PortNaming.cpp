#include "PortNaming.h"

#include <algorithm>

namespace tavrenode {

QStringList sortedByNumber(QStringList devices) {
    std::sort(devices.begin(), devices.end(), [](const QString &a, const QString &b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    return devices;
}

} // namespace tavrenode
