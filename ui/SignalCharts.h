#pragma once

#include <marlix/chart/chart.h>
#include <marlix/core/analysis.h>

namespace marlix::ui {

// The three stacked signal charts that share one time scale. Holds references only;
// the panels own their charts.
class TSignalCharts {
  public:
    TSignalCharts(chart::TChart& strength, chart::TChart& pdop, chart::TChart& mode);

    chart::TChart& ChartStrength() { return strength_; }
    chart::TChart& ChartPDOP() { return pdop_; }
    chart::TChart& ChartMode() { return mode_; }

    // Applies one analysed day: clears and refills the seven series, fixes the
    // time axes to the day and lines the plot rectangles up.
    void Plot(const core::DayAnalysis& day);

    // Rebuilds the right-axis labels for the current format and lines the three
    // plot rectangles up (also after every window resize).
    void AlignCharts();

    bool ControlFormat() const { return controlFormat_; }

  private:
    void Configure();
    void BeginLoad();
    chart::TChartSeries& SeriesFor(core::SeriesId id);

    chart::TChart& strength_;
    chart::TChart& pdop_;
    chart::TChart& mode_;
    bool controlFormat_ = false;
};

// Fixes the bottom axis of one chart to the days shown; does nothing while no day was found.
void SetDayRange(chart::TChart& chart, double firstDay, double latestDay);

}  // namespace marlix::ui
