#pragma once

#include <QString>

// The second message of every failed programming run.
namespace hint {
using namespace Qt::StringLiterals;
inline const QString kHint = u"You need to put Tavrenode into configure mode first\n"
                             u"and then connect from here using Bluetooth\n"
                             u"and put the COM port number in the box provided."_s;
} // namespace hint
using hint::kHint;
