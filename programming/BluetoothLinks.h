#pragma once

#include "ModuleLink.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include <QList>
#include <QString>

namespace tavrenode {

// The Serial Port Profile's service class, which a module offers.
inline constexpr auto kSerialPortUuid = u"00001101-0000-1000-8000-00805f9b34fb";

// Six pairs of hexadecimal digits separated by colons, as BlueZ writes addresses.
[[nodiscard]] bool isBluetoothAddress(const QString &text);

// A module to reach straight over Bluetooth, and how.
struct BluetoothTarget {
    QString address;
    QString name;            // what messages call it; the address when empty
    QString pin;             // pairs the module with it when it is not paired; never shown
    bool keepPaired = false; // keep a pairing this link made when it closes
    // How long the module may take to show up when the system does not know it yet.
    std::chrono::milliseconds findTimeout{10000};
    // What the user is told to do when the module is not paired and no PIN was given.
    QString notPairedAdvice;
    const std::atomic<bool> *cancel = nullptr; // stops a wait at once when set
};

// A module as a search sees it.
struct FoundModule {
    QString address;
    QString name;
    bool paired = false;
    std::optional<int> rssi; // dBm, while it is in range
    bool serialPort = false; // offers the Serial Port service
    friend bool operator==(const FoundModule &, const FoundModule &) = default;
};

// A link to one module over the system's Bluetooth: named as its target says, opened by
// connect(), and closed again when that fails.
class BluetoothTargetLink : public ModuleLink {
public:
    explicit BluetoothTargetLink(BluetoothTarget target)
        : m_target(std::move(target)) {}

    [[nodiscard]] QString name() const override {
        return m_target.name.isEmpty() ? m_target.address : m_target.name;
    }
    [[nodiscard]] QString target() const override { return m_target.address; }
    [[nodiscard]] std::optional<LinkOpenError> open(std::chrono::milliseconds) override {
        close();
        std::optional<LinkOpenError> error = connect();
        if (error)
            close();
        return error;
    }

protected:
    [[nodiscard]] virtual std::optional<LinkOpenError> connect() = 0;
    static LinkOpenError failure(LinkOpenFailure kind, QString reason, QString advice = {}) {
        return {kind, std::move(reason), std::move(advice)};
    }

    BluetoothTarget m_target;
};

// Links to modules over the system's own Bluetooth stack.
class BluetoothLinks {
public:
    virtual ~BluetoothLinks() = default;
    [[nodiscard]] virtual std::unique_ptr<ModuleLink> link(const BluetoothTarget &target) const = 0;
    // The paired devices that offer the Serial Port service, without a search.
    [[nodiscard]] virtual QList<FoundModule> pairedModules(QString *failure) const = 0;
    // The paired modules and those found within `duration`, in the order of their addresses;
    // `failure` says why there are none when the stack could not be asked. Meanwhile seen
    // (if any) hears of each module as it appears or changes, and events keep running.
    [[nodiscard]] virtual QList<FoundModule>
    scan(std::chrono::milliseconds duration, const std::atomic<bool> *cancel, QString *failure,
         const std::function<void(const FoundModule &)> &seen) const = 0;
    // Searches until a module appears whose name starts with namePrefix, that offers the
    // Serial Port service and whose address is not in skip; none when cancelled or when
    // the stack could not be asked (failure says why). Nothing is connected meanwhile.
    [[nodiscard]] virtual std::optional<FoundModule> nextModule(const QString &namePrefix,
                                                                const QStringList &skip,
                                                                const std::atomic<bool> *cancel,
                                                                QString *failure) const = 0;
};

// Whether this build has the system's Bluetooth links at all (Linux: through BlueZ).
[[nodiscard]] bool systemHasBluetoothLinks();

// The system's Bluetooth links, loaded when first asked for; null where the system has
// none that the tool can use, with the reason in whyNot.
[[nodiscard]] const BluetoothLinks *systemBluetoothLinks(QString *whyNot);

} // namespace tavrenode
