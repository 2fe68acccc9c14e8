#include "HelpLauncher.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace tavrenode {

DesktopHelpLauncher::DesktopHelpLauncher(QString helpFile)
    : m_helpFile(std::move(helpFile)) {}

bool DesktopHelpLauncher::showTopic(unsigned topic) {
    if (m_helpFile.isEmpty() || !QFileInfo::exists(m_helpFile))
        return false;
    QUrl url = QUrl::fromLocalFile(m_helpFile);
    url.setFragment(u"topic-0x"_s + QString::number(topic, 16));
    return QDesktopServices::openUrl(url);
}

QString findHelpFile(const QString &executablePath) {
    const QFileInfo executable(executablePath);
    const QDir dir = executable.absoluteDir();
    const QStringList candidates{
        dir.filePath(executable.completeBaseName() + u".html"_s),
        dir.filePath(u"../share/tavrenode-config/tavrenode-config.html"_s),
    };
    for (const QString &candidate : candidates) {
        if (QFileInfo::exists(candidate))
            return QDir::cleanPath(candidate);
    }
    return {};
}

} // namespace tavrenode
