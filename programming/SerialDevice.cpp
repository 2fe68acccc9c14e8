#include "SerialDevice.h"

#include <algorithm>

#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

using namespace Qt::StringLiterals;

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

namespace {

// The udev rule that keeps ModemManager off devices named as the one at path is: rfcomm0
// stands for every rfcomm device, ttyUSB3 for every ttyUSB one; a name that is all number
// stands for itself.
QString modemManagerRule(const QString &path) {
    const QString name = QFileInfo(path).fileName();
    QString kernelName = name;
    kernelName.remove(QRegularExpression(u"[0-9]+$"_s));
    const QString match = kernelName.isEmpty() ? name : kernelName + u"[0-9]*"_s;
    return u"SUBSYSTEM==\"tty\", KERNEL==\"%1\", ENV{ID_MM_DEVICE_IGNORE}=\"1\""_s.arg(match);
}

} // namespace

QString SerialDevice::holdersAdvice(const QList<DeviceHolder> &holders, const QString &path) {
    if (holders.isEmpty())
        return {};
    QStringList named;
    bool modemManager = false;
    bool brltty = false;
    for (const DeviceHolder &holder : holders) {
        named << u"%1 (process %2)"_s.arg(holder.name).arg(holder.pid);
        modemManager = modemManager || holder.name == u"ModemManager"_s;
        brltty = brltty || holder.name.startsWith(u"brltty"_s);
    }
    const QString last = named.takeLast();
    QStringList parts{u"It is held by %1."_s.arg(
        named.isEmpty() ? last : named.join(u", "_s) + u" and "_s + last)};
    if (modemManager)
        parts << u"ModemManager tries new serial devices as modems. To make it leave such "
                 u"devices alone, put this line into /etc/udev/rules.d/70-tavrenode.rules as "
                 u"root:\n%1\nthen run \"udevadm control --reload\" and \"udevadm trigger\". Or "
                 u"stop ModemManager for now: \"systemctl stop ModemManager\"."_s.arg(
                     modemManagerRule(path));
    if (brltty)
        parts << u"brltty, the braille display driver, takes serial adapters that could be "
                 u"braille displays. Where no braille display is used, stop it as root "
                 u"(\"systemctl stop 'brltty*'\") or remove it (\"apt remove "
                 u"brltty\")."_s;
    return parts.join(u"\n\n"_s);
}

} // namespace tavrenode
