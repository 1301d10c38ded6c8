#include "marlix/core/day_texts.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace marlix::core {
namespace {

using test::At;

LocaleConventions GermanLike() {
    return LocaleConventions{{"Jan.", "Feb.", "M\xc3\xa4rz", "Apr.", "Mai", "Juni", "Juli", "Aug.", "Sep.",
                              "Okt.", "Nov.", "Dez."},
                             ",",
                             "."};
}

TEST(NumberFormat, RoundsTiesAwayFromZero) {
    EXPECT_EQ(FormatFixed(0.5, 0, "."), "1");
    EXPECT_EQ(FormatFixed(1.5, 0, "."), "2");
    EXPECT_EQ(FormatFixed(2.5, 0, "."), "3");
    EXPECT_EQ(FormatFixed(-0.5, 0, "."), "-1");
    EXPECT_EQ(FormatFixed(0.25, 1, "."), "0.3");
    EXPECT_EQ(FormatFixed(2.125, 2, "."), "2.13");
    EXPECT_EQ(FormatFixed(0.125, 2, "."), "0.13");
    EXPECT_EQ(FormatFixed(12.5, 0, "."), "13");
}

TEST(NumberFormat, RoundsTheBinaryValueNotTheLiteral) {
    // 2.675 is stored as 2.67499999999999982..., 1.45 as 1.44999999999999995...
    EXPECT_EQ(FormatFixed(2.675, 2, "."), "2.67");
    EXPECT_EQ(FormatFixed(1.45, 1, "."), "1.4");
    // 0.45 is stored as 0.45000000000000001...
    EXPECT_EQ(FormatFixed(0.45, 1, "."), "0.5");
}

TEST(NumberFormat, ReducesToEighteenSignificantDigitsFirst) {
    // The double 1234567890123456768 has 19 digits; the last is rounded away before printing.
    EXPECT_EQ(FormatFixed(1234567890123456768.0, 0, "."), "1234567890123456770");
}

TEST(NumberFormat, CarriesAndPads) {
    EXPECT_EQ(FormatFixed(9.96, 1, "."), "10.0");
    EXPECT_EQ(FormatFixed(99.5, 0, "."), "100");
    EXPECT_EQ(FormatFixed(0, 2, "."), "0.00");
    EXPECT_EQ(FormatFixed(0.004, 2, "."), "0.00");
    EXPECT_EQ(FormatFixed(-0.004, 2, "."), "0.00");
    EXPECT_EQ(FormatFixed(0.0049, 0, "."), "0");
    EXPECT_EQ(FormatFixed(123.0, 2, "."), "123.00");
    EXPECT_EQ(FormatFixed(2.125, 2, ","), "2,13");
}

TEST(DateTimeFormat, WritesFromAndToWithLocaleNames) {
    const LocaleConventions c;
    EXPECT_EQ(FormatFromTime(At(13, 7, 0), c), "2024-Mar-05 from 13:07");
    EXPECT_EQ(FormatToTime(At(9, 5, 59), c), " to 09:05");
    EXPECT_EQ(FormatFromTime(At(13, 7, 0), GermanLike()), "2024-M\xc3\xa4rz-05 from 13.07");
}

TEST(DateTimeFormat, RoundsToTheMillisecondFirst) {
    const LocaleConventions c;
    EXPECT_EQ(FormatToTime(test::kMarch5 + (13 * 3600 + 6 * 60 + 59.9996) / 86400, c), " to 13:07");
    EXPECT_EQ(FormatToTime(test::kMarch5 + (13 * 3600 + 6 * 60 + 59.9994) / 86400, c), " to 13:06");
}

TEST(DateTimeFormat, ShowsTheWholeDayTowardZeroForNegativeValues) {
    // Year 20 lies before 1899-12-30; day N plus half a day is -(|N| - 0.5), whose date part is N + 1.
    EXPECT_EQ(FormatFromTime(EncodeDate(20, 3, 5) + 0.5, LocaleConventions{}), "0020-Mar-06 from 12:00");
}

TEST(MeanStrengthHint, AveragesThePositiveSamplesOnly) {
    const LocaleConventions c;
    EXPECT_EQ(MeanStrengthHint({0, 4, 5, 0}, c), "Mean strength: 4.5");
    EXPECT_EQ(MeanStrengthHint({-1, 2}, c), "Mean strength: 2.0");
    EXPECT_EQ(MeanStrengthHint({0.25}, c), "Mean strength: 0.3");
    EXPECT_EQ(MeanStrengthHint({3, 4}, GermanLike()), "Mean strength: 3,5");
}

TEST(MeanStrengthHint, IsEmptyWithoutAPositiveSample) {
    const LocaleConventions c;
    EXPECT_EQ(MeanStrengthHint({}, c), "");
    EXPECT_EQ(MeanStrengthHint({0, 0, -2}, c), "");
}

TEST(NotesLine, TakesFiveSecondsOffTheLastTime) {
    const LocaleConventions c;
    EXPECT_EQ(NotesLine(At(23, 58, 0, test::kMarch4), At(0, 0, 5), 17, c),
              "2024-Mar-04 from 23:58 to 00:00, 17 lines");
    EXPECT_EQ(NotesLine(At(23, 58, 0, test::kMarch4), At(0, 0, 3), 17, c),
              "2024-Mar-04 from 23:58 to 23:59, 17 lines");
}

TEST(NotesLine, ClaimsNoDateWithoutTimeRecords) {
    EXPECT_EQ(NotesLine(0, 0, 0, LocaleConventions{}), "No time records, 0 lines");
    // A Time line with a bad date leaves a bare time of day as the current time: still no date read.
    EXPECT_EQ(NotesLine(0, At(10, 0, 0, 0), 4, GermanLike()), "No time records, 4 lines");
}

TEST(NotesLine, UsesTheLocaleTimeSeparator) {
    EXPECT_EQ(NotesLine(At(10, 0, 0), At(10, 12, 1), 50, GermanLike()),
              "2024-M\xc3\xa4rz-05 from 10.00 to 10.11, 50 lines");
}

TEST(SummaryText, SaysNotAvailableWithoutFixAndModeLines) {
    EXPECT_EQ(SummaryText(DayTotals{}, LocaleConventions{}),
              "Fix summary not available\rMode summary not available");
}

TEST(SummaryText, DividesByTheCountsHeldAsFourByteFloats) {
    // 40 / 100 as a float is 0.4000000059604645, so 1 / C is just below 2.5 and 19 / C below 47.5.
    DayTotals totals;
    totals.fixCounts = {1, 19, 20};
    totals.modeCounts = {1, 19, 20};
    EXPECT_EQ(SummaryText(totals, LocaleConventions{}),
              "Fixes: none/2D/3D:  2%, 47%, 50%  (1, 19, 20)\r"
              "Control: inactive/coarse/fine:  2%, 47%, 50%  (1, 19, 20)");
}

TEST(SummaryText, ShowsOnlyInactiveAndControlInTheControlFormat) {
    DayTotals totals;
    totals.fixCounts = {0, 0, 15};
    totals.modeCounts = {3, 7, 5};
    totals.controlFormat = true;
    // 15 / 100 as a float is 0.15000000596046448: 3 / B = 19.9999992, 5 / B = 33.3333320.
    EXPECT_EQ(SummaryText(totals, LocaleConventions{}),
              "Fixes: none/2D/3D:  0%, 0%, 100%  (0, 0, 15)\r"
              "Control: inactive/control:  20%, 33%  (3, 5)");
}

TEST(SummaryText, AddsThePdopLineWhenPdopValuesWereSeen) {
    DayTotals totals;
    totals.fixCounts = {0, 0, 10};
    totals.modeCounts = {0, 0, 10};
    totals.pdopSum = 25;
    totals.pdopCount = 8;
    totals.sixItemLists = 7;
    totals.eightItemLists = 1;
    EXPECT_EQ(SummaryText(totals, LocaleConventions{}),
              "Fixes: none/2D/3D:  0%, 0%, 100%  (0, 0, 10)\r"
              "Control: inactive/coarse/fine:  0%, 0%, 100%  (0, 0, 10)\r"
              "Average PDOP: 3.13,  GPS-seeking 13% (lower is better)");
    totals.modeCounts = {0, 0, 0};
    EXPECT_EQ(SummaryText(totals, GermanLike()),
              "Fixes: none/2D/3D:  0%, 0%, 100%  (0, 0, 10)\r"
              "Mode summary not available\r"
              "Average PDOP: 3,13,  GPS-seeking 13% (lower is better)");
}

TEST(SummaryText, SaysSeekingNotAvailableWithoutSixOrEightItemLists) {
    DayTotals totals;
    totals.pdopSum = 4;
    totals.pdopCount = 2;
    EXPECT_EQ(SummaryText(totals, LocaleConventions{}),
              "Fix summary not available\rMode summary not available\rAverage PDOP: 2.00,  GPS-seeking n/a");
}

}  // namespace
}  // namespace marlix::core
