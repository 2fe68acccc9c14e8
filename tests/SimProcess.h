#pragma once

#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>

// A simulator run alongside a test: its device reached through a link in the test's folder.
class Simulator {
public:
    Simulator(const QString &link, const QStringList &arguments) {
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(QStringLiteral(TAVRENODE_SIM_PATH),
                        QStringList{QStringLiteral("--link-path"), link} + arguments);
        m_ready = m_process.waitForStarted() &&
                  QTest::qWaitFor([&] { return QFileInfo::exists(link); }, 5000);
    }
    ~Simulator() {
        m_process.terminate();
        m_process.waitForFinished(5000);
    }
    Simulator(const Simulator &) = delete;
    Simulator &operator=(const Simulator &) = delete;

    [[nodiscard]] bool ready() const { return m_ready; }
    QString log() {
        m_log += QString::fromUtf8(m_process.readAll());
        return m_log;
    }

private:
    QProcess m_process;
    QString m_log;
    bool m_ready = false;
};
