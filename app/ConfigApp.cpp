#include "ConfigApp.h"

#include "ConfigDialog.h"
#include "FirstPaintProbe.h"
#include "FormTemplates.h"
#include "HelpLauncher.h"
#include "MessageBoxSink.h"
#include "PortNaming.h"
#include "SerialDevice.h"
#include "SettingsStore.h"

#include <QApplication>
#include <QIcon>

#ifdef Q_OS_WIN
#include <winsock2.h>
#endif

using namespace Qt::StringLiterals;

namespace tavrenode {

namespace {

#ifdef Q_OS_WIN
// The tool uses no sockets; earlier versions refused to start without the socket layer,
// and the check stays so that a broken installation says so at once.
bool startSocketLayer(MessageSink &messages) {
    WSADATA data{};
    const bool started = WSAStartup(MAKEWORD(1, 1), &data) == 0;
    if (started && data.wVersion == MAKEWORD(1, 1))
        return true;
    if (started)
        WSACleanup();
    const auto text = strings::kSocketsFailed;
    messages.show({QString::fromUtf8(text.data(), qsizetype(text.size())), {}});
    return false;
}
#endif

} // namespace

int ConfigApp::run(int argc, char **argv) {
    QApplication app(argc, argv);
    app.setApplicationName(applicationNameFromExecutable(QCoreApplication::applicationFilePath()));
    app.setApplicationVersion(QStringLiteral(TAVRENODE_VERSION));
    app.setDesktopFileName(u"tavrenode-config"_s);
    app.setWindowIcon(QIcon(u":/tavrenode-config.png"_s));

    MessageBoxSink messages;
#ifdef Q_OS_WIN
    if (!startSocketLayer(messages))
        return 1;
#endif
    const SettingsStore store(QString::fromUtf16(SettingsStore::kCompany), app.applicationName());
    const SystemPortNaming naming;
    DesktopHelpLauncher help(findHelpFile(QCoreApplication::applicationFilePath()));

    const PortOpener ports;
    ConfigDialog dialog({messages, naming, help, store, ports});
    messages.setParentWidget(&dialog);
    FirstPaintProbe::installIfAsked(dialog);
    dialog.exec();
    return 0;
}

} // namespace tavrenode
