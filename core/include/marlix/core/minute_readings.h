#pragma once

// Where a time falls among the closed minutes of a load, as the cursor readout names it.

#include <cstddef>
#include <optional>
#include <vector>

#include "marlix/core/analysis.h"

namespace marlix::core {

// The minutes a logging gap left without records, the first and the last, each by a time within it.
struct RecordlessMinutes {
    DayTime first = 0;
    DayTime last = 0;
};

struct MinuteAtTime {
    // The time lies in a logging gap: from the second before the minute after the last close before
    // the gap to the second before the first close after it.
    std::optional<RecordlessMinutes> gap;
    // The time lies before the first minute's records (before its second 00): that minute; or
    // after the minute following the last close, which may hold records that never closed: that
    // minute. Each by a time within it.
    std::optional<DayTime> recordsBegin;
    std::optional<DayTime> recordsEnd;
    // Otherwise the minute whose close is nearest in time (a tie goes to the later one), with a time
    // within the minute whose records it holds (its close falls at second 01 of the next); nothing
    // without minutes.
    std::optional<std::size_t> nearest;
    DayTime nearestMinute = 0;
};

// The minutes are in ascending order of their close times.
MinuteAtTime MinuteAt(const std::vector<MinuteReading>& minutes, DayTime time);

}  // namespace marlix::core
