#include "marlix/core/daytime.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace marlix::core {
namespace {

// Days from 1970-01-01 of a proleptic Gregorian date, and back (era-based, exact for all years).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

CivilDate CivilFromDays(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

bool IsLeapYear(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

}  // namespace

int DaysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidDate(int year, int month, int day) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= DaysInMonth(year, month);
}

DayTime EncodeDate(int year, int month, int day) {
    return static_cast<double>(
               DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day))) +
           kUnixEpochDay;
}

DayTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec) {
    return EncodeDate(year, month, day) + EncodeTime(hour, minute, second, msec);
}

CivilDate DecodeDate(DayTime t) {
    return CivilFromDays(static_cast<std::int64_t>(std::trunc(t)) - static_cast<std::int64_t>(kUnixEpochDay));
}

CivilDateTime DecodeDateTime(DayTime t) {
    const auto totalMs = static_cast<std::int64_t>(std::llround(std::fabs(t) * kMillisecondsPerDay));
    const std::int64_t msPerDay = static_cast<std::int64_t>(kMillisecondsPerDay);
    std::int64_t days = totalMs / msPerDay;
    auto msOfDay = static_cast<int>(totalMs % msPerDay);
    if (t < 0) days = -days;
    const CivilDate date = CivilFromDays(days - static_cast<std::int64_t>(kUnixEpochDay));
    return {date.year,           date.month,    date.day, msOfDay / 3600000, msOfDay / 60000 % 60,
            msOfDay / 1000 % 60, msOfDay % 1000};
}

DayTime DayTimeFromUnixSeconds(double unixSeconds) {
    return unixSeconds / 86400.0 + kUnixEpochDay;
}

std::string FormatIsoDate(DayTime t) {
    const CivilDate d = DecodeDate(t);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
    return text;
}

std::optional<DayTime> ParseIsoDate(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    const auto number = [&](std::size_t first, std::size_t length) -> std::optional<int> {
        int value = 0;
        for (std::size_t i = first; i < first + length; ++i) {
            if (text[i] < '0' || text[i] > '9') return std::nullopt;
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    const auto year = number(0, 4), month = number(5, 2), day = number(8, 2);
    if (!year || !month || !day || !IsValidDate(*year, *month, *day)) return std::nullopt;
    return EncodeDate(*year, *month, *day);
}

std::string FormatIsoDateTime(DayTime t) {
    const CivilDateTime c = DecodeDateTime(t);
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day, c.hour,
                  c.minute, c.second);
    return text;
}

std::string IsoUtcTime(DayTime time) {
    const CivilDateTime t = DecodeDateTime(time);
    char text[40];
    if (t.msec != 0) {
        std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", t.year, t.month, t.day,
                      t.hour, t.minute, t.second, t.msec);
    } else {
        std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", t.year, t.month, t.day, t.hour,
                      t.minute, t.second);
    }
    return text;
}

std::string FormatClockTime(DayTime t, std::string_view separator, bool withSeconds) {
    const CivilDateTime c = DecodeDateTime(t);
    char part[8];
    std::snprintf(part, sizeof part, "%02d", c.hour);
    std::string text = part;
    text += separator;
    std::snprintf(part, sizeof part, "%02d", c.minute);
    text += part;
    if (withSeconds) {
        text += separator;
        std::snprintf(part, sizeof part, "%02d", c.second);
        text += part;
    }
    return text;
}

}  // namespace marlix::core
