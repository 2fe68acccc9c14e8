#include "ConfigApp.h"

#include "BluetoothLinks.h"
#include "ConfigDialog.h"
#include "FormTemplates.h"
#include "HelpLauncher.h"
#include "MessageBoxSink.h"
#include "PlatformStart.h"
#include "PortNaming.h"
#include "ProfileFiles.h"
#include "SerialLink.h"
#include "SettingsStore.h"
#include "TavrenodeVersion.h"
#include "TextView.h"

#include <optional>

#include <QApplication>
#include <QIcon>
#include <QKeySequence>

using namespace Qt::StringLiterals;

namespace tavrenode {

namespace {

// With its sizes given, an icon reads each file only when that size is drawn; without, it
// decodes the file at once to learn its size (a 128-pixel one cost 3 % of the window's start).
QIcon windowIcon() {
    QIcon icon;
    for (const int size : {32, 64})
        icon.addFile(u":/tavrenode-config-%1.png"_s.arg(size), QSize(size, size));
    return icon;
}

} // namespace

// In the order they are made; the window goes first when they go.
struct ConfigApp::Parts {
    Parts(int &argc, char **argv)
        : app(argc, argv) {}

    QApplication app;
    MessageBoxSink messages;
    std::optional<SettingsStore> store;
    SystemPortNaming naming;
    SerialLinks links{naming,
                      systemHasBluetoothLinks()
                          ? u"\"%1\" (%2), choosing %3"_s.arg(
                                toQString(strings::kBluetoothItem),
                                QKeySequence(kBluetoothShortcut).toString(QKeySequence::NativeText))
                          : QString()};
    std::optional<DesktopHelpLauncher> help;
    DialogProfileFileChooser profiles;
    std::optional<ConfigDialog> dialog;
};

ConfigApp::ConfigApp(int &argc, char **argv)
    : m_parts(std::make_unique<Parts>(argc, argv)) {
    QApplication &app = m_parts->app;
    app.setApplicationName(applicationNameFromExecutable(QCoreApplication::applicationFilePath()));
    app.setApplicationVersion(toQString(version::kFull));
    app.setDesktopFileName(u"tavrenode-config"_s);
    app.setWindowIcon(windowIcon());

    Parts &p = *m_parts;
    if (!preparePlatform(p.messages))
        return;
    p.store.emplace(QString::fromUtf16(SettingsStore::kCompany), app.applicationName());
    p.help.emplace(findHelpFile(QCoreApplication::applicationFilePath()));
    ConfigServices services{p.messages, p.links, *p.help, *p.store, p.profiles};
    if (systemHasBluetoothLinks())
        services.bluetooth = [] {
            return systemBluetoothLinks(nullptr);
        };
    p.dialog.emplace(services);
    p.messages.setParentWidget(&*p.dialog);
}

ConfigApp::~ConfigApp() = default;

ConfigDialog *ConfigApp::window() const {
    return m_parts->dialog ? &*m_parts->dialog : nullptr;
}

int ConfigApp::run() {
    if (!m_parts->dialog)
        return 1;
    m_parts->dialog->exec();
    return 0;
}

} // namespace tavrenode
