#pragma once

// Helpers shared by the core tests: fixture access, day times written out by hand and a builder for
// small logs.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "analysis_internal.h"
#include "support/text.h"

namespace marlix::core {

// Exact comparison: the points are computed, not measured.
inline bool operator==(const ChartPoint& a, const ChartPoint& b) {
    return a.x == b.x && a.y == b.y;
}
inline void PrintTo(const ChartPoint& p, std::ostream* os) {
    char text[80];
    std::snprintf(text, sizeof text, "(%.17g, %.17g)", p.x, p.y);
    *os << text;
}

inline bool operator==(const SatelliteMinuteLevel& a, const SatelliteMinuteLevel& b) {
    return a.minute == b.minute && a.satellite == b.satellite && a.meanLevel == b.meanLevel;
}
inline void PrintTo(const SatelliteMinuteLevel& l, std::ostream* os) {
    const CivilDateTime t = DecodeDateTime(l.minute);
    *os << t.hour << ':' << t.minute << ':' << t.second << " #" << l.satellite << " = " << l.meanLevel;
}

}  // namespace marlix::core

namespace marlix::test {

inline constexpr double kMarch4 = 45355;  // 2024-03-04 in days since 1899-12-30
inline constexpr double kMarch5 = 45356;

// A DayTime of 2024-03-05 (or the given day) at hh:mm:ss, as the logger's records produce it.
inline double At(int hour, int minute, int second, double day = kMarch5) {
    return day + (hour * 3600 + minute * 60 + second) / 86400.0;
}

inline std::string FixturePath(const std::string& name) {
    return std::string(TEST_DATA_DIR) + "/" + name;
}

inline std::string ReadFixture(const std::string& name) {
    EXPECT_TRUE(std::filesystem::is_regular_file(FixturePath(name))) << name;
    return ReadFile(FixturePath(name));
}

// Builds a log text line by line (LF endings).
class LogText {
  public:
    LogText& Time(int hour, int minute, int second, int day = 5, int month = 3, int year = 24) {
        char line[64];
        std::snprintf(line, sizeof line, "UTC Time  : %02d:%02d:%02d %02d/%02d/%02d", hour, minute, second,
                      day, month, year);
        return Line(line);
    }
    LogText& Line(const std::string& line) {
        text_ += line;
        text_ += '\n';
        return *this;
    }
    const std::string& Text() const { return text_; }

  private:
    std::string text_;
};

// Two analyses of the same log, however it was read, agree in everything they show.
inline void ExpectSameDay(const core::DayAnalysis& actual, const core::DayAnalysis& expected,
                          const std::string& what) {
    EXPECT_EQ(actual.series, expected.series) << what;
    EXPECT_EQ(actual.lineCount, expected.lineCount) << what;
    EXPECT_EQ(actual.firstDay, expected.firstDay) << what;
    EXPECT_EQ(actual.latestDay, expected.latestDay) << what;
    EXPECT_EQ(actual.controlFormat, expected.controlFormat) << what;
    EXPECT_EQ(actual.hint, expected.hint) << what;
    EXPECT_EQ(actual.notes, expected.notes) << what;
    EXPECT_EQ(actual.summary, expected.summary) << what;
    ASSERT_EQ(actual.satellites.has_value(), expected.satellites.has_value()) << what;
    if (!expected.satellites) return;
    EXPECT_EQ(actual.satellites->satellites, expected.satellites->satellites) << what;
    EXPECT_EQ(actual.satellites->levels, expected.satellites->levels) << what;
}

inline const std::vector<core::ChartPoint>& Points(const core::DayAnalysis& a, core::SeriesId id) {
    return a.series[static_cast<int>(id)];
}

}  // namespace marlix::test
