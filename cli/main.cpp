#include "Commands.h"

#include <QCoreApplication>

int main(int argc, char **argv) {
    const QCoreApplication app(argc, argv);
    return tavrenode::prog::runCommand(QCoreApplication::arguments());
}
