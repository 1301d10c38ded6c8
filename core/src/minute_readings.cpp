#include "marlix/core/minute_readings.h"

#include <algorithm>

namespace marlix::core {

MinuteAtTime MinuteAt(const std::vector<MinuteReading>& minutes, DayTime time) {
    constexpr double kMinute = 1.0 / 1440;
    constexpr double kSecond = 1.0 / 86400;
    MinuteAtTime at;
    if (!minutes.empty() && time < minutes.front().time - kMinute - kSecond) {
        at.recordsBegin = minutes.front().time - kMinute;
        return at;
    }
    // The minute after the last close may hold records that never closed (the log ends in it).
    if (!minutes.empty() && time >= minutes.back().time + kMinute - kSecond) {
        at.recordsEnd = minutes.back().time;
        return at;
    }
    const auto after = std::upper_bound(minutes.begin(), minutes.end(), time,
                                        [](DayTime t, const MinuteReading& m) { return t < m.time; });
    if (after != minutes.begin() && after != minutes.end()) {
        const MinuteReading& before = *(after - 1);
        // Closes fall at second 01: the minutes without records run from the minute after the last
        // close before the gap to the minute before the first close after it.
        if (before.gapBegins && after->gapEnds && time >= before.time + kMinute - kSecond &&
            time < after->time - kSecond) {
            at.gap = RecordlessMinutes{before.time + kMinute, after->time - kMinute};
            return at;
        }
    }
    auto nearest = after;
    if (after != minutes.begin() && (after == minutes.end() || time - (after - 1)->time < after->time - time))
        nearest = after - 1;
    if (nearest == minutes.end()) return at;
    at.nearest = static_cast<std::size_t>(nearest - minutes.begin());
    at.nearestMinute = nearest->time - kMinute;
    return at;
}

}  // namespace marlix::core
