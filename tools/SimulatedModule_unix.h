#pragma once

#include "ModuleSimulator.h"

#include <atomic>
#include <mutex>
#include <thread>

#include <QList>
#include <QString>

namespace tavrenode {

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
