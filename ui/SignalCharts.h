#pragma once

#include <marlix/chart/chart.h>
#include <marlix/core/analysis.h>

namespace marlix::ui {

// A span of time on the bottom axes, both ends included.
struct TTimeSpan {
    double from = 0;
    double to = 0;
    friend bool operator==(const TTimeSpan&, const TTimeSpan&) = default;
};

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

    // The series at its place in the day analysis.
    chart::TChartSeries& SeriesFor(core::SeriesId id);

    // Whether the last load found a day; only then do the bottom axes have a fixed range.
    bool HasDay() const { return firstDay_ != 0; }
    // The whole range SetDayRange gives the bottom axes for the last load.
    double DayStart() const { return firstDay_; }
    double DayEnd() const;

    // Fixes the three bottom axes to one time span and lines the charts up again; the span is
    // clipped to the day range, and a span that covers it is the day range itself.
    void SetTimeSpan(double from, double to);
    // Back to the day range, as a load sets it.
    void ResetTimeSpan();
    bool Zoomed() const { return zoomed_; }
    // The time range the bottom axes are fixed to; everything while no day was found.
    TTimeSpan VisibleSpan() const;

  private:
    void Configure();
    void BeginLoad();

    chart::TChart& strength_;
    chart::TChart& pdop_;
    chart::TChart& mode_;
    bool controlFormat_ = false;
    double firstDay_ = 0;
    double latestDay_ = 0;
    bool zoomed_ = false;
};

// Fixes the bottom axis of one chart to the days shown; does nothing while no day was found.
void SetDayRange(chart::TChart& chart, double firstDay, double latestDay);

}  // namespace marlix::ui
