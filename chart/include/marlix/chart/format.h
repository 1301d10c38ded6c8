// Number and date-time texts of the chart labels, with the locale pieces they depend on.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace marlix::chart {

// The locale settings the label texts use. The defaults give ISO-like dates and 24-hour times.
struct TFormatSettings {
    char DecimalSeparator = '.';
    char ThousandSeparator = ',';
    char DateSeparator = '-';
    char TimeSeparator = ':';
    std::string ShortDateFormat = "yyyy/mm/dd";
    std::string LongDateFormat = "d mmmm yyyy";
    std::string ShortTimeFormat = "hh:nn";
    std::string LongTimeFormat = "hh:nn:ss";
    std::string TimeAMString = "AM";
    std::string TimePMString = "PM";
    std::array<std::string, 12> ShortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::array<std::string, 12> LongMonthNames{"January",   "February", "March",    "April",
                                               "May",       "June",     "July",     "August",
                                               "September", "October",  "November", "December"};
    std::array<std::string, 7> ShortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    std::array<std::string, 7> LongDayNames{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                            "Thursday", "Friday", "Saturday"};
};

// Calendar parts of a DayTime (whole days since 1899-12-30 plus the fraction of the day), rounded to the
// millisecond.
struct TDayTimeParts {
    int Year = 1899, Month = 12, Day = 30, DayOfWeek = 6;  // DayOfWeek: 0 Sunday .. 6 Saturday
    int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};
TDayTimeParts DecodeDayTime(double dayTime);
double EncodeDayTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

// Date-time pattern letters: d dd ddd dddd ddddd dddddd, m mm mmm mmmm (minutes right after an hour),
// yy yyyy, h hh, n nn, s ss, z zzz, t tt, c, am/pm, a/p, '/' and ':' as the locale separators, and
// text in single or double quotes as literals. Anything else is copied.
std::string FormatDayTime(std::string_view pattern, double dayTime, const TFormatSettings& settings);

// Number patterns such as "#,##0.###": '0' a required digit, '#' an optional one, ',' before the decimal
// point switches thousands separators on. The value is rounded to the pattern's decimals.
std::string FormatNumber(std::string_view pattern, double value, const TFormatSettings& settings);

// The shortest general text with 15 significant digits, as the label rules compare values by it.
std::string GeneralText(double value);

}  // namespace marlix::chart
