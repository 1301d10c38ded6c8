#include "marlix/core/aggregation.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "marlix/core/simulator.h"
#include "test_support.h"

namespace marlix::core {
namespace {

using test::At;
using test::LogText;
using test::Points;
using P = std::vector<ChartPoint>;

// The hand-made pause fixtures repeat one block: PDOP 2, four numbered satellites on six channels,
// levels 8, 6, 4, 0, 0, 0 (mean 3, three good, three of four with signal) and a 3D fine fix.
TEST(GapRule, NineMinutePauseDrawsTheLinesDownOnBothSides) {
    const DayAnalysis a = AnalyseText(test::ReadFixture("pause_9_minutes.txt"));
    const double t1 = At(10, 1, 1), t2 = At(10, 2, 1), t3 = At(10, 11, 1), t4 = At(10, 12, 1);
    const auto pattern = [&](double real, double zero) {
        return P{{t1, zero}, {t1, real}, {t2, real}, {t2, zero}, {t3, zero}, {t3, real}, {t4, real}};
    };
    EXPECT_EQ(Points(a, SeriesId::Strength), pattern(3, 0));
    EXPECT_EQ(Points(a, SeriesId::NumGood), pattern(3, 0));
    EXPECT_EQ(Points(a, SeriesId::Fix), pattern(1.6, 0));
    EXPECT_EQ(Points(a, SeriesId::Pdop), pattern(2, 10));
    EXPECT_EQ(Points(a, SeriesId::Signal), pattern(75, 0));
    EXPECT_EQ(Points(a, SeriesId::Mode), pattern(20, 0));
    EXPECT_EQ(Points(a, SeriesId::Trend), P{});
    EXPECT_EQ(a.firstDay, test::kMarch5);
    EXPECT_EQ(a.latestDay, test::kMarch5);
    EXPECT_EQ(a.lineCount, 50);
    EXPECT_FALSE(a.controlFormat);
    EXPECT_EQ(a.hint, "Mean strength: 3.0");
    EXPECT_EQ(a.notes, "2024-Mar-05 from 10:00 to 10:11, 50 lines");
    EXPECT_EQ(a.summary,
              "Fixes: none/2D/3D:  0%, 0%, 100%  (0, 0, 10)\r"
              "Control: inactive/coarse/fine:  0%, 0%, 100%  (0, 0, 10)\r"
              "Average PDOP: 2.00,  GPS-seeking 0% (lower is better)");
}

TEST(GapRule, MinuteReadingsHoldTheRecordsAndMarkWhereAGapEndsOrBegins) {
    const DayAnalysis a = AnalyseText(test::ReadFixture("pause_9_minutes.txt"));
    ASSERT_EQ(a.minutes.size(), 4u);
    const double times[] = {At(10, 1, 1), At(10, 2, 1), At(10, 11, 1), At(10, 12, 1)};
    const bool ends[] = {true, false, true, false}, begins[] = {false, true, false, false};
    for (std::size_t i = 0; i < 4; ++i) {
        const MinuteReading& m = a.minutes[i];
        EXPECT_EQ(m.time, times[i]) << i;
        // The readings, never the gap rule's zero points.
        EXPECT_EQ(m.strength, 3.0F) << i;
        EXPECT_EQ(m.numGood, 3.0F) << i;
        EXPECT_EQ(m.fix, FixState::Fix3D) << i;
        EXPECT_EQ(m.pdop, 2) << i;
        EXPECT_EQ(m.signal, 75.0F) << i;
        EXPECT_EQ(m.mode, LockMode::FineOrControl) << i;
        EXPECT_FALSE(m.trend.has_value()) << i;
        EXPECT_EQ(m.gapEnds, ends[i]) << i;
        EXPECT_EQ(m.gapBegins, begins[i]) << i;
    }
}

TEST(GapRule, MinuteTrendIsTheTrendPointOfItsOwnSampleNotOfTheZeroSample) {
    // A minute at either end of a gap has a zero sample at its own time too.
    std::string log = SimulateDay(test::kMarch5, SimulationOptions{});
    log += SimulateDay(test::kMarch5 + 1, SimulationOptions{});
    const DayAnalysis a = AnalyseText(log);
    // The Strength points are the strength samples in order; at a gap's end the zero sample comes
    // before the minute's own, at its beginning after it.
    const std::vector<ChartPoint>& strength = Points(a, SeriesId::Strength);
    const auto byX = [](const ChartPoint& p, double t) { return p.x < t; };
    std::size_t withTrend = 0;
    for (const MinuteReading& m : a.minutes) {
        if (!m.trend) continue;
        ++withTrend;
        const auto first = std::lower_bound(strength.begin(), strength.end(), m.time, byX);
        const std::size_t own = static_cast<std::size_t>(first - strength.begin()) + (m.gapEnds ? 1 : 0);
        double sum = 0;
        for (std::size_t j = own - 44; j <= own; ++j) sum += strength[j].y;
        EXPECT_EQ(*m.trend, sum / 45) << m.time;
    }
    EXPECT_GT(withTrend, 2000u);
    // The simulated outages give gaps whose ends have a trend of their own.
    EXPECT_TRUE(std::any_of(a.minutes.begin(), a.minutes.end(),
                            [](const MinuteReading& m) { return m.gapEnds && m.trend; }));
}

TEST(GapRule, SevenMinutePauseLeavesTheLinesUp) {
    const DayAnalysis a = AnalyseText(test::ReadFixture("pause_7_minutes.txt"));
    const double t1 = At(10, 1, 1), t2 = At(10, 2, 1), t3 = At(10, 9, 1), t4 = At(10, 10, 1);
    EXPECT_EQ(Points(a, SeriesId::Strength), (P{{t1, 0}, {t1, 3}, {t2, 3}, {t3, 3}, {t4, 3}}));
    EXPECT_EQ(Points(a, SeriesId::Pdop), (P{{t1, 10}, {t1, 2}, {t2, 2}, {t3, 2}, {t4, 2}}));
    EXPECT_EQ(Points(a, SeriesId::Signal), (P{{t1, 0}, {t1, 75}, {t2, 75}, {t3, 75}, {t4, 75}}));
    EXPECT_EQ(a.notes, "2024-Mar-05 from 10:00 to 10:09, 50 lines");
}

TEST(GapRule, NoZeroPointsBeforeTheFirstPointWhenThePreviousTimeIsNoDate) {
    // A time of day alone (its date failed) is below eight minutes, so the first close adds no gap.
    MinuteAggregator aggregator;
    aggregator.FlushMinute(5 / 1440.0);
    aggregator.FlushMinute(6 / 1440.0);
    EXPECT_EQ(aggregator.TakeSeries()[static_cast<int>(SeriesId::Pdop)], P{});
    MinuteAggregator later;
    later.FlushMinute(9 / 1440.0);
    EXPECT_EQ(later.TakeSeries()[static_cast<int>(SeriesId::Pdop)], (P{{9 / 1440.0, 10}}));
}

TEST(MinuteStateMachine, FirstPointComesAtSecond01AfterTheSecondSecond00) {
    const DayAnalysis a = AnalyseText(test::ReadFixture("start_at_second_30.txt"));
    const double t = At(10, 2, 1);
    // Six level lines of 5 from 10:00:30 up to 10:02:00; the gap rule's zero points come first.
    EXPECT_EQ(Points(a, SeriesId::Strength), (P{{t, 0}, {t, 5}}));
    EXPECT_EQ(Points(a, SeriesId::NumGood), (P{{t, 0}, {t, 1}}));
    EXPECT_EQ(Points(a, SeriesId::Pdop), (P{{t, 10}}));
    EXPECT_EQ(Points(a, SeriesId::Fix), (P{{t, 0}}));
    EXPECT_EQ(Points(a, SeriesId::Signal), (P{{t, 0}}));
    EXPECT_EQ(Points(a, SeriesId::Mode), (P{{t, 0}}));
    EXPECT_EQ(a.lineCount, 16);
    EXPECT_EQ(a.notes, "2024-Mar-05 from 10:00 to 10:02, 16 lines");
}

TEST(MinuteStateMachine, MergesAMinuteWithoutItsSecond00IntoTheNext) {
    LogText log;
    log.Time(10, 0, 0).Line("Sat level : 1").Time(10, 0, 1);
    log.Time(10, 1, 0).Line("Sat level : 3").Time(10, 1, 1);  // closes 10:00 with levels 1 and 3
    log.Time(10, 2, 1).Line("Sat level : 5");                 // no second 00: no close
    log.Time(10, 3, 0).Line("Sat level : 7").Time(10, 3, 1);  // closes with 5 and 7
    log.Time(10, 4, 0).Line("Sat level : 9");                 // never closed
    const DayAnalysis a = AnalyseText(log.Text());
    EXPECT_EQ(Points(a, SeriesId::Strength), (P{{At(10, 1, 1), 0}, {At(10, 1, 1), 2}, {At(10, 3, 1), 6}}));
}

TEST(MinuteStateMachine, MergesAMinuteWithoutItsSecond01IntoTheNext) {
    LogText log;
    log.Time(10, 0, 0).Time(10, 1, 0).Time(10, 1, 1).Line("Sat level : 2");
    log.Time(10, 2, 0).Line("Sat level : 4").Time(10, 2, 2).Line("Sat level : 6");
    log.Time(10, 3, 0).Time(10, 3, 1);
    const DayAnalysis a = AnalyseText(log.Text());
    EXPECT_EQ(Points(a, SeriesId::Strength), (P{{At(10, 1, 1), 0}, {At(10, 3, 1), 4}}));
}

TEST(MinuteStateMachine, IgnoresTimeLinesThatDoNotConvert) {
    LogText log;
    log.Time(10, 0, 0).Time(10, 1, 0);
    log.Line("UTC Time  : 10:01:01 31/02/24");  // a bad date does not close the minute
    log.Line("UTC Time  : 1x:01:01 05/03/24");
    log.Line("Sat level : 4");
    const DayAnalysis a = AnalyseText(log.Text());
    EXPECT_EQ(Points(a, SeriesId::Strength), P{});
    // The bad date left the time of day 10:01:01 as the current time.
    EXPECT_EQ(a.notes, "2024-Mar-05 from 10:00 to 10:00, 5 lines");
    EXPECT_EQ(a.firstDay, test::kMarch5);
}

TEST(FixAndModePoints, StartWithTheFirstFixAndModeLine) {
    LogText log;
    log.Time(10, 0, 0).Time(10, 0, 1);
    log.Time(10, 1, 0).Time(10, 1, 1);  // closes without any fix line seen
    log.Line("Fix, Mode : 2D, Coarse");
    log.Time(10, 2, 0).Time(10, 2, 1);  // closes with 2D, coarse
    log.Time(10, 3, 0).Time(10, 3, 1);  // no fix line in this minute: the latest one still counts
    log.Line("Fix, Mode : no fix");
    log.Time(10, 4, 0).Time(10, 4, 1);
    const DayAnalysis a = AnalyseText(log.Text());
    const double t1 = At(10, 1, 1), t2 = At(10, 2, 1), t3 = At(10, 3, 1), t4 = At(10, 4, 1);
    EXPECT_EQ(Points(a, SeriesId::Fix), (P{{t1, 0}, {t2, 0.8}, {t3, 0.8}, {t4, 0}}));
    EXPECT_EQ(Points(a, SeriesId::Mode), (P{{t1, 0}, {t2, 10}, {t3, 10}, {t4, 0}}));
    EXPECT_EQ(a.summary,
              "Fixes: none/2D/3D:  50%, 50%, 0%  (1, 1, 0)\r"
              "Control: inactive/coarse/fine:  50%, 50%, 0%  (1, 1, 0)");
}

TEST(SignalShare, NeedsNumberedSatellitesAndAFixLine) {
    LogText log;
    log.Time(10, 0, 0).Time(10, 1, 0).Time(10, 1, 1);
    log.Line("Sat level : 8, 6").Line("Fix, Mode : 3D, Fine");  // no numbers line: share stays 0
    log.Time(10, 2, 0).Time(10, 2, 1);
    log.Line("Sat PRN   : 5, 0, 7").Line("Sat level : 8, 0, 2");  // 2 with signal of 2 numbered
    log.Line("Sat PRN   : 5, 9, 7").Line("Sat level : 8, 0, 2");  // 2 of 3
    log.Time(10, 3, 0).Time(10, 3, 1);                            // no fix line: no Signal point
    log.Line("Sat PRN   : 3").Line("Sat level : 8").Line("Fix, Mode : 3D, Fine");
    log.Time(10, 4, 0).Time(10, 4, 1);
    const DayAnalysis a = AnalyseText(log.Text());
    const double t1 = At(10, 1, 1), t2 = At(10, 2, 1), t3 = At(10, 3, 1), t4 = At(10, 4, 1);
    EXPECT_EQ(Points(a, SeriesId::Signal), (P{{t1, 0}, {t2, 0}, {t4, 100}}));
    EXPECT_EQ(Points(a, SeriesId::Strength), (P{{t1, 0}, {t2, 7}, {t3, 10 / 3.0f}, {t4, 8}}));
    EXPECT_EQ(Points(a, SeriesId::NumGood), (P{{t1, 0}, {t2, 2}, {t3, 1}, {t4, 1}}));
}

TEST(SignalShare, SumsInAFourByteFloat) {
    // Two shares of 1/3 summed as floats give 0.666666686534881592 rather than 2/3.
    LogText log;
    log.Time(10, 0, 0).Time(10, 1, 0).Time(10, 1, 1);
    log.Line("Fix, Mode : 3D");
    log.Line("Sat PRN   : 1, 2, 3").Line("Sat level : 4, 0, 0").Line("Sat level : 0, 0, 4");
    log.Time(10, 2, 0).Time(10, 2, 1);
    const DayAnalysis a = AnalyseText(log.Text());
    ASSERT_EQ(Points(a, SeriesId::Signal).size(), 2u);
    EXPECT_DOUBLE_EQ(Points(a, SeriesId::Signal)[1].y, 33.33333432674408);
    EXPECT_NE(Points(a, SeriesId::Signal)[1].y, 100.0 * (2 / 3.0) / 2);
}

TEST(StrengthMean, CountsZeroLevelsAndIsAFourByteFloat) {
    LogText log;
    log.Time(10, 0, 0).Time(10, 1, 0).Time(10, 1, 1);
    log.Line("Sat level : 5, 5, 4, 3, 0, 9");  // 26 / 6
    log.Line("Sat level : ");                  // empty: counts for Num good only
    log.Time(10, 2, 0).Time(10, 2, 1);
    const DayAnalysis a = AnalyseText(log.Text());
    const double t1 = At(10, 1, 1), t2 = At(10, 2, 1);
    EXPECT_EQ(Points(a, SeriesId::Strength), (P{{t1, 0}, {t2, static_cast<double>(26 / 6.0f)}}));
    EXPECT_EQ(Points(a, SeriesId::NumGood), (P{{t1, 0}, {t2, 2}}));
}

TEST(PdopPoints, TakeTheSmallestValueOfTheMinute) {
    LogText log;
    log.Time(10, 0, 0).Time(10, 1, 0).Time(10, 1, 1);
    log.Line("PDOP      :  4").Line("PDOP      :  3").Line("PDOP      : 12");
    log.Time(10, 2, 0).Time(10, 2, 1);
    log.Line("PDOP      :  0").Line("PDOP      :  5");  // 0 is drawn as 10
    log.Time(10, 3, 0).Time(10, 3, 1);
    log.Line("PDOP      : 12").Line("PDOP      : 3.");  // 12 and 11 only: no point
    log.Time(10, 4, 0).Time(10, 4, 1);
    log.Line("PDOP      : 10").Line("PDOP; sats: -1; 4");
    log.Time(10, 5, 0).Time(10, 5, 1);
    const DayAnalysis a = AnalyseText(log.Text());
    const double t1 = At(10, 1, 1), t2 = At(10, 2, 1), t3 = At(10, 3, 1), t5 = At(10, 5, 1);
    EXPECT_EQ(Points(a, SeriesId::Pdop), (P{{t1, 10}, {t2, 3}, {t3, 10}, {t5, -1}}));
    EXPECT_TRUE(a.controlFormat);
    // Values 1 to 9 only: 4, 3, 5.
    EXPECT_EQ(a.summary,
              "Fix summary not available\rMode summary not available\rAverage PDOP: 4.00,  GPS-seeking n/a");
}

TEST(SatelliteLists, CountSixAndEightItemListsForSeeking) {
    LogText log;
    log.Line("PDOP      :  2");
    log.Line("Sat PRN   : 1, 2, 3, 4, 5, 6");
    log.Line("Sat PRN   : 1, 2, 3, 4, 5, 6,");  // seven items
    log.Line("Sat PRN   : 1, 2, 3, 4, 5, 6, 7, 0");
    log.Line("Sat PRN   : 1, 2, 3, 4, 5, 6, 7, 8, ");
    log.Line("Sat PRN   : 1 2 3 4 5 6 7 8");
    log.Line("Sat PRN   : 1,,,,,");
    const DayAnalysis a = AnalyseText(log.Text());
    // Six-item lists: the first and "1,,,,," ; eight-item lists: three. 300 / 5 = 60.
    EXPECT_EQ(a.summary,
              "Fix summary not available\rMode summary not available\rAverage PDOP: 2.00,  GPS-seeking 60% "
              "(lower is better)");
}

TEST(Trend, StartsAtThe47thSample) {
    // Minute k closes at 10:k:01 with the level line written after 10:(k-1):01; levels (k % 10)
    // make sample j equal j % 10, sample 0 being the gap point of the first close.
    const auto analyse = [](int closes) {
        LogText log;
        log.Time(10, 0, 0).Time(10, 0, 1).Line("Sat level : 1");
        for (int k = 1; k <= closes; ++k) {
            log.Time(10, k, 0).Time(10, k, 1).Line("Sat level : " + std::to_string((k + 1) % 10));
        }
        return AnalyseText(log.Text());
    };
    const DayAnalysis samples46 = analyse(45);
    EXPECT_EQ(Points(samples46, SeriesId::Strength).size(), 46u);
    EXPECT_EQ(Points(samples46, SeriesId::Trend), P{});

    const DayAnalysis samples47 = analyse(46);
    // Samples 2 to 46: 2+...+9, three times 0+...+9, then 0+...+6 = 44 + 135 + 21 = 200.
    EXPECT_EQ(Points(samples47, SeriesId::Trend), (P{{At(10, 46, 1), 200 / 45.0}}));

    const DayAnalysis samples48 = analyse(47);
    EXPECT_EQ(Points(samples48, SeriesId::Trend),
              (P{{At(10, 46, 1), 200 / 45.0}, {At(10, 47, 1), 205 / 45.0}}));
}

TEST(Trend, IncludesGapSamplesAndKeepsTiesInTheOrderAdded) {
    // Fifty minutes of 9, a pause of nine minutes, one minute of 5. Samples: 0, fifty 9s, 0 at
    // 10:50:01, 0 at 10:59:01, 5 at 10:59:01.
    LogText log;
    log.Time(10, 0, 0).Time(10, 0, 1).Line("Sat level : 9");
    for (int k = 1; k <= 50; ++k) {
        log.Time(10, k, 0).Time(10, k, 1);
        if (k < 50) log.Line("Sat level : 9");
    }
    log.Line("Sat level : 5");
    log.Time(10, 59, 0).Time(10, 59, 1);
    const DayAnalysis a = AnalyseText(log.Text());
    const double t50 = At(10, 50, 1), t59 = At(10, 59, 1);
    const P& trend = Points(a, SeriesId::Trend);
    ASSERT_EQ(trend.size(), 8u);                         // samples 46 to 53
    EXPECT_EQ(trend[4], (ChartPoint{t50, 396 / 45.0}));  // sample 51 (gap) was added before sample 50
    EXPECT_EQ(trend[5], (ChartPoint{t50, 9}));
    EXPECT_EQ(trend[6], (ChartPoint{t59, 383 / 45.0}));  // sample 53: 42 nines, 0, 0, 5
    EXPECT_EQ(trend[7], (ChartPoint{t59, 387 / 45.0}));  // sample 52: 43 nines, 0, 0
    const P& strength = Points(a, SeriesId::Strength);
    ASSERT_EQ(strength.size(), 54u);
    EXPECT_EQ(strength[50], (ChartPoint{t50, 9}));
    EXPECT_EQ(strength[51], (ChartPoint{t50, 0}));
    EXPECT_EQ(strength[52], (ChartPoint{t59, 0}));
    EXPECT_EQ(strength[53], (ChartPoint{t59, 5}));
    EXPECT_EQ(a.hint, "Mean strength: 8.9");  // (50 * 9 + 5) / 51 = 8.92
}

TEST(StrengthSamples, GrowPastOneDayOfMinutes) {
    // 1510 closes over two days: 1511 samples, all kept.
    LogText log;
    log.Time(0, 0, 0, 4).Time(0, 0, 1, 4);
    for (int k = 1; k <= 1510; ++k) {
        const int day = 4 + k / 1440, minute = k % 1440;
        log.Line("Sat level : 7")
            .Time(minute / 60, minute % 60, 0, day)
            .Time(minute / 60, minute % 60, 1, day);
    }
    const DayAnalysis a = AnalyseText(log.Text());
    const P& strength = Points(a, SeriesId::Strength);
    ASSERT_EQ(strength.size(), 1511u);
    EXPECT_EQ(strength.front(), (ChartPoint{At(0, 1, 1, test::kMarch4), 0}));
    EXPECT_EQ(strength[1], (ChartPoint{At(0, 1, 1, test::kMarch4), 7}));
    EXPECT_EQ(strength.back(), (ChartPoint{At(1, 10, 1), 7}));
    EXPECT_EQ(Points(a, SeriesId::Trend).size(), 1511u - 46u);
    EXPECT_EQ(a.hint, "Mean strength: 7.0");
    EXPECT_EQ(a.firstDay, test::kMarch4);
    EXPECT_EQ(a.latestDay, test::kMarch5);
}

TEST(StrengthSamples, AreRecordedInTheOrderAddedEvenWhenTimeGoesBack) {
    MinuteAggregator aggregator;
    aggregator.AddStrengthSample(3, 30);
    aggregator.AddStrengthSample(1, 10);
    aggregator.AddStrengthSample(2, 20);
    aggregator.AddStrengthSample(1, 11);
    EXPECT_EQ(aggregator.SampleTimes(), (std::vector<double>{3, 1, 2, 1}));
    EXPECT_EQ(aggregator.SampleValues(), (std::vector<double>{30, 10, 20, 11}));
    // The series holds them by X, equal X in the order added.
    EXPECT_EQ(aggregator.TakeSeries()[0], (P{{1, 10}, {1, 11}, {2, 20}, {3, 30}}));
}

TEST(DayRange, LatestDayMovesOnlyOutsideHour00AndMinute00) {
    const auto latest = [](LogText log) { return AnalyseText(log.Text()).latestDay; };
    LogText log;
    log.Time(23, 58, 0, 4).Time(23, 59, 59, 4).Time(0, 0, 5).Time(0, 30, 0);
    EXPECT_EQ(latest(log), test::kMarch4);
    log.Time(1, 0, 0);
    EXPECT_EQ(latest(log), test::kMarch4);
    log.Time(1, 5, 0);
    EXPECT_EQ(latest(log), test::kMarch5);
}

// The notes name the date of their end only when the records span more than one day, as the day
// range counts days: a day log that ends just after midnight keeps its one-day text.
TEST(DayRange, NotesDateTheirEndOnlyOverMoreThanOneDay) {
    LogText log;
    log.Time(23, 58, 0, 4).Time(0, 0, 5);
    EXPECT_EQ(AnalyseText(log.Text()).notes, "2024-Mar-04 from 23:58 to 00:00, 2 lines");
    log.Time(1, 0, 0);
    EXPECT_EQ(AnalyseText(log.Text()).notes, "2024-Mar-04 from 23:58 to 00:59, 3 lines");
    log.Time(1, 5, 0);
    EXPECT_EQ(AnalyseText(log.Text()).notes, "2024-Mar-04 from 23:58 to 2024-Mar-05 01:04, 4 lines");
    // Over two months, as a folder of day logs dropped at once reads.
    LogText months;
    months.Time(0, 0, 0, 1, 8, 26).Time(12, 0, 0, 15, 8, 26).Time(23, 59, 59, 30, 9, 26);
    EXPECT_EQ(AnalyseText(months.Text()).notes, "2026-Aug-01 from 00:00 to 2026-Sep-30 23:59, 3 lines");
}

TEST(DayRange, FilesReadInAscendingOrderSpanBothDays) {
    const auto result = AnalyseFiles({"2024-03-05_rx_data.txt", "2024-03-04_rx_data.txt"},
                                     test::FixturePath("descending_days") + "/", LocaleConventions{});
    ASSERT_TRUE(result.analysis);
    const DayAnalysis& a = *result.analysis;
    EXPECT_EQ(a.firstDay, test::kMarch4);
    EXPECT_EQ(a.latestDay, test::kMarch5);
    EXPECT_EQ(a.notes, "2024-Mar-04 from 23:59 to 2024-Mar-05 01:04, 5 lines");
    EXPECT_EQ(Points(a, SeriesId::Strength), (P{{At(0, 0, 1), 0}}));
}

TEST(DayRange, NoTimeRecordsGiveNoPointsAndNoFirstDay) {
    const DayAnalysis a = AnalyseText("Sat level : 5\nPDOP      :  2\nFix, Mode : 3D\n");
    for (const auto& series : a.series) EXPECT_TRUE(series.empty());
    EXPECT_EQ(a.firstDay, 0);
    EXPECT_EQ(a.latestDay, 0);
    EXPECT_EQ(a.hint, "");
    EXPECT_EQ(a.notes, "No time records, 3 lines");
}

TEST(DayRange, HalfWrittenLastTimeLineLeavesPointsAndDaysAlone) {
    // A growing file read while the logger writes: its last line stops inside the year.
    LogText log;
    for (int minute = 0; minute < 3; ++minute) {
        log.Time(12, minute, 0).Line("Sat level : 40, 30").Time(12, minute, 1).Line("Sat level : 44, 30");
    }
    const DayAnalysis whole = AnalyseText(log.Text());
    for (const char* cut : {"UTC Time  : 12:03:00 05/03/2", "UTC Time  : 12:03:00 05/03/"}) {
        const DayAnalysis a = AnalyseText(log.Text() + cut);
        EXPECT_EQ(a.series, whole.series) << cut;
        EXPECT_EQ(a.firstDay, test::kMarch5) << cut;
        EXPECT_EQ(a.latestDay, test::kMarch5) << cut;
        EXPECT_EQ(a.notes, "2024-Mar-05 from 12:00 to 12:02, 13 lines") << cut;
    }
}

}  // namespace
}  // namespace marlix::core
