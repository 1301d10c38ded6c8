#pragma once

// The three texts of a day: the mean-strength hint, the notes line and the summary.

#include <string>
#include <string_view>
#include <vector>

#include "marlix/core/aggregation.h"
#include "marlix/core/day_analysis.h"

namespace marlix::core {

// A number with the given count of decimals: the value is first reduced to 18 significant digits
// and then rounded half away from zero, so 0.5 gives "1" and 2.125 gives "2.13".
std::string FormatFixed(double value, int decimals, std::string_view decimalSeparator);

// "yyyy-mmm-dd from hh:nn", " to hh:nn" and " to yyyy-mmm-dd hh:nn", after rounding to the nearest
// millisecond.
std::string FormatFromTime(DayTime t, const LocaleConventions& locale);
std::string FormatToTime(DayTime t, const LocaleConventions& locale);
std::string FormatToDateTime(DayTime t, const LocaleConventions& locale);

// "Mean strength: %.1f" over the samples above 0; empty when there is none.
std::string MeanStrengthHint(const std::vector<double>& sampleValues, const LocaleConventions& locale);

// From, To (five seconds before the current time) and ", %d lines"; "No time records, %d lines" when no
// Time record with a valid date was read (first time 0), so that no date is claimed that was never read.
// When the records span more than one UTC day, To carries its date too, so that such a view is not
// read as one day.
std::string NotesLine(DayTime firstTime, DayTime currentTime, std::int64_t lineCount,
                      const LocaleConventions& locale, bool spansDays = false);

// Fix part, CR, mode part, and when PDOP values were seen, CR and the PDOP part.
std::string SummaryText(const DayTotals& totals, const LocaleConventions& locale);

}  // namespace marlix::core
