// Axis arithmetic: pixel mapping, label increments, label values and label texts.
#include <gtest/gtest.h>

#include <cmath>

#include "marlix/chart/chart.h"
#include "recording_surface.h"

namespace marlix::chart {
namespace {

using testing::RecordingSurface;

constexpr double kHour = 1.0 / 24;
// 2026-12-06, a whole day number.
const double kDay = EncodeDayTime(2026, 12, 6);

TChartAxis& Horizontal(TChart& chart, double lo, double hi, int start, int end) {
    TChartAxis& axis = chart.BottomAxis();
    axis.SetScale(lo, hi);
    axis.SetPixelExtent(start, end);
    return axis;
}

TChartAxis& Vertical(TChart& chart, double lo, double hi, int start, int end) {
    TChartAxis& axis = chart.LeftAxis();
    axis.SetScale(lo, hi);
    axis.SetPixelExtent(start, end);
    return axis;
}

std::vector<std::string> Texts(const TChartAxis& axis, const std::vector<double>& values) {
    std::vector<std::string> out;
    for (double v : values) out.push_back(axis.LabelValue(v));
    return out;
}

// ValueToPixel and its inverse.
TEST(ChartPixelMapping, HorizontalGrowsRightVerticalGrowsUp) {
    TChart chart;
    TChartAxis& h = Horizontal(chart, 0, 100, 10, 510);
    EXPECT_EQ(h.ValueToPixel(0), 10);
    EXPECT_EQ(h.ValueToPixel(100), 510);
    EXPECT_EQ(h.ValueToPixel(50), 260);
    TChartAxis& v = Vertical(chart, 0, 10, 20, 120);
    EXPECT_EQ(v.ValueToPixel(0), 120);
    EXPECT_EQ(v.ValueToPixel(10), 20);
    EXPECT_EQ(v.ValueToPixel(2.5), 95);
}

TEST(ChartPixelMapping, HalvesRoundToEven) {
    TChart chart;
    TChartAxis& h = Horizontal(chart, 0, 4, 0, 2);
    EXPECT_EQ(h.ValueToPixel(1), 0);  // 0.5
    EXPECT_EQ(h.ValueToPixel(3), 2);  // 1.5
    EXPECT_EQ(h.ValueToPixel(5), 2);  // 2.5
}

TEST(ChartPixelMapping, ZeroRangeMapsToTheCentre) {
    TChart chart;
    TChartAxis& h = Horizontal(chart, 5, 5, 11, 20);
    EXPECT_TRUE(h.RangeZero());
    EXPECT_EQ(h.ValueToPixel(-1e9), 15);
    EXPECT_EQ(h.ValueToPixel(5), 15);
}

TEST(ChartPixelMapping, FarValuesAreClamped) {
    TChart chart;
    TChartAxis& h = Horizontal(chart, 0, 1, 0, 100);
    EXPECT_EQ(h.ValueToPixel(1e30), PixelClamp);
    EXPECT_EQ(h.ValueToPixel(-1e30), -PixelClamp);
}

TEST(ChartPixelMapping, PixelToValueInvertsBothDirections) {
    TChart chart;
    TChartAxis& h = Horizontal(chart, 0, 100, 10, 510);
    EXPECT_DOUBLE_EQ(h.PixelToValue(260), 50);
    TChartAxis& v = Vertical(chart, 0, 10, 20, 120);
    EXPECT_DOUBLE_EQ(v.PixelToValue(20), 10);
    EXPECT_DOUBLE_EQ(v.PixelToValue(95), 2.5);
    v.SetPixelExtent(20, 20);
    EXPECT_EQ(v.PixelToValue(20), 0);
}

// The nice-step and table-step successions.
TEST(ChartStepSuccession, NiceSteps) {
    EXPECT_EQ(NextNiceStep(1), 2);
    EXPECT_EQ(NextNiceStep(2), 5);
    EXPECT_EQ(NextNiceStep(5), 10);
    EXPECT_EQ(NextNiceStep(10), 20);
    EXPECT_DOUBLE_EQ(NextNiceStep(0.3), 0.5);
    EXPECT_DOUBLE_EQ(NextNiceStep(0.999e-6), 1e-6);
    EXPECT_EQ(NextNiceStep(INFINITY), 1);
    // Repeated division must still move on from a power of ten.
    EXPECT_DOUBLE_EQ(NextNiceStep(NextNiceStep(0.999e-6)), 2e-6);
}

TEST(ChartStepSuccession, TableSteps) {
    EXPECT_DOUBLE_EQ(NextTableStep(1.7 / 86400), 5.0 / 86400);
    EXPECT_DOUBLE_EQ(NextTableStep(kHour), 2 * kHour);
    EXPECT_DOUBLE_EQ(NextTableStep(12 * kHour), 1.0);
    EXPECT_DOUBLE_EQ(NextTableStep(2 * kHour), 6 * kHour);
    EXPECT_DOUBLE_EQ(NextTableStep(200), 365);
    EXPECT_EQ(TimeStepTable.size(), 27u);
}

// ChartLabelIncrement.
TEST(ChartLabelIncrement, DayOverSixHundredPixelsIsTwoHours) {
    TChart chart;
    TChartAxis& axis = Horizontal(chart, kDay, kDay + 0.999, 0, 600);
    axis.SetDateTime(true);
    axis.SetDateTimeFormat("hh:mm");
    RecordingSurface m;  // "hh:mm" labels are 30 pixels: n = Round(600 / 33) = 18
    EXPECT_DOUBLE_EQ(axis.LabelIncrement(m), TimeStepTable[13]);
}

TEST(ChartLabelIncrement, DayOverWideAxisIsOneHour) {
    TChart chart;
    TChartAxis& axis = Horizontal(chart, kDay, kDay + 0.999, 0, 800);
    axis.SetDateTime(true);
    axis.SetDateTimeFormat("hh:mm");
    RecordingSurface m;  // n = Round(800 / 33) = 24: one label an hour fits
    EXPECT_DOUBLE_EQ(axis.LabelIncrement(m), TimeStepTable[12]);
}

TEST(ChartLabelIncrement, ZeroToTenOverHundredPixelsIsTwo) {
    TChart chart;
    TChartAxis& axis = Vertical(chart, 0, 10, 0, 100);
    axis.SetLabelsFontPixelSize(9);  // 11-pixel labels: n = Round(100 / 12) = 8
    RecordingSurface m;
    EXPECT_EQ(axis.LabelIncrement(m), 2);
}

TEST(ChartLabelIncrement, RoomForEveryValueGivesOne) {
    TChart chart;
    TChartAxis& axis = Vertical(chart, 0, 10, 0, 114);
    axis.SetLabelsFontPixelSize(9);
    RecordingSurface m;  // n = Round(114 / 12) = Round(9.5) = 10
    EXPECT_EQ(axis.LabelIncrement(m), 1);
}

TEST(ChartLabelIncrement, ShortAxisGivesTheSmallestStep) {
    TChart chart;
    TChartAxis& axis = Vertical(chart, 0, 10, 0, 3);
    RecordingSurface m;
    EXPECT_EQ(axis.LabelIncrement(m), SmallestIncrement);
    axis.SetDateTime(true);
    EXPECT_EQ(axis.LabelIncrement(m), TimeStepTable[0]);
}

TEST(ChartLabelIncrement, LargeValueRangeUsesNiceSteps) {
    TChart chart;
    TChartAxis& axis = Vertical(chart, 0, 1000, 0, 100);
    RecordingSurface m;  // 14-pixel labels: n = Round(100 / 15) = 7; 1000 / 8 = 125 -> 200
    EXPECT_EQ(axis.LabelIncrement(m), 200);
}

// Label values from the top down.
TEST(ChartLabelValues, ZeroToTenByTwo) {
    TChart chart;
    TChartAxis& axis = Vertical(chart, 0, 10, 0, 100);
    EXPECT_EQ(axis.LabelValues(2), (std::vector<double>{10, 8, 6, 4, 2, 0}));
}

TEST(ChartLabelValues, FirstLabelIsAWholeMultiple) {
    TChart chart;
    TChartAxis& axis = Vertical(chart, -0.2, 10.2, 0, 100);
    EXPECT_EQ(axis.LabelValues(2), (std::vector<double>{10, 8, 6, 4, 2, 0}));
    axis.SetRoundFirstLabel(false);
    EXPECT_EQ(Texts(axis, axis.LabelValues(2)),
              (std::vector<std::string>{"10.2", "8.2", "6.2", "4.2", "2.2", "0.2"}));
}

TEST(ChartLabelValues, DayByTwoHours) {
    TChart chart;
    TChartAxis& axis = Horizontal(chart, kDay, kDay + 0.999, 0, 600);
    axis.SetDateTime(true);
    axis.SetDateTimeFormat("hh:mm");
    EXPECT_EQ(Texts(axis, axis.LabelValues(2 * kHour)),
              (std::vector<std::string>{"22:00", "20:00", "18:00", "16:00", "14:00", "12:00", "10:00",
                                        "08:00", "06:00", "04:00", "02:00", "00:00"}));
}

TEST(ChartLabelValues, ZeroRangeGivesOneLabel) {
    TChart chart;
    TChartAxis& axis = Vertical(chart, 3, 3, 0, 100);
    EXPECT_EQ(axis.LabelValues(1), (std::vector<double>{3}));
}

TEST(ChartLabelValues, TooManyOrNoIncrementGivesNone) {
    TChart chart;
    TChartAxis& axis = Vertical(chart, 0, 10000, 0, 100);
    EXPECT_TRUE(axis.LabelValues(1).empty());
    EXPECT_EQ(axis.LabelValues(1.25).size(), 8001u);
    EXPECT_TRUE(axis.LabelValues(0).empty());
}

// Label texts.
TEST(ChartLabelText, ValueFormatGroupsThousandsAndTrimsDecimals) {
    TChart chart;
    const TChartAxis& axis = chart.LeftAxis();
    EXPECT_EQ(Texts(axis, {10, 2.5, 1000, 1234.56789, 0, -1500.25, 0.0004}),
              (std::vector<std::string>{"10", "2.5", "1,000", "1,234.568", "0", "-1,500.25", "0"}));
}

TEST(ChartLabelText, DateTimeLabels) {
    TChart chart;
    TChartAxis& axis = Horizontal(chart, kDay, kDay + 0.999, 0, 600);
    axis.SetDateTime(true);
    EXPECT_EQ(axis.LabelValue(kDay + 22 * kHour), "22:00");  // the short time format
    EXPECT_EQ(axis.LabelValue(-0.5), "");
    axis.SetScale(kDay, kDay + 3);
    EXPECT_EQ(axis.LabelValue(kDay + 1), "2026-12-07");  // the short date format beyond a day
    axis.SetDateTimeFormat("hh:mm");
    EXPECT_EQ(axis.LabelValue(kDay + 13.5 * kHour), "13:30");
    TFormatSettings german;
    german.DateSeparator = '.';
    german.ShortDateFormat = "dd/mm/yyyy";
    chart.SetFormatSettings(german);
    axis.SetDateTimeFormat("");
    EXPECT_EQ(axis.LabelValue(kDay + 1), "07.12.2026");
}

TEST(ChartDayTimeFormat, PatternLetters) {
    const TFormatSettings s;
    const double t = EncodeDayTime(2026, 3, 5, 7, 4, 9) + 0.25 / 86400;
    EXPECT_EQ(FormatDayTime("hh:mm", t, s), "07:04");
    EXPECT_EQ(FormatDayTime("h:n:s", t, s), "7:4:9");
    EXPECT_EQ(FormatDayTime("hh:nn:ss.zzz", t, s), "07:04:09.250");
    EXPECT_EQ(FormatDayTime("d/m/yy", t, s), "5-3-26");
    EXPECT_EQ(FormatDayTime("dd mmm yyyy", t, s), "05 Mar 2026");
    EXPECT_EQ(FormatDayTime("dddd, mmmm d", t, s), "Thursday, March 5");
    EXPECT_EQ(FormatDayTime("'at' hh 'h'", t, s), "at 07 h");
    EXPECT_EQ(FormatDayTime("h:nn am/pm", EncodeDayTime(2026, 3, 5, 19, 30), s), "7:30 PM");
    EXPECT_EQ(FormatDayTime("yyyy-mm-dd hh:nn", 0, s), "1899-12-30 00:00");
}

TEST(ChartDayTimeFormat, MillisecondRoundingDoesNotShowTheMinuteBefore) {
    const TFormatSettings s;
    EXPECT_EQ(FormatDayTime("hh:mm:ss", kDay + 11 * (1.0 / 12), s), "22:00:00");
    EXPECT_EQ(FormatDayTime("hh:mm:ss.zzz", kDay + 0.999, s), "23:58:33.600");
    EXPECT_EQ(FormatDayTime("yyyy-mm-dd hh:mm", kDay + 0.9999999999, s), "2026-12-07 00:00");
}

TEST(ChartDayTimeFormat, EncodeDecodeRoundTrip) {
    EXPECT_EQ(EncodeDayTime(1899, 12, 30), 0);
    EXPECT_EQ(EncodeDayTime(1900, 1, 1), 2);
    EXPECT_EQ(EncodeDayTime(2000, 3, 1), 36586);
    const TDayTimeParts p = DecodeDayTime(EncodeDayTime(2024, 2, 29, 23, 59, 59));
    EXPECT_EQ((std::array<int, 7>{p.Year, p.Month, p.Day, p.Hour, p.Minute, p.Second, p.DayOfWeek}),
              (std::array<int, 7>{2024, 2, 29, 23, 59, 59, 4}));
}

TEST(ChartNumberFormat, Patterns) {
    const TFormatSettings s;
    EXPECT_EQ(FormatNumber("0.00", 3.14159, s), "3.14");
    EXPECT_EQ(FormatNumber("000", 7, s), "007");
    EXPECT_EQ(FormatNumber("#,##0", 1234567.6, s), "1,234,568");
    EXPECT_EQ(FormatNumber("#.##", 0.5, s), ".5");
    TFormatSettings comma;
    comma.DecimalSeparator = ',';
    comma.ThousandSeparator = '.';
    EXPECT_EQ(FormatNumber("#,##0.###", 12345.5, comma), "12.345,5");
}

}  // namespace
}  // namespace marlix::chart
