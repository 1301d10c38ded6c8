#include "marlix/core/recent.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace marlix::core {

MinuteSpan LastMinutes(DayTime day, DayTime now, int count) {
    const std::int64_t dayStart = MinuteNumber(std::floor(day));
    const std::int64_t end = std::clamp(MinuteNumber(now), dayStart, dayStart + 1440);
    return {end - count, end};
}

std::int64_t DataMinute(const MinuteReading& minute) {
    return MinuteNumber(minute.time) - 1;
}

namespace {

bool InSpan(const MinuteReading& minute, MinuteSpan span) {
    const std::int64_t data = DataMinute(minute);
    return data >= span.first && data < span.end;
}

}  // namespace

DayTotals TotalsOfMinutes(const DayAnalysis& analysis, MinuteSpan span) {
    return TotalsOfMinutes(analysis.minutes, analysis.controlFormat, span);
}

DayTotals TotalsOfMinutes(const std::vector<MinuteReading>& minutes, bool controlFormat, MinuteSpan span) {
    DayTotals totals;
    totals.controlFormat = controlFormat;
    double strengthSum = 0;
    std::int64_t strengthCount = 0;
    for (const MinuteReading& m : minutes) {
        if (!InSpan(m, span)) continue;
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

std::int64_t SecondsWithRecords(const DayAnalysis& analysis, MinuteSpan span) {
    const auto& minutes = analysis.recordMinutes;
    const auto from = std::lower_bound(minutes.begin(), minutes.end(), span.first);
    const auto to = std::lower_bound(from, minutes.end(), span.end);
    std::int64_t seconds = 0;
    for (auto i = static_cast<std::size_t>(from - minutes.begin());
         i < static_cast<std::size_t>(to - minutes.begin()); ++i)
        seconds += std::popcount(analysis.recordSeconds[i]);
    return seconds;
}

std::int64_t MinutesWithStrength(const DayAnalysis& analysis, MinuteSpan span) {
    return std::count_if(analysis.minutes.begin(), analysis.minutes.end(), [span](const MinuteReading& m) {
        return InSpan(m, span) && m.strength && *m.strength > 0;
    });
}

}  // namespace marlix::core
