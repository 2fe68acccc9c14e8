// The COM port box's text, as the user may type or paste it, UTF-16 in any shape.
#include "ComPortText.h"
#include "FuzzSupport.h"

#include <cstddef>
#include <cstdint>

#include <QString>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t *>(data),
                                            qsizetype(size / sizeof(char16_t)));
    const std::optional<std::int32_t> port = tavrenode::parseComPort(text);
    if (port) {
        // The number a box shows is the number it gives back.
        FUZZ_CHECK(tavrenode::parseComPort(QString::number(*port)) == port);
        // What follows the first 63 characters never counts.
        FUZZ_CHECK(tavrenode::parseComPort(text.left(63)) == port);
    }
    return 0;
}
