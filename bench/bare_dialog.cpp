// The start-up floor: a bare Qt Widgets dialog of a given size holding given child widgets,
// and nothing else: no settings, no icon, no form data.
//   bare-dialog WIDTH HEIGHT COUNT              COUNT labels
//   bare-dialog WIDTH HEIGHT CLASS=COUNT,...    so many widgets of each class
#include "FirstPaintProbe.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

QWidget *create(const QString &className, int index, QWidget *parent) {
    const QString text = className.mid(1) + u' ' + QString::number(index);
    if (className == u"QCheckBox")
        return new QCheckBox(text, parent);
    if (className == u"QComboBox") {
        auto *combo = new QComboBox(parent);
        combo->addItem(text);
        return combo;
    }
    if (className == u"QGroupBox")
        return new QGroupBox(text, parent);
    if (className == u"QLineEdit")
        return new QLineEdit(text, parent);
    if (className == u"QPushButton")
        return new QPushButton(text, parent);
    return new QLabel(text, parent);
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    if (argc != 4)
        return 2;
    const int width = QByteArray(argv[1]).toInt();
    const int height = QByteArray(argv[2]).toInt();

    QStringList classes;
    const QString children = QString::fromLocal8Bit(argv[3]);
    bool isCount = false;
    const int count = children.toInt(&isCount);
    if (isCount) {
        for (int i = 0; i < count; ++i)
            classes.append(u"QLabel"_s);
    } else {
        for (const QString &entry : children.split(u',', Qt::SkipEmptyParts)) {
            const QStringList parts = entry.split(u'=');
            for (int i = 0; i < parts.value(1).toInt(); ++i)
                classes.append(parts.first());
        }
    }

    QDialog dialog;
    dialog.setFixedSize(width, height);
    constexpr int kColumns = 4;
    const auto rows = std::max<qsizetype>(1, (classes.size() + kColumns - 1) / kColumns);
    const int cellWidth = width / kColumns;
    const int cellHeight = height / int(rows);
    for (qsizetype i = 0; i < classes.size(); ++i) {
        QWidget *child = create(classes[i], int(i), &dialog);
        child->setGeometry(int(i % kColumns) * cellWidth, int(i / kColumns) * cellHeight, cellWidth,
                           cellHeight);
    }
    tavrenode::FirstPaintProbe::install(dialog);
    dialog.exec();
    return 0;
}
