#include "DialogUnits.h"

#include <QFontMetrics>

using namespace Qt::StringLiterals;

namespace tavrenode {

namespace {

// The average width is taken over the 52 Latin letters, rounded, as dialog templates have
// always measured it.
int averageCharacterWidth(const QFontMetrics &metrics) {
    const QString letters = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"_s;
    return (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
}

} // namespace

DialogUnits::DialogUnits(const QFont &font)
    : DialogUnits(double(averageCharacterWidth(QFontMetrics(font))),
                  double(QFontMetrics(font).height())) {}

} // namespace tavrenode
