#include "MessageBoxSink.h"

#include <QCoreApplication>
#include <QMessageBox>

using namespace Qt::StringLiterals;

namespace tavrenode {

void MessageBoxSink::show(const UserMessage &message) {
    // Some messages separate their lines with CR LF, which only Windows draws as one break.
    QString text = message.text;
    text.replace(u"\r\n"_s, u"\n"_s);
    QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(), text,
                    QMessageBox::Ok, m_parent);
    box.setTextFormat(Qt::PlainText);
    if (!message.detail.isEmpty())
        box.setInformativeText(message.detail);
    box.exec();
}

} // namespace tavrenode
