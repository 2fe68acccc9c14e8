#include "SerialLink.h"

#include "PortNaming.h"

using namespace Qt::StringLiterals;

namespace tavrenode {

SerialLink::SerialLink(const PortNaming &naming, std::int32_t port, QString bluetoothCommand)
    : m_naming(naming)
    , m_port(port)
    , m_path(naming.devicePath(port))
    , m_name(u"COM%1"_s.arg(port))
    , m_bluetoothCommand(std::move(bluetoothCommand)) {}

SerialLink::SerialLink(const PortNaming &naming, std::int32_t port, QString device,
                       QString bluetoothCommand)
    : m_naming(naming)
    , m_port(port)
    , m_path(device)
    , m_name(std::move(device))
    , m_bluetoothCommand(std::move(bluetoothCommand)) {}

std::optional<LinkOpenError> SerialLink::open(std::chrono::milliseconds timeout) {
    // Opening switches the device to raw bytes, which the module's binary blocks need on
    // systems whose terminals translate them by default; its line settings stay as they are.
    if (m_device.openPort(m_path, timeout))
        return std::nullopt;
    return LinkOpenError{m_device.openFailure(), m_device.errorString(),
                         adviceFor(m_device.openFailure())};
}

QString SerialLink::adviceFor(LinkOpenFailure failure) const {
    if (failure == LinkOpenFailure::Busy) {
        const QString held = SerialDevice::holdersAdvice(SerialDevice::holders(m_path), m_path);
        if (!held.isEmpty())
            return held;
    }
    if (failure == LinkOpenFailure::NoPermission || failure == LinkOpenFailure::Busy) {
        const QString advice = SerialDevice::accessAdvice(m_path);
        return advice.isEmpty() ? u"Another program may be using the port."_s : advice;
    }
    if (failure != LinkOpenFailure::NotFound)
        return {};
    QStringList parts;
    const QStringList present = m_naming.presentDevices();
    const QString paired =
        pairedDevicesAdvice(m_naming.pairedSerialDevices(), m_port, m_bluetoothCommand);
    if (!present.isEmpty())
        parts << u"Bluetooth serial ports present: "_s + present.join(u", "_s);
    // The paired devices' own commands say more than the general advice.
    else if (paired.isEmpty())
        parts << SystemPortNaming::noPortAdvice(m_port);
    if (!paired.isEmpty())
        parts << paired;
    return parts.join(u"\n\n"_s);
}

} // namespace tavrenode
