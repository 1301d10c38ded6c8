// The level of each satellite minute by minute, on hand-made logs.
#include "marlix/core/satellites.h"

#include <gtest/gtest.h>

#include "marlix/core/simulator.h"
#include "test_support.h"

namespace marlix::core {
namespace {

using test::LogText;

double Minute(int hour, int minute) {
    return MinuteStart(MinuteNumber(test::At(hour, minute, 0)));
}

SatelliteDay Satellites(const std::string& log) {
    LoadOptions options;
    options.satellites = true;
    DayAnalysis analysis = AnalyseText(log, LocaleConventions{}, options);
    EXPECT_TRUE(analysis.satellites.has_value());
    return analysis.satellites.value_or(SatelliteDay{});
}

using Levels = std::vector<SatelliteMinuteLevel>;
using Numbers = std::vector<std::int32_t>;

TEST(SatellitePairing, ItemByItemAveragedOverTheMinute) {
    const SatelliteDay day = Satellites(LogText()
                                            .Time(10, 0, 58)
                                            .Line("Sat PRN   : 12, 3, 7")
                                            .Line("Sat level : 5, 6, 9")
                                            .Time(10, 0, 59)
                                            .Line("Sat PRN   : 12, 3, 7")
                                            .Line("Sat level : 7, 6, 2")
                                            .Time(10, 1, 0)
                                            .Line("Sat PRN   : 3, 12")
                                            .Line("Sat level : 1, 4")
                                            .Text());
    EXPECT_EQ(day.satellites, (Numbers{3, 7, 12}));
    EXPECT_EQ(day.levels, (Levels{{Minute(10, 0), 3, 6.0F},
                                  {Minute(10, 0), 7, 5.5F},
                                  {Minute(10, 0), 12, 6.0F},
                                  {Minute(10, 1), 3, 1.0F},
                                  {Minute(10, 1), 12, 4.0F}}));
}

TEST(SatellitePairing, LargestLevelsOfADamagedLogAddUpWithoutOverflow) {
    const SatelliteDay day = Satellites(LogText()
                                            .Time(10, 0, 58)
                                            .Line("Sat PRN   : 5, 6")
                                            .Line("Sat level : 2147483647, -2147483648")
                                            .Time(10, 0, 59)
                                            .Line("Sat PRN   : 5, 6")
                                            .Line("Sat level : 2147483647, -2147483648")
                                            .Text());
    EXPECT_EQ(day.levels, (Levels{{Minute(10, 0), 5, 2147483647.0F}, {Minute(10, 0), 6, -2147483648.0F}}));
}

TEST(SatellitePairing, NumbersPairOnlyWithTheNextLevelsList) {
    const SatelliteDay day = Satellites(LogText()
                                            .Time(8, 0, 0)
                                            .Line("Sat level : 9, 9")  // no numbers yet
                                            .Line("Sat PRN   : 4, 5")
                                            .Line("Sat level : 2, 3")
                                            .Line("Sat level : 9, 9")  // the numbers are used up
                                            .Text());
    EXPECT_EQ(day.levels, (Levels{{Minute(8, 0), 4, 2.0F}, {Minute(8, 0), 5, 3.0F}}));
}

TEST(SatellitePairing, GeneralListsGiveTheSameItemsAsTheUsualShape) {
    const Levels expected{{Minute(9, 0), 2, 5.0F}, {Minute(9, 0), 6, 12.0F}, {Minute(9, 0), 9, 0.0F}};
    for (const std::string levels : {"5, 12, 0", "5,12,0", " 5 ,12,  0", "5, 12, 0x0", "$5, 12, 0"}) {
        const SatelliteDay day = Satellites(
            LogText().Time(9, 0, 0).Line("Sat PRN   : 2, 6, 9").Line("Sat level : " + levels).Text());
        EXPECT_EQ(day.levels, expected) << levels;
    }
}

TEST(SatelliteMissingLevels, ShortOrEmptyItemsAreAbsent) {
    const SatelliteDay day = Satellites(LogText()
                                            .Time(11, 30, 0)
                                            .Line("Sat PRN   : 1, 2, 3, 4")
                                            .Line("Sat level : 4,,8")  // 2 empty, 4 missing
                                            .Line("Sat PRN   : 1, 2, 3, 4")
                                            .Line("Sat level : 6,")  // a trailing comma gives an empty item
                                            .Text());
    EXPECT_EQ(day.satellites, (Numbers{1, 2, 3, 4}));
    EXPECT_EQ(day.levels, (Levels{{Minute(11, 30), 1, 5.0F}, {Minute(11, 30), 3, 8.0F}}));
    EXPECT_EQ(day.MeanLevel(2, test::At(11, 30, 20)), std::nullopt);
    EXPECT_EQ(day.MeanLevel(3, test::At(11, 30, 59)), 8.0F);
}

TEST(SatelliteMissingLevels, LevelsThatAreNoIntegerCountAsZero) {
    const SatelliteDay day =
        Satellites(LogText().Time(11, 0, 0).Line("Sat PRN   : 1, 2").Line("Sat level : x, 4.5").Text());
    EXPECT_EQ(day.levels, (Levels{{Minute(11, 0), 1, 0.0F}, {Minute(11, 0), 2, 0.0F}}));
}

TEST(SatelliteNumbers, ZeroAndNoIntegerAreSkippedButKeepTheirPlace) {
    const SatelliteDay day = Satellites(
        LogText().Time(7, 0, 0).Line("Sat PRN   : 0, abc, 5, -3").Line("Sat level : 1, 2, 3, 4").Text());
    EXPECT_EQ(day.satellites, (Numbers{5}));
    EXPECT_EQ(day.levels, (Levels{{Minute(7, 0), 5, 3.0F}}));
}

TEST(SatelliteQuotedItems, TakenAsTheSplitterGivesThem) {
    const SatelliteDay day = Satellites(LogText()
                                            .Time(6, 0, 0)
                                            // "1,2" is one item, no integer; "7" is 7.
                                            .Line("Sat PRN   : \"1,2\", \"7\", 8, 9, 300")
                                            // "3" is 3, a doubled quote makes no integer, "" is empty.
                                            .Line("Sat level : 5, \"3\", \"4\"\"\", \"\", 6")
                                            .Text());
    EXPECT_EQ(day.satellites, (Numbers{7, 8, 9, 300}));
    EXPECT_EQ(day.levels,
              (Levels{{Minute(6, 0), 7, 3.0F}, {Minute(6, 0), 8, 0.0F}, {Minute(6, 0), 300, 6.0F}}));
}

TEST(SatelliteMinutes, MinutesWithoutSatellitesHaveNoLevels) {
    const SatelliteDay day = Satellites(LogText()
                                            .Line("Sat PRN   : 1")  // before any good Time record
                                            .Line("Sat level : 9")
                                            .Time(5, 0, 0)
                                            .Line("Sat PRN   : 1")
                                            .Line("Sat level : 2")
                                            .Time(5, 1, 0)
                                            .Time(5, 2, 0)
                                            .Line("Sat PRN   : ")
                                            .Line("Sat level : ")
                                            .Time(5, 3, 0)
                                            .Line("Sat PRN   : 1")
                                            .Line("Sat level : 4")
                                            .Text());
    EXPECT_EQ(day.satellites, (Numbers{1}));
    EXPECT_EQ(day.levels, (Levels{{Minute(5, 0), 1, 2.0F}, {Minute(5, 3), 1, 4.0F}}));
}

TEST(SatelliteMinutes, BadDateKeepsTheMinuteOfTheLatestGoodTimeRecord) {
    const SatelliteDay day = Satellites(LogText()
                                            .Time(4, 0, 30)
                                            .Line("UTC Time  : 04:05:00 32/03/24")
                                            .Line("Sat PRN   : 1")
                                            .Line("Sat level : 3")
                                            .Text());
    EXPECT_EQ(day.levels, (Levels{{Minute(4, 0), 1, 3.0F}}));
}

TEST(SatelliteMinutes, AMinuteVisitedTwiceIsMergedInTimeOrder) {
    const SatelliteDay day = Satellites(LogText()
                                            .Time(3, 1, 0)
                                            .Line("Sat PRN   : 1")
                                            .Line("Sat level : 2")
                                            .Time(3, 0, 0)
                                            .Line("Sat PRN   : 1")
                                            .Line("Sat level : 6")
                                            .Time(3, 1, 10)
                                            .Line("Sat PRN   : 1")
                                            .Line("Sat level : 5")
                                            .Text());
    EXPECT_EQ(day.levels, (Levels{{Minute(3, 0), 1, 6.0F}, {Minute(3, 1), 1, 3.5F}}));
}

TEST(SatelliteMinutes, RecordAtSecondZeroFallsInItsOwnMinute) {
    EXPECT_EQ(MinuteNumber(test::At(0, 1, 0)), MinuteNumber(test::kMarch5) + 1);
    EXPECT_EQ(MinuteNumber(test::At(0, 0, 59)), MinuteNumber(test::kMarch5));
    EXPECT_EQ(MinuteNumber(test::kMarch5), 45356 * 1440);
    EXPECT_EQ(MinuteStart(45356 * 1440 + 90), test::At(1, 30, 0));
}

TEST(SatelliteLoad, OnlyWhenAskedAndWithoutChangingTheCharts) {
    const std::string log = SimulateDay(test::kMarch5, SimulationOptions{});
    const DayAnalysis plain = AnalyseText(log);
    LoadOptions options;
    options.satellites = true;
    const DayAnalysis with = AnalyseText(log, LocaleConventions{}, options);
    EXPECT_FALSE(plain.satellites.has_value());
    ASSERT_TRUE(with.satellites.has_value());
    for (int s = 0; s < kSeriesCount; ++s) EXPECT_EQ(plain.series[s], with.series[s]) << s;
    EXPECT_EQ(plain.summary, with.summary);
    // Every minute of the simulated day that has a level line has its satellites' levels.
    const Levels& levels = with.satellites->levels;
    ASSERT_FALSE(levels.empty());
    EXPECT_GE(levels.front().minute, test::kMarch5);
    EXPECT_LT(levels.back().minute, test::kMarch5 + 1);
    for (const SatelliteMinuteLevel& l : levels) {
        EXPECT_GE(l.meanLevel, 0.0F);
        EXPECT_LE(l.meanLevel, 9.0F);
    }
}

}  // namespace
}  // namespace marlix::core
