#include "marlix/core/minute_readings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "marlix/core/daytime.h"

namespace marlix::core {
namespace {

double At(int hour, int minute, int second) {
    return EncodeDateTime(2024, 3, 5, hour, minute, second);
}

// A minute closes at second 01 of the next one.
MinuteReading ClosedAt(int hour, int minute, bool gapEnds = false, bool gapBegins = false) {
    MinuteReading m;
    m.time = At(hour, minute, 1);
    m.gapEnds = gapEnds;
    m.gapBegins = gapBegins;
    return m;
}

std::string Clock(DayTime time) {
    return FormatClockTime(time, ":");
}

// Records up to 10:18:59, then none until 10:40:00.
const std::vector<MinuteReading> kGapDay{ClosedAt(10, 18), ClosedAt(10, 19, false, true),
                                         ClosedAt(10, 40, true, false), ClosedAt(10, 41)};

TEST(MinuteAtGap, FromItsFirstSecondToItsLastNamesTheRecordlessMinutes) {
    for (const double time : {At(10, 20, 0), At(10, 25, 0), At(10, 39, 59)}) {
        const MinuteAtTime at = MinuteAt(kGapDay, time);
        ASSERT_TRUE(at.gap) << Clock(time);
        EXPECT_EQ(Clock(at.gap->first), "10:20");
        EXPECT_EQ(Clock(at.gap->last), "10:39");
        EXPECT_FALSE(at.nearest);
    }
}

TEST(MinuteAtGap, JustOutsideItTheNearestMinuteByTheMinuteItHolds) {
    const MinuteAtTime before = MinuteAt(kGapDay, At(10, 19, 59));
    EXPECT_FALSE(before.gap);
    EXPECT_EQ(before.nearest, 1u);
    EXPECT_EQ(Clock(before.nearestMinute), "10:18");
    const MinuteAtTime after = MinuteAt(kGapDay, At(10, 40, 0));
    EXPECT_FALSE(after.gap);
    EXPECT_EQ(after.nearest, 2u);
    EXPECT_EQ(Clock(after.nearestMinute), "10:39");
}

TEST(MinuteAtGap, NeedsTheBeginningAndTheEndMarked) {
    const std::vector<MinuteReading> begins{ClosedAt(10, 19, false, true), ClosedAt(10, 40)};
    const std::vector<MinuteReading> ends{ClosedAt(10, 19), ClosedAt(10, 40, true, false)};
    for (const auto& minutes : {begins, ends}) {
        const MinuteAtTime at = MinuteAt(minutes, At(10, 25, 0));
        EXPECT_FALSE(at.gap);
        EXPECT_EQ(at.nearest, 0u);
    }
}

TEST(MinuteAtNearest, TieGoesToTheLaterMinute) {
    // Times a double holds exactly, so that both distances of the tie are equal.
    std::vector<MinuteReading> minutes(2);
    minutes[0].time = 2.0;
    minutes[1].time = 2.5;
    EXPECT_EQ(MinuteAt(minutes, 2.25).nearest, 1u);
    EXPECT_EQ(MinuteAt(minutes, 2.2).nearest, 0u);
    EXPECT_EQ(MinuteAt(minutes, 2.5).nearest, 1u);

    const MinuteAtTime none = MinuteAt({}, 2.0);
    EXPECT_FALSE(none.nearest);
    EXPECT_FALSE(none.gap);
}

TEST(MinuteAtEnds, BeforeTheFirstMinuteAndAfterTheLastNameThatMinute) {
    // Records from 19:48:00 (closed at 19:49:01); the last close at 19:53:01, and the log may end in
    // minute 19:53 without closing it.
    const std::vector<MinuteReading> minutes{ClosedAt(19, 49), ClosedAt(19, 53)};
    for (const double time : {At(10, 7, 0), At(19, 47, 59)}) {
        const MinuteAtTime at = MinuteAt(minutes, time);
        ASSERT_TRUE(at.recordsBegin) << Clock(time);
        EXPECT_EQ(Clock(*at.recordsBegin), "19:48");
        EXPECT_FALSE(at.nearest || at.recordsEnd);
    }
    for (const double time : {At(19, 54, 0), At(23, 0, 0)}) {
        const MinuteAtTime at = MinuteAt(minutes, time);
        ASSERT_TRUE(at.recordsEnd) << Clock(time);
        EXPECT_EQ(Clock(*at.recordsEnd), "19:53");
        EXPECT_FALSE(at.nearest || at.recordsBegin);
    }
    EXPECT_EQ(MinuteAt(minutes, At(19, 48, 0)).nearest, 0u);
    EXPECT_EQ(MinuteAt(minutes, At(19, 53, 59)).nearest, 1u);
}

}  // namespace
}  // namespace marlix::core
