#include "ProfileFiles.h"

#include "Profile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>
#include <QStandardPaths>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace tavrenode {

namespace {

QString translated(const char *text) {
    return QCoreApplication::translate("ProfileFiles", text);
}

QString nameFilters() {
    return translated("Tavrenode profiles (*.%1)").arg(kProfileSuffix) + u";;"_s +
           translated("All files (*)");
}

} // namespace

QString DialogProfileFileChooser::saveFileName(QWidget *parent, const QString &suggestedName) {
    QFileDialog dialog(parent, translated("Save settings as"),
                       QDir(folder()).filePath(suggestedName), nameFilters());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QString::fromUtf16(kProfileSuffix));
    return choose(dialog);
}

QString DialogProfileFileChooser::loadFileName(QWidget *parent) {
    QFileDialog dialog(parent, translated("Load settings from"), folder(), nameFilters());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return choose(dialog);
}

QString DialogProfileFileChooser::folder() {
    if (m_folder.isEmpty()) {
        m_folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (!QDir(m_folder).exists()) // not every account has one
            m_folder = QDir::homePath();
    }
    return m_folder;
}

QString DialogProfileFileChooser::choose(QFileDialog &dialog) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    QString chosen = dialog.selectedFiles().constFirst();
    m_folder = QFileInfo(chosen).absolutePath();
    return chosen;
}

QString profileFileName(const QString &deviceName) {
    QString name;
    for (const QChar c : deviceName) {
        if (c.isLetterOrNumber() || c == u'-' || c == u'_')
            name += c;
        else if (c.isSpace() && !name.endsWith(u' '))
            name += u' ';
    }
    name = name.trimmed();
    if (name.isEmpty())
        name = u"module"_s;
    return name + u'.' + QString::fromUtf16(kProfileSuffix);
}

QString droppedFile(const QMimeData *data) {
    if (!data || !data->hasUrls())
        return {};
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.constFirst().isLocalFile())
        return {};
    return urls.constFirst().toLocalFile();
}

} // namespace tavrenode
