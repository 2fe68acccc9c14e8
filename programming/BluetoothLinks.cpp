#include "BluetoothLinks.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace tavrenode {

bool isBluetoothAddress(const QString &text) {
    static const QRegularExpression pattern(u"^[0-9A-Fa-f]{2}(:[0-9A-Fa-f]{2}){5}$"_s);
    return pattern.match(text).hasMatch();
}

} // namespace tavrenode
