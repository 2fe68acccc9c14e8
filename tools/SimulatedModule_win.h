#pragma once

#include "ConfigRecord.h"
#include "ModuleSimulator.h"

#include <QList>
#include <QString>

namespace tavrenode {

// Under Wine, the Linux simulator (the Unix program TAVRENODE_HOST_SIM names) as a process
// of its own, serving one of the COM ports that the test's wrapper maps to links in the Unix
// folder TAVRENODE_WINE_PORTS: COM20 to COM23 lead to FOLDER/com20 to FOLDER/com23, and
// each module takes the next. Wine starts a Unix program it is asked to start, but can
// neither wait for it nor stop it, so a shell does both; what the module received is read
// from its output.
class SimulatedModule {
public:
    explicit SimulatedModule(const SimScript &script = {});
    ~SimulatedModule();
    SimulatedModule(const SimulatedModule &) = delete;
    SimulatedModule &operator=(const SimulatedModule &) = delete;

    // The port's device name, \\.\COMn. Empty when the simulator did not start.
    QString path() const;
    // The module goes away: the simulator ends, its link goes and its device hangs up under
    // whoever has it open.
    void vanish();
    QList<int> blocks() const;
    // Runs that sent something and then closed the device.
    int runs() const;
    QList<ConfigRecord> records() const;

    static constexpr int kFirstPort = 20;
    static constexpr int kPortCount = 4;

private:
    QString output() const;
    void stop();

    int m_port = 0;
    QString m_link, m_log, m_pid; // Unix paths
    bool m_running = false;
};

} // namespace tavrenode
