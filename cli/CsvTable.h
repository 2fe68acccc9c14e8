#pragma once

#include <variant>

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

namespace tavrenode {

// Comma-separated values as RFC 4180 has them: fields in double quotes may hold commas,
// line breaks and doubled quotes; lines end in CRLF or LF. UTF-8, with or without a BOM.

struct CsvRow {
    int line = 0; // where the row starts, from 1
    QStringList fields;
};

struct CsvFault {
    int line = 0;
    int column = 0; // the field, from 1
    QString reason;
};

// Every row, the header first; blank lines are skipped. Each row must have as many fields
// as the first.
[[nodiscard]] std::variant<QList<CsvRow>, CsvFault> readCsv(QByteArrayView content);

// One field as a row writes it: in quotes when it holds a comma, a quote, a line break or
// blanks at its ends.
[[nodiscard]] QString csvField(const QString &text);

// A whole row with its line end (CRLF). A row of one empty field is written "", since an
// empty line is no row.
[[nodiscard]] QString csvRow(const QStringList &fields);

} // namespace tavrenode
