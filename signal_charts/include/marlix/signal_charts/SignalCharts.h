#pragma once

#include <marlix/chart/chart.h>
#include <marlix/core/day_analysis.h>

namespace marlix::ui {

// A span of time on the bottom axes, both ends included.
struct TTimeSpan {
    double from = 0;
    double to = 0;
    friend bool operator==(const TTimeSpan&, const TTimeSpan&) = default;
};

// The chart settings of the user's locale: its decimal and time separators in the axis labels.
chart::TFormatSettings ChartFormatSettings(const core::LocaleConventions& locale);

// The pieces of the three charts' configuration, each for the chart it names, for drawing one chart
// alone as the window would (tests, the chart sample and the benchmark); TSignalCharts uses them.
void ConfigureChartStrength(chart::TChart& chart);
void ConfigureChartPDOP(chart::TChart& chart);
void ConfigureChartMode(chart::TChart& chart);
// The right-axis texts of ChartStrength: "No fix", "2D" and "3D" at the values the fix series plots.
void PutFixLabels(chart::TChart& strength);
// Fixes the right axis of ChartStrength to the range of its left axis, as every load ends.
void FixRightAxisToLeft(chart::TChart& strength);

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

    // The locale the axis labels follow; the next drawing pass shows it.
    void SetLocale(const core::LocaleConventions& locale);
    const core::LocaleConventions& Locale() const { return locale_; }

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
    void BeginLoad();

    chart::TChart& strength_;
    chart::TChart& pdop_;
    chart::TChart& mode_;
    core::LocaleConventions locale_;
    bool controlFormat_ = false;
    double firstDay_ = 0;
    double latestDay_ = 0;
    bool zoomed_ = false;
};

// Fixes the bottom axis of one chart to the days shown; does nothing while no day was found.
void SetDayRange(chart::TChart& chart, double firstDay, double latestDay);

}  // namespace marlix::ui
