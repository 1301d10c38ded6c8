#pragma once

// Measures over the last minutes of a day, for monitoring: the same figures as the day totals, taken
// from the closed minutes of a stretch of clock minutes.

#include <cstdint>
#include <vector>

#include "marlix/core/day_analysis.h"

namespace marlix::core {

// Clock minutes [first, end), as minute numbers (MinuteNumber).
struct MinuteSpan {
    std::int64_t first = 0;
    std::int64_t end = 0;
    std::int64_t Count() const { return end - first; }
};

// The `count` whole clock minutes before the one holding `now`, not past the end of `day` (a finished
// day ends its span at midnight). Early in a day the span reaches back into the day before, whose log
// then holds its first minutes.
MinuteSpan LastMinutes(DayTime day, DayTime now, int count);

// A closed minute belongs to the clock minute before its close time, whose lines its points gather.
std::int64_t DataMinute(const MinuteReading& minute);

// The totals of the closed minutes that belong to the span: fix, mode and PDOP counts, the seeking
// lists, the mean strength over strength values above 0 (as the hint takes them) and the Num good
// figures. The control-format flag is the day's. Line count and times are no per-minute figures and
// stay 0.
DayTotals TotalsOfMinutes(const DayAnalysis& analysis, MinuteSpan span);
// The same over minutes kept apart from their analysis (the window keeps only these).
DayTotals TotalsOfMinutes(const std::vector<MinuteReading>& minutes, bool controlFormat, MinuteSpan span);

// Clock minutes of the span in which no Time record with a valid date was read.
std::int64_t MinutesWithoutRecords(const DayAnalysis& analysis, MinuteSpan span);
// Seconds of the span that have a Time record with a valid date.
std::int64_t SecondsWithRecords(const DayAnalysis& analysis, MinuteSpan span);
// Closed minutes of the span with a strength above 0: those the mean strength is taken over.
std::int64_t MinutesWithStrength(const DayAnalysis& analysis, MinuteSpan span);

}  // namespace marlix::core
