#include "marlix/core/records.h"

#include <gtest/gtest.h>

#include "line_reduction.h"
#include "support/reduction_rules.h"
#include "test_support.h"

namespace marlix::core {
namespace {

using test::At;

TEST(IntegerConversion, AcceptsDecimalWithLeadingBlanksAndOneSign) {
    EXPECT_EQ(ParseInteger("12"), 12);
    EXPECT_EQ(ParseInteger("  7"), 7);
    EXPECT_EQ(ParseInteger("+5"), 5);
    EXPECT_EQ(ParseInteger(" -3"), -3);
    EXPECT_EQ(ParseInteger("007"), 7);
}

TEST(IntegerConversion, AcceptsEveryHexadecimalIntroducer) {
    EXPECT_EQ(ParseInteger("$A"), 10);
    EXPECT_EQ(ParseInteger("-$A"), -10);
    EXPECT_EQ(ParseInteger("+$a"), 10);
    EXPECT_EQ(ParseInteger("x1f"), 31);
    EXPECT_EQ(ParseInteger("X1F"), 31);
    EXPECT_EQ(ParseInteger("0x10"), 16);
    EXPECT_EQ(ParseInteger(" 0X10"), 16);
    EXPECT_EQ(ParseInteger("-0x7FFFFFFF"), -2147483647);
}

TEST(IntegerConversion, KeepsTo32Bits) {
    EXPECT_EQ(ParseInteger("2147483647"), 2147483647);
    EXPECT_EQ(ParseInteger("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(ParseInteger("2147483648"), std::nullopt);
    EXPECT_EQ(ParseInteger("-2147483649"), std::nullopt);
    EXPECT_EQ(ParseInteger("99999999999999999999"), std::nullopt);
    EXPECT_EQ(ParseInteger("$80000000"), std::nullopt);
}

TEST(IntegerConversion, RejectsEverythingElse) {
    for (const char* text : {"", " ", "7 ", "3.", "3.4", "3,4", "\t5", "0x", "$", "+", "-", "--1", "+-1",
                             "1a", "$G", "- 5", "x", "1e3"}) {
        EXPECT_EQ(ParseInteger(text), std::nullopt) << '"' << text << '"';
    }
    EXPECT_EQ(ParseIntegerOr("3.", 11), 11);
}

TEST(RecordRecognition, KnowsTheSixPrefixesExactly) {
    EXPECT_EQ(ClassifyRecord("UTC Time  : 10:00:00 05/03/24"), RecordKind::Time);
    EXPECT_EQ(ClassifyRecord("PDOP      : 2"), RecordKind::Pdop);
    EXPECT_EQ(ClassifyRecord("PDOP; sats: 2; 6"), RecordKind::PdopWithSatellites);
    EXPECT_EQ(ClassifyRecord("Sat PRN   : 1, 2"), RecordKind::SatelliteNumbers);
    EXPECT_EQ(ClassifyRecord("Sat level : 1, 2"), RecordKind::SatelliteLevels);
    EXPECT_EQ(ClassifyRecord("Fix, Mode"), RecordKind::FixMode);
    EXPECT_EQ(ClassifyRecord("Fix, Mode : 3D, Fine"), RecordKind::FixMode);
    EXPECT_EQ(ClassifyRecord("UTC Time  : "), RecordKind::Time);
}

TEST(RecordRecognition, IgnoresNearMisses) {
    for (const char* line :
         {"", "UTC Time : 10:00:00 05/03/24", "utc Time  : 10:00:00", "PDOP     : 2", "PDOP;sats: 2",
          "Sat PRN  : 1", "Sat level: 1", "Fix,Mode", "fix, Mode", "Fix, Mod", " Fix, Mode", "UTC Time  :"}) {
        EXPECT_EQ(ClassifyRecord(line), RecordKind::None) << '"' << line << '"';
    }
}

TEST(RecordFields, AreCutAtOneBasedPositionsAndShortenedAtTheEnd) {
    EXPECT_EQ(Field("abcdef", 2, 3), "bcd");
    EXPECT_EQ(Field("abcdef", 5, 3), "ef");
    EXPECT_EQ(Field("abcdef", 7, 3), "");
    EXPECT_EQ(Field("abcdef", 9, 3), "");
}

TEST(PdopField, TakesTheTwoCharactersAfterThePrefix) {
    EXPECT_EQ(PdopValue("PDOP      : 3"), 3);
    EXPECT_EQ(PdopValue("PDOP      : 3.4"), 11);
    EXPECT_EQ(PdopValue("PDOP      : 12"), 12);
    EXPECT_EQ(PdopValue("PDOP      :  7"), 7);
    EXPECT_EQ(PdopValue("PDOP      : 3 "), 11);
    EXPECT_EQ(PdopValue("PDOP      : 3,"), 11);
    EXPECT_EQ(PdopValue("PDOP      : "), 11);
    EXPECT_EQ(PdopValue("PDOP      : 123"), 12);
    EXPECT_EQ(PdopValue("PDOP      : $A"), 10);
    EXPECT_EQ(PdopValue("PDOP; sats:  4; 7"), 4);
}

TEST(FixModeWords, AreSearchedCaseSensitivelyInOrder) {
    const auto check = [](const char* line, FixState fix, LockMode mode) {
        const FixModeRecord r = ParseFixMode(line);
        EXPECT_EQ(r.fix, fix) << line;
        EXPECT_EQ(r.mode, mode) << line;
    };
    check("Fix, Mode : 3D, Fine", FixState::Fix3D, LockMode::FineOrControl);
    check("Fix, Mode : 2D, Coarse", FixState::Fix2D, LockMode::Coarse);
    check("Fix, Mode : 3D 2D", FixState::Fix3D, LockMode::Inactive);
    check("Fix, Mode : Fine Coarse", FixState::None, LockMode::FineOrControl);
    check("Fix, Mode : 3D, Control", FixState::Fix3D, LockMode::FineOrControl);
    check("Fix, Mode : no fix, inactive", FixState::None, LockMode::Inactive);
    check("Fix, Mode : 3d, fine, coarse, control", FixState::None, LockMode::Inactive);
    check("Fix, Mode2D", FixState::Fix2D, LockMode::Inactive);
}

TEST(ListSplitting, SeparatesAtCommasBlanksAndControlCharacters) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitList("12, 5, 23"), (V{"12", "5", "23"}));
    EXPECT_EQ(SplitList("  1 2"), (V{"1", "2"}));
    EXPECT_EQ(SplitList("1\t2\x1f"
                        "3"),
              (V{"1", "2", "3"}));
    EXPECT_EQ(SplitList("1 ,2"), (V{"1", "2"}));
    EXPECT_EQ(SplitList("1,\t 2"), (V{"1", "2"}));
    EXPECT_EQ(SplitList(""), V{});
    EXPECT_EQ(SplitList(" \t "), V{});
}

TEST(ListSplitting, GivesEmptyItemsBetweenCommasAndForALastComma) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitList("1,,2"), (V{"1", "", "2"}));
    EXPECT_EQ(SplitList("1, ,2"), (V{"1", "", "2"}));
    EXPECT_EQ(SplitList("5,12,"), (V{"5", "12", ""}));
    EXPECT_EQ(SplitList("5,12, "), (V{"5", "12"}));
    EXPECT_EQ(SplitList(","), (V{"", ""}));
    EXPECT_EQ(SplitList("1, 2, 3, 4, 5, 6,"), (V{"1", "2", "3", "4", "5", "6", ""}));
}

TEST(ListSplitting, ReadsQuotedItems) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitList("\"1, 2\",3"), (V{"1, 2", "3"}));
    EXPECT_EQ(SplitList("\"a\"\"b\", 4"), (V{"a\"b", "4"}));
    EXPECT_EQ(SplitList("\"3\"4"), (V{"3", "4"}));
    EXPECT_EQ(SplitList("\"open, to the end"), (V{"open, to the end"}));
}

TEST(ListSplitting, ConvertsItemsWithDefaultZero) {
    std::vector<std::int32_t> values;
    const int count =
        ForEachListItem("7, x, \"4\", \"a\"\"\", $F, 3 ,", 0, [&](std::int32_t v) { values.push_back(v); });
    EXPECT_EQ(count, 7);
    EXPECT_EQ(values, (std::vector<std::int32_t>{7, 0, 4, 0, 15, 3, 0}));
}

TEST(ListSplitting, ConvertsTheLoggersPlainShapeAsTheGeneralRulesDo) {
    // The logger's own "n, n, n" lists take a quicker way; near misses of that shape must not.
    const auto values = [](std::string_view list) {
        std::vector<std::int32_t> v;
        const int count = ForEachListItem(list, -7, [&](std::int32_t x) { v.push_back(x); });
        EXPECT_EQ(static_cast<std::size_t>(count), v.size()) << list;
        return v;
    };
    using V = std::vector<std::int32_t>;
    EXPECT_EQ(values("17, 12, 02, 3"), (V{17, 12, 2, 3}));
    EXPECT_EQ(values("123456789, 0"), (V{123456789, 0}));
    EXPECT_EQ(values("2147483648, 1"), (V{-7, 1}));
    EXPECT_EQ(values("1, 4444444444444444"), (V{1, -7}));
    EXPECT_EQ(values("1, 2, "), (V{1, 2}));
    EXPECT_EQ(values("1, 2,"), (V{1, 2, -7}));
    EXPECT_EQ(values("1,  2"), (V{1, 2}));
    EXPECT_EQ(values("1, -2, x"), (V{1, -2, -7}));
    EXPECT_EQ(values("1, $A"), (V{1, 10}));
    EXPECT_EQ(values(std::string_view("4, 5\0, 6", 8)), (V{4, 5}));
}

TEST(ListSplitting, ReadsOnlyCharacters13To111OfTheLine) {
    // The comma at position 111 is the last character of the field, so it ends in an empty item;
    // the 6 behind it is cut off.
    const std::string line = "Sat level : " + std::string(97, ' ') + "5,6";
    std::vector<std::int32_t> values;
    EXPECT_EQ(ForEachListItem(ListField(line), 0, [&](std::int32_t v) { values.push_back(v); }), 2);
    EXPECT_EQ(values, (std::vector<std::int32_t>{5, 0}));
}

TEST(TimeRecordFields, GiveDatePlusTimeOfDay) {
    const TimeRecord r = ParseTimeRecord("UTC Time  : 13:45:07 05/03/24");
    EXPECT_EQ(r.status, TimeRecord::Status::Ok);
    EXPECT_EQ(r.dateTime, At(13, 45, 7));
    EXPECT_EQ(r.hourText, "13");
    EXPECT_EQ(r.minuteText, "45");
    EXPECT_EQ(r.secondText, "07");
}

TEST(TimeRecordFields, ConvertHexadecimalAndBlankPaddedFields) {
    const TimeRecord r = ParseTimeRecord("UTC Time  : $A: 5:07 $5/ 3/24");
    EXPECT_EQ(r.status, TimeRecord::Status::Ok);
    EXPECT_EQ(r.dateTime, At(10, 5, 7));
}

TEST(TimeRecordFields, FailOnBadTimeBeforeLookingAtTheDate) {
    for (const char* line : {"UTC Time  : 24:00:00 05/03/24", "UTC Time  : 23:60:00 05/03/24",
                             "UTC Time  : 23:00:60 05/03/24", "UTC Time  : -1:00:00 05/03/24",
                             "UTC Time  : ab:00:00 05/03/24", "UTC Time  : 10:00:", "UTC Time  : 10:00"}) {
        EXPECT_EQ(ParseTimeRecord(line).status, TimeRecord::Status::BadTime) << line;
    }
}

TEST(TimeRecordFields, KeepTheTimeOfDayWhenOnlyTheDateFails) {
    for (const char* line :
         {"UTC Time  : 12:00:00 30/02/24", "UTC Time  : 12:00:00 29/02/23", "UTC Time  : 12:00:00 05/13/24",
          "UTC Time  : 12:00:00 00/03/24", "UTC Time  : 12:00:00 05/03/-1", "UTC Time  : 12:00:00 05/03/2 ",
          "UTC Time  : 12:00:00 05/"}) {
        const TimeRecord r = ParseTimeRecord(line);
        EXPECT_EQ(r.status, TimeRecord::Status::BadDate) << line;
        EXPECT_EQ(r.timeOfDay, 0.5) << line;
    }
    EXPECT_EQ(ParseTimeRecord("UTC Time  : 12:00:00 29/02/24").status, TimeRecord::Status::Ok);
}

TEST(TimeRecordFields, TheRememberedDateGivesWhatTheFullReadingGives) {
    DateMemo memo;
    for (const char* line : {"UTC Time  : 12:00:00 05/03/24", "UTC Time  : 12:00:01 05/03/24",
                             "UTC Time  : 12:00:02 05/03/2", "UTC Time  : 99:00:03 05/03/24",
                             "UTC Time  : 12:00:04 05/03/24 and more", "UTC Time  : 12:00:05 06/03/24",
                             "UTC Time  : 12:00:06 05-03-24", "UTC Time  : 12:00:07 35/03/24"}) {
        const TimeRecord expected = ParseTimeRecord(line);
        const TimeRecord r = ParseTimeRecord(line, memo);
        EXPECT_EQ(r.status, expected.status) << line;
        EXPECT_EQ(r.timeOfDay, expected.timeOfDay) << line;
        EXPECT_EQ(r.dateTime, expected.dateTime) << line;
    }
}

TEST(TimeRecordFields, AYearCutShortIsABadDate) {
    // "20" alone or "20" and one digit would be a year of antiquity: a half-written line fails instead.
    for (const char* line : {"UTC Time  : 12:00:00 05/03/", "UTC Time  : 12:00:00 05/03/2"}) {
        const TimeRecord r = ParseTimeRecord(line);
        EXPECT_EQ(r.status, TimeRecord::Status::BadDate) << line;
        EXPECT_EQ(r.timeOfDay, 0.5) << line;
        EXPECT_EQ(r.dateTime, 0) << line;
    }
    const TimeRecord whole = ParseTimeRecord("UTC Time  : 12:00:00 05/03/24");
    EXPECT_EQ(whole.status, TimeRecord::Status::Ok);
    EXPECT_EQ(whole.dateTime, EncodeDate(2024, 3, 5) + 0.5);
}

TEST(LineReduction, QuickReadingsGiveWhatTheGeneralRulesGive) {
    // Levels lists: the one-digit shape read 16 bytes at a time, and near misses that must not be.
    std::vector<std::string> lines;
    for (const std::string& list :
         std::vector<std::string>{"4",
                                  "0",
                                  "9, 0, 3, 4",
                                  "4, 4, 2, 5, 8, 3",
                                  "1, 2, 3, 4, 5, 6, 7, 8",
                                  "1, 2, 3, 4, 5, 6, 7, 0, 9, 8, 7, 6",
                                  "1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 1, x",
                                  "1, 2, 3, 4, 5, 6, 7,,8",
                                  "1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 1, 2, 3, 4, 5, 9",
                                  "1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 1, 2, 3, 4, 5, 9, 7",
                                  "4, 12, 3",
                                  "4,  2",
                                  "4, 2,",
                                  "4, 2, ",
                                  " 4, 2",
                                  "4, x",
                                  "4; 2",
                                  "4,\t2",
                                  "a, 2",
                                  "4, /",
                                  "4, :",
                                  "",
                                  "44",
                                  "4, 2\xFF",
                                  std::string("4, \0, 2", 7)}) {
        lines.push_back("Sat level : " + list);
    }
    // Remembered texts: the same text again, another one, and an empty list (no bytes to point at).
    for (const char* line : {"Sat PRN   : 17, 12, 02, 03, 04, 24", "Sat PRN   : 17, 12, 02, 03, 04, 24",
                             "Sat PRN   : 17, 0, 02", "Sat PRN   : ", "Sat PRN   : ", "Fix, Mode : 3D, Fine",
                             "Fix, Mode : 3D, Fine", "Fix, Mode : 2D, Coarse", "PDOP; sats:  4; 7"}) {
        lines.emplace_back(line);
    }
    // Time lines: the remembered date and two-digit fields, and lines of other shapes.
    for (const char* line :
         {"UTC Time  : 12:34:00 05/03/24", "UTC Time  : 12:34:01 05/03/24", "UTC Time  : 00:34:59 05/03/24",
          "UTC Time  : 23:00:01 05/03/24", "UTC Time  : 24:00:00 05/03/24", "UTC Time  : 12:60:00 05/03/24",
          "UTC Time  :  2:34:00 05/03/24", "UTC Time  : 12:34:00 06/03/24", "UTC Time  : 12:34:00 05/03/2",
          "UTC Time  : 1a:34:00 05/03/24"}) {
        lines.emplace_back(line);
    }
    ReductionMemo memo;
    for (const std::string& line : lines) {
        EXPECT_TRUE(test::SameRecord(ReduceLine(line, memo), test::ReducedByTheRules(line))) << line;
    }
}

}  // namespace
}  // namespace marlix::core
