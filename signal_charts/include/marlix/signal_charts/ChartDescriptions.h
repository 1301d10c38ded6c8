#pragma once

// What each of the three signal charts shows, as a short text for people who cannot see it: the span
// in view, the range or share of each series and the logging gaps. Made from the day's closed minutes
// and totals, so the figures are those of the summary and the cursor readout.

#include <marlix/core/day_analysis.h>

#include <string>
#include <vector>

#include "marlix/signal_charts/SignalCharts.h"

namespace marlix::ui {

struct TChartDescriptions {
    std::string strength;  // ChartStrength: strength, Num good, fix shares
    std::string pdop;      // ChartPDOP: the per-minute PDOP and the day's average
    std::string mode;      // ChartMode: signal share and lock-mode shares
};

// The view as the window shows it: its minutes, the totals of everything it read (the summary's), and
// the span on the time axes. A zoomed span counts the minutes whose points lie in it; the whole view
// takes the totals, so its shares and means are exactly the summary's and the hint's.
struct TDescribedView {
    const std::vector<core::MinuteReading>& minutes;
    const core::DayTotals& totals;
    TTimeSpan shown;
    bool zoomed = false;
};

TChartDescriptions DescribeCharts(const TDescribedView& view, const core::LocaleConventions& locale);

}  // namespace marlix::ui
