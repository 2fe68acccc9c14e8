#include "AboutDialog.h"

#include "FormBuilder.h"
#include "HelpLauncher.h"
#include "UserMessage.h"

#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace tavrenode {

AboutDialog::AboutDialog(HelpLauncher &help, MessageSink &messages, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
    , m_help(help)
    , m_messages(messages) {
    const Form form = buildForm(forms::kAboutForm, *this);
    form.control<QLabel>(forms::id::BuildStamp)->setText(buildStamp());
    auto *icon = form.control<QLabel>(forms::id::AppIcon);
    icon->setPixmap(windowIcon().pixmap(icon->size()));
    connect(form.control<QPushButton>(forms::id::Ok), &QPushButton::clicked, this,
            &QDialog::accept);
}

QString AboutDialog::buildStamp() {
    return QStringLiteral(__DATE__ "  " __TIME__);
}

void AboutDialog::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        showFormHelp(m_help, m_messages, forms::kAboutForm.resource);
        return;
    }
    QDialog::keyPressEvent(event);
}

void showFormHelp(HelpLauncher &help, MessageSink &messages, int formResource) {
    if (help.showTopic(forms::kHelpTopicBase + unsigned(formResource)))
        return;
    const QString page = help.location();
    messages.show({u"Failed to launch help."_s,
                   page.isEmpty() ? u"No help page was found beside the program or in its "
                                    u"share/tavrenode-config folder."_s
                                  : u"The help page is %1; open it in a web browser."_s.arg(
                                        QDir::toNativeSeparators(page))});
}

} // namespace tavrenode
