#include "marlix/core/daytime.h"

#include <gtest/gtest.h>

namespace marlix::core {
namespace {

TEST(DayTimeCalendar, CountsDaysFrom1899December30) {
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
    EXPECT_EQ(EncodeDate(1899, 12, 29), -1);
    EXPECT_EQ(EncodeDate(1900, 3, 1), 61);
    EXPECT_EQ(EncodeDate(1970, 1, 1), 25569);
    EXPECT_EQ(EncodeDate(2024, 3, 5), 45356);
    EXPECT_EQ(EncodeDate(2000, 2, 29), 36585);
}

TEST(DayTimeCalendar, AddsTheTimeOfDayToTheDate) {
    EXPECT_EQ(EncodeDateTime(2024, 3, 5, 18, 0, 0), 45356.75);
    EXPECT_EQ(EncodeTime(6, 0, 0), 0.25);
    EXPECT_EQ(EncodeTime(0, 0, 0, 1), 1 / 86400000.0);
}

TEST(DayTimeCalendar, TellsValidDates) {
    EXPECT_TRUE(IsValidDate(2024, 2, 29));
    EXPECT_FALSE(IsValidDate(2023, 2, 29));
    EXPECT_FALSE(IsValidDate(1900, 2, 29));
    EXPECT_TRUE(IsValidDate(2000, 2, 29));
    EXPECT_FALSE(IsValidDate(2024, 4, 31));
    EXPECT_FALSE(IsValidDate(0, 1, 1));
    EXPECT_FALSE(IsValidDate(10000, 1, 1));
    EXPECT_TRUE(IsValidDate(1, 1, 1));
}

TEST(DayTimeDecoding, TakesTheWholeDayPartTowardZero) {
    const CivilDate d = DecodeDate(45356.999);
    EXPECT_EQ(d.year, 2024);
    EXPECT_EQ(d.month, 3);
    EXPECT_EQ(d.day, 5);
    const CivilDate before = DecodeDate(-1.5);  // toward zero: day -1
    EXPECT_EQ(before.year, 1899);
    EXPECT_EQ(before.month, 12);
    EXPECT_EQ(before.day, 29);
}

TEST(DayTimeDecoding, RoundsToTheMillisecondFirst) {
    const CivilDateTime t = DecodeDateTime(45356 + 86399.9996 / 86400);
    EXPECT_EQ(t.day, 6);
    EXPECT_EQ(t.hour, 0);
    EXPECT_EQ(t.minute, 0);
    EXPECT_EQ(t.second, 0);
    EXPECT_EQ(t.msec, 0);
    const CivilDateTime u = DecodeDateTime(45356 + 3723.0044 / 86400);
    EXPECT_EQ(u.hour, 1);
    EXPECT_EQ(u.minute, 2);
    EXPECT_EQ(u.second, 3);
    EXPECT_EQ(u.msec, 4);
}

TEST(DayTimeDecoding, UsesTheAbsoluteFractionOfANegativeValue) {
    const CivilDateTime t = DecodeDateTime(-1.25);
    EXPECT_EQ(t.year, 1899);
    EXPECT_EQ(t.month, 12);
    EXPECT_EQ(t.day, 29);
    EXPECT_EQ(t.hour, 6);
    EXPECT_EQ(t.minute, 0);
    const CivilDateTime small = DecodeDateTime(-5 / 86400.0);
    EXPECT_EQ(small.day, 30);
    EXPECT_EQ(small.second, 5);
}

TEST(DayTimeDecoding, ConvertsUnixSeconds) {
    EXPECT_EQ(DayTimeFromUnixSeconds(0), 25569);
    EXPECT_EQ(DayTimeFromUnixSeconds(86400 * 1.5), 25570.5);
}

TEST(IsoDates, AreStrictAndValid) {
    EXPECT_EQ(ParseIsoDate("2024-03-05"), 45356);
    EXPECT_EQ(ParseIsoDate("2024-02-29"), 45351);
    EXPECT_EQ(ParseIsoDate("2023-02-29"), std::nullopt);
    EXPECT_EQ(ParseIsoDate("2024-3-5"), std::nullopt);
    EXPECT_EQ(ParseIsoDate("2024/03/05"), std::nullopt);
    EXPECT_EQ(ParseIsoDate("2024-03-05 "), std::nullopt);
}

}  // namespace
}  // namespace marlix::core
