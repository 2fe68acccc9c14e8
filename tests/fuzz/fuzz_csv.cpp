// A batch's units file as anyone may write or export it.
#include "CsvTable.h"
#include "FuzzSupport.h"

#include <cstddef>
#include <cstdint>

#include <QByteArray>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    using namespace tavrenode;
    const auto read =
        readCsv(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));
    const auto *rows = std::get_if<QList<CsvRow>>(&read);
    if (!rows)
        return 0;
    // Rows written back as the report writes them read back the same.
    QString text;
    for (const CsvRow &row : *rows) {
        FUZZ_CHECK(row.fields.size() == rows->constFirst().fields.size());
        text += csvRow(row.fields);
    }
    const auto again = readCsv(text.toUtf8());
    const auto *reread = std::get_if<QList<CsvRow>>(&again);
    FUZZ_CHECK(reread && reread->size() == rows->size());
    for (qsizetype i = 0; i < rows->size(); ++i)
        FUZZ_CHECK((*reread)[i].fields == (*rows)[i].fields);
    return 0;
}
