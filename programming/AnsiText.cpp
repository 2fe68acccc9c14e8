#include "AnsiText.h"

#include <array>

namespace tavrenode {

namespace {

// The printable characters Windows-1252 puts at 0x80..0x9F, where Latin-1 has controls.
// The five positions Windows leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1
// control of the same value, as Windows' own conversion does.
constexpr std::array<char16_t, 32> kHighControls{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98..9F
};

constexpr char kDefaultCharacter = '?';

char windows1252Byte(char32_t codePoint) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF))
        return static_cast<char>(codePoint);
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == codePoint)
            return static_cast<char>(0x80 + i);
    }
    return kDefaultCharacter;
}

} // namespace

QByteArray toWindows1252(QStringView text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar unit = text[i];
        if (unit.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i; // a pair is one character, and none beyond the BMP is in the code page
            bytes.append(kDefaultCharacter);
        } else if (unit.isSurrogate()) {
            bytes.append(kDefaultCharacter);
        } else {
            bytes.append(windows1252Byte(unit.unicode()));
        }
    }
    return bytes;
}

} // namespace tavrenode
