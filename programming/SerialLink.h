#pragma once

#include "ModuleLink.h"
#include "SerialDevice.h"

namespace tavrenode {

class PortNaming;

// A serial device as the link: an rfcomm device, a COM port, any device path. Not final:
// fault-injection tests interfere once it is open.
class SerialLink : public ModuleLink {
public:
    // Port `port` as naming has it, named "COM<port>" in messages. The advice for a port that
    // is not there names bluetoothCommand (%1: the address) beside each paired module.
    SerialLink(const PortNaming &naming, std::int32_t port, QString bluetoothCommand = {});
    // Any device, named by its path; port is the number that advice offers to bind.
    SerialLink(const PortNaming &naming, std::int32_t port, QString device,
               QString bluetoothCommand);

    [[nodiscard]] QString name() const override { return m_name; }
    [[nodiscard]] QString target() const override { return m_path; }
    [[nodiscard]] std::optional<LinkOpenError> open(std::chrono::milliseconds timeout) override;
    [[nodiscard]] QIODevice &stream() override { return m_device; }
    void purge() override { m_device.purge(); }
    [[nodiscard]] bool lost() const override { return m_device.linkLost(); }
    void close() override { m_device.close(); }

private:
    // What the user can do about a failed open: which devices there are instead, or how to
    // get the right to use this one.
    [[nodiscard]] QString adviceFor(LinkOpenFailure failure) const;

    const PortNaming &m_naming;
    std::int32_t m_port = 0;
    QString m_path;
    QString m_name;
    QString m_bluetoothCommand;
    SerialDevice m_device;
};

// The system's serial devices, by port number.
class SerialLinks final : public LinkFactory {
public:
    explicit SerialLinks(const PortNaming &naming, QString bluetoothCommand = {})
        : m_naming(naming)
        , m_bluetoothCommand(std::move(bluetoothCommand)) {}
    [[nodiscard]] std::unique_ptr<ModuleLink> portLink(std::int32_t port) const override {
        return std::make_unique<SerialLink>(m_naming, port, m_bluetoothCommand);
    }

private:
    const PortNaming &m_naming;
    QString m_bluetoothCommand;
};

} // namespace tavrenode
