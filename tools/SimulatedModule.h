#pragma once

#include "ModuleSimulator.h"
#include "PortNaming.h"
#include "SerialLink.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

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

// The simulator serving its pseudo-terminal on a thread of its own, as a module would.
class SimulatedModule {
public:
    explicit SimulatedModule(const SimScript &script = {}) {
        m_simulator.setScript(script);
        ModuleSimulator::Callbacks callbacks;
        callbacks.onBlock = [this](int block, std::span<const std::uint8_t>) {
            const std::lock_guard lock(m_mutex);
            m_blocks.push_back(block);
        };
        callbacks.onRecord = [this](const ConfigRecord &record) {
            const std::lock_guard lock(m_mutex);
            m_records.push_back(record);
        };
        callbacks.onRunEnd = [this] {
            ++m_runs;
        };
        m_thread = std::thread([this, callbacks] { m_simulator.serve(m_stop, callbacks); });
    }
    ~SimulatedModule() { stop(); }
    SimulatedModule(const SimulatedModule &) = delete;
    SimulatedModule &operator=(const SimulatedModule &) = delete;

    QString path() const { return QString::fromStdString(m_simulator.devicePath()); }

    // The module goes away: its device disappears under whoever has it open.
    void vanish() {
        stop();
        m_simulator.hangUp();
    }
    QList<int> blocks() const {
        const std::lock_guard lock(m_mutex);
        return m_blocks;
    }
    // Runs that sent something and then closed the device.
    int runs() const { return m_runs; }
    QList<ConfigRecord> records() const {
        const std::lock_guard lock(m_mutex);
        return m_records;
    }

private:
    void stop() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }

    ModuleSimulator m_simulator;
    std::atomic<bool> m_stop = false;
    std::atomic<int> m_runs = 0;
    mutable std::mutex m_mutex;
    QList<int> m_blocks;
    QList<ConfigRecord> m_records;
    std::thread m_thread;
};

} // namespace tavrenode
