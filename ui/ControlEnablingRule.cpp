#include "ControlEnablingRule.h"

namespace tavrenode {

ControlStates controlEnablingRule(const ModuleSettings &settings) {
    ControlStates states;
    const DeviceType *row = deviceTypeAt(settings.deviceType);
    for (std::size_t i = 0; i < kSubTypeBits.size(); ++i)
        states.subTypes[i] = row && row->group == kSubTypeBits[i].group;
    states.program = settings.comPort > 0;
    return states;
}

} // namespace tavrenode
