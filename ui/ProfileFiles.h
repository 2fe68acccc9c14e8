#pragma once

#include <QString>

class QFileDialog;
class QMimeData;
class QWidget;

namespace tavrenode {

// Asks the user which profile file to save to or load from. Tests put a recorder in its
// place; the window never opens a file dialog itself.
class ProfileFileChooser {
public:
    virtual ~ProfileFileChooser() = default;
    // The chosen file, or empty when the user cancelled. suggestedName has no folder.
    [[nodiscard]] virtual QString saveFileName(QWidget *parent, const QString &suggestedName) = 0;
    [[nodiscard]] virtual QString loadFileName(QWidget *parent) = 0;
};

// The platform's file dialog, for *.tavrenode files, opening in the user's documents folder
// and then wherever the last file was chosen.
class DialogProfileFileChooser final : public ProfileFileChooser {
public:
    [[nodiscard]] QString saveFileName(QWidget *parent, const QString &suggestedName) override;
    [[nodiscard]] QString loadFileName(QWidget *parent) override;

private:
    QString folder();
    QString choose(QFileDialog &dialog);

    QString m_folder;
};

// A file name for a profile of a module with this device name: its letters, digits and
// dashes, "~" and the like left out ("Tavrenode ~~:~~" gives "Tavrenode.tavrenode").
[[nodiscard]] QString profileFileName(const QString &deviceName);

// The local file a drag carries, when it carries exactly one; otherwise empty.
[[nodiscard]] QString droppedFile(const QMimeData *data);

} // namespace tavrenode
