#include "BluetoothStack.h"

#include <algorithm>

#include <QDeadlineTimer>
#include <QIODevice>

using namespace Qt::StringLiterals;

namespace tavrenode {

std::optional<std::uint64_t> parseBluetoothAddress(const QString &text) {
    if (!isBluetoothAddress(text))
        return std::nullopt;
    bool ok = false;
    const std::uint64_t address = QString(text).remove(u':').toULongLong(&ok, 16);
    return ok ? std::optional(address) : std::nullopt;
}

QString bluetoothAddressText(std::uint64_t address) {
    QStringList pairs;
    for (int shift = 40; shift >= 0; shift -= 8)
        pairs << u"%1"_s.arg(unsigned(address >> shift) & 0xFFu, 2, 16, QChar(u'0')).toUpper();
    return pairs.join(u':');
}

namespace {

// The channel as the transfer reads and writes it: what arrives is kept until read, a wait
// receives, and a closed channel is a lost link.
class StreamDevice final : public QIODevice {
public:
    void attach(std::unique_ptr<StackStream> stream) {
        m_stream = std::move(stream);
        m_received.clear();
        m_lost = false;
        QIODevice::open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    }
    void detach() {
        if (isOpen())
            QIODevice::close();
        m_stream.reset();
        m_received.clear();
    }
    void purge() { m_received.clear(); }
    [[nodiscard]] bool lost() const { return m_lost; }

    [[nodiscard]] qint64 bytesAvailable() const override {
        return m_received.size() + QIODevice::bytesAvailable();
    }
    bool waitForReadyRead(int msecs) override {
        if (!m_stream || m_lost)
            return false;
        char bytes[64];
        QString error;
        const qint64 count = m_stream->receive(
            bytes, qint64(sizeof bytes), std::chrono::milliseconds(std::max(msecs, 0)), &error);
        if (count < 0) {
            m_lost = true;
            setErrorString(error);
            return false;
        }
        m_received.append(bytes, count);
        return count > 0;
    }
    bool waitForBytesWritten(int) override { return false; } // sends do not queue

protected:
    qint64 readData(char *data, qint64 maxSize) override {
        const qint64 count = std::min<qint64>(maxSize, m_received.size());
        std::copy_n(m_received.constData(), count, data);
        m_received.remove(0, count);
        return count;
    }
    qint64 writeData(const char *data, qint64 size) override {
        if (!m_stream || m_lost)
            return -1;
        QString error;
        const qint64 sent = m_stream->send(data, size, &error);
        if (sent < 0) {
            m_lost = true;
            setErrorString(error);
        }
        return sent;
    }

private:
    std::unique_ptr<StackStream> m_stream;
    QByteArray m_received;
    bool m_lost = false;
};

class StackLink final : public BluetoothTargetLink {
public:
    StackLink(const BluetoothStack &stack, BluetoothTarget target)
        : BluetoothTargetLink(std::move(target))
        , m_stack(stack) {}
    ~StackLink() override { close(); }
    StackLink(const StackLink &) = delete;
    StackLink &operator=(const StackLink &) = delete;

    [[nodiscard]] QIODevice &stream() override { return m_device; }
    void purge() override { m_device.purge(); }
    [[nodiscard]] bool lost() const override { return m_device.lost(); }

    void close() override {
        m_device.detach();
        // A pairing this link made goes again unless it is to stay.
        if (m_pairedHere && !m_target.keepPaired) {
            QString ignored;
            (void)m_stack.unpair(m_address, &ignored);
        }
        m_pairedHere = false;
    }

private:
    std::optional<LinkOpenError> connect() override {
        if (const QString why = m_stack.unavailable(); !why.isEmpty())
            return failure(LinkOpenFailure::NotFound, why);
        const std::optional<std::uint64_t> address = parseBluetoothAddress(m_target.address);
        if (!address)
            return failure(LinkOpenFailure::NotFound,
                           u"%1 is not a Bluetooth address."_s.arg(m_target.address));
        m_address = *address;
        std::optional<StackDevice> device;
        if (std::optional<LinkOpenError> error = find(device))
            return error;
        if (!device->paired) {
            if (m_target.pin.isEmpty())
                return failure(LinkOpenFailure::NotPaired,
                               u"%1 is not paired with this computer."_s.arg(m_target.address),
                               m_target.notPairedAdvice);
            QString why;
            switch (m_stack.pair(m_address, m_target.pin, &why)) {
            case StackPairing::Paired:
                m_pairedHere = true;
                break;
            case StackPairing::Refused:
                return failure(LinkOpenFailure::PairingRefused,
                               u"The module refused the pairing PIN (%1)."_s.arg(why));
            case StackPairing::Failed:
                return failure(LinkOpenFailure::Other,
                               u"Pairing with %1 failed: %2"_s.arg(m_target.address, why));
            }
        }
        LinkOpenFailure kind = LinkOpenFailure::Other;
        QString why;
        std::unique_ptr<StackStream> stream = m_stack.connect(m_address, &kind, &why);
        if (!stream)
            return failure(kind, u"Could not connect to %1: %2"_s.arg(m_target.address, why));
        m_device.attach(std::move(stream));
        return std::nullopt;
    }

    // The module as the system knows it, or as a search finds it within the time.
    std::optional<LinkOpenError> find(std::optional<StackDevice> &device) {
        const QDeadlineTimer deadline(m_target.findTimeout);
        for (std::chrono::milliseconds search{0};; search = StackLinks::kSearchSlice) {
            QString why;
            const std::optional<QList<StackDevice>> devices = m_stack.devices(search, &why);
            if (!devices)
                return failure(LinkOpenFailure::Other,
                               u"The system did not list its Bluetooth devices: %1"_s.arg(why));
            const auto match =
                std::find_if(devices->cbegin(), devices->cend(),
                             [&](const StackDevice &d) { return d.address == m_address; });
            if (match != devices->cend()) {
                device = *match;
                return std::nullopt;
            }
            if (deadline.hasExpired() || (m_target.cancel && *m_target.cancel))
                break;
        }
        return failure(LinkOpenFailure::NotFound,
                       u"No Bluetooth device with the address %1 is known here or was found "
                       u"within %2 s."_s.arg(m_target.address)
                           .arg(double(m_target.findTimeout.count()) / 1000.0));
    }

    const BluetoothStack &m_stack;
    StreamDevice m_device;
    std::uint64_t m_address = 0;
    bool m_pairedHere = false;
};

bool cancelled(const std::atomic<bool> *cancel) {
    return cancel && *cancel;
}

} // namespace

std::unique_ptr<ModuleLink> StackLinks::link(const BluetoothTarget &target) const {
    return std::make_unique<StackLink>(m_stack, target);
}

FoundModule StackLinks::found(const StackDevice &device) const {
    FoundModule module;
    module.address = bluetoothAddressText(device.address);
    module.name = device.name;
    module.paired = device.paired;
    module.serialPort = m_stack.offersSerialPort(device.address);
    return module;
}

QList<FoundModule> StackLinks::pairedModules(QString *failure) const {
    QList<FoundModule> modules;
    if (const QString why = m_stack.unavailable(); !why.isEmpty()) {
        if (failure)
            *failure = why;
        return modules;
    }
    QString why;
    const std::optional<QList<StackDevice>> devices = m_stack.devices({}, &why);
    if (!devices) {
        if (failure)
            *failure = why;
        return modules;
    }
    for (const StackDevice &device : *devices) {
        if (!device.paired)
            continue;
        if (FoundModule module = found(device); module.serialPort)
            modules.append(module);
    }
    return modules;
}

QList<FoundModule> StackLinks::scan(std::chrono::milliseconds duration,
                                    const std::atomic<bool> *cancel, QString *failure,
                                    const std::function<void(const FoundModule &)> &seen) const {
    QList<FoundModule> modules;
    if (const QString why = m_stack.unavailable(); !why.isEmpty()) {
        if (failure)
            *failure = why;
        return modules;
    }
    const QDeadlineTimer deadline(duration);
    do {
        const auto left = std::chrono::milliseconds(std::max<qint64>(deadline.remainingTime(), 0));
        QString why;
        const std::optional<QList<StackDevice>> devices =
            m_stack.devices(std::clamp(left, std::chrono::milliseconds(1), kSearchSlice), &why);
        if (!devices) {
            if (failure)
                *failure = why;
            return modules;
        }
        for (const StackDevice &device : *devices) {
            FoundModule module = found(device);
            const auto known =
                std::find_if(modules.begin(), modules.end(),
                             [&](const FoundModule &m) { return m.address == module.address; });
            if (known != modules.end() && *known == module)
                continue;
            if (known != modules.end())
                *known = module;
            else
                modules.append(module);
            if (seen)
                seen(module);
        }
    } while (!deadline.hasExpired() && !cancelled(cancel));
    std::sort(modules.begin(), modules.end(),
              [](const FoundModule &a, const FoundModule &b) { return a.address < b.address; });
    return modules;
}

std::optional<FoundModule> StackLinks::nextModule(const QString &namePrefix,
                                                  const QStringList &skip,
                                                  const std::atomic<bool> *cancel,
                                                  QString *failure) const {
    if (const QString why = m_stack.unavailable(); !why.isEmpty()) {
        if (failure)
            *failure = why;
        return std::nullopt;
    }
    while (!cancelled(cancel)) {
        QString why;
        const std::optional<QList<StackDevice>> devices = m_stack.devices(kSearchSlice, &why);
        if (!devices) {
            if (failure)
                *failure = why;
            return std::nullopt;
        }
        for (const StackDevice &device : *devices) {
            const QString address = bluetoothAddressText(device.address);
            if (device.name.startsWith(namePrefix) &&
                !skip.contains(address, Qt::CaseInsensitive)) {
                if (FoundModule module = found(device); module.serialPort)
                    return module;
            }
        }
    }
    return std::nullopt;
}

} // namespace tavrenode
