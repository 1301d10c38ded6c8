#include "marlix/core/recent.h"

#include <algorithm>
#include <cmath>

namespace marlix::core {

MinuteSpan LastMinutes(DayTime day, DayTime now, int count) {
    const std::int64_t dayStart = MinuteNumber(std::floor(day));
    const std::int64_t dayEnd = dayStart + 1440;
    const std::int64_t end = std::clamp(MinuteNumber(now), dayStart, dayEnd);
    return {std::max(dayStart, end - count), end};
}

std::int64_t DataMinute(const MinuteReading& minute) {
    return MinuteNumber(minute.time) - 1;
}

DayTotals TotalsOfMinutes(const DayAnalysis& analysis, MinuteSpan span) {
    return TotalsOfMinutes(analysis.minutes, analysis.controlFormat, span);
}

DayTotals TotalsOfMinutes(const std::vector<MinuteReading>& minutes, bool controlFormat, MinuteSpan span) {
    DayTotals totals;
    totals.controlFormat = controlFormat;
    double strengthSum = 0;
    std::int64_t strengthCount = 0;
    for (const MinuteReading& m : minutes) {
        const std::int64_t minute = DataMinute(m);
        if (minute < span.first || minute >= span.end) continue;
        totals += m.counts;
        if (m.strength && *m.strength > 0) {
            strengthSum += *m.strength;
            ++strengthCount;
        }
        if (const auto& numGood = m.numGood) {
            if (totals.numGoodMinutes == 0 || *numGood < totals.numGoodMinimum)
                totals.numGoodMinimum = *numGood;
            totals.numGoodSum += *numGood;
            ++totals.numGoodMinutes;
        }
    }
    if (strengthCount > 0) totals.meanStrength = strengthSum / static_cast<double>(strengthCount);
    return totals;
}

std::int64_t MinutesWithoutRecords(const DayAnalysis& analysis, MinuteSpan span) {
    const auto& minutes = analysis.recordMinutes;
    const auto from = std::lower_bound(minutes.begin(), minutes.end(), span.first);
    const auto to = std::lower_bound(from, minutes.end(), span.end);
    return span.Count() - (to - from);
}

}  // namespace marlix::core
