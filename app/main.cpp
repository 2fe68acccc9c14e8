#include "SettingsStore.h"

#include <QCoreApplication>
#include <QTextStream>

using namespace tavrenode;

// Until the configuration window exists the tool only shows what it would program.
int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    app.setApplicationName(applicationNameFromExecutable(QCoreApplication::applicationFilePath()));
    const SettingsStore store(QString::fromUtf16(SettingsStore::kCompany), app.applicationName());
    ModuleSettings settings;
    store.load(settings);
    QTextStream(stdout) << "settings: " << store.location() << "\n"
                        << "port: " << settings.comPort << "\n";
    return 0;
}
