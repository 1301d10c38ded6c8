// The drawing pass: plot rectangle, legend, title, axis bands, labels, ticks, grid and series lines,
// checked to the pixel with the recording surface's fixed metrics (8 point: 14 high, 6 per character;
// 9 pixels: 11 high, 5 per character).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "marlix/chart/chart.h"
#include "marlix/signal_charts/SignalCharts.h"
#include "recording_surface.h"

namespace marlix::chart {
namespace {

using testing::RecordingHost;
using testing::RecordingSurface;

const double kDay = EncodeDayTime(2026, 12, 6);

void FixAxis(TChartAxis& axis, double lo, double hi) {
    axis.SetAutomatic(false);
    axis.SetAutomaticMinimum(false);
    axis.SetAutomaticMaximum(false);
    axis.SetMinMax(lo, hi);
}

// The window's signal-strength chart, 758 x 146, configured by the window's own code and fixed to
// one day as a load leaves it, before the three charts are lined up.
class ChartStrengthLayout : public ::testing::Test {
  protected:
    void SetUp() override {
        host.chart = &chart;
        chart.SetBounds(758, 146);
        ui::ConfigureChartStrength(chart);
        chart.EndConfiguring();
        ui::SetDayRange(chart, kDay, kDay);
        ui::PutFixLabels(chart);
        ui::FixRightAxisToLeft(chart);
    }

    const RecordingSurface& Pass() {
        chart.RedrawIfPending();
        return host.surface;
    }

    RecordingHost host;
    TChart chart{&host};
};

TEST_F(ChartStrengthLayout, PlotRectangleFromMarginsLegendTitleAndBands) {
    Pass();
    // (11 + Lb 15 + 4, 5 + 14 + 8, 752 - W 90 - gap 22 - Rb 48 - 4, 141 - 14 - 4)
    EXPECT_EQ(chart.PlotRect(), (TRect{30, 27, 588, 123}));
    EXPECT_EQ(chart.PanelRect(), (TRect{0, 0, 758, 146}));
}

TEST_F(ChartStrengthLayout, BackgroundBevelAndFrameComeFirst) {
    const auto& s = Pass();
    ASSERT_GE(s.calls.size(), 2u);
    EXPECT_EQ(s.calls[0], "fill (0,0,758,146) FFFFFF");
    EXPECT_EQ(s.calls[1], "bevel (0,0,758,146)");
    EXPECT_EQ(s.With("frame"),
              (std::vector<std::string>{"frame (662,15,752,76) 000000", "frame (30,27,589,124) 000000"}));
}

TEST_F(ChartStrengthLayout, LegendListsTheSeriesTitlesAtTheRight) {
    const auto& s = Pass();
    const TLegendLayout& legend = chart.LegendLayout();
    EXPECT_TRUE(legend.Shown);
    EXPECT_EQ(legend.Style, lsSeries);
    EXPECT_EQ(legend.Rect, (TRect{662, 15, 752, 76}));
    EXPECT_EQ(legend.RowCount, 4);
    EXPECT_EQ(legend.SymbolWidth, 14);
    EXPECT_EQ(legend.SymbolX, 668);
    EXPECT_EQ(legend.TextX, 691);
    const auto texts = s.With("text 689,");
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "text 689,17 left-top 'Strength' 000000", "text 689,31 left-top 'Num good' 000000",
                         "text 689,45 left-top '2D/3D fix' 000000", "text 689,59 left-top 'Trend' 000000"}));
    // Symbols: a line across the symbol box's middle, in each series' pen.
    const auto lines = s.With("line 668,");
    EXPECT_EQ(lines, (std::vector<std::string>{"line 668,24 682,24 808080", "line 668,38 682,38 004000",
                                               "line 668,52 682,52 008000", "line 668,66 682,66 C08000"}));
}

TEST_F(ChartStrengthLayout, TitleCentredOverWhatTheLegendLeaves) {
    const auto& s = Pass();
    EXPECT_EQ(chart.TitleLayout().Box, (TRect{121, 5, 529, 21}));
    EXPECT_EQ(s.With("text 124,6"),
              (std::vector<std::string>{"text 124,6 left-top 'Average signal strength and number of good "
                                        "satellites (signal >= 4)' FF0000"}));
}

TEST_F(ChartStrengthLayout, BottomAxisLabelsFromTheTopDown) {
    Pass();
    const TChartAxis& axis = chart.BottomAxis();
    EXPECT_TRUE(axis.Shown());
    EXPECT_TRUE(axis.IsDateTimeAxis());
    EXPECT_EQ(axis.IStartPos(), 30);
    EXPECT_EQ(axis.IEndPos(), 588);
    EXPECT_EQ(axis.LabelsPos(), 127);
    EXPECT_DOUBLE_EQ(axis.LastIncrement(), 2.0 / 24);
    std::vector<TDrawnLabel> expected;
    const int positions[] = {542, 495, 449, 402, 356, 309, 263, 216, 170, 123, 77, 30};
    for (int i = 0; i < 12; ++i) {
        char text[8];
        std::snprintf(text, sizeof text, "%02d:00", 22 - 2 * i);
        expected.push_back(TDrawnLabel{text, positions[i], positions[i], 127});
    }
    EXPECT_EQ(axis.DrawnLabels(), expected);
    EXPECT_EQ(axis.TickPositions(), std::vector<int>(std::begin(positions), std::end(positions)));
}

TEST_F(ChartStrengthLayout, LocaleSeparatorsInTheLabelsAndOnlySingleBytesTaken) {
    core::LocaleConventions finnish;
    finnish.decimalSeparator = ",";
    finnish.timeSeparator = ".";
    const TFormatSettings settings = ui::ChartFormatSettings(finnish);
    EXPECT_EQ(settings.DecimalSeparator, ',');
    EXPECT_EQ(settings.TimeSeparator, '.');
    EXPECT_EQ(settings.ThousandSeparator, '.');
    chart.SetFormatSettings(settings);
    Pass();
    EXPECT_EQ(chart.BottomAxis().DrawnLabels().front().Text, "22.00");
    EXPECT_EQ(chart.LeftAxis().LabelValue(2.5), "2,5");

    core::LocaleConventions arabic;
    arabic.decimalSeparator = "\u066b";  // two bytes in UTF-8: no chart label can hold it
    const TFormatSettings fallback = ui::ChartFormatSettings(arabic);
    EXPECT_EQ(fallback.DecimalSeparator, '.');
    EXPECT_EQ(fallback.ThousandSeparator, ',');
    EXPECT_EQ(fallback.TimeSeparator, ':');
}

TEST_F(ChartStrengthLayout, BottomTicksGridAndMinorTicks) {
    const auto& s = Pass();
    const auto ticks = s.With("line 542,");
    // Outer tick, dotted grid line, then the first minor tick left of it.
    EXPECT_EQ(ticks,
              (std::vector<std::string>{"line 542,124 542,128 808080", "line 542,28 542,123 808080 dot"}));
    // No grid line on the axis end at 30, though its label and tick are drawn.
    EXPECT_TRUE(s.With("line 30,28").empty());
    EXPECT_EQ(s.With("line 30,124"), (std::vector<std::string>{"line 30,124 30,128 808080"}));
    // Minor ticks beyond the first label (right of 22:00) and none beyond the axis start.
    EXPECT_EQ(s.With("line 554,"), (std::vector<std::string>{"line 554,124 554,126 808080"}));
    EXPECT_EQ(s.With("line 566,"), (std::vector<std::string>{"line 566,124 566,126 808080"}));
    EXPECT_EQ(s.With("line 577,"), (std::vector<std::string>{"line 577,124 577,126 808080"}));
    EXPECT_TRUE(s.With("line 18,").empty());
    // Three between 22:00 and 20:00, counted from 20:00: 495 + Round(11.75 j).
    EXPECT_EQ(s.With("line 507,"), (std::vector<std::string>{"line 507,124 507,126 808080"}));
    EXPECT_EQ(s.With("line 519,"), (std::vector<std::string>{"line 519,124 519,126 808080"}));
    EXPECT_EQ(s.With("line 530,"), (std::vector<std::string>{"line 530,124 530,126 808080"}));
}

TEST_F(ChartStrengthLayout, LeftAxisValueLabelsCentredOnTheirTicks) {
    const auto& s = Pass();
    const TChartAxis& axis = chart.LeftAxis();
    EXPECT_EQ(axis.LabelsPos(), 26);
    EXPECT_EQ(axis.TickPositions(), (std::vector<int>{27, 46, 65, 85, 104, 123}));
    EXPECT_EQ(axis.DrawnLabels(), (std::vector<TDrawnLabel>{{"10", 27, 26, 22},
                                                            {"8", 46, 26, 41},
                                                            {"6", 65, 26, 60},
                                                            {"4", 85, 26, 80},
                                                            {"2", 104, 26, 99},
                                                            {"0", 123, 26, 118}}));
    EXPECT_EQ(s.With("text 26,22"), (std::vector<std::string>{"text 26,22 right-top '10' 000000"}));
    EXPECT_EQ(s.With("line 29,46"), (std::vector<std::string>{"line 29,46 25,46 808080"}));
    EXPECT_EQ(s.With("line 31,46"), (std::vector<std::string>{"line 31,46 588,46 808080 dot"}));
}

TEST_F(ChartStrengthLayout, RightAxisItemsInTheirOwnFont) {
    const auto& s = Pass();
    const TChartAxis& axis = chart.RightAxis();
    EXPECT_EQ(axis.LabelsPos(), 592);
    EXPECT_EQ(axis.DrawnLabels(),
              (std::vector<TDrawnLabel>{
                  {"  No fix", 123, 592, 116}, {"  2D", 115, 592, 108}, {"  3D", 108, 592, 101}}));
    EXPECT_EQ(s.With("text 592,116"), (std::vector<std::string>{"text 592,116 left-top '  No fix' 008000"}));
    EXPECT_EQ(s.With("line 589,115"), (std::vector<std::string>{"line 589,115 593,115 808080"}));
}

TEST_F(ChartStrengthLayout, SeriesWithoutPointsDrawNoLine) {
    const auto& s = Pass();
    EXPECT_TRUE(s.With("clip").empty());
    for (int i = 0; i < chart.SeriesCount(); ++i) EXPECT_EQ(chart.Series(i).FirstDrawnIndex(), -1);
    EXPECT_EQ(chart.LegendLayout().RowCount, 4);
}

TEST_F(ChartStrengthLayout, WidenedMarginNarrowsTheLegendGap) {
    Pass();
    chart.SetMarginRight(3 + 34);
    Pass();
    // Initial width 709: gap 3 * 709 div 100 = 21; legend 628..718.
    EXPECT_EQ(chart.LegendLayout().Rect, (TRect{628, 15, 718, 76}));
    EXPECT_EQ(chart.PlotRect(), (TRect{30, 27, 628 - 21 - 48 - 4, 123}));
}

TEST_F(ChartStrengthLayout, DayOfPointsIsDrawnAsOneClippedPolyline) {
    TChartSeries& strength = chart.Series(0);
    for (int m = 0; m < 1440; ++m) strength.AddPoint(kDay + m / 1440.0, 5 + (m % 120) / 40.0);
    const auto& s = Pass();
    EXPECT_EQ(strength.FirstDrawnIndex(), 0);
    EXPECT_EQ(strength.LastDrawnIndex(), 1439);
    EXPECT_EQ(s.With("clip"), (std::vector<std::string>{"clip (30,26,588,124)"}));
    // The calls between the clip and its removal form one continuous polyline from the first point
    // to the last, with no zero-length segment and fewer segments than points.
    auto clip = std::find(s.calls.begin(), s.calls.end(), "clip (30,26,588,124)");
    auto unclip = std::find(clip, s.calls.end(), "unclip");
    ASSERT_NE(unclip, s.calls.end());
    int x = 30, y = chart.LeftAxis().ValueToPixel(5), segments = 0;
    for (auto it = clip + 1; it != unclip; ++it, ++segments) {
        int x1, y1, x2, y2;
        ASSERT_EQ(std::sscanf(it->c_str(), "line %d,%d %d,%d 808080", &x1, &y1, &x2, &y2), 4) << *it;
        EXPECT_EQ(x1, x);
        EXPECT_EQ(y1, y);
        EXPECT_TRUE(x2 != x1 || y2 != y1) << *it;
        EXPECT_GE(x2, x1);
        x = x2;
        y = y2;
    }
    EXPECT_EQ(x, chart.BottomAxis().ValueToPixel(kDay + 1439 / 1440.0));
    EXPECT_GT(segments, 558);
    EXPECT_LT(segments, 1439);
}

// Margins, normalisation and the automatic widening of axis ends.
class ChartPlainLayout : public ::testing::Test {
  protected:
    void SetUp() override {
        host.chart = &chart;
        chart.SetView3D(false);
        chart.Legend().SetVisible(false);
        chart.EndConfiguring();
    }
    void Pass() { chart.RedrawIfPending(); }
    RecordingHost host;
    TChart chart{&host};
};

TEST_F(ChartPlainLayout, PercentMarginsOfThePanelExtent) {
    chart.SetBounds(758, 146);
    chart.SetAxisVisible(false);
    Pass();
    // 3 % of 758 is 22, 4 % of 146 is 5.
    EXPECT_EQ(chart.PlotRect(), (TRect{23, 6, 735, 140}));
}

TEST_F(ChartPlainLayout, PixelMarginsGiveTheInitialRectangle) {
    chart.SetBounds(758, 146);
    chart.SetAxisVisible(false);
    chart.SetMarginUnits(muPixels);
    chart.SetMarginLeft(10);
    Pass();
    EXPECT_EQ(chart.PlotRect(), (TRect{11, 5, 754, 141}));
}

TEST_F(ChartPlainLayout, NarrowPanelKeepsOnePixelOfWidth) {
    chart.SetBounds(10, 146);
    chart.SetAxisVisible(false);
    chart.SetMarginUnits(muPixels);
    chart.SetMarginLeft(10);
    Pass();
    EXPECT_EQ(chart.PlotRect(), (TRect{11, 5, 12, 141}));
}

TEST_F(ChartPlainLayout, AutomaticEndsWidenByThePenMargin) {
    chart.SetBounds(503, 100);
    chart.SetMarginUnits(muPixels);
    for (int i = 0; i < 4; ++i) chart.SetMargin(i, 0);
    chart.LeftAxis().SetVisible(false);
    TFastLineSeries& s = chart.AddFastLineSeries("s");
    s.AddPoint(0, 1);
    s.AddPoint(100, 2);
    Pass();
    const TChartAxis& axis = chart.BottomAxis();
    ASSERT_EQ(axis.IAxisSize(), 501);
    EXPECT_DOUBLE_EQ(axis.ScaleMinimum(), 0 - 100.0 / 499);
    EXPECT_DOUBLE_EQ(axis.ScaleMaximum(), 100 + 100.0 / 499);
    EXPECT_EQ(axis.Minimum(), 0);
    EXPECT_EQ(axis.Maximum(), 100);
    // A wider pen keeps more room: width 4 gives 3 pixels.
    s.LinePen().SetWidth(4);
    Pass();
    EXPECT_DOUBLE_EQ(chart.BottomAxis().ScaleMinimum(), 0 - 3 * 100.0 / 495);
    // A fixed axis is not widened.
    chart.BottomAxis().SetAutomatic(false);
    chart.SetMarginLeft(1);
    Pass();
    EXPECT_EQ(chart.BottomAxis().ScaleMinimum(), 0);
    EXPECT_EQ(chart.BottomAxis().ScaleMaximum(), 100);
}

TEST_F(ChartPlainLayout, OnlyOneEndAutomaticWidensOnlyThatEnd) {
    chart.SetBounds(503, 100);
    chart.SetMarginUnits(muPixels);
    for (int i = 0; i < 4; ++i) chart.SetMargin(i, 0);
    chart.LeftAxis().SetVisible(false);
    TFastLineSeries& s = chart.AddFastLineSeries("s");
    s.AddPoint(0, 1);
    s.AddPoint(100, 2);
    chart.BottomAxis().SetAutomaticMinimum(false);
    chart.BottomAxis().SetMinimum(0);
    Pass();
    EXPECT_EQ(chart.BottomAxis().ScaleMinimum(), 0);
    EXPECT_DOUBLE_EQ(chart.BottomAxis().ScaleMaximum(), 100 + 100.0 / 500);
}

TEST_F(ChartPlainLayout, AutomaticRangeIgnoresInactiveSeriesWhileAnotherIsActive) {
    chart.SetBounds(300, 100);
    TFastLineSeries& a = chart.AddFastLineSeries("a");
    TFastLineSeries& b = chart.AddFastLineSeries("b");
    TFastLineSeries& r = chart.AddFastLineSeries("r");
    r.SetVertAxis(aRightAxis);
    a.AddPoint(0, 5);
    a.AddPoint(1, 9);
    b.AddPoint(0, -50);
    b.AddPoint(1, 70);
    r.AddPoint(0, 1000);
    b.SetActive(false);
    Pass();
    EXPECT_EQ(chart.LeftAxis().Minimum(), 5);
    EXPECT_EQ(chart.LeftAxis().Maximum(), 9);
    EXPECT_EQ(chart.RightAxis().Minimum(), 1000);
    EXPECT_EQ(chart.RightAxis().Maximum(), 1000);
    a.SetActive(false);
    Pass();
    EXPECT_EQ(chart.LeftAxis().Minimum(), -50);
    EXPECT_EQ(chart.LeftAxis().Maximum(), 70);
}

TEST_F(ChartPlainLayout, AutomaticAxisWithoutPointsIsZero) {
    chart.SetBounds(300, 100);
    chart.AddFastLineSeries("a");
    chart.LeftAxis().SetMinimum(-3);
    Pass();
    EXPECT_EQ(chart.LeftAxis().Minimum(), 0);
    EXPECT_EQ(chart.LeftAxis().Maximum(), 0);
    EXPECT_TRUE(chart.LeftAxis().RangeZero());
}

TEST_F(ChartPlainLayout, UnusedAxesTakeNoSpace) {
    chart.SetBounds(300, 100);
    chart.SetMarginUnits(muPixels);
    chart.AddFastLineSeries("a");
    Pass();
    EXPECT_FALSE(chart.TopAxis().Shown());
    EXPECT_FALSE(chart.RightAxis().Shown());
    EXPECT_TRUE(chart.LeftAxis().Shown());
    EXPECT_EQ(chart.PlotRect().Right, 300 - 1 - 3);
    EXPECT_EQ(chart.PlotRect().Top, 1 + 4);
}

// A fixed 0..100 by 0..98 chart in which a value maps to x = 1 + 2 v and y = 99 - v.
class ChartSeriesDrawing : public ::testing::Test {
  protected:
    void SetUp() override {
        host.chart = &chart;
        chart.SetBounds(202, 100);
        chart.SetMarginUnits(muPixels);
        for (int i = 0; i < 4; ++i) chart.SetMargin(i, 0);
        chart.SetAxisVisible(false);
        chart.Legend().SetVisible(false);
        FixAxis(chart.BottomAxis(), 0, 100);
        FixAxis(chart.LeftAxis(), 0, 98);
        chart.EndConfiguring();
    }
    const RecordingSurface& Pass() {
        chart.RedrawIfPending();
        return host.surface;
    }
    RecordingHost host;
    TChart chart{&host};
    TFastLineSeries& series = chart.AddFastLineSeries("s");
};

TEST_F(ChartSeriesDrawing, EntersFromThePointBeforeAndLeavesThroughThePointBeyond) {
    for (auto [x, y] : {std::pair{-10.0, 10.0},
                        {-5.0, 20.0},
                        {10.0, 30.0},
                        {10.2, 30.0},
                        {10.4, 40.0},
                        {10.45, 50.0},
                        {60.0, 50.0},
                        {120.0, 0.0},
                        {130.0, 0.0}})
        series.AddPoint(x, y);
    const auto& s = Pass();
    EXPECT_EQ(chart.PlotRect(), (TRect{1, 1, 201, 99}));
    EXPECT_EQ(series.FirstDrawnIndex(), 2);
    EXPECT_EQ(series.LastDrawnIndex(), 7);
    std::vector<std::string> expected{"clip (1,0,201,100)",
                                      "line -9,79 21,69 0000FF",
                                      "line 21,69 22,59 0000FF",
                                      "line 22,59 22,49 0000FF",
                                      "line 22,49 121,49 0000FF",
                                      "line 121,49 241,99 0000FF",
                                      "unclip"};
    std::vector<std::string> drawn(s.calls.end() - 7, s.calls.end());
    EXPECT_EQ(drawn, expected);
}

TEST_F(ChartSeriesDrawing, SamePixelAndSameValueIsDrawnOnce) {
    series.AddPoint(10, 30);
    series.AddPoint(10 + 1.0 / 1440, 30);
    series.AddPoint(20, 30);
    const auto& s = Pass();
    EXPECT_EQ(s.With("line"), (std::vector<std::string>{"line 21,69 41,69 0000FF"}));
}

TEST_F(ChartSeriesDrawing, PointsFurtherApartThanTheJoinLimitAreNotJoined) {
    series.SetJoinLimit(1.5);
    // The point before the range is too far from the first one inside it; 7 has no neighbour.
    for (double x : {-2.0, 1.0, 2.0, 4.0, 5.0, 6.5, 10.0}) series.AddPoint(x, 10);
    const auto& s = Pass();
    EXPECT_EQ(s.With("line"), (std::vector<std::string>{"line 3,89 5,89 0000FF", "line 9,89 11,89 0000FF",
                                                        "line 11,89 14,89 0000FF"}));
}

TEST_F(ChartSeriesDrawing, NothingVisibleBeyondTheRange) {
    series.AddPoint(-20, 1);
    series.AddPoint(-10, 2);
    const auto& s = Pass();
    EXPECT_EQ(series.FirstDrawnIndex(), -1);
    EXPECT_EQ(series.LastDrawnIndex(), -1);
    EXPECT_TRUE(s.With("line").empty());
}

TEST_F(ChartSeriesDrawing, InactiveSeriesIsNotDrawn) {
    series.AddPoint(10, 1);
    series.AddPoint(20, 2);
    series.SetActive(false);
    EXPECT_TRUE(Pass().With("line").empty());
}

TEST_F(ChartSeriesDrawing, ZeroRangeDrawsAtTheCentre) {
    FixAxis(chart.BottomAxis(), 0, 100);
    chart.LeftAxis().SetAutomatic(true);
    series.AddPoint(10, 5);
    series.AddPoint(20, 5);
    const auto& s = Pass();
    EXPECT_TRUE(chart.LeftAxis().RangeZero());
    EXPECT_EQ(s.With("line"), (std::vector<std::string>{"line 21,50 41,50 0000FF"}));
}

TEST_F(ChartSeriesDrawing, NoClippingWhenSwitchedOff) {
    chart.SetClipPoints(false);
    series.AddPoint(10, 1);
    series.AddPoint(20, 2);
    EXPECT_TRUE(Pass().With("clip").empty());
}

// Legend rows and what happens when they do not fit.
class ChartLegendRows : public ::testing::Test {
  protected:
    void SetUp() override {
        host.chart = &chart;
        chart.SetMarginUnits(muPixels);
        chart.SetAxisVisible(false);
        for (const char* title : {"One", "Two", "Three", "Four"})
            chart.AddFastLineSeries("s").SetTitle(title);
        chart.EndConfiguring();
    }
    RecordingHost host;
    TChart chart{&host};
};

TEST_F(ChartLegendRows, OnlyRowsThatFitAreShown) {
    chart.SetBounds(300, 60);
    chart.RedrawIfPending();
    // Top 6; (55 - 2 - 6) div 14 = 3 rows.
    EXPECT_EQ(chart.LegendLayout().RowCount, 3);
    EXPECT_EQ(chart.LegendLayout().Rows, (std::vector<std::string>{"One", "Two", "Three"}));
    EXPECT_EQ(chart.LegendLayout().Rect.Bottom, 6 + 3 * 14 + 2 + 2 + 1);
}

TEST_F(ChartLegendRows, NoRoomForARowMeansNoLegend) {
    chart.SetBounds(300, 20);
    chart.RedrawIfPending();
    EXPECT_FALSE(chart.LegendLayout().Shown);
    EXPECT_TRUE(host.surface.With("frame").size() == 1u);  // the plot frame alone
    EXPECT_EQ(chart.PlotRect().Right, 300 - 1 - 3);
}

TEST_F(ChartLegendRows, RowTextsFallBackToNames) {
    chart.Series(0).SetTitle(
        "a\x06"
        "b");
    chart.Series(1).SetTitle("");
    TFastLineSeries& unnamed = chart.AddFastLineSeries("");
    unnamed.SetTitle("");
    chart.Series(2).SetShowInLegend(false);
    chart.Series(3).SetActive(false);
    chart.SetBounds(300, 146);
    chart.RedrawIfPending();
    EXPECT_EQ(chart.LegendLayout().Rows, (std::vector<std::string>{"a b", "s", "Series5"}));
}

TEST_F(ChartLegendRows, FixedGapOfSeventyOne) {
    for (int i = 1; i < 4; ++i) chart.Series(i).SetActive(false);
    chart.Series(0).SetTitle("PDOP");
    chart.Legend().SetLegendStyle(lsSeries);
    chart.Legend().SetHorizMargin(71);
    chart.SetMarginLeft(10);
    chart.SetBounds(758, 146);
    chart.RedrawIfPending();
    // Width 54 = (24 + 6 - 1 + 12) + 8 + 2 + 3.
    EXPECT_EQ(chart.LegendLayout().Rect, (TRect{698, 15, 752, 34}));
    EXPECT_EQ(chart.PlotRect().Right, 698 - 71);
}

TEST_F(ChartLegendRows, SingleActiveSeriesInAutoStyleListsItsPoints) {
    for (int i = 1; i < 4; ++i) chart.Series(i).SetActive(false);
    for (double y : {1.5, 2.0, 1000.0}) chart.Series(0).AddPoint(y, y);
    chart.SetBounds(300, 146);
    chart.RedrawIfPending();
    EXPECT_EQ(chart.LegendLayout().Style, lsValues);
    EXPECT_EQ(chart.LegendLayout().Rows, (std::vector<std::string>{"1.5", "2", "1,000"}));
    chart.Legend().SetLegendStyle(lsSeries);
    chart.RedrawIfPending();
    EXPECT_EQ(chart.LegendLayout().Rows, (std::vector<std::string>{"One"}));
}

// Custom axis items.
TEST(ChartCustomItems, OutsideTheRangeDrawsNothingButWidensTheBand) {
    RecordingHost host;
    TChart chart(&host);
    host.chart = &chart;
    chart.SetBounds(400, 146);
    chart.SetMarginUnits(muPixels);
    chart.Legend().SetVisible(false);
    TFastLineSeries& s = chart.AddFastLineSeries("s");
    s.SetVertAxis(aRightAxis);
    FixAxis(chart.RightAxis(), 0, 10);
    chart.RightAxis().MinorTicks().SetVisible(false);
    chart.RightAxis().Axis().SetVisible(false);
    chart.EndConfiguring();
    chart.RightAxis().Items().AddItem(5, "  In");
    chart.RightAxis().Items().AddItem(50, "  Far outside");
    chart.RedrawIfPending();
    const TChartAxis& axis = chart.RightAxis();
    EXPECT_EQ(axis.LabelsPos(), 400 - 1 - 3 - 13 * 6);
    EXPECT_EQ(chart.PlotRect().Right, 400 - 1 - 3 - 13 * 6 - 4);
    ASSERT_EQ(axis.DrawnLabels().size(), 1u);
    EXPECT_EQ(axis.DrawnLabels()[0].Text, "  In");
    EXPECT_EQ(axis.TickPositions().size(), 1u);
}

TEST(ChartCustomItems, ClearedItemsLeaveNoLabelsAtAll) {
    RecordingHost host;
    TChart chart(&host);
    host.chart = &chart;
    chart.SetBounds(400, 146);
    chart.AddFastLineSeries("s").SetVertAxis(aRightAxis);
    chart.EndConfiguring();
    chart.RightAxis().Items().AddItem(5, "x");
    chart.RightAxis().Items().ClearItems();
    chart.RightAxis().SetMaximum(10);
    chart.RedrawIfPending();
    EXPECT_TRUE(chart.RightAxis().Items().HasCustomItems());
    EXPECT_TRUE(chart.RightAxis().DrawnLabels().empty());
    EXPECT_TRUE(chart.RightAxis().TickPositions().empty());
}

}  // namespace
}  // namespace marlix::chart
