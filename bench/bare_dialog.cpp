// The start-up floor: a bare Qt Widgets dialog of a given size with a given number of
// child widgets, and nothing else: no settings, no icon, no form data.
//   bare-dialog WIDTH HEIGHT CHILDREN
#include "FirstPaintProbe.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    if (argc != 4)
        return 2;
    const int width = QByteArray(argv[1]).toInt();
    const int height = QByteArray(argv[2]).toInt();
    const int children = QByteArray(argv[3]).toInt();

    QDialog dialog;
    dialog.setFixedSize(width, height);
    constexpr int kColumns = 4;
    const int rows = (children + kColumns - 1) / kColumns;
    for (int i = 0; i < children; ++i) {
        auto *label = new QLabel(QStringLiteral("Label %1").arg(i), &dialog);
        label->setGeometry(i % kColumns * width / kColumns, i / kColumns * height / rows,
                           width / kColumns, height / rows);
    }
    tavrenode::FirstPaintProbe::installIfAsked(dialog);
    dialog.exec();
    return 0;
}
