// The day totals behind the texts and the day-metrics table.
#include <gtest/gtest.h>

#include "marlix/core/day_texts.h"
#include "marlix/core/simulator.h"
#include "test_support.h"

namespace marlix::core {
namespace {

using test::At;
using test::LogText;

// Two closed minutes with every record kind, then an unfinished one.
std::string EveryRecordKind() {
    return LogText()
        .Time(10, 0, 0)
        .Line("PDOP      : 3")
        .Line("Sat PRN   : 1,2,3,4,5,6")
        .Line("Sat level : 5,5,2,0,7,9")
        .Line("Fix, Mode 3D Fine")
        .Time(10, 1, 0)
        .Time(10, 1, 1)
        .Line("PDOP      : 12")
        .Line("Sat PRN   : 1,2,3,4,5,6,7,8")
        .Line("Sat level : 1,4")
        .Line("Sat level : 4,4,4")
        .Line("Fix, Mode 2D Coarse")
        .Time(10, 2, 0)
        .Time(10, 2, 1)
        .Line("Fix, Mode none")
        .Time(10, 2, 30)
        .Text();
}

TEST(DayTotals, CountsEveryRecordKind) {
    const DayTotals t = AnalyseText(EveryRecordKind()).totals;
    EXPECT_EQ(t.pdopSum, 3);
    EXPECT_EQ(t.pdopCount, 1);
    EXPECT_EQ(t.sixItemLists, 1);
    EXPECT_EQ(t.eightItemLists, 1);
    EXPECT_EQ(t.fixCounts, (std::array<std::int64_t, 3>{1, 1, 1}));
    EXPECT_EQ(t.modeCounts, (std::array<std::int64_t, 3>{1, 1, 1}));
    EXPECT_FALSE(t.controlFormat);
    EXPECT_EQ(t.firstTime, At(10, 0, 0));
    EXPECT_EQ(t.lastTime, At(10, 2, 30));
    EXPECT_EQ(t.lineCount, 16);
    // Minute one: 4 good items on one level line; minute two: 1 and 3 good items on two lines.
    EXPECT_EQ(t.numGoodMinutes, 2);
    EXPECT_EQ(t.NumGoodMinimum(), 2.0);
    EXPECT_EQ(t.NumGoodMean(), 3.0);
}

TEST(DayTotals, SharesUseTheDivisorsOfTheTexts) {
    const DayAnalysis a = AnalyseText(EveryRecordKind());
    const DayTotals& t = a.totals;
    // The divisor is 3 / 100 held as a 4-byte float, a little below 0.03.
    const double third = 1.0 / static_cast<double>(0.03F);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(t.FixShare(i), third) << i;
        EXPECT_EQ(t.ModeShare(i), third) << i;
    }
    EXPECT_EQ(t.AveragePdop(), 3.0);
    EXPECT_EQ(t.SeekingShare(), 50.0);
    EXPECT_EQ(a.summary,
              "Fixes: none/2D/3D:  33%, 33%, 33%  (1, 1, 1)\r"
              "Control: inactive/coarse/fine:  33%, 33%, 33%  (1, 1, 1)\r"
              "Average PDOP: 3.00,  GPS-seeking 50% (lower is better)");
}

TEST(DayTotals, MeanStrengthIsTheHintsValue) {
    const DayAnalysis a = AnalyseText(EveryRecordKind());
    // Minute means 28/6 (kept as a float) and the mean of line means 2.5 and 4; the gap zero sample
    // before the first minute is left out.
    const double expected = (static_cast<double>(static_cast<float>(28.0 / 6)) + 3.25) / 2;
    EXPECT_EQ(a.totals.meanStrength, expected);
    EXPECT_EQ(a.hint, "Mean strength: 4.0");
}

TEST(DayTotals, DayWithoutFixPdopOrLevelLines) {
    const DayTotals t = AnalyseText(LogText()
                                        .Time(8, 0, 0)
                                        .Line("Sat PRN   : 3,4,5")
                                        .Time(8, 1, 0)
                                        .Time(8, 1, 1)
                                        .Line("something else")
                                        .Text())
                            .totals;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(t.FixShare(i), std::nullopt);
        EXPECT_EQ(t.ModeShare(i), std::nullopt);
    }
    EXPECT_EQ(t.AveragePdop(), std::nullopt);
    EXPECT_EQ(t.SeekingShare(), std::nullopt);  // a 3-item list is neither 6 nor 8 items
    EXPECT_EQ(t.meanStrength, std::nullopt);
    EXPECT_EQ(t.NumGoodMinimum(), std::nullopt);
    EXPECT_EQ(t.NumGoodMean(), std::nullopt);
    EXPECT_EQ(t.firstTime, At(8, 0, 0));
    EXPECT_EQ(t.lastTime, At(8, 1, 1));
    EXPECT_EQ(t.lineCount, 5);
}

TEST(DayTotals, DayWithoutTimeRecordsHasNoTimes) {
    const DayTotals t = AnalyseText(LogText().Line("PDOP      : 4").Line("Fix, Mode 3D").Text()).totals;
    EXPECT_EQ(t.firstTime, 0);
    EXPECT_EQ(t.lastTime, 0);
    EXPECT_EQ(t.AveragePdop(), 4.0);
    // One line over a divisor of 0.01 as a float: a little above 100.
    EXPECT_EQ(t.FixShare(2), 1.0 / static_cast<double>(0.01F));
    EXPECT_EQ(t.ModeShare(0), 1.0 / static_cast<double>(0.01F));
    EXPECT_EQ(t.lineCount, 2);
}

TEST(DayTotals, NumGoodLeavesOutTheGapZeroPoints) {
    // A nine-minute pause adds zero points on both sides; the day's minimum is still that of a minute.
    const DayAnalysis a = AnalyseText(LogText()
                                          .Time(9, 0, 0)
                                          .Line("Sat level : 5,5")
                                          .Time(9, 1, 0)
                                          .Time(9, 1, 1)
                                          .Line("Sat level : 5,1")
                                          .Time(9, 2, 0)
                                          .Time(9, 11, 1)
                                          .Time(9, 12, 0)
                                          .Time(9, 12, 1)
                                          .Text());
    const auto& numGood = a.series[static_cast<int>(SeriesId::NumGood)];
    // Zero and 2 at the first minute, zero points on both sides of the pause, then 1.
    ASSERT_EQ(numGood.size(), 5U);
    EXPECT_EQ(numGood[0].y, 0);
    EXPECT_EQ(a.totals.numGoodMinutes, 2);
    EXPECT_EQ(a.totals.NumGoodMinimum(), 1.0);
    EXPECT_EQ(a.totals.NumGoodMean(), 1.5);
}

TEST(DayTotals, ControlFormat) {
    const DayAnalysis a = AnalyseText(LogText()
                                          .Time(0, 0, 0)
                                          .Line("PDOP; sats: 2")
                                          .Line("Fix, Mode 3D Control")
                                          .Line("Fix, Mode 3D Control")
                                          .Line("Fix, Mode 3D Coarse")
                                          .Line("Fix, Mode 2D")
                                          .Text());
    EXPECT_TRUE(a.totals.controlFormat);
    EXPECT_EQ(a.totals.modeCounts, (std::array<std::int64_t, 3>{1, 1, 2}));
    EXPECT_EQ(a.totals.ModeShare(2), 2.0 / static_cast<double>(0.04F));
    EXPECT_EQ(a.summary,
              "Fixes: none/2D/3D:  0%, 25%, 75%  (0, 1, 3)\r"
              "Control: inactive/control:  25%, 50%  (1, 2)\r"
              "Average PDOP: 2.00,  GPS-seeking n/a");
}

// On a simulated day every figure of the texts can be made again from the totals.
class DayTotalsAgreeWithTexts : public ::testing::TestWithParam<bool> {};

TEST_P(DayTotalsAgreeWithTexts, SummaryAndHint) {
    SimulationOptions options;
    options.seed = 7;
    options.controlFormat = GetParam();
    const DayAnalysis a = AnalyseText(SimulateDay(test::kMarch5, options));
    const DayTotals& t = a.totals;
    const auto pct = [](std::optional<double> v) { return FormatFixed(v.value(), 0, ".") + "%"; };
    const auto n = [](std::int64_t v) { return std::to_string(v); };
    std::string expected = "Fixes: none/2D/3D:  " + pct(t.FixShare(0)) + ", " + pct(t.FixShare(1)) + ", " +
                           pct(t.FixShare(2)) + "  (" + n(t.fixCounts[0]) + ", " + n(t.fixCounts[1]) + ", " +
                           n(t.fixCounts[2]) + ")\r";
    if (t.controlFormat) {
        expected += "Control: inactive/control:  " + pct(t.ModeShare(0)) + ", " + pct(t.ModeShare(2)) +
                    "  (" + n(t.modeCounts[0]) + ", " + n(t.modeCounts[2]) + ")\r";
    } else {
        expected += "Control: inactive/coarse/fine:  " + pct(t.ModeShare(0)) + ", " + pct(t.ModeShare(1)) +
                    ", " + pct(t.ModeShare(2)) + "  (" + n(t.modeCounts[0]) + ", " + n(t.modeCounts[1]) +
                    ", " + n(t.modeCounts[2]) + ")\r";
    }
    expected += "Average PDOP: " + FormatFixed(t.AveragePdop().value(), 2, ".") + ",  GPS-seeking " +
                pct(t.SeekingShare()) + " (lower is better)";
    EXPECT_EQ(t.controlFormat, GetParam());
    EXPECT_EQ(a.summary, expected);
    EXPECT_EQ(a.hint, "Mean strength: " + FormatFixed(t.meanStrength.value(), 1, "."));
    EXPECT_EQ(t.lineCount, a.lineCount);
    EXPECT_GT(t.numGoodMinutes, 1000);
    EXPECT_LE(t.NumGoodMinimum().value(), t.NumGoodMean().value());
}

INSTANTIATE_TEST_SUITE_P(BothFormats, DayTotalsAgreeWithTexts, ::testing::Bool());

}  // namespace
}  // namespace marlix::core
