#include "ComPortText.h"

#include <limits>

namespace tavrenode {

std::optional<std::int32_t> parseComPort(QStringView text) {
    constexpr qsizetype kLookedAt = 63;
    text = text.left(kLookedAt);

    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';

    const qsizetype firstDigit = i;
    std::int64_t magnitude = 0;
    constexpr std::int64_t kLimit = std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        magnitude = magnitude * 10 + (text[i].unicode() - u'0');
        if (magnitude > kLimit)
            return std::nullopt;
    }
    if (i == firstDigit)
        return std::nullopt;
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

} // namespace tavrenode
