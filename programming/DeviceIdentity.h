#pragma once

#include <QByteArray>
#include <QString>

namespace tavrenode {

// Which device a path leads to right now, as bytes to compare: empty when there is none.
// A device that goes away and comes back (a module that dropped its link and the next one
// that made it) has another identity even at the same path, however quickly it came back.
[[nodiscard]] QByteArray deviceIdentity(const QString &path);

} // namespace tavrenode
