#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

// One figure per line, as `NAME: VALUE FLOOR RATIO`, values with their units; a figure
// without a floor shows "-" for it and for the ratio.
inline void reportFigure(const std::string &name, double value, double floor, const char *unit) {
    if (floor > 0)
        std::printf("%s: %.3f%s %.3f%s %.2fx\n", name.c_str(), value, unit, floor, unit,
                    value / floor);
    else
        std::printf("%s: %.3f%s - -\n", name.c_str(), value, unit);
    std::fflush(stdout);
}

inline double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}
