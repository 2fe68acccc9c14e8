#include "BluetoothLinks.h"
#include "BluezModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>

using namespace Qt::StringLiterals;

namespace tavrenode {

bool systemHasBluetoothLinks() {
    return true;
}

const BluetoothLinks *systemBluetoothLinks(QString *whyNot) {
    // Loaded now, not at start: see BluezModule_unix.cpp.
    const QString path = QCoreApplication::instance()
                             ? QDir(QCoreApplication::applicationDirPath())
                                   .filePath(QString::fromLatin1(bluez_module::kRelativePath))
                             : QString();
    QLibrary module(path);
    const auto links = reinterpret_cast<bluez_module::LinksEntry>(
        path.isEmpty() ? nullptr : module.resolve(bluez_module::kLinksEntry));
    if (!links) {
        if (whyNot)
            *whyNot = u"the BlueZ module did not load (%1)."_s.arg(
                path.isEmpty() ? u"no application"_s : module.errorString());
        return nullptr;
    }
    return links();
}

} // namespace tavrenode
