#include "StatusColours.h"

#include <algorithm>
#include <array>
#include <cmath>

#include <QColor>

namespace tavrenode {

namespace {

// WCAG's threshold for normal text.
constexpr double kReadable = 4.5;

double relativeLuminance(const QColor &colour) {
    const auto linear = [](double channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) +
           0.0722 * linear(rgb.blueF());
}

} // namespace

double contrastRatio(const QColor &first, const QColor &second) {
    const double a = relativeLuminance(first);
    const double b = relativeLuminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QColor statusColour(bool programmed, const QColor &background) {
    // GNOME's palette: green and red dark enough for light windows (5:1 on Fusion's grey),
    // and their light shades for dark ones.
    const std::array<QColor, 2> shades =
        programmed ? std::array{QColor(0x1a, 0x73, 0x46), QColor(0x57, 0xe3, 0x89)}
                   : std::array{QColor(0xc0, 0x1c, 0x28), QColor(0xff, 0x93, 0x8c)};
    const auto byContrast = [&background](const QColor &a, const QColor &b) {
        return contrastRatio(a, background) < contrastRatio(b, background);
    };
    const QColor best = *std::ranges::max_element(shades, byContrast);
    if (contrastRatio(best, background) >= kReadable)
        return best;
    return std::max(QColor(Qt::black), QColor(Qt::white), byContrast);
}

} // namespace tavrenode
