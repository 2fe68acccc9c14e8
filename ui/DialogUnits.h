#pragma once

#include <cmath>

#include <QRect>

class QFont;

namespace tavrenode {

// Forms are laid out in dialog units: a quarter of the form font's average character width
// horizontally, an eighth of its height vertically. Converting with the real font keeps the
// form's proportions with whatever font the desktop gives it.
class DialogUnits {
public:
    explicit DialogUnits(const QFont &font);
    DialogUnits(double baseWidth, double baseHeight)
        : m_baseWidth(baseWidth)
        , m_baseHeight(baseHeight) {}

    // The same units, widened by factor.
    [[nodiscard]] DialogUnits widened(double factor) const {
        return {m_baseWidth * factor, m_baseHeight};
    }

    [[nodiscard]] int x(int units) const { return scaled(units, m_baseWidth / 4); }
    [[nodiscard]] int y(int units) const { return scaled(units, m_baseHeight / 8); }
    [[nodiscard]] QRect rect(int left, int top, int width, int height) const {
        return {x(left), y(top), x(width), y(height)};
    }

private:
    // Rounded to the nearest pixel, as the platform's own conversion does.
    static int scaled(int units, double pixelsPerUnit) {
        return static_cast<int>(std::lround(units * pixelsPerUnit));
    }

    double m_baseWidth;
    double m_baseHeight;
};

} // namespace tavrenode
