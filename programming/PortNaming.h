#pragma once

#include <cstdint>

#include <QList>
#include <QString>
#include <QStringList>

namespace tavrenode {

// A Bluetooth device the system has paired that offers the Serial Port service: what the
// user can bind to a port number when no device for the number exists yet.
struct PairedSerialDevice {
    QString name;
    QString address; // six hexadecimal pairs, colon-separated
    bool connected = false;
    friend bool operator==(const PairedSerialDevice &, const PairedSerialDevice &) = default;
};

// How the number typed into the form becomes a serial device, and which such devices
// exist. Tests put a pseudo-terminal in place of the system's devices.
class PortNaming {
public:
    virtual ~PortNaming() = default;
    [[nodiscard]] virtual QString devicePath(std::int32_t port) const = 0;
    // The devices a module's link could be, for telling the user what there is instead.
    [[nodiscard]] virtual QStringList presentDevices() const = 0;
    // Paired devices that could become such a device; none where the system cannot say.
    [[nodiscard]] virtual QList<PairedSerialDevice> pairedSerialDevices() const { return {}; }
};

// Windows: \\.\COMn. Linux: /dev/rfcommn, the devices the Bluetooth serial-port service
// (rfcomm bind or connect) creates.
class SystemPortNaming final : public PortNaming {
public:
    [[nodiscard]] QString devicePath(std::int32_t port) const override;
    [[nodiscard]] QStringList presentDevices() const override;
    // Linux: what BlueZ reports on the system bus, if it runs there. Windows: none (pairing
    // there gives the device its COM port).
    [[nodiscard]] QList<PairedSerialDevice> pairedSerialDevices() const override;
    // What to do when the system has no device for a module's link at all.
    [[nodiscard]] static QString noPortAdvice(std::int32_t port);
};

// Devices in the order of their numbers, whatever their names' lengths: rfcomm2 before
// rfcomm10, COM3 before COM12.
[[nodiscard]] QStringList sortedByNumber(QStringList devices);

// The paired devices, one per line, each with the command that makes it port `port` and,
// when given, how to program it straight over Bluetooth instead (%1: its address); empty
// when there are none.
[[nodiscard]] QString pairedDevicesAdvice(const QList<PairedSerialDevice> &devices,
                                          std::int32_t port, const QString &bluetoothCommand = {});

} // namespace tavrenode
