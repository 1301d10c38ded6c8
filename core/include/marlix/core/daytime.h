#pragma once

// The date-time value of the receiver logs and the charts: whole days since 1899-12-30 plus the
// fraction of the day, so one minute is 1/1440 and 1970-01-01 is 25569.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace marlix::core {

using DayTime = double;  // days since 1899-12-30 plus fraction of the day

inline constexpr double kMillisecondsPerDay = 86400000.0;
inline constexpr DayTime kUnixEpochDay = 25569.0;

// Proleptic Gregorian calendar; the caller passes a valid date (see IsValidDate).
DayTime EncodeDate(int year, int month, int day);
// Date plus time of day; the time is added to the date as it is, also for dates before 1899-12-30.
DayTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec = 0);
// The time of day alone, a value in [0, 1). Inline: every Time record of a log takes it.
inline DayTime EncodeTime(int hour, int minute, int second, int msec = 0) {
    // Summed as integers: every partial sum is a whole number far below 2^53, so the one conversion
    // gives the very double that summing in doubles gives, with a shorter chain before the division.
    const std::int64_t ms =
        std::int64_t{hour} * 3600000 + std::int64_t{minute} * 60000 + std::int64_t{second} * 1000 + msec;
    return static_cast<double>(ms) / kMillisecondsPerDay;
}

bool IsValidDate(int year, int month, int day);  // year 1..9999, month 1..12, day within the month
inline bool IsValidTime(int hour, int minute, int second) {
    return hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= 59;
}
int DaysInMonth(int year, int month);

struct CivilDate {
    int year, month, day;
};
CivilDate DecodeDate(DayTime t);  // whole-day part toward zero

// A DayTime rounded to the nearest millisecond and split into date and time of day. A negative
// DayTime has its whole-day part toward zero as its date and the absolute value of its fraction as
// its time of day.
struct CivilDateTime {
    int year, month, day;
    int hour, minute, second, msec;
};
CivilDateTime DecodeDateTime(DayTime t);

DayTime DayTimeFromUnixSeconds(double unixSeconds);  // 1970-01-01 is 25569

// The texts of dates and times that every output shares.
// "yyyy-mm-dd" of the day the whole-day part names (the day file names, the table's day column).
std::string FormatIsoDate(DayTime t);
// The date of a strict "yyyy-mm-dd" naming a valid date, else nothing.
std::optional<DayTime> ParseIsoDate(std::string_view text);
// "yyyy-mm-dd hh:nn:ss" after rounding to the nearest millisecond, which spreadsheets read.
std::string FormatIsoDateTime(DayTime t);
// ISO 8601 UTC, "2026-03-14T10:01:01Z"; milliseconds only when the time has some
// ("...T10:01:01.500Z").
std::string IsoUtcTime(DayTime time);
// "hh:nn", or "hh:nn:ss" with seconds, after rounding to the nearest millisecond; the separator is
// the locale's.
std::string FormatClockTime(DayTime t, std::string_view separator, bool withSeconds = false);

}  // namespace marlix::core
