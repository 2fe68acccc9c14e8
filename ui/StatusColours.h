#pragma once

class QColor;

namespace tavrenode {

// WCAG 2's contrast ratio of two colours: from 1 (the same) to 21 (black on white).
[[nodiscard]] double contrastRatio(const QColor &first, const QColor &second);

// The colour the status line shows a run's outcome in on a window of the given background:
// the desktop's green or red, in the shade made for light windows or for dark ones, else
// black or white where neither shade is readable there.
[[nodiscard]] QColor statusColour(bool programmed, const QColor &background);

} // namespace tavrenode
