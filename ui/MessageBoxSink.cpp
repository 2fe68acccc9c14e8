#include "MessageBoxSink.h"

#include <algorithm>

#include <QCoreApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>

using namespace Qt::StringLiterals;

namespace tavrenode {

namespace {

// Qt sizes a box by its first text: after a short one ("Programming Failed.") the detail
// wraps into a column a few words wide and breaks device paths apart. Give the detail the
// width of its longest line, up to about 70 characters, whatever the font and the scale.
void fitToDetail(QMessageBox &box) {
    auto *label = box.findChild<QLabel *>(u"qt_msgbox_informativelabel"_s);
    if (!label)
        return;
    const QFontMetrics metrics(label->font());
    int widest = 0;
    const QStringList lines = label->text().split(u'\n');
    for (const QString &line : lines)
        widest = std::max(widest, metrics.horizontalAdvance(line));
    label->setMinimumWidth(std::min(widest, metrics.averageCharWidth() * 70) + 1);
}

} // namespace

void MessageBoxSink::show(const UserMessage &message) {
    // Some messages separate their lines with CR LF, which only Windows draws as one break.
    QString text = message.text;
    text.replace(u"\r\n"_s, u"\n"_s);
    QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(), text,
                    QMessageBox::Ok, m_parent);
    box.setTextFormat(Qt::PlainText);
    if (!message.detail.isEmpty()) {
        box.setInformativeText(message.detail);
        fitToDetail(box);
    }
    box.exec();
}

} // namespace tavrenode
