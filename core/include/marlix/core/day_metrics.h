#pragma once

// The day metrics of a folder's days, wherever they come from: the store where it still holds a day,
// else the day's log, whose metrics then go into the store. Every reader of many days' metrics (the
// day table, History) asks here.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "marlix/core/day_store.h"
#include "marlix/core/daytime.h"

namespace marlix::core {

enum class DaySource { Store, Log };

struct DayMetricsOutcome {
    std::optional<DayMetrics> metrics;
    std::string error;  // as ReadDays gives it, when there are no metrics
    DaySource source = DaySource::Log;
};

struct DayMetricsOptions {
    // The store to use and fill; nothing: every day is read from its log.
    DayStore* store = nullptr;
    // Threads that read logs; 0: one per core.
    unsigned workers = 0;
    // Also the satellites' mean levels; a stored day without them is read again.
    bool satellites = false;
    // As ReadDaysOptions has them: asked before each day; run on the reading thread before each log.
    std::function<bool()> stopRequested;
    std::function<void(DayTime day)> beforeDay;
    // Once, before the first day is handed over: how many days come from the store, how many from logs.
    std::function<void(std::size_t stored, std::size_t toRead)> planned;
    // The clock in nanoseconds since 1970 (tests set it); empty: the system clock.
    std::function<std::int64_t()> nowNs;
};

using DayMetricsHand = std::function<void(std::size_t index, DayMetricsOutcome&& day)>;

// Calls hand(i, outcome) once for each day: first, in the order given, every day the store holds,
// then the others as their logs are read, in the order given. One call at a time, on the calling
// thread for stored days and on any reading thread for the others. Returns false when stopped; the
// days read until then are still stored.
bool ReadDayMetrics(const std::string& folder, const std::vector<DayTime>& days,
                    const DayMetricsOptions& options, const DayMetricsHand& hand);

// What `store verify` found: rows whose log was read again and compared.
struct StoreVerification {
    std::size_t checked = 0;
    std::size_t stale = 0;            // the log changed or is gone: the row is no longer used
    std::vector<std::string> differ;  // "FOLDER DAY" of rows that differ from their log
};
StoreVerification VerifyDayStore(DayStore& store, std::size_t sampleSize);

}  // namespace marlix::core
