#pragma once

// What the monitoring commands (metrics, check) share: the day they look at, and the measures of the
// day so far and of its last minutes.

#include <CLI/CLI.hpp>
#include <optional>
#include <ostream>
#include <string>

#include "commands.h"
#include "marlix/core/recent.h"

namespace marlix::cli {

// The options both commands take: the folder of the day logs, and the length of the recent window.
void AddDataDirectoryOption(CLI::App& app, std::string& dataDirectory);
void AddMinutesOption(CLI::App& app, int& minutes, const std::string& help);

// Now in Unix seconds, from the system clock.
double SystemNow();

// Unix time of a DayTime, to the nearest second (log times are whole seconds).
double UnixSeconds(core::DayTime t);

// One day's log read for monitoring, with the measures of the day so far and of its last minutes.
struct DayMonitor {
    core::DayTime day = 0;
    std::string path;
    core::MinuteSpan recent;
    std::optional<core::LoadFailure> failure;
    std::optional<core::DayAnalysis> analysis;
    core::DayTotals recentTotals;  // only with an analysis

    bool HasRecords() const { return analysis && analysis->totals.firstTime != 0; }
};
DayMonitor MonitorDay(const std::string& dataDirectory, core::DayTime day, double nowUnixSeconds,
                      int minutes);

}  // namespace marlix::cli
