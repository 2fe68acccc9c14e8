// The floor of tavrenode-prog's start: a bare QtCore program that prints 192 bytes in hex.
#include <cstdio>

#include <QByteArray>
#include <QCoreApplication>

int main(int argc, char **argv) {
    const QCoreApplication app(argc, argv);
    const QByteArray record(192, '\0');
    for (qsizetype row = 0; row < record.size(); row += 16)
        std::printf("%s\n", record.mid(row, 16).toHex(' ').constData());
    return 0;
}
