#pragma once

// A made-up day of minute points for the window's signal-strength chart: a slow swell with ripples,
// Num good following it, a 2D fix for 20 minutes of every 300, and the smooth trend.

#include <cmath>

#include "marlix/chart/chart.h"
#include "marlix/core/day_analysis.h"

namespace marlix::chart::sample {

inline void FillStrengthDay(TChart& strength, double day) {
    for (int m = 0; m < 1440; ++m) {
        const double x = day + m / 1440.0;
        const double level = 6 + 1.5 * std::sin(m / 90.0) + 0.4 * std::sin(m * 0.7);
        strength.Series(0).AddPoint(x, level);
        strength.Series(1).AddPoint(x, std::round(level + 1));
        strength.Series(2).AddPoint(x, m % 300 < 20 ? core::kFix2DPlotted : core::kFix3DPlotted);
        strength.Series(3).AddPoint(x, 6 + 1.5 * std::sin(m / 90.0));
    }
}

}  // namespace marlix::chart::sample
