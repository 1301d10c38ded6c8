#pragma once

#include <optional>
#include <string>

#include "commands.h"

namespace marlix::cli {

// The plugin's states, which are its exit statuses.
enum class PluginState { Ok = 0, Warning = 1, Critical = 2, Unknown = 3 };

// A threshold range of the monitoring plugins: [@]start:end, start 0 and ':' optional, '~' for
// negative infinity, no end for positive infinity. Alerts outside start..end (inclusive), or inside
// with '@'.
struct PluginRange {
    double start = 0;
    double end = 0;
    bool inside = false;
    std::string text;

    static std::optional<PluginRange> Parse(std::string_view text);
    bool Alerts(double value) const;
};

// The thresholds when -w or -c leave them out, one range per measure.
inline constexpr const char* kDefaultWarnings = "80:,50:,~:5,3:,80:";
inline constexpr const char* kDefaultCriticals = "20:,1:,~:8,1:,20:";

struct CheckOptions {
    std::string dataDirectory = ".";
    int minutes = 15;
    int maxAge = 300;
    std::string warning;
    std::string critical;
    int minBasis = 50;  // percent of the window
    int timeout = 30;
    bool version = false;
};
void DescribeCheck(CLI::App& app, CheckOptions& o);

// A monitoring plugin for today's log (UTC): one status line with performance data, exit 0 to 3.
int RunCheck(const Arguments& args, std::ostream& out, std::ostream& err);
// The same at a given time (Unix seconds) and without the timeout alarm, for tests.
int RunCheckAt(double nowUnixSeconds, const Arguments& args, std::ostream& out, std::ostream& err);

}  // namespace marlix::cli
