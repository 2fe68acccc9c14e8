#pragma once

#include <cstdint>

#include <QString>
#include <QStringList>

namespace tavrenode {

// How the number typed into the form becomes a serial device, and which such devices
// exist. Tests put a pseudo-terminal in place of the system's devices.
class PortNaming {
public:
    virtual ~PortNaming() = default;
    [[nodiscard]] virtual QString devicePath(std::int32_t port) const = 0;
    // The devices a module's link could be, for telling the user what there is instead.
    [[nodiscard]] virtual QStringList presentDevices() const = 0;
};

// Windows: \\.\COMn. Linux: /dev/rfcommn, the devices the Bluetooth serial-port service
// (rfcomm bind or connect) creates.
class SystemPortNaming final : public PortNaming {
public:
    [[nodiscard]] QString devicePath(std::int32_t port) const override;
    [[nodiscard]] QStringList presentDevices() const override;
    // What to do when the system has no device for a module's link at all.
    [[nodiscard]] static QString noPortAdvice(std::int32_t port);
};

// Devices in the order of their numbers, whatever their names' lengths: rfcomm2 before
// rfcomm10, COM3 before COM12.
[[nodiscard]] QStringList sortedByNumber(QStringList devices);

} // namespace tavrenode
