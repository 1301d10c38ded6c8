#include "marlix/signal_charts/SignalCharts.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string>

#include "marlix/core/state_words.h"

namespace marlix::ui {

using namespace marlix::chart;

namespace {

constexpr const char* kStrengthTitle = "Average signal strength and number of good satellites (signal >= 4)";
constexpr const char* kPdopTitle = "Dilution of precision (PDOP) - smaller is better";
constexpr const char* kModeTitle = "Percent satellites with signal and lock mode (Inactive/coarse/fine)";
constexpr const char* kModeControlTitle = "Percent satellites with signal and lock mode (Inactive/control)";

constexpr int kLabelPixels = 9;
constexpr double kZoomedLabelStep = 1.0 / 1440;  // one minute

void ConfigureCommon(TChart& chart, const char* title) {
    chart.SetColor(clWhite);
    chart.SetView3D(false);
    chart.SetMarginUnits(muPixels);
    chart.SetMarginLeft(10);
    chart.Title().SetText(title);

    TChartAxis& bottom = chart.BottomAxis();
    bottom.SetDateTimeFormat("hh:mm");
    bottom.Axis().SetVisible(false);

    TChartAxis& left = chart.LeftAxis();
    left.Axis().SetVisible(false);
    left.MinorTicks().SetVisible(false);
    left.LabelsFont().SetPixelSize(kLabelPixels);

    TChartAxis& right = chart.RightAxis();
    right.Axis().SetVisible(false);
    right.Grid().SetVisible(false);
    right.MinorTicks().SetVisible(false);
}

void FixRange(TChartAxis& axis, double minimum, double maximum) {
    axis.SetAutomatic(false);
    axis.SetAutomaticMinimum(false);
    axis.SetAutomaticMaximum(false);
    axis.SetMinMax(minimum, maximum);
}

// The last moment the bottom axes show: the end of the latest day, or of the first when the load
// ends on it (or before it).
double DayRangeEnd(double firstDay, double latestDay) {
    return (latestDay > firstDay ? latestDay : firstDay) + 0.999;
}

// A locale separator of more than one byte cannot stand in a chart label; the default stays.
char SingleByteOr(const std::string& separator, char fallback) {
    return separator.size() == 1 ? separator[0] : fallback;
}

TFastLineSeries& AddSeries(TChart& chart, const char* component, const char* title, TColor colour,
                           TVertAxis vertAxis, bool dateTime) {
    TFastLineSeries& series = chart.AddFastLineSeries(component);
    series.SetTitle(title);
    if (colour != clAutoColor) series.SetSeriesColor(colour);
    series.SetVertAxis(vertAxis);
    series.XValues().SetOrder(loAscending);
    series.XValues().SetDateTime(dateTime);
    series.YValues().SetOrder(loNone);
    return series;
}

// The label of a state stands two blanks off the axis.
void AddRightLabel(TChart& chart, double value, const core::StateWords& words, TColor colour) {
    TAxisItem& item = chart.RightAxis().Items().AddItem(value, "  " + std::string(words.label));
    item.Font().SetColor(colour);
}

}  // namespace

chart::TFormatSettings ChartFormatSettings(const core::LocaleConventions& locale) {
    TFormatSettings settings;
    settings.DecimalSeparator = SingleByteOr(locale.decimalSeparator, settings.DecimalSeparator);
    settings.TimeSeparator = SingleByteOr(locale.timeSeparator, settings.TimeSeparator);
    // A decimal comma takes the thousands point, so that no label could read both ways.
    if (settings.DecimalSeparator == settings.ThousandSeparator) settings.ThousandSeparator = '.';
    return settings;
}

void ConfigureChartStrength(TChart& chart) {
    ConfigureCommon(chart, kStrengthTitle);
    FixRange(chart.LeftAxis(), 0, 10);
    AddSeries(chart, "Series3", "Strength", clGray, aLeftAxis, true);
    AddSeries(chart, "Series4", "Num good", RGBColor(0, 64, 0), aLeftAxis, false);
    AddSeries(chart, "Series1", "2D/3D fix", clGreen, aRightAxis, false);
    AddSeries(chart, "Series5", "Trend", RGBColor(0, 128, 192), aLeftAxis, true);
}

void ConfigureChartPDOP(TChart& chart) {
    ConfigureCommon(chart, kPdopTitle);
    chart.LeftAxis().LabelsFont().SetColor(clPurple);
    chart.Legend().SetLegendStyle(lsSeries);
    chart.Legend().SetTextStyle(ltsPlain);
    chart.Legend().SetHorizMargin(71);
    AddSeries(chart, "FastLineSeries1", "PDOP", clPurple, aLeftAxis, true);
}

void ConfigureChartMode(TChart& chart) {
    ConfigureCommon(chart, kModeTitle);
    FixRange(chart.LeftAxis(), 0, 100);
    chart.LeftAxis().LabelsFont().SetColor(clGreen);
    FixRange(chart.RightAxis(), 0, 100);
    chart.RightAxis().LabelsFont().SetColor(clRed);
    chart.RightAxis().TicksInner().SetVisible(false);
    // The signal line is drawn green while its series colour stays automatic.
    AddSeries(chart, "FastLineSeries2", "Signal", clAutoColor, aLeftAxis, true).LinePen().SetColor(clGreen);
    AddSeries(chart, "Series2", "Mode", RGBColor(0, 128, 192), aRightAxis, true);
}

void PutFixLabels(TChart& strength) {
    strength.RightAxis().Items().ClearItems();
    const TColor fixColour = strength.Series(2).SeriesColor();
    AddRightLabel(strength, core::kFixNonePlotted, core::FixWords(core::FixState::None), fixColour);
    AddRightLabel(strength, core::kFix2DPlotted, core::FixWords(core::FixState::Fix2D), fixColour);
    AddRightLabel(strength, core::kFix3DPlotted, core::FixWords(core::FixState::Fix3D), fixColour);
}

void FixRightAxisToLeft(TChart& strength) {
    TChartAxis& right = strength.RightAxis();
    right.SetAutomatic(false);
    right.SetMinMax(0, strength.LeftAxis().Maximum());
}

TSignalCharts::TSignalCharts(TChart& strength, TChart& pdop, TChart& mode)
    : strength_(strength), pdop_(pdop), mode_(mode) {
    ConfigureChartStrength(strength_);
    ConfigureChartPDOP(pdop_);
    ConfigureChartMode(mode_);
    for (TChart* chart : {&strength_, &pdop_, &mode_}) chart->EndConfiguring();
}

void TSignalCharts::SetLocale(const core::LocaleConventions& locale) {
    locale_ = locale;
    const TFormatSettings settings = ChartFormatSettings(locale);
    for (TChart* chart : {&strength_, &pdop_, &mode_}) chart->SetFormatSettings(settings);
}

TChartSeries& TSignalCharts::SeriesFor(core::SeriesId id) {
    switch (id) {
        case core::SeriesId::Strength:
            return strength_.Series(0);
        case core::SeriesId::NumGood:
            return strength_.Series(1);
        case core::SeriesId::Fix:
            return strength_.Series(2);
        case core::SeriesId::Trend:
            return strength_.Series(3);
        case core::SeriesId::Pdop:
            return pdop_.Series(0);
        case core::SeriesId::Signal:
            return mode_.Series(0);
        case core::SeriesId::Mode:
            return mode_.Series(1);
    }
    return strength_.Series(0);
}

void TSignalCharts::BeginLoad() {
    strength_.BottomAxis().SetAutomatic(true);
    for (int i = 0; i < strength_.SeriesCount(); ++i) strength_.Series(i).ClearPoints();

    pdop_.BottomAxis().SetAutomatic(true);
    TChartAxis& pdopLeft = pdop_.LeftAxis();
    pdopLeft.SetAutomatic(false);
    pdopLeft.SetMinMax(0, 10);
    for (int i = 0; i < pdop_.SeriesCount(); ++i) pdop_.Series(i).ClearPoints();

    mode_.BottomAxis().SetAutomatic(true);
    for (int i = 0; i < mode_.SeriesCount(); ++i) mode_.Series(i).ClearPoints();
}

void TSignalCharts::Plot(const core::DayAnalysis& day) {
    if (zoomed_) {
        for (TChart* chart : {&strength_, &pdop_, &mode_}) chart->BottomAxis().SetIncrement(0);
    }
    BeginLoad();
    controlFormat_ = day.controlFormat;
    firstDay_ = day.firstDay;
    latestDay_ = day.latestDay;
    zoomed_ = false;
    for (int s = 0; s < core::kSeriesCount; ++s) {
        TChartSeries& series = SeriesFor(static_cast<core::SeriesId>(s));
        for (const core::ChartPoint& p : day.series[s]) series.AddPoint(p.x, p.y, "", clAutoColor);
    }

    if (day.firstDay != 0) {
        for (TChart* chart : {&strength_, &pdop_, &mode_}) SetDayRange(*chart, day.firstDay, day.latestDay);
    }
    AlignCharts();
    FixRightAxisToLeft(strength_);
}

void TSignalCharts::AlignCharts() {
    PutFixLabels(strength_);

    mode_.RightAxis().Items().ClearItems();
    const TColor modeColour = mode_.Series(1).SeriesColor();
    AddRightLabel(mode_, core::kModeInactivePlotted,
                  core::ModeWords(core::LockMode::Inactive, controlFormat_), modeColour);
    if (controlFormat_) {
        AddRightLabel(mode_, core::kModeFineOrControlPlotted,
                      core::ModeWords(core::LockMode::FineOrControl, true), modeColour);
        mode_.Title().SetText(kModeControlTitle);
    } else {
        AddRightLabel(mode_, core::kModeCoarsePlotted, core::ModeWords(core::LockMode::Coarse, false),
                      modeColour);
        AddRightLabel(mode_, core::kModeFineOrControlPlotted,
                      core::ModeWords(core::LockMode::FineOrControl, false), modeColour);
        // A later load in the ordinary format names its own lock modes again.
        mode_.Title().SetText(kModeTitle);
    }

    mode_.RedrawIfPending();
    pdop_.RedrawIfPending();
    strength_.RedrawIfPending();

    const std::array<TChart*, 3> charts{&strength_, &pdop_, &mode_};
    int left = charts[0]->PlotRect().Left;
    int right = charts[0]->PlotRect().Right;
    for (TChart* chart : charts) {
        left = std::max(left, chart->PlotRect().Left);
        right = std::min(right, chart->PlotRect().Right);
    }
    std::array<int, 3> rights{};
    for (std::size_t i = 0; i < charts.size(); ++i) rights[i] = charts[i]->PlotRect().Right;

    for (TChart* chart : charts) {
        const int d = left - chart->PlotRect().Left;
        if (d > 0) chart->SetMargin(0, chart->Margin(0) + d);
    }
    for (std::size_t i = 0; i < charts.size(); ++i) {
        const int d = rights[i] - right;
        if (d > 0) charts[i]->SetMargin(2, charts[i]->Margin(2) + d);
    }
}

double TSignalCharts::DayEnd() const {
    return DayRangeEnd(firstDay_, latestDay_);
}

void TSignalCharts::SetTimeSpan(double from, double to) {
    if (!HasDay()) return;
    from = std::max(from, DayStart());
    to = std::min(to, DayEnd());
    if (from <= DayStart() && to >= DayEnd()) {
        ResetTimeSpan();
        return;
    }
    if (!(from < to)) return;
    for (TChart* chart : {&strength_, &pdop_, &mode_}) {
        TChartAxis& axis = chart->BottomAxis();
        axis.SetAutomatic(false);
        axis.SetMinMax(from, to);
        // The labels show hours and minutes: a finer step would repeat a label.
        axis.SetIncrement(kZoomedLabelStep);
    }
    zoomed_ = true;
    AlignCharts();
}

TTimeSpan TSignalCharts::VisibleSpan() const {
    if (!HasDay()) {
        return {-std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};
    }
    const TChartAxis& axis = strength_.BottomAxis();
    return {axis.Minimum(), axis.Maximum()};
}

void TSignalCharts::ResetTimeSpan() {
    if (!HasDay()) return;
    for (TChart* chart : {&strength_, &pdop_, &mode_}) {
        SetDayRange(*chart, firstDay_, latestDay_);
        chart->BottomAxis().SetIncrement(0);
    }
    zoomed_ = false;
    AlignCharts();
}

void SetDayRange(TChart& chart, double firstDay, double latestDay) {
    if (firstDay == 0) return;
    TChartAxis& axis = chart.BottomAxis();
    axis.SetAutomatic(false);
    axis.SetMinMax(firstDay, DayRangeEnd(firstDay, latestDay));
}

}  // namespace marlix::ui
