#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

#include <QString>

class QIODevice;

namespace tavrenode {

// Why a link to a module would not open.
enum class LinkOpenFailure : std::uint8_t {
    None,
    NotFound,       // nothing there
    NoPermission,   // the user may not use it
    Busy,           // another program has it
    NotSerial,      // it is not a serial device, or offers no serial port
    NotPaired,      // a Bluetooth module that is not paired, and no PIN to pair it with
    PairingRefused, // the module would not pair with the PIN given
    Other,
};

struct LinkOpenError {
    LinkOpenFailure failure = LinkOpenFailure::Other;
    QString reason; // in the system's words
    QString advice; // what the user can do about it; may be empty
};

// A way to a module: opened for one transfer, a byte stream while open, closed afterwards.
// The transfer knows nothing else of it, so every kind of link (a serial device, a socket)
// gets the same protocol, messages and results.
class ModuleLink {
public:
    virtual ~ModuleLink() = default;

    // How messages name the link: "COM4", the device path the user gave, or the module's
    // Bluetooth address.
    [[nodiscard]] virtual QString name() const = 0;
    // Where it leads: the device path, or the module's address.
    [[nodiscard]] virtual QString target() const = 0;

    // A write may take up to timeout where the system does not return at once.
    [[nodiscard]] virtual std::optional<LinkOpenError> open(std::chrono::milliseconds timeout) = 0;
    // The bytes to and from the module, while open. Supports the blocking waits.
    [[nodiscard]] virtual QIODevice &stream() = 0;
    // Discards whatever waits to be sent or has arrived unread.
    virtual void purge() = 0;
    // The other side hung up or went away under the transfer.
    [[nodiscard]] virtual bool lost() const = 0;
    virtual void close() = 0;
};

// How the window turns its port number into a link. Tests put links in its place that
// misbehave on cue.
class LinkFactory {
public:
    virtual ~LinkFactory() = default;
    [[nodiscard]] virtual std::unique_ptr<ModuleLink> portLink(std::int32_t port) const = 0;
};

} // namespace tavrenode
