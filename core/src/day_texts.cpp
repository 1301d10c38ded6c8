#include "marlix/core/day_texts.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace marlix::core {
namespace {

constexpr int kSignificantDigits = 18;
constexpr DayTime kFiveSeconds = 5.0 / 86400.0;

void AppendTwoDigits(std::string& out, int value) {
    out += static_cast<char>('0' + value / 10 % 10);
    out += static_cast<char>('0' + value % 10);
}

// "yyyy-mmm-dd" with the locale's short month name.
std::string DateText(DayTime t, const LocaleConventions& locale) {
    const CivilDateTime c = DecodeDateTime(t);
    std::string out;
    AppendTwoDigits(out, c.year / 100);
    AppendTwoDigits(out, c.year % 100);
    out += '-';
    out += locale.shortMonthNames[c.month - 1];
    out += '-';
    AppendTwoDigits(out, c.day);
    return out;
}

std::string Percent(double value, const LocaleConventions& locale) {
    return FormatFixed(value, 0, locale.decimalSeparator) + "%";
}

std::string FixPart(const DayTotals& totals, const LocaleConventions& locale) {
    if (!totals.FixShare(0)) return "Fix summary not available";
    const auto [noFix, fix2D, fix3D] = totals.fixCounts;
    return "Fixes: none/2D/3D:  " + Percent(*totals.FixShare(0), locale) + ", " +
           Percent(*totals.FixShare(1), locale) + ", " + Percent(*totals.FixShare(2), locale) + "  (" +
           std::to_string(noFix) + ", " + std::to_string(fix2D) + ", " + std::to_string(fix3D) + ")";
}

std::string ModePart(const DayTotals& totals, const LocaleConventions& locale) {
    if (!totals.ModeShare(0)) return "Mode summary not available";
    const auto [inactive, coarse, fineOrControl] = totals.modeCounts;
    if (totals.controlFormat) {
        return "Control: inactive/control:  " + Percent(*totals.ModeShare(0), locale) + ", " +
               Percent(*totals.ModeShare(2), locale) + "  (" + std::to_string(inactive) + ", " +
               std::to_string(fineOrControl) + ")";
    }
    return "Control: inactive/coarse/fine:  " + Percent(*totals.ModeShare(0), locale) + ", " +
           Percent(*totals.ModeShare(1), locale) + ", " + Percent(*totals.ModeShare(2), locale) + "  (" +
           std::to_string(inactive) + ", " + std::to_string(coarse) + ", " + std::to_string(fineOrControl) +
           ")";
}

std::string PdopPart(const DayTotals& totals, const LocaleConventions& locale) {
    std::string text = "Average PDOP: " + FormatFixed(static_cast<double>(totals.pdopSum) /
                                                          static_cast<double>(totals.pdopCount),
                                                      2, locale.decimalSeparator);
    const std::int64_t lists = totals.sixItemLists + totals.eightItemLists;
    // Without any 6- or 8-item satellite list the seeking share is undefined, so none is claimed.
    if (lists == 0) return text + ",  GPS-seeking n/a";
    const double seeking = static_cast<double>(totals.eightItemLists * 100) / static_cast<double>(lists);
    return text + ",  GPS-seeking " + Percent(seeking, locale) + " (lower is better)";
}

}  // namespace

std::string FormatFixed(double value, int decimals, std::string_view decimalSeparator) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    // Eighteen significant digits: d.ddddddddddddddddde+XX.
    // to_chars, unlike printf, ignores the C locale's decimal point.
    char text[64];
    const auto written = std::to_chars(text, text + sizeof text, std::fabs(value),
                                       std::chars_format::scientific, kSignificantDigits - 1);
    std::string digits;
    digits.reserve(kSignificantDigits + 1);
    const char* p = text;
    for (; *p != 'e'; ++p) {
        if (*p != '.') digits += *p;
    }
    int exponent = 0;
    std::from_chars(*(p + 1) == '+' ? p + 2 : p + 1, written.ptr, exponent);
    if (digits.find_first_not_of('0') == std::string::npos) exponent = 0;

    // digits[i] is the digit of 10^(exponent - i); keep those down to 10^-decimals.
    const int keep = exponent + 1 + decimals;
    if (keep < 0) {
        digits.clear();
    } else if (keep < static_cast<int>(digits.size())) {
        const bool roundUp = digits[keep] >= '5';
        digits.resize(keep);
        if (roundUp) {
            int i = keep - 1;
            while (i >= 0 && digits[i] == '9') digits[i--] = '0';
            if (i >= 0) {
                ++digits[i];
            } else {
                digits.insert(digits.begin(), '1');
                ++exponent;
            }
        }
    }
    // Place the kept digits as integer and fraction parts.
    const int integerDigits = exponent + 1;
    std::string integerPart;
    std::string fraction;
    for (int power = std::max(integerDigits, 1) - 1; power >= -decimals; --power) {
        const int index = exponent - power;
        const char digit = index >= 0 && index < static_cast<int>(digits.size()) ? digits[index] : '0';
        (power >= 0 ? integerPart : fraction) += digit;
    }
    const bool allZero = (integerPart + fraction).find_first_not_of('0') == std::string::npos;
    std::string out = value < 0 && !allZero ? "-" : "";
    out += integerPart;
    if (decimals > 0) {
        out += decimalSeparator;
        out += fraction;
    }
    return out;
}

std::string FormatFromTime(DayTime t, const LocaleConventions& locale) {
    return DateText(t, locale) + " from " + FormatClockTime(t, locale.timeSeparator);
}

std::string FormatToTime(DayTime t, const LocaleConventions& locale) {
    return " to " + FormatClockTime(t, locale.timeSeparator);
}

std::string FormatToDateTime(DayTime t, const LocaleConventions& locale) {
    return " to " + DateText(t, locale) + " " + FormatClockTime(t, locale.timeSeparator);
}

std::string MeanStrengthHint(const std::vector<double>& sampleValues, const LocaleConventions& locale) {
    const std::optional<double> mean = MeanOfPositiveSamples(sampleValues);
    if (!mean) return {};
    return "Mean strength: " + FormatFixed(*mean, 1, locale.decimalSeparator);
}

std::string NotesLine(DayTime firstTime, DayTime currentTime, std::int64_t lineCount,
                      const LocaleConventions& locale, bool spansDays) {
    // Valid dates lie in the years 2000 to 2099, so a first time of 0 means none was read.
    if (firstTime == 0) return "No time records, " + std::to_string(lineCount) + " lines";
    const DayTime to = currentTime - kFiveSeconds;
    return FormatFromTime(firstTime, locale) +
           (spansDays ? FormatToDateTime(to, locale) : FormatToTime(to, locale)) + ", " +
           std::to_string(lineCount) + " lines";
}

std::string SummaryText(const DayTotals& totals, const LocaleConventions& locale) {
    std::string text = FixPart(totals, locale);
    text += '\r';
    text += ModePart(totals, locale);
    if (totals.pdopCount > 0) {
        text += '\r';
        text += PdopPart(totals, locale);
    }
    return text;
}

}  // namespace marlix::core
