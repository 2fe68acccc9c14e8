#pragma once

#include "BluetoothLinks.h"

#include <QDBusConnection>

namespace tavrenode {

// Links through BlueZ on `bus`: bluetoothd connects the module's Serial Port service and hands
// the connected RFCOMM socket to a client profile of ours; a module that is not paired is
// paired through an agent of ours that answers with the PIN given. Only the bus name's owner
// of org.bluez is answered. Every call to bluetoothd waits with the events running, as
// bluetoothd calls back during it.
class BluezLinks final : public BluetoothLinks {
public:
    explicit BluezLinks(const QDBusConnection &bus);

    [[nodiscard]] std::unique_ptr<ModuleLink> link(const BluetoothTarget &target) const override;
    [[nodiscard]] QList<FoundModule> pairedModules(QString *failure) const override;
    [[nodiscard]] QList<FoundModule>
    scan(std::chrono::milliseconds duration, const std::atomic<bool> *cancel, QString *failure,
         const std::function<void(const FoundModule &)> &seen) const override;
    [[nodiscard]] std::optional<FoundModule> nextModule(const QString &namePrefix,
                                                        const QStringList &skip,
                                                        const std::atomic<bool> *cancel,
                                                        QString *failure) const override;

private:
    QDBusConnection m_bus;
};

} // namespace tavrenode
