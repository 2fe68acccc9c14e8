#include "BluezLinks.h"
#include "BluezObjects.h"
#include "SerialDevice.h"

#include <algorithm>
#include <functional>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QDeadlineTimer>
#include <QMutex>
#include <QThread>
#include <QVariantMap>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace tavrenode {

namespace {

const auto kBluez = u"org.bluez"_s;
const auto kDevice = u"org.bluez.Device1"_s;
const auto kAdapter = u"org.bluez.Adapter1"_s;
const auto kRejected = u"org.bluez.Error.Rejected"_s;

// Radio work takes seconds: paging the module, its service lookup, the pairing itself.
constexpr auto kPairingTimeout = 60s;
constexpr auto kConnectTimeout = 30s;
constexpr auto kDisconnectTimeout = 5s;
// How often a search looks at what BlueZ has found.
constexpr auto kSearchPoll = 200ms;

// Runs the events (bluetoothd's calls to us arrive as they do) until done() holds; false
// when the deadline passed or the wait was cancelled first.
bool waitFor(const std::function<bool()> &done, const QDeadlineTimer &deadline,
             const std::atomic<bool> *cancel) {
    while (!done()) {
        if (deadline.hasExpired() || (cancel && cancel->load()))
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

QDBusMessage methodCall(const QString &path, const QString &interface, const QString &method,
                        const QVariantList &arguments = {}) {
    QDBusMessage call = QDBusMessage::createMethodCall(kBluez, path, interface, method);
    call.setArguments(arguments);
    return call;
}

// Sends the call and waits for its answer without blocking the events; an error reply of
// its own when the wait ran out or was cancelled.
QDBusMessage callAndWait(const QDBusConnection &bus, const QDBusMessage &call,
                         std::chrono::milliseconds timeout, const std::atomic<bool> *cancel) {
    QDBusPendingCall pending = bus.asyncCall(call, int(timeout.count()));
    if (!waitFor([&] { return pending.isFinished(); }, QDeadlineTimer(timeout + 1s), cancel))
        return call.createErrorReply(QDBusError::NoReply, cancel && cancel->load()
                                                              ? u"Cancelled."_s
                                                              : u"BlueZ did not answer."_s);
    return pending.reply();
}

QVariant objectPath(const QString &path) {
    return QVariant::fromValue(QDBusObjectPath(path));
}

QString errorText(const QDBusMessage &reply) {
    return reply.errorMessage().isEmpty()
               ? reply.errorName()
               : reply.errorMessage() + u" ("_s + reply.errorName() + u')';
}

using ManagedObjects = BluezObjects;

std::optional<ManagedObjects> managedObjects(const QDBusConnection &bus,
                                             const std::atomic<bool> *cancel) {
    return bluezObjects(callAndWait(
        bus, methodCall(u"/"_s, u"org.freedesktop.DBus.ObjectManager"_s, u"GetManagedObjects"_s),
        5s, cancel));
}

// Looks at BlueZ's objects every kSearchPoll until look() has what it wants; false when the
// deadline passed or the wait was cancelled first.
bool lookUntil(const QDBusConnection &bus, const QDeadlineTimer &deadline,
               const std::atomic<bool> *cancel,
               const std::function<bool(const ManagedObjects &)> &look) {
    QDeadlineTimer nextLook(0);
    return waitFor(
        [&] {
            if (!nextLook.hasExpired())
                return false;
            nextLook.setRemainingTime(kSearchPoll);
            const std::optional<ManagedObjects> objects = managedObjects(bus, cancel);
            return objects && look(*objects);
        },
        deadline, cancel);
}

bool offersSerialPort(const QVariantMap &device) {
    const QStringList uuids = device.value(u"UUIDs"_s).toStringList();
    return std::any_of(uuids.begin(), uuids.end(), [](const QString &uuid) {
        return uuid.compare(kSerialPortUuid, Qt::CaseInsensitive) == 0;
    });
}

QString deviceName(const QVariantMap &device) {
    const QString alias = device.value(u"Alias"_s).toString();
    return alias.isEmpty() ? device.value(u"Name"_s).toString() : alias;
}

// The object path of the device with that address, if BlueZ knows it.
QString devicePathOf(const ManagedObjects &objects, const QString &address) {
    for (auto object = objects.begin(); object != objects.end(); ++object) {
        const auto device = object->constFind(kDevice);
        if (device != object->constEnd() &&
            device->value(u"Address"_s).toString().compare(address, Qt::CaseInsensitive) == 0)
            return object.key();
    }
    return {};
}

// The devices our discovery filter lets through, as a search shows them.
QList<FoundModule> modulesIn(const ManagedObjects &objects);

QString firstAdapter(const ManagedObjects &objects) {
    for (auto object = objects.begin(); object != objects.end(); ++object) {
        if (object->contains(kAdapter))
            return object.key();
    }
    return {};
}

// Discovery on the adapter while it lives, for classic (BR/EDR) devices: modules speak no
// Low Energy. BlueZ merges the filters of every client, so what is found is checked again.
class Discovery {
public:
    Discovery(const QDBusConnection &bus, QString adapter, const std::atomic<bool> *cancel)
        : m_bus(bus)
        , m_adapter(std::move(adapter))
        , m_cancel(cancel) {
        const QVariantMap filter{{u"Transport"_s, u"bredr"_s}};
        (void)callAndWait(m_bus, methodCall(m_adapter, kAdapter, u"SetDiscoveryFilter"_s, {filter}),
                          5s, m_cancel);
        const QDBusMessage reply =
            callAndWait(m_bus, methodCall(m_adapter, kAdapter, u"StartDiscovery"_s), 5s, m_cancel);
        m_started = reply.type() == QDBusMessage::ReplyMessage;
        if (!m_started)
            m_failure = errorText(reply);
    }
    ~Discovery() {
        if (m_started)
            (void)callAndWait(m_bus, methodCall(m_adapter, kAdapter, u"StopDiscovery"_s), 5s,
                              nullptr);
        // Our filter goes too, so that it no longer narrows other clients' searches.
        (void)callAndWait(m_bus,
                          methodCall(m_adapter, kAdapter, u"SetDiscoveryFilter"_s, {QVariantMap()}),
                          5s, nullptr);
    }
    Discovery(const Discovery &) = delete;
    Discovery &operator=(const Discovery &) = delete;

    [[nodiscard]] QString failure() const { return m_failure; }

    // A device our own filter lets through: one that may speak classic Bluetooth.
    static bool matches(const QVariantMap &device) {
        return device.value(u"AddressType"_s, u"public"_s).toString() == u"public";
    }

private:
    const QDBusConnection &m_bus;
    QString m_adapter;
    const std::atomic<bool> *m_cancel;
    bool m_started = false;
    QString m_failure;
};

// What bluetoothd calls on us: the profile (NewConnection, RequestDisconnection, Release)
// and the pairing agent (RequestPinCode and the rest). Calls may arrive on the bus's own
// thread, hence the lock. Anyone but the owner of org.bluez is rejected, and a descriptor
// such a caller sends is closed unread along with its message.
class BluezCallbacks final : public QDBusVirtualObject {
public:
    BluezCallbacks(QString bluezOwner, QString devicePath, QString pin)
        : m_bluezOwner(std::move(bluezOwner))
        , m_devicePath(std::move(devicePath))
        , m_pin(std::move(pin)) {}
    ~BluezCallbacks() override {
        if (m_socket >= 0)
            ::close(m_socket);
    }
    BluezCallbacks(const BluezCallbacks &) = delete;
    BluezCallbacks &operator=(const BluezCallbacks &) = delete;

    // The connected socket, once bluetoothd has handed it over; the caller owns it then.
    int takeSocket() {
        const QMutexLocker lock(&m_mutex);
        return std::exchange(m_socket, -1);
    }
    bool hasSocket() {
        const QMutexLocker lock(&m_mutex);
        return m_socket >= 0;
    }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override {
        if (message.type() != QDBusMessage::MethodCallMessage)
            return false;
        const QMutexLocker lock(&m_mutex);
        if (message.service() != m_bluezOwner) {
            connection.send(message.createErrorReply(kRejected, u"Only BlueZ may call this."_s));
            return true;
        }
        const QString method = message.member();
        const QVariantList arguments = message.arguments();
        const QString device = arguments.value(0).value<QDBusObjectPath>().path();
        if (method == u"NewConnection" && message.signature().startsWith(u"oh")) {
            const auto socket = arguments.value(1).value<QDBusUnixFileDescriptor>();
            if (device != m_devicePath || m_socket >= 0 || !socket.isValid()) {
                connection.send(message.createErrorReply(kRejected, u"Not asked for."_s));
                return true;
            }
            m_socket = ::dup(socket.fileDescriptor());
            connection.send(message.createReply());
        } else if (method == u"RequestPinCode") {
            if (device != m_devicePath || m_pin.isEmpty()) {
                connection.send(message.createErrorReply(kRejected, u"No PIN for it."_s));
                return true;
            }
            connection.send(message.createReply(m_pin));
        } else if (method == u"RequestDisconnection" || method == u"Release" ||
                   method == u"Cancel" || method == u"DisplayPinCode" ||
                   method == u"DisplayPasskey") {
            connection.send(message.createReply());
        } else {
            // Passkeys, confirmations, authorisations: not how a module pairs.
            connection.send(message.createErrorReply(kRejected, u"Not supported."_s));
        }
        return true;
    }

    [[nodiscard]] QString introspect(const QString & /*path*/) const override {
        return uR"(<interface name="org.bluez.Profile1">
  <method name="NewConnection"><arg type="o" direction="in"/><arg type="h" direction="in"/><arg type="a{sv}" direction="in"/></method>
  <method name="RequestDisconnection"><arg type="o" direction="in"/></method>
  <method name="Release"/>
</interface>
<interface name="org.bluez.Agent1">
  <method name="Release"/>
  <method name="RequestPinCode"><arg type="o" direction="in"/><arg type="s" direction="out"/></method>
  <method name="Cancel"/>
</interface>
)"_s;
    }

private:
    QMutex m_mutex;
    const QString m_bluezOwner;
    const QString m_devicePath;
    const QString m_pin;
    int m_socket = -1;
};

// Registration paths: one set per link, so that a link never sees another's calls.
QString callbackPath(const char16_t *what) {
    static std::atomic<int> counter = 0;
    return u"/org/tavrenode/link%1/%2"_s.arg(++counter).arg(QStringView(what));
}

class BluezLink final : public BluetoothTargetLink {
public:
    BluezLink(const QDBusConnection &bus, BluetoothTarget target)
        : BluetoothTargetLink(std::move(target))
        , m_bus(bus) {}
    ~BluezLink() override { close(); }
    BluezLink(const BluezLink &) = delete;
    BluezLink &operator=(const BluezLink &) = delete;

    [[nodiscard]] QIODevice &stream() override { return m_socket; }
    void purge() override { m_socket.purge(); }
    [[nodiscard]] bool lost() const override { return m_socket.linkLost(); }

    void close() override {
        const bool connected = m_socket.isOpen() || (m_callbacks && m_callbacks->hasSocket());
        m_socket.close();
        // Each step is tried whatever the one before gave: what is left undone stays so.
        const auto tidy = [this](const QDBusMessage &call) {
            (void)callAndWait(m_bus, call, kDisconnectTimeout, nullptr);
        };
        if (connected)
            tidy(methodCall(m_devicePath, kDevice, u"DisconnectProfile"_s,
                            {QString::fromUtf16(kSerialPortUuid)}));
        if (!m_profilePath.isEmpty())
            tidy(methodCall(u"/org/bluez"_s, u"org.bluez.ProfileManager1"_s, u"UnregisterProfile"_s,
                            {objectPath(m_profilePath)}));
        // A pairing this link made goes again unless it is to stay; older ones stay as
        // they were.
        if (m_pairedHere && !m_target.keepPaired)
            tidy(
                methodCall(m_adapterPath, kAdapter, u"RemoveDevice"_s, {objectPath(m_devicePath)}));
        for (const QString &path : {m_profilePath, m_agentPath}) {
            if (!path.isEmpty())
                m_bus.unregisterObject(path);
        }
        m_profilePath.clear();
        m_agentPath.clear();
        m_pairedHere = false;
        m_callbacks.reset();
    }

private:
    std::optional<LinkOpenError> connect() override {
        if (!m_bus.isConnected())
            return failure(LinkOpenFailure::NotFound,
                           u"The system's message bus cannot be reached: %1"_s.arg(
                               m_bus.lastError().message()));
        if (!(m_bus.connectionCapabilities() & QDBusConnection::UnixFileDescriptorPassing))
            return failure(LinkOpenFailure::Other,
                           u"The system's message bus does not pass file descriptors, which "
                           u"BlueZ hands the connection over with."_s);
        const QString owner = m_bus.interface()->serviceOwner(kBluez).value();
        if (owner.isEmpty())
            return failure(LinkOpenFailure::NotFound,
                           u"BlueZ (bluetoothd) is not running, so no Bluetooth device can be "
                           u"reached."_s);
        if (std::optional<LinkOpenError> error = find())
            return error;
        m_callbacks = std::make_unique<BluezCallbacks>(owner, m_devicePath, m_target.pin);
        if (!m_paired) {
            if (std::optional<LinkOpenError> error = pair())
                return error;
        }
        return connectProfile();
    }

    // The module's object: known to BlueZ already, or found by a search within the time.
    std::optional<LinkOpenError> find() {
        std::optional<ManagedObjects> objects = managedObjects(m_bus, m_target.cancel);
        if (!objects)
            return failure(LinkOpenFailure::Other, u"BlueZ did not list its devices."_s);
        m_adapterPath = firstAdapter(*objects);
        m_devicePath = devicePathOf(*objects, m_target.address);
        if (m_devicePath.isEmpty() && !m_adapterPath.isEmpty()) {
            const Discovery discovery(m_bus, m_adapterPath, m_target.cancel);
            (void)lookUntil(m_bus, QDeadlineTimer(m_target.findTimeout), m_target.cancel,
                            [&](const ManagedObjects &now) {
                                objects = now;
                                m_devicePath = devicePathOf(now, m_target.address);
                                return !m_devicePath.isEmpty();
                            });
        }
        if (m_adapterPath.isEmpty())
            return failure(LinkOpenFailure::NotFound, u"This computer has no Bluetooth adapter."_s);
        if (m_devicePath.isEmpty() || !objects)
            return failure(LinkOpenFailure::NotFound,
                           u"No Bluetooth device with the address %1 is known here or was "
                           u"found within %2 s."_s.arg(m_target.address)
                               .arg(double(m_target.findTimeout.count()) / 1000.0));
        const QVariantMap device = objects->value(m_devicePath).value(kDevice);
        m_paired = device.value(u"Paired"_s).toBool();
        const QString adapter = device.value(u"Adapter"_s).value<QDBusObjectPath>().path();
        if (!adapter.isEmpty())
            m_adapterPath = adapter;
        return std::nullopt;
    }

    // Pairs with our agent, so that it is ours that is asked for the PIN.
    std::optional<LinkOpenError> pair() {
        if (m_target.pin.isEmpty())
            return failure(LinkOpenFailure::NotPaired,
                           u"%1 is not paired with this computer."_s.arg(m_target.address),
                           m_target.notPairedAdvice);
        m_agentPath = callbackPath(u"agent");
        if (!m_bus.registerVirtualObject(m_agentPath, m_callbacks.get()))
            return failure(LinkOpenFailure::Other, m_bus.lastError().message());
        const auto agent = objectPath(m_agentPath);
        const QString manager = u"org.bluez.AgentManager1"_s;
        const QDBusMessage registered = callAndWait(
            m_bus,
            methodCall(u"/org/bluez"_s, manager, u"RegisterAgent"_s, {agent, u"KeyboardDisplay"_s}),
            5s, m_target.cancel);
        if (registered.type() != QDBusMessage::ReplyMessage)
            return failure(
                LinkOpenFailure::Other,
                u"BlueZ did not take the pairing agent: %1"_s.arg(errorText(registered)));
        const QDBusMessage paired = callAndWait(m_bus, methodCall(m_devicePath, kDevice, u"Pair"_s),
                                                kPairingTimeout, m_target.cancel);
        (void)callAndWait(m_bus,
                          methodCall(u"/org/bluez"_s, manager, u"UnregisterAgent"_s, {agent}), 5s,
                          nullptr);
        m_bus.unregisterObject(m_agentPath);
        m_agentPath.clear();
        if (paired.type() == QDBusMessage::ReplyMessage) {
            m_pairedHere = true;
            return std::nullopt;
        }
        if (paired.errorName().startsWith(u"org.bluez.Error.Authentication"))
            return failure(LinkOpenFailure::PairingRefused,
                           u"The module refused the pairing PIN (%1)."_s.arg(paired.errorName()));
        return failure(LinkOpenFailure::Other,
                       u"Pairing with %1 failed: %2"_s.arg(m_target.address, errorText(paired)));
    }

    // Our client profile for the Serial Port service, connected: bluetoothd looks up the
    // module's channel, connects it and hands the socket to NewConnection.
    std::optional<LinkOpenError> connectProfile() {
        m_profilePath = callbackPath(u"profile");
        if (!m_bus.registerVirtualObject(m_profilePath, m_callbacks.get()))
            return failure(LinkOpenFailure::Other, m_bus.lastError().message());
        const QVariantMap options{{u"Name"_s, u"Tavrenode Config"_s},
                                  {u"Role"_s, u"client"_s},
                                  {u"AutoConnect"_s, false}};
        const QString uuid = QString::fromUtf16(kSerialPortUuid);
        const QDBusMessage registered = callAndWait(
            m_bus,
            methodCall(u"/org/bluez"_s, u"org.bluez.ProfileManager1"_s, u"RegisterProfile"_s,
                       {objectPath(m_profilePath), uuid, options}),
            5s, m_target.cancel);
        if (registered.type() != QDBusMessage::ReplyMessage) {
            m_bus.unregisterObject(m_profilePath);
            m_profilePath.clear();
            return failure(
                LinkOpenFailure::Other,
                u"BlueZ did not take the serial port profile: %1"_s.arg(errorText(registered)));
        }
        const QDBusMessage connected =
            callAndWait(m_bus, methodCall(m_devicePath, kDevice, u"ConnectProfile"_s, {uuid}),
                        kConnectTimeout, m_target.cancel);
        if (connected.type() != QDBusMessage::ReplyMessage)
            return failure(
                connected.errorName() == u"org.bluez.Error.NotAvailable"
                    ? LinkOpenFailure::NotSerial
                    : LinkOpenFailure::NotFound,
                u"BlueZ could not connect to %1: %2"_s.arg(m_target.address, errorText(connected)));
        // The reply comes after bluetoothd has had its answer to NewConnection.
        if (!waitFor([&] { return m_callbacks->hasSocket(); }, QDeadlineTimer(kDisconnectTimeout),
                     m_target.cancel))
            return failure(
                LinkOpenFailure::Other,
                u"BlueZ connected %1 but handed no connection over."_s.arg(m_target.address));
        m_socket.adoptSocket(m_callbacks->takeSocket());
        return std::nullopt;
    }

    QDBusConnection m_bus;
    SerialDevice m_socket;
    std::unique_ptr<BluezCallbacks> m_callbacks;
    QString m_adapterPath;
    QString m_devicePath;
    QString m_profilePath;
    QString m_agentPath;
    bool m_paired = false;
    bool m_pairedHere = false;
};

QList<FoundModule> modulesIn(const ManagedObjects &objects) {
    QList<FoundModule> modules;
    for (const QMap<QString, QVariantMap> &interfaces : objects) {
        const auto device = interfaces.constFind(kDevice);
        if (device == interfaces.constEnd() || !Discovery::matches(*device))
            continue;
        FoundModule module{device->value(u"Address"_s).toString().toUpper(), deviceName(*device),
                           device->value(u"Paired"_s).toBool(), std::nullopt,
                           offersSerialPort(*device)};
        if (device->contains(u"RSSI"_s))
            module.rssi = device->value(u"RSSI"_s).toInt();
        modules.append(module);
    }
    return modules;
}

// The adapter to search with; empty, with the reason, when BlueZ cannot be asked.
QString searchAdapter(const QDBusConnection &bus, const std::atomic<bool> *cancel,
                      QString *failure) {
    const auto fail = [&](const QString &why) {
        if (failure)
            *failure = why;
        return QString();
    };
    if (!bus.isConnected() || !bus.interface() ||
        !bus.interface()->isServiceRegistered(kBluez).value())
        return fail(u"BlueZ (bluetoothd) is not running."_s);
    const std::optional<ManagedObjects> objects = managedObjects(bus, cancel);
    if (!objects)
        return fail(u"BlueZ did not list its devices."_s);
    const QString adapter = firstAdapter(*objects);
    return adapter.isEmpty() ? fail(u"This computer has no Bluetooth adapter."_s) : adapter;
}

} // namespace

BluezLinks::BluezLinks(const QDBusConnection &bus)
    : m_bus(bus) {}

std::unique_ptr<ModuleLink> BluezLinks::link(const BluetoothTarget &target) const {
    return std::make_unique<BluezLink>(m_bus, target);
}

QList<FoundModule> BluezLinks::scan(std::chrono::milliseconds duration,
                                    const std::atomic<bool> *cancel, QString *failure,
                                    const std::function<void(const FoundModule &)> &seen) const {
    QList<FoundModule> found;
    const auto fail = [&](const QString &why) {
        if (failure)
            *failure = why;
        return found;
    };
    const QString adapter = searchAdapter(m_bus, cancel, failure);
    if (adapter.isEmpty())
        return found;
    std::optional<ManagedObjects> objects;
    {
        const Discovery discovery(m_bus, adapter, cancel);
        if (!discovery.failure().isEmpty())
            return fail(u"The search did not start: %1"_s.arg(discovery.failure()));
        QList<FoundModule> told;
        (void)lookUntil(m_bus, QDeadlineTimer(duration), cancel, [&](const ManagedObjects &now) {
            for (const FoundModule &module : modulesIn(now)) {
                if (seen && (module.paired || module.rssi) && !told.contains(module)) {
                    told.append(module);
                    seen(module);
                }
            }
            return false;
        });
        objects = managedObjects(m_bus, nullptr);
    }
    if (!objects)
        return fail(u"BlueZ did not list its devices."_s);
    for (const FoundModule &module : modulesIn(*objects)) {
        // What is neither paired nor heard in this search is an old entry of BlueZ's.
        if (module.paired || module.rssi)
            found.append(module);
    }
    std::sort(found.begin(), found.end(),
              [](const auto &a, const auto &b) { return a.address < b.address; });
    return found;
}

} // namespace tavrenode

namespace tavrenode {

QList<FoundModule> BluezLinks::pairedModules(QString *failure) const {
    QList<FoundModule> paired;
    if (searchAdapter(m_bus, nullptr, failure).isEmpty())
        return paired;
    const std::optional<ManagedObjects> objects = managedObjects(m_bus, nullptr);
    for (const FoundModule &module : objects ? modulesIn(*objects) : QList<FoundModule>()) {
        if (module.paired && module.serialPort)
            paired.append(module);
    }
    std::sort(paired.begin(), paired.end(),
              [](const auto &a, const auto &b) { return a.address < b.address; });
    return paired;
}

std::optional<FoundModule> BluezLinks::nextModule(const QString &namePrefix,
                                                  const QStringList &skip,
                                                  const std::atomic<bool> *cancel,
                                                  QString *failure) const {
    const QString adapter = searchAdapter(m_bus, cancel, failure);
    if (adapter.isEmpty())
        return std::nullopt;
    const Discovery discovery(m_bus, adapter, cancel);
    if (!discovery.failure().isEmpty()) {
        if (failure)
            *failure = u"The search did not start: %1"_s.arg(discovery.failure());
        return std::nullopt;
    }
    std::optional<FoundModule> next;
    (void)lookUntil(m_bus, QDeadlineTimer::Forever, cancel, [&](const ManagedObjects &now) {
        for (const FoundModule &module : modulesIn(now)) {
            if (!next && module.serialPort && module.name.startsWith(namePrefix) &&
                !skip.contains(module.address))
                next = module;
        }
        return next.has_value();
    });
    return next;
}

} // namespace tavrenode
