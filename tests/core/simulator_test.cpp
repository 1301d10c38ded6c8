#include "marlix/core/simulator.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "marlix/core/records.h"
#include "test_support.h"

namespace marlix::core {
namespace {

TEST(SimulatorGenerator, IsSplitMix64) {
    // First outputs of splitmix64 seeded with 0, as published with the algorithm.
    SplitMix64 rng(0);
    EXPECT_EQ(rng.Next(), 0xE220A8397B1DCDAFULL);
    EXPECT_EQ(rng.Next(), 0x6E789E6AA1B965F4ULL);
}

TEST(SimulatedDay, IsTheSameForTheSameSeedAndDifferentOtherwise) {
    const SimulationOptions seed7{7, false};
    const std::string a = SimulateDay(test::kMarch5, seed7);
    EXPECT_EQ(a, SimulateDay(test::kMarch5 + 0.7, seed7));
    EXPECT_NE(a, SimulateDay(test::kMarch5, SimulationOptions{8, false}));
    EXPECT_NE(a, SimulateDay(test::kMarch4, seed7));
}

class SimulatedDayLayout : public ::testing::TestWithParam<bool> {};

TEST_P(SimulatedDayLayout, WritesOneRecordBlockPerSecondOfTheDay) {
    const bool control = GetParam();
    const std::string log = SimulateDay(test::kMarch5, SimulationOptions{3, control});
    std::istringstream in(log);
    std::string line;
    double previous = 0;
    int times = 0, eightItemLists = 0, sixItemLists = 0;
    std::set<std::string> modes;
    while (std::getline(in, line)) {
        ASSERT_FALSE(line.empty());
        ASSERT_EQ(line.back(), '\r');
        line.pop_back();
        switch (ClassifyRecord(line)) {
            case RecordKind::Time: {
                const TimeRecord r = ParseTimeRecord(line);
                ASSERT_EQ(r.status, TimeRecord::Status::Ok) << line;
                ASSERT_GT(r.dateTime, previous);
                ASSERT_EQ(static_cast<int>(r.dateTime), 45356) << line;
                previous = r.dateTime;
                ++times;
                break;
            }
            case RecordKind::Pdop:
            case RecordKind::PdopWithSatellites:
                ASSERT_EQ(ClassifyRecord(line) == RecordKind::PdopWithSatellites, control) << line;
                ASSERT_GE(PdopValue(line), 1) << line;
                ASSERT_LT(PdopValue(line), 30) << line;
                break;
            case RecordKind::SatelliteNumbers: {
                const auto items = SplitList(ListField(line)).size();
                ASSERT_TRUE(items == 6 || items == 8) << line;
                (items == 8 ? eightItemLists : sixItemLists)++;
                break;
            }
            case RecordKind::SatelliteLevels:
                ForEachListItem(ListField(line), -1, [&](std::int32_t level) {
                    ASSERT_GE(level, 0) << line;
                    ASSERT_LE(level, 9) << line;
                });
                break;
            case RecordKind::FixMode:
                modes.insert(line.substr(line.rfind(", ") + 2));
                break;
            case RecordKind::None:
                break;
        }
    }
    // Outages and the odd missed second leave out some blocks, never most of them.
    EXPECT_GT(times, 80000);
    EXPECT_LT(times, 86400);
    EXPECT_GT(sixItemLists, eightItemLists);
    const std::set<std::string> expected = control ? std::set<std::string>{"inactive", "Control"}
                                                   : std::set<std::string>{"inactive", "Coarse", "Fine"};
    EXPECT_EQ(modes, expected);
}

INSTANTIATE_TEST_SUITE_P(NormalAndControlFormat, SimulatedDayLayout, ::testing::Bool());

TEST(SimulatedDay, AnalysesIntoAFullDay) {
    const DayAnalysis a = AnalyseText(SimulateDay(test::kMarch5, SimulationOptions{1, false}));
    EXPECT_EQ(a.firstDay, test::kMarch5);
    EXPECT_EQ(a.latestDay, test::kMarch5);
    const auto strength = a.series[static_cast<int>(SeriesId::Strength)].size();
    EXPECT_GT(strength, 1300u);
    EXPECT_LT(strength, 1460u);
    EXPECT_EQ(a.summary.substr(0, 20), "Fixes: none/2D/3D:  ");
    EXPECT_NE(a.summary.find("\rAverage PDOP: "), std::string::npos);
}

TEST(SimulatedSeconds, BlocksInOrderMakeTheWholeDay) {
    for (const bool control : {false, true}) {
        const SimulationOptions options{3, control};
        DaySimulation live(test::kMarch5, options);
        std::string joined;
        for (int second = 0; second < 86400; ++second) joined += live.BlockAt(second);
        EXPECT_EQ(joined, SimulateDay(test::kMarch5, options)) << control;
    }
}

TEST(SimulatedSeconds, JoiningLateGivesTheDaysBlockOfThatSecond) {
    const SimulationOptions options{3, false};
    const std::string day = SimulateDay(test::kMarch5, options);
    const auto blockInDay = [&](const std::string& time) {
        const std::size_t start = day.find("UTC Time  : " + time);
        return day.substr(start, day.find("UTC Time  : ", start + 1) - start);
    };
    DaySimulation live(test::kMarch5, options);
    EXPECT_EQ(live.BlockAt(12 * 3600), blockInDay("12:00:00"));
    EXPECT_EQ(live.BlockAt(12 * 3600 + 1), blockInDay("12:00:01"));
    EXPECT_EQ(live.BlockAt(12 * 3600), "");  // time does not go back
    EXPECT_EQ(live.BlockAt(86400), "");
}

}  // namespace
}  // namespace marlix::core
