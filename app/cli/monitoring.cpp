#include "monitoring.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "marlix/core/days.h"

namespace marlix::cli {

double SystemNow() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

double UnixSeconds(core::DayTime t) {
    return std::round((t - core::kUnixEpochDay) * 86400.0);
}

const core::DayAnalysis* DayMonitor::Recent() const {
    if (failure) return nullptr;
    if (joined) return &*joined;
    return analysis ? &*analysis : nullptr;
}

double DayMonitor::Coverage() const {
    const std::int64_t seconds = recent.Count() * 60;
    if (seconds <= 0) return 0;
    return std::min(1.0, static_cast<double>(recentSecondsWithRecords) / static_cast<double>(seconds));
}

DayMonitor MonitorDay(const std::string& dataDirectory, core::DayTime day, double nowUnixSeconds,
                      int minutes) {
    DayMonitor monitor;
    monitor.day = std::floor(day);
    monitor.path = core::DayFilePath(dataDirectory, monitor.day);
    const core::DayTime now = core::DayTimeFromUnixSeconds(nowUnixSeconds);
    monitor.recent = core::LastMinutes(monitor.day, now, minutes);
    const core::DayTime before = monitor.day - 1;
    const core::FolderDays listed = core::ListDays(dataDirectory, before, monitor.day);
    if (!listed.problem.empty()) {
        monitor.folderProblem = listed.problem;
        return monitor;
    }
    const auto holds = [&listed](core::DayTime d) {
        return std::find(listed.days.begin(), listed.days.end(), d) != listed.days.end();
    };
    monitor.dayLogExists = holds(monitor.day);

    core::LoadResult result = core::AnalyseFiles({monitor.path}, "", core::LocaleConventions{});
    monitor.failure = std::move(result.failure);
    monitor.analysis = std::move(result.analysis);
    const bool current = core::MinuteNumber(now) < core::MinuteNumber(monitor.day + 1);
    const bool reachesBack = monitor.recent.first < core::MinuteNumber(monitor.day);
    const bool unreadable = monitor.failure && monitor.dayLogExists;
    if (holds(before) && !unreadable && (reachesBack || (current && !monitor.HasRecords()))) {
        std::vector<std::string> files = {core::DayFilePath(dataDirectory, before)};
        if (monitor.dayLogExists) files.push_back(monitor.path);
        core::LoadResult both = core::AnalyseFiles(files, "", core::LocaleConventions{});
        // An unreadable earlier log leaves the window to the day's own log, when it has one.
        if (both.analysis || !monitor.analysis) {
            monitor.failure = std::move(both.failure);
            monitor.joined = std::move(both.analysis);
        }
    }
    if (const core::DayAnalysis* recent = monitor.Recent()) {
        monitor.recentTotals = core::TotalsOfMinutes(*recent, monitor.recent);
        monitor.recentSecondsWithRecords = core::SecondsWithRecords(*recent, monitor.recent);
        monitor.recentStrengthMinutes = core::MinutesWithStrength(*recent, monitor.recent);
    }
    return monitor;
}

}  // namespace marlix::cli
