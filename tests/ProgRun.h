#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// tavrenode-prog run to its end as a script runs it: no input, its exit code and both outputs.
struct ProgRun {
    int exitCode = -1; // -1: it did not end within a minute
    QString out;
    QString err;
};

inline ProgRun
runProg(const QStringList &arguments,
        const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(TAVRENODE_PROG_PATH), arguments);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000))
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}
