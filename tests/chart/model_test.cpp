// The chart model: points, value lists, axis range setters, automatic colours and redraw bookkeeping.
#include <gtest/gtest.h>

#include "marlix/chart/chart.h"
#include "recording_surface.h"
#include "support/expect_throw.h"

namespace marlix::chart {
namespace {

using testing::RecordingHost;
using testing::RecordingSurface;

std::vector<double> Values(const TChartValueList& list) {
    std::vector<double> v;
    for (int i = 0; i < list.Count(); ++i) v.push_back(list.Value(i));
    return v;
}

// The insertion rule of AddPoint and the side lists it keeps.
class ChartAddPointRule : public ::testing::Test {
  protected:
    TChart chart;
    TFastLineSeries& series = chart.AddFastLineSeries("Series1");
};

TEST_F(ChartAddPointRule, OutOfOrderXLandsInPlaceWithItsY) {
    EXPECT_EQ(series.AddPoint(1, 10), 0);
    EXPECT_EQ(series.AddPoint(3, 30), 1);
    EXPECT_EQ(series.AddPoint(2, 20), 1);
    EXPECT_EQ(Values(series.XValues()), (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(Values(series.YValues()), (std::vector<double>{10, 20, 30}));
}

TEST_F(ChartAddPointRule, EqualXKeepsTheOrderOfAdding) {
    series.AddPoint(1, 1);
    series.AddPoint(2, 2);
    series.AddPoint(3, 3);
    EXPECT_EQ(series.AddPoint(2, 5), 2);
    EXPECT_EQ(series.AddPoint(2, 7), 3);
    EXPECT_EQ(Values(series.XValues()), (std::vector<double>{1, 2, 2, 2, 3}));
    EXPECT_EQ(Values(series.YValues()), (std::vector<double>{1, 2, 5, 7, 3}));
}

TEST_F(ChartAddPointRule, AscendingArrivalReturnsThePointCount) {
    for (int i = 0; i < 1441; ++i) ASSERT_EQ(series.AddPoint(i / 1440.0, i % 7), i);
    EXPECT_EQ(series.PointCount(), 1441);
}

TEST_F(ChartAddPointRule, UnorderedAndDescendingLists) {
    series.XValues().SetOrder(loNone);
    series.AddPoint(3, 0);
    EXPECT_EQ(series.AddPoint(1, 0), 1);
    TFastLineSeries& down = chart.AddFastLineSeries("Down");
    down.XValues().SetOrder(loDescending);
    down.AddPoint(5, 0);
    down.AddPoint(3, 1);
    EXPECT_EQ(down.AddPoint(4, 2), 1);
    EXPECT_EQ(down.AddPoint(3, 3), 3);
    EXPECT_EQ(Values(down.XValues()), (std::vector<double>{5, 4, 3, 3}));
    EXPECT_EQ(Values(down.YValues()), (std::vector<double>{0, 2, 1, 3}));
}

TEST_F(ChartAddPointRule, PointColoursAppearOnlyWithARealColour) {
    series.AddPoint(1, 1);
    series.AddPoint(3, 3);
    EXPECT_TRUE(series.PointColors().empty());
    series.AddPoint(2, 2, "", clRed);
    EXPECT_EQ(series.PointColors(), (std::vector<TColor>{clAutoColor, clRed, clAutoColor}));
    series.AddPoint(0, 0);
    EXPECT_EQ(series.PointColors(), (std::vector<TColor>{clAutoColor, clAutoColor, clRed, clAutoColor}));
    EXPECT_EQ(series.PointColor(2), clRed);
    EXPECT_EQ(series.PointColor(0), series.SeriesColor());
}

TEST_F(ChartAddPointRule, LabelsAreKeptOnceOneIsGiven) {
    series.AddPoint(1, 1);
    EXPECT_TRUE(series.PointLabels().empty());
    series.AddPoint(3, 3, "three");
    series.AddPoint(2, 2);
    EXPECT_EQ(series.PointLabels(), (std::vector<std::string>{"", "", "three"}));
}

TEST_F(ChartAddPointRule, CapacityGrowsInThousandsAndClearingFreesIt) {
    series.AddPoint(0, 0);
    EXPECT_EQ(series.XValues().Capacity(), 1000u);
    for (int i = 1; i <= 1000; ++i) series.AddPoint(i, i);
    EXPECT_EQ(series.XValues().Capacity(), 2000u);
    series.AddPoint(5, 5, "", clRed);
    series.ClearPoints();
    EXPECT_EQ(series.PointCount(), 0);
    EXPECT_EQ(series.YValues().Count(), 0);
    EXPECT_EQ(series.XValues().Capacity(), 0u);
    EXPECT_TRUE(series.PointColors().empty());
    EXPECT_EQ(series.FirstDrawnIndex(), -1);
    EXPECT_EQ(series.LastDrawnIndex(), -1);
}

// Value-list statistics.
TEST(ChartValueListStatistics, EmptyListIsAllZero) {
    TChartValueList list("Y", loNone);
    EXPECT_EQ(list.LowestValue(), 0);
    EXPECT_EQ(list.HighestValue(), 0);
    EXPECT_EQ(list.Total(), 0);
    EXPECT_EQ(list.TotalABS(), 0);
}

TEST(ChartValueListStatistics, RecomputedAfterEveryChange) {
    TChartValueList list("Y", loNone);
    for (double v : {3.0, -2.0, 7.5, 1.0}) list.Insert(list.InsertionIndex(v), v);
    EXPECT_EQ(list.LowestValue(), -2);
    EXPECT_EQ(list.HighestValue(), 7.5);
    EXPECT_EQ(list.Total(), 9.5);
    EXPECT_EQ(list.TotalABS(), 13.5);
    list.Insert(0, -10);
    EXPECT_EQ(list.LowestValue(), -10);
    list.Clear();
    EXPECT_EQ(list.HighestValue(), 0);
}

// The automatic and fixed range setters of an axis.
class ChartAxisRangeSetters : public ::testing::Test {
  protected:
    void SetUp() override { chart.EndConfiguring(); }
    TChart chart;
    TChartAxis& axis = chart.LeftAxis();
};

TEST_F(ChartAxisRangeSetters, MaximumBelowMinimumIsRefusedAndChangesNothing) {
    axis.SetAutomatic(false);
    axis.SetMaximum(10);
    axis.SetMinimum(7);
    EXPECT_THROW_MSG(axis.SetMaximum(5), AxisException, "Axis Maximum Value must be >= Minimum");
    EXPECT_EQ(axis.Minimum(), 7);
    EXPECT_EQ(axis.Maximum(), 10);
    EXPECT_FALSE(axis.Automatic());
}

TEST_F(ChartAxisRangeSetters, MinimumAboveMaximumIsRefused) {
    axis.SetMaximum(10);
    EXPECT_THROW_MSG(axis.SetMinimum(11), AxisException, "Axis Minimum Value must be <= Maximum");
    EXPECT_EQ(axis.Minimum(), 0);
}

TEST_F(ChartAxisRangeSetters, MinMaxTogetherChecksOnlyTheNewPair) {
    axis.SetMaximum(10);
    axis.SetMinimum(7);
    // A range wholly below the old one, which SetMinimum-then-SetMaximum would refuse.
    axis.SetMinMax(1, 5);
    EXPECT_EQ(axis.Minimum(), 1);
    EXPECT_EQ(axis.Maximum(), 5);
    axis.SetMinMax(20, 30);
    EXPECT_EQ(axis.Minimum(), 20);
    EXPECT_EQ(axis.Maximum(), 30);
    EXPECT_THROW_MSG(axis.SetMinMax(9, 8), AxisException, "Axis Minimum Value must be <= Maximum");
    EXPECT_EQ(axis.Minimum(), 20);
    EXPECT_EQ(axis.Maximum(), 30);
}

TEST_F(ChartAxisRangeSetters, MovingDownThroughZeroFirstSucceeds) {
    axis.SetMaximum(10);
    axis.SetMinimum(7);
    axis.SetMinimum(0);
    axis.SetMaximum(5);
    axis.SetMinimum(3);
    EXPECT_EQ(axis.Minimum(), 3);
    EXPECT_EQ(axis.Maximum(), 5);
}

TEST_F(ChartAxisRangeSetters, EqualEndsAreAccepted) {
    axis.SetMaximum(4);
    axis.SetMinimum(4);
    axis.SetMaximum(4);
    EXPECT_EQ(axis.Minimum(), axis.Maximum());
}

TEST_F(ChartAxisRangeSetters, NoChecksWhileConfiguring) {
    TChart fresh;
    fresh.LeftAxis().SetMinimum(7);
    fresh.LeftAxis().SetMaximum(5);
    EXPECT_EQ(fresh.LeftAxis().Minimum(), 7);
    EXPECT_EQ(fresh.LeftAxis().Maximum(), 5);
}

TEST_F(ChartAxisRangeSetters, AutomaticDrivesBothPartialFlags) {
    axis.SetAutomatic(false);
    EXPECT_FALSE(axis.AutomaticMinimum());
    EXPECT_FALSE(axis.AutomaticMaximum());
    axis.SetAutomaticMinimum(true);
    EXPECT_FALSE(axis.Automatic());
    axis.SetAutomaticMaximum(true);
    EXPECT_TRUE(axis.Automatic());
    axis.SetAutomaticMaximum(false);
    EXPECT_FALSE(axis.Automatic());
    EXPECT_TRUE(axis.AutomaticMinimum());
}

TEST_F(ChartAxisRangeSetters, ConfiguringLeavesThePartialFlagsAlone) {
    TChart fresh;
    fresh.LeftAxis().SetAutomatic(false);
    EXPECT_FALSE(fresh.LeftAxis().Automatic());
    EXPECT_TRUE(fresh.LeftAxis().AutomaticMinimum());
    EXPECT_TRUE(fresh.LeftAxis().AutomaticMaximum());
}

// Series joining a panel without a colour of their own.
TEST(ChartAutomaticColours, FirstFreeTableEntrySkippingTheBackground) {
    TChart chart;
    chart.SetColor(clWhite);
    TFastLineSeries& first = chart.AddFastLineSeries("a");
    EXPECT_EQ(first.SeriesColor(), RGBColor(255, 0, 0));
    EXPECT_EQ(first.OwnColor(), clAutoColor);
    EXPECT_EQ(first.LinePen().Color(), RGBColor(255, 0, 0));
    first.SetSeriesColor(RGBColor(0, 128, 0));
    TFastLineSeries& second = chart.AddFastLineSeries("b");
    EXPECT_EQ(second.SeriesColor(), RGBColor(255, 0, 0));
    TFastLineSeries& third = chart.AddFastLineSeries("c");
    EXPECT_EQ(third.SeriesColor(), RGBColor(255, 255, 0));
    TChart red;
    red.SetColor(RGBColor(255, 0, 0));
    EXPECT_EQ(red.AddFastLineSeries("x").SeriesColor(), RGBColor(0, 128, 0));
}

TEST(ChartAutomaticColours, AllTakenGivesTheLastEntry) {
    TChart chart;
    for (int i = 0; i < 20; ++i) chart.AddFastLineSeries(testing::Format("s%d", i));
    EXPECT_EQ(chart.Series(19).SeriesColor(), RGBColor(160, 160, 164));
    EXPECT_EQ(chart.AddFastLineSeries("extra").SeriesColor(), RGBColor(160, 160, 164));
}

TEST(ChartAutomaticColours, PenColourLeavesTheSeriesColourAlone) {
    TChart chart;
    TFastLineSeries& s = chart.AddFastLineSeries("a");
    s.LinePen().SetColor(clGreen);
    EXPECT_EQ(s.SeriesColor(), RGBColor(255, 0, 0));
    s.SetSeriesColor(clPurple);
    EXPECT_EQ(s.LinePen().Color(), clPurple);
}

// Redraw bookkeeping: requests, owed passes and RedrawIfPending.
class ChartRedrawBookkeeping : public ::testing::Test {
  protected:
    void SetUp() override {
        host.chart = &chart;
        chart.SetBounds(300, 100);
        chart.EndConfiguring();
        chart.RedrawIfPending();
        host.invalidations = 0;
        host.paints = 0;
    }
    RecordingHost host;
    TChart chart{&host};
};

TEST_F(ChartRedrawBookkeeping, TwiceInARowRunsOnePass) {
    chart.SetMarginLeft(20);
    chart.RedrawIfPending();
    const TRect first = chart.PlotRect();
    chart.RedrawIfPending();
    EXPECT_EQ(host.paints, 1);
    EXPECT_EQ(chart.PassCount(), 2);  // the one in SetUp and this one
    EXPECT_EQ(chart.PlotRect(), first);
    EXPECT_FALSE(chart.RedrawPending());
}

TEST_F(ChartRedrawBookkeeping, OnlyChangesRequestARedraw) {
    chart.SetMarginLeft(chart.MarginLeft());
    chart.SetColor(chart.Color());
    chart.LeftAxis().SetAutomatic(true);
    chart.Legend().SetHorizMargin(0);
    chart.LeftAxis().Grid().SetVisible(true);
    EXPECT_FALSE(chart.RedrawPending());
    EXPECT_EQ(host.invalidations, 0);
    chart.LeftAxis().Grid().SetVisible(false);
    EXPECT_TRUE(chart.RedrawPending());
    EXPECT_EQ(host.invalidations, 1);
}

TEST_F(ChartRedrawBookkeeping, AutomaticEndsStoredByAPassOweNothing) {
    TFastLineSeries& s = chart.AddFastLineSeries("a");
    s.AddPoint(1, 5);
    s.AddPoint(2, 9);
    chart.RedrawIfPending();
    EXPECT_EQ(chart.LeftAxis().Maximum(), 9);
    EXPECT_FALSE(chart.RedrawPending());
    EXPECT_TRUE(chart.RedrawRequestsEnabled());
}

TEST_F(ChartRedrawBookkeeping, InactiveSeriesPointsAndNewItemsOweNothing) {
    TFastLineSeries& s = chart.AddFastLineSeries("a");
    s.SetActive(false);
    chart.RedrawIfPending();
    s.AddPoint(1, 1);
    s.ClearPoints();
    chart.RightAxis().Items().AddItem(1, "x");
    EXPECT_FALSE(chart.RedrawPending());
    chart.RightAxis().Items().ClearItems();
    EXPECT_TRUE(chart.RedrawPending());
    chart.RedrawIfPending();
    chart.RightAxis().Items().AddItem(1, "x").SetText("y");
    EXPECT_TRUE(chart.RedrawPending());
}

TEST_F(ChartRedrawBookkeeping, SizeChangeRequestsAPass) {
    chart.SetBounds(300, 100);
    EXPECT_FALSE(chart.RedrawPending());
    chart.SetBounds(301, 100);
    EXPECT_TRUE(chart.RedrawPending());
}

TEST_F(ChartRedrawBookkeeping, NoWindowNoPass) {
    chart.SetMarginLeft(30);
    host.allocated = false;
    const TRect before = chart.PlotRect();
    chart.RedrawIfPending();
    EXPECT_EQ(host.paints, 0);
    EXPECT_EQ(chart.PlotRect(), before);
    TChart hostless;
    hostless.RedrawIfPending();
    EXPECT_EQ(hostless.PlotRect(), TRect{});
    EXPECT_TRUE(hostless.RedrawPending());
}

TEST_F(ChartRedrawBookkeeping, TitleTextSplitsIntoLines) {
    chart.Title().SetText("one\ntwo");
    EXPECT_EQ(chart.Title().Lines(), (std::vector<std::string>{"one", "two"}));
    EXPECT_TRUE(chart.RedrawPending());
    chart.RedrawIfPending();
    chart.Title().SetText("one\ntwo");
    EXPECT_FALSE(chart.RedrawPending());
}

// ChartMargins by index and name.
TEST(ChartMargins, IndexAndNamesAreTheSameValues) {
    TChart chart;
    EXPECT_EQ((std::array<int, 4>{chart.Margin(0), chart.Margin(1), chart.Margin(2), chart.Margin(3)}),
              (std::array<int, 4>{3, 4, 3, 4}));
    EXPECT_EQ(chart.MarginUnits(), muPercent);
    chart.SetMargin(0, 10);
    chart.SetMarginRight(7);
    EXPECT_EQ(chart.MarginLeft(), 10);
    EXPECT_EQ(chart.Margin(2), 7);
    EXPECT_THROW(chart.SetMargin(4, 1), std::out_of_range);
}

}  // namespace
}  // namespace marlix::chart
