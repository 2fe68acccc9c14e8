#pragma once

#include <QDialog>

namespace tavrenode {

class HelpLauncher;
class MessageSink;

// The tool's name, version and the moment it was built.
class AboutDialog final : public QDialog {
    Q_OBJECT

public:
    AboutDialog(HelpLauncher &help, MessageSink &messages, QWidget *parent = nullptr);

    // "Mmm dd yyyy  hh:mm:ss", fixed when the tool is compiled.
    [[nodiscard]] static QString buildStamp();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    HelpLauncher &m_help;
    MessageSink &m_messages;
};

// F1 on a form: the help topic for that form, or a message when help cannot be shown.
void showFormHelp(HelpLauncher &help, MessageSink &messages, int formResource);

} // namespace tavrenode
