#include "ClassOfDevice.h"

#include "DeviceTypeTable.h"

namespace tavrenode {

ClassOfDevice classOfDevice(const ModuleSettings &settings) {
    // Every bit added below is distinct within its byte, so OR is the same as the sum.
    ClassOfDevice cod;
    if (const DeviceType *row = deviceTypeAt(settings.deviceType)) {
        cod.middle = row->major;
        cod.low = row->minor;
        for (const ClassBit &subType : kSubTypeBits) {
            if (subType.group == row->group && settings.*subType.box != 0)
                cod.low |= subType.bit;
        }
    } else {
        cod.deviceTypeKnown = false;
    }
    if (settings.limitedDiscoverable != 0)
        cod.middle |= kLimitedDiscoverableBit;
    for (const ClassBit &service : kServiceBits) {
        if (settings.*service.box != 0)
            cod.high |= service.bit;
    }
    return cod;
}

} // namespace tavrenode
