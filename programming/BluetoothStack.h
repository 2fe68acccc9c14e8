#pragma once

#include "BluetoothLinks.h"
#include "ModuleLink.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

#include <QList>
#include <QString>

namespace tavrenode {

// A device as a Bluetooth stack lists it.
struct StackDevice {
    std::uint64_t address = 0; // 00:11:22:33:44:55 is 0x001122334455
    QString name;
    bool paired = false;
    friend bool operator==(const StackDevice &, const StackDevice &) = default;
};

// A connected RFCOMM channel.
class StackStream {
public:
    virtual ~StackStream() = default;
    // The bytes taken, -1 when the channel failed (error says why).
    [[nodiscard]] virtual qint64 send(const char *data, qint64 size, QString *error) = 0;
    // Up to size bytes; 0 when none came within timeout; -1 when the other side closed the
    // channel or it failed (error says which).
    [[nodiscard]] virtual qint64 receive(char *data, qint64 size, std::chrono::milliseconds timeout,
                                         QString *error) = 0;
};

enum class StackPairing : std::uint8_t { Paired, Refused, Failed };

// What a system's Bluetooth stack is asked by the links, in its own calls (Winsock and the
// Bluetooth API on Windows); StackLinks does the rest above it. Each call blocks and says
// why it failed.
class BluetoothStack {
public:
    virtual ~BluetoothStack() = default;
    // Why the stack cannot be used at all (no radio, say); empty when it can.
    [[nodiscard]] virtual QString unavailable() const = 0;
    // The devices the system knows (paired or remembered), and with a search of about
    // `search` (none when zero) those in range as well. None when the stack failed.
    [[nodiscard]] virtual std::optional<QList<StackDevice>>
    devices(std::chrono::milliseconds search, QString *failure) const = 0;
    // Whether the device offers the Serial Port service, as far as the stack can tell.
    [[nodiscard]] virtual bool offersSerialPort(std::uint64_t address) const = 0;
    [[nodiscard]] virtual StackPairing pair(std::uint64_t address, const QString &pin,
                                            QString *failure) const = 0;
    [[nodiscard]] virtual bool unpair(std::uint64_t address, QString *failure) const = 0;
    // The module's Serial Port service, connected (the stack finds its channel).
    [[nodiscard]] virtual std::unique_ptr<StackStream>
    connect(std::uint64_t address, LinkOpenFailure *kind, QString *failure) const = 0;
};

// "00:11:22:33:44:55" and back; none for text that is no address.
[[nodiscard]] std::optional<std::uint64_t> parseBluetoothAddress(const QString &text);
[[nodiscard]] QString bluetoothAddressText(std::uint64_t address);

// Links, searches and pairing over a stack, as the BlueZ links do them on Linux: a module
// that is not paired is paired with the target's PIN and unpaired again on closing unless
// the pairing is to stay; older pairings are never touched.
class StackLinks final : public BluetoothLinks {
public:
    explicit StackLinks(const BluetoothStack &stack)
        : m_stack(stack) {}

    [[nodiscard]] std::unique_ptr<ModuleLink> link(const BluetoothTarget &target) const override;
    [[nodiscard]] QList<FoundModule> pairedModules(QString *failure) const override;
    [[nodiscard]] QList<FoundModule>
    scan(std::chrono::milliseconds duration, const std::atomic<bool> *cancel, QString *failure,
         const std::function<void(const FoundModule &)> &seen) const override;
    [[nodiscard]] std::optional<FoundModule> nextModule(const QString &namePrefix,
                                                        const QStringList &skip,
                                                        const std::atomic<bool> *cancel,
                                                        QString *failure) const override;

    // One search of the stack's takes about this long; a longer wait is made of several, so
    // that cancelling is noticed between them.
    static constexpr std::chrono::milliseconds kSearchSlice{2560};

private:
    [[nodiscard]] FoundModule found(const StackDevice &device) const;

    const BluetoothStack &m_stack;
};

} // namespace tavrenode
