#include "BluetoothLinks.h"

using namespace Qt::StringLiterals;

namespace tavrenode {

bool systemHasBluetoothLinks() {
    return false;
}

const BluetoothLinks *systemBluetoothLinks(QString *whyNot) {
    if (whyNot)
        *whyNot = u"this build reaches modules through their COM port only."_s;
    return nullptr;
}

} // namespace tavrenode
