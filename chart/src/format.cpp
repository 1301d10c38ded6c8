#include "marlix/chart/format.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace marlix::chart {

namespace {

constexpr long long kMsPerDay = 86400000LL;
// DayTime 0 is 1899-12-30; days_from_civil counts from 1970-01-01.
constexpr long long kDayTimeEpochOffset = 25569;

long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& year, int& month, int& day) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(static_cast<long long>(yoe) + era * 400 + (month <= 2));
}

std::string TwoDigits(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

std::string Digits(int v, int width) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%0*d", width, v);
    return buf;
}

bool StartsWithNoCase(std::string_view s, std::size_t pos, std::string_view word) {
    if (pos + word.size() > s.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[pos + i])) != word[i]) return false;
    return true;
}

class DayTimeFormatter {
  public:
    DayTimeFormatter(double dayTime, const TFormatSettings& settings)
        : parts_(DecodeDayTime(dayTime)), settings_(settings) {}

    void Append(std::string_view pattern, int depth = 0) {
        std::size_t i = 0;
        while (i < pattern.size()) {
            const char c = pattern[i];
            const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            const std::size_t run = RunLength(pattern, i, lower);
            if (c == '\'' || c == '"') {
                const std::size_t close = pattern.find(c, i + 1);
                const std::size_t end = close == std::string_view::npos ? pattern.size() : close;
                out_.append(pattern.substr(i + 1, end - i - 1));
                i = close == std::string_view::npos ? end : end + 1;
                continue;
            }
            if (lower == 'a' && StartsWithNoCase(pattern, i, "am/pm")) {
                out_ += parts_.Hour < 12 ? settings_.TimeAMString : settings_.TimePMString;
                twelveHour_ = true;
                i += 5;
                continue;
            }
            if (lower == 'a' && StartsWithNoCase(pattern, i, "a/p")) {
                out_ += parts_.Hour < 12 ? 'a' : 'p';
                i += 3;
                continue;
            }
            switch (lower) {
                case 'd':
                    AppendDay(run, depth);
                    break;
                case 'm':
                    AppendMonthOrMinute(run);
                    break;
                case 'y':
                    AppendYear(run);
                    break;
                case 'h':
                    out_ += run >= 2 ? TwoDigits(Hour()) : std::to_string(Hour());
                    afterHour_ = true;
                    break;
                case 'n':
                    out_ += run >= 2 ? TwoDigits(parts_.Minute) : std::to_string(parts_.Minute);
                    break;
                case 's':
                    out_ += run >= 2 ? TwoDigits(parts_.Second) : std::to_string(parts_.Second);
                    break;
                case 'z':
                    out_ += run >= 3 ? Digits(parts_.Millisecond, 3) : std::to_string(parts_.Millisecond);
                    break;
                case 't':
                    if (depth < 2)
                        Append(run >= 2 ? settings_.LongTimeFormat : settings_.ShortTimeFormat, depth + 1);
                    break;
                case 'c':
                    if (depth < 2) {
                        Append(settings_.ShortDateFormat, depth + 1);
                        out_ += ' ';
                        Append(settings_.LongTimeFormat, depth + 1);
                    }
                    break;
                case '/':
                    out_.append(run, settings_.DateSeparator);
                    break;
                case ':':
                    out_.append(run, settings_.TimeSeparator);
                    break;
                default:
                    out_.append(pattern.substr(i, run));
                    break;
            }
            if (lower != 'h' && std::isalpha(static_cast<unsigned char>(lower))) afterHour_ = false;
            i += run;
        }
    }

    void SetTwelveHour(bool value) { twelveHour_ = value; }
    std::string Take() { return std::move(out_); }

  private:
    static std::size_t RunLength(std::string_view s, std::size_t i, char lower) {
        std::size_t j = i + 1;
        while (j < s.size() && std::tolower(static_cast<unsigned char>(s[j])) == lower) ++j;
        return j - i;
    }

    int Hour() const {
        if (!twelveHour_) return parts_.Hour;
        const int h = parts_.Hour % 12;
        return h == 0 ? 12 : h;
    }

    void AppendDay(std::size_t run, int depth) {
        if (run == 1)
            out_ += std::to_string(parts_.Day);
        else if (run == 2)
            out_ += TwoDigits(parts_.Day);
        else if (run == 3)
            out_ += settings_.ShortDayNames[static_cast<std::size_t>(parts_.DayOfWeek)];
        else if (run == 4)
            out_ += settings_.LongDayNames[static_cast<std::size_t>(parts_.DayOfWeek)];
        else if (depth < 2)
            Append(run == 5 ? settings_.ShortDateFormat : settings_.LongDateFormat, depth + 1);
    }

    void AppendMonthOrMinute(std::size_t run) {
        // Right after an hour, m means minutes.
        if (afterHour_ && run <= 2) {
            out_ += run == 2 ? TwoDigits(parts_.Minute) : std::to_string(parts_.Minute);
            return;
        }
        const auto month = static_cast<std::size_t>(parts_.Month - 1);
        if (run == 1)
            out_ += std::to_string(parts_.Month);
        else if (run == 2)
            out_ += TwoDigits(parts_.Month);
        else if (run == 3)
            out_ += settings_.ShortMonthNames[month];
        else
            out_ += settings_.LongMonthNames[month];
    }

    void AppendYear(std::size_t run) {
        if (run <= 2)
            out_ += TwoDigits(parts_.Year % 100);
        else
            out_ += Digits(parts_.Year, 4);
    }

    TDayTimeParts parts_;
    const TFormatSettings& settings_;
    std::string out_;
    bool afterHour_ = false;
    bool twelveHour_ = false;
};

bool HasAmPm(std::string_view pattern) {
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '\'' || pattern[i] == '"') {
            const std::size_t close = pattern.find(pattern[i], i + 1);
            if (close == std::string_view::npos) return false;
            i = close;
            continue;
        }
        if (StartsWithNoCase(pattern, i, "am/pm") || StartsWithNoCase(pattern, i, "a/p")) return true;
    }
    return false;
}

}  // namespace

TDayTimeParts DecodeDayTime(double dayTime) {
    TDayTimeParts parts;
    // Whole milliseconds, so 22:00 computed as 11 * (1/12) day does not show as 21:59:59.999.
    long long days = static_cast<long long>(std::trunc(dayTime));
    long long ms =
        std::llround(std::fabs(dayTime - static_cast<double>(days)) * static_cast<double>(kMsPerDay));
    if (ms >= kMsPerDay) {
        ms -= kMsPerDay;
        days += dayTime >= 0 ? 1 : -1;
    }
    CivilFromDays(days - kDayTimeEpochOffset, parts.Year, parts.Month, parts.Day);
    // 1899-12-30 was a Saturday.
    parts.DayOfWeek = static_cast<int>(((days % 7) + 7 + 6) % 7);
    parts.Hour = static_cast<int>(ms / 3600000);
    parts.Minute = static_cast<int>(ms / 60000 % 60);
    parts.Second = static_cast<int>(ms / 1000 % 60);
    parts.Millisecond = static_cast<int>(ms % 1000);
    return parts;
}

double EncodeDayTime(int year, int month, int day, int hour, int minute, int second) {
    const long long days =
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) + kDayTimeEpochOffset;
    return static_cast<double>(days) + (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
}

std::string FormatDayTime(std::string_view pattern, double dayTime, const TFormatSettings& settings) {
    DayTimeFormatter formatter(dayTime, settings);
    formatter.SetTwelveHour(HasAmPm(pattern));
    formatter.Append(pattern.empty() ? std::string_view("c") : pattern);
    return formatter.Take();
}

std::string FormatNumber(std::string_view pattern, double value, const TFormatSettings& settings) {
    // Only the first section of the pattern is used.
    const std::string_view section = pattern.substr(0, pattern.find(';'));
    const std::size_t point = section.find('.');
    const std::string_view integerPart = section.substr(0, point);
    const std::string_view fractionPart =
        point == std::string_view::npos ? std::string_view() : section.substr(point + 1);
    const bool thousands = integerPart.find(',') != std::string_view::npos;
    int minIntegerDigits = 0;
    for (char c : integerPart)
        if (c == '0') ++minIntegerDigits;
    int requiredDecimals = 0, maxDecimals = 0;
    for (char c : fractionPart) {
        if (c == '0')
            requiredDecimals = ++maxDecimals;
        else if (c == '#')
            ++maxDecimals;
    }
    if (!std::isfinite(value)) return std::isnan(value) ? "NAN" : (value > 0 ? "INF" : "-INF");

    // to_chars, unlike snprintf, ignores the C library's numeric locale: the digits always come with a
    // point, and the locale's separators are put in once, below.
    // Room for the 309 integer digits of the largest double, the point and the decimals.
    std::string digits(320 + static_cast<std::size_t>(maxDecimals), '\0');
    const auto written = std::to_chars(digits.data(), digits.data() + digits.size(), std::fabs(value),
                                       std::chars_format::fixed, maxDecimals);
    digits.resize(static_cast<std::size_t>(written.ptr - digits.data()));
    std::string intDigits = digits.substr(0, digits.find('.'));
    std::string fracDigits = maxDecimals > 0 ? digits.substr(digits.find('.') + 1) : std::string();
    while (static_cast<int>(fracDigits.size()) > requiredDecimals && !fracDigits.empty() &&
           fracDigits.back() == '0')
        fracDigits.pop_back();
    intDigits.erase(0, intDigits.find_first_not_of('0'));
    while (static_cast<int>(intDigits.size()) < minIntegerDigits) intDigits.insert(intDigits.begin(), '0');

    std::string out;
    const bool negative = value < 0 && (intDigits.find_first_not_of('0') != std::string::npos ||
                                        fracDigits.find_first_not_of('0') != std::string::npos);
    if (negative) out += '-';
    for (std::size_t i = 0; i < intDigits.size(); ++i) {
        if (thousands && i > 0 && (intDigits.size() - i) % 3 == 0) out += settings.ThousandSeparator;
        out += intDigits[i];
    }
    if (!fracDigits.empty()) {
        out += settings.DecimalSeparator;
        out += fracDigits;
    }
    return out;
}

std::string GeneralText(double value) {
    char buf[64];
    const auto written = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    return std::string(buf, written.ptr);
}

}  // namespace marlix::chart
