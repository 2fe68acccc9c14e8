#include "CsvTable.h"

#include <optional>

#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace tavrenode {

std::variant<QList<CsvRow>, CsvFault> readCsv(QByteArrayView content) {
    if (content.startsWith("\xEF\xBB\xBF"))
        content = content.sliced(3);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(content);
    if (decoder.hasError()) {
        // Find the line for the message: decode line by line until one fails.
        int line = 1;
        qsizetype start = 0;
        while (start <= content.size()) {
            qsizetype end = content.indexOf('\n', start);
            if (end < 0)
                end = content.size();
            QStringDecoder probe(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            // decode() only decodes once its result becomes a string.
            const QString decoded = probe.decode(content.sliced(start, end - start));
            if (probe.hasError())
                break;
            start = end + 1;
            ++line;
        }
        return CsvFault{line, 0, u"the line is not UTF-8 text"_s};
    }

    QList<CsvRow> rows;
    CsvRow row;
    QString field;
    int line = 1;
    bool quoted = false;     // inside a quoted field
    bool wasQuoted = false;  // the current field was quoted and is closed
    bool rowStarted = false; // something of the row has been read
    const auto endField = [&] {
        row.fields.append(field);
        field.clear();
        wasQuoted = false;
    };
    const auto endRow = [&]() -> std::optional<CsvFault> {
        if (rowStarted) {
            endField();
            if (!rows.isEmpty() && row.fields.size() != rows.constFirst().fields.size())
                return CsvFault{row.line, int(row.fields.size()),
                                u"the row has %1 fields; the header has %2"_s.arg(row.fields.size())
                                    .arg(rows.constFirst().fields.size())};
            rows.append(row);
        }
        row = CsvRow{};
        rowStarted = false;
        return std::nullopt;
    };

    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!rowStarted) {
            if (c == u'\n' || c == u'\r') {
                line += c == u'\n';
                continue; // blank line
            }
            rowStarted = true;
            row.line = line;
        }
        const int column = int(row.fields.size()) + 1;
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < text.size() && text[i + 1] == u'"') {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                    wasQuoted = true;
                }
            } else {
                line += c == u'\n';
                field += c;
            }
            continue;
        }
        if (c == u',') {
            endField();
        } else if (c == u'\n' || c == u'\r') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            ++line;
            if (auto fault = endRow())
                return *fault;
        } else if (wasQuoted) {
            return CsvFault{line, column, u"text after the closing quote of a field"_s};
        } else if (c == u'"') {
            if (!field.isEmpty())
                return CsvFault{line, column,
                                u"a quote inside a field that does not start with one"_s};
            quoted = true;
        } else {
            field += c;
        }
    }
    if (quoted)
        return CsvFault{row.line, int(row.fields.size()) + 1,
                        u"the quoted field is never closed"_s};
    if (auto fault = endRow())
        return *fault;
    return rows;
}

QString csvField(const QString &text) {
    const bool quote = text.contains(u',') || text.contains(u'"') || text.contains(u'\n') ||
                       text.contains(u'\r') ||
                       (!text.isEmpty() && (text.front().isSpace() || text.back().isSpace() ||
                                            text.front() == QChar(0xFEFF))); // not a BOM
    if (!quote)
        return text;
    QString escaped = text;
    escaped.replace(u"\""_s, u"\"\""_s);
    return u'"' + escaped + u'"';
}

} // namespace tavrenode

namespace tavrenode {

QString csvRow(const QStringList &fields) {
    QStringList written;
    for (const QString &field : fields)
        written << csvField(field);
    const QString row = written.join(u',');
    return (row.isEmpty() ? u"\"\""_s : row) + u"\r\n"_s;
}

} // namespace tavrenode
