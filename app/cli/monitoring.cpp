#include "monitoring.h"

#include <chrono>
#include <cmath>

#include "marlix/core/days.h"

namespace marlix::cli {

void AddDataDirectoryOption(CLI::App& app, std::string& dataDirectory) {
    app.add_option("--data-dir", dataDirectory, "folder of the day logs (default the current folder)")
        ->type_name("DIR")
        ->capture_default_str();
}

void AddMinutesOption(CLI::App& app, int& minutes, const std::string& help) {
    app.add_option("--minutes", minutes, help)
        ->type_name("N")
        ->check(CLI::Range(1, 1440).description(""))
        ->capture_default_str();
}

double SystemNow() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

double UnixSeconds(core::DayTime t) {
    return std::round((t - core::kUnixEpochDay) * 86400.0);
}

DayMonitor MonitorDay(const std::string& dataDirectory, core::DayTime day, double nowUnixSeconds,
                      int minutes) {
    DayMonitor monitor;
    monitor.day = std::floor(day);
    monitor.path = core::DayFilePath(dataDirectory, monitor.day);
    monitor.recent = core::LastMinutes(monitor.day, core::DayTimeFromUnixSeconds(nowUnixSeconds), minutes);
    core::LoadResult result = core::AnalyseFiles({monitor.path}, "", core::LocaleConventions{});
    monitor.failure = std::move(result.failure);
    monitor.analysis = std::move(result.analysis);
    if (monitor.analysis) monitor.recentTotals = core::TotalsOfMinutes(*monitor.analysis, monitor.recent);
    return monitor;
}

}  // namespace marlix::cli
