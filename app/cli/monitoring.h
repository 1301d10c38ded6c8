#pragma once

// What the monitoring commands (metrics, check) share: the day they look at, and the measures of the
// day so far and of its last minutes.

#include <optional>
#include <ostream>
#include <string>

#include "commands.h"
#include "marlix/core/recent.h"

namespace marlix::cli {

// Now in Unix seconds, from the system clock.
double SystemNow();

// Unix time of a DayTime, to the nearest second (log times are whole seconds).
double UnixSeconds(core::DayTime t);

// The logs of a day read for monitoring. The day's figures come from its own log. The recent window
// and the last record come from the logs that hold them: while the window reaches back into the day
// before, or while the current day has no record yet (just after midnight), the day before's log is
// read with the day's as one log, so that its last minutes close and count.
struct DayMonitor {
    core::DayTime day = 0;
    std::string path;  // the day's log
    bool dayLogExists = false;
    core::MinuteSpan recent;
    // The folder could not be listed (missing, no folder, unreadable): a setup error, no outage.
    std::string folderProblem;
    // A log that exists could not be read, or the day's log is missing and no earlier one stands in.
    std::optional<core::LoadFailure> failure;
    std::optional<core::DayAnalysis> analysis;  // the day's log alone
    std::optional<core::DayAnalysis> joined;    // the day before's and the day's logs, when read
    core::DayTotals recentTotals;
    std::int64_t recentSecondsWithRecords = 0;
    std::int64_t recentStrengthMinutes = 0;

    // The analysis of the window and the last record; nothing when the logs could not be read.
    const core::DayAnalysis* Recent() const;
    bool HasRecords() const { return analysis && analysis->totals.firstTime != 0; }
    bool RecentHasRecords() const { return Recent() && Recent()->totals.firstTime != 0; }
    // Share of the window's seconds that have a Time record, 0 to 1.
    double Coverage() const;
};
DayMonitor MonitorDay(const std::string& dataDirectory, core::DayTime day, double nowUnixSeconds,
                      int minutes);

}  // namespace marlix::cli
