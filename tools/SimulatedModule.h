#pragma once

#include "PortNaming.h"
#include "SerialLink.h"

#include <functional>

#include <QList>
#include <QStringList>

namespace tavrenode {

// Every port number leads to one device; presentDevices and pairedSerialDevices are what the
// advice lists.
class FixedNaming final : public PortNaming {
public:
    explicit FixedNaming(QString path, QStringList present = {},
                         QList<PairedSerialDevice> paired = {})
        : m_path(std::move(path))
        , m_present(std::move(present))
        , m_paired(std::move(paired)) {}
    QString devicePath(std::int32_t) const override { return m_path; }
    QStringList presentDevices() const override { return m_present; }
    QList<PairedSerialDevice> pairedSerialDevices() const override { return m_paired; }

private:
    QString m_path;
    QStringList m_present;
    QList<PairedSerialDevice> m_paired;
};

// Serial links as the system's, that run afterOpen once the port is open and before
// anything is sent: faults are injected there (the device taken away, say).
class HookedLinks final : public LinkFactory {
public:
    explicit HookedLinks(const PortNaming &naming)
        : m_naming(naming) {}

    std::function<void()> afterOpen;

    std::unique_ptr<ModuleLink> portLink(std::int32_t port) const override {
        return std::make_unique<Link>(m_naming, port, afterOpen);
    }

private:
    class Link final : public SerialLink {
    public:
        Link(const PortNaming &naming, std::int32_t port, std::function<void()> afterOpen)
            : SerialLink(naming, port)
            , m_afterOpen(std::move(afterOpen)) {}
        std::optional<LinkOpenError> open(std::chrono::milliseconds timeout) override {
            std::optional<LinkOpenError> error = SerialLink::open(timeout);
            if (!error && m_afterOpen)
                m_afterOpen();
            return error;
        }

    private:
        std::function<void()> m_afterOpen;
    };

    const PortNaming &m_naming;
};

} // namespace tavrenode

// The simulated module itself: on Unix a pseudo-terminal served by a thread of the test; on
// Windows (under Wine) the Linux simulator as a process of its own behind a COM port.
#ifdef _WIN32
#include "SimulatedModule_win.h"
#else
#include "SimulatedModule_unix.h"
#endif
