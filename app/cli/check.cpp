// marlix-sqa-cli check: a monitoring plugin (Nagios, Icinga) for today's log.
#include "check.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <limits>
#include <ostream>
#include <sstream>
#include <tuple>

#include "command_line.h"
#include "marlix/core/day_texts.h"
#include "marlix/core/days.h"
#include "monitoring.h"

namespace marlix::cli {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// The measures with thresholds, in the order of the -w and -c lists.
struct Measure {
    const char* name;   // in the status line
    const char* label;  // in the performance data
    const char* unit;   // UOM of the performance data
    int decimals;
    const char* warning;  // default ranges
    const char* critical;
    const char* minimum;
    const char* maximum;
};
constexpr int kMeasureCount = 4;
constexpr Measure kMeasures[kMeasureCount] = {
    {"3D fix", "fix_3d", "%", 1, "80:", "20:", "0", "100"},
    {"fine lock", "lock_fine", "%", 1, "50:", "1:", "0", "100"},
    {"PDOP", "pdop", "", 2, "~:5", "~:8", "0", ""},
    {"strength", "strength", "", 2, "3:", "1:", "0", "9"},
};
constexpr const char* kDefaultWarnings = "80:,50:,~:5,3:";
constexpr const char* kDefaultCriticals = "20:,1:,~:8,1:";

const char* StateName(PluginState state) {
    static constexpr const char* kNames[] = {"OK", "WARNING", "CRITICAL", "UNKNOWN"};
    return kNames[static_cast<int>(state)];
}

std::optional<double> ParseNumber(std::string_view text) {
    double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

// One comma-separated list of ranges over the defaults; an empty item keeps the default.
std::optional<std::string> ReadRanges(const std::string& list, const char* defaults,
                                      std::array<PluginRange, kMeasureCount>& ranges) {
    std::vector<std::string> items;
    std::string item;
    for (const char* p = defaults;; ++p) {
        if (*p == ',' || *p == '\0') {
            items.push_back(item);
            item.clear();
            if (*p == '\0') break;
        } else {
            item += *p;
        }
    }
    std::size_t index = 0;
    std::size_t begin = 0;
    while (!list.empty() && begin <= list.size()) {
        std::size_t end = list.find(',', begin);
        if (end == std::string::npos) end = list.size();
        if (index >= kMeasureCount) return "at most " + std::to_string(kMeasureCount) + " ranges: " + list;
        if (end > begin) items[index] = list.substr(begin, end - begin);
        ++index;
        begin = end + 1;
    }
    for (int i = 0; i < kMeasureCount; ++i) {
        const auto range = PluginRange::Parse(items[static_cast<std::size_t>(i)]);
        if (!range) return "bad range '" + items[static_cast<std::size_t>(i)] + "' for " + kMeasures[i].name;
        ranges[static_cast<std::size_t>(i)] = *range;
    }
    return std::nullopt;
}

// Numbers of the performance data: digits, '-' and '.', never an exponent.
std::string PerfNumber(double value, int decimals) {
    return core::FormatFixed(value, decimals, ".");
}

std::string PerfLabel(std::string_view label) {
    std::string out = "'";
    for (const char c : label) out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

// The timeout's message, made before the alarm is set: a signal handler may only write.
char timeoutMessage[96];
std::size_t timeoutMessageLength = 0;

void OnTimeout(int) {
    [[maybe_unused]] const ssize_t written = ::write(STDOUT_FILENO, timeoutMessage, timeoutMessageLength);
    ::_exit(static_cast<int>(PluginState::Unknown));
}

int Finish(std::ostream& out, PluginState state, const std::string& text) {
    out << "SQA " << StateName(state) << " - " << text << '\n';
    out.flush();
    return static_cast<int>(state);
}

}  // namespace

std::optional<PluginRange> PluginRange::Parse(std::string_view text) {
    PluginRange range;
    range.text = std::string(text);
    if (!text.empty() && text.front() == '@') {
        range.inside = true;
        text.remove_prefix(1);
    }
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        const auto end = ParseNumber(text);
        if (!end) return std::nullopt;
        range.end = *end;
    } else {
        const std::string_view start = text.substr(0, colon);
        const std::string_view end = text.substr(colon + 1);
        if (start == "~") {
            range.start = -kInfinity;
        } else if (const auto value = ParseNumber(start)) {
            range.start = *value;
        } else {
            return std::nullopt;
        }
        if (end.empty()) {
            range.end = kInfinity;
        } else if (const auto value = ParseNumber(end)) {
            range.end = *value;
        } else {
            return std::nullopt;
        }
    }
    if (range.start > range.end) return std::nullopt;
    return range;
}

bool PluginRange::Alerts(double value) const {
    const bool within = value >= start && value <= end;
    return inside ? within : !within;
}

void DescribeCheck(CLI::App& app, CheckOptions& o) {
    app.description(
        std::string(
            "Monitoring plugin for today's log (UTC): one line 'SQA STATE - summary | performance "
            "data' and exit 0 OK, 1 WARNING, 2 CRITICAL, 3 UNKNOWN. The measures are taken over the "
            "last --minutes minutes before the current one. Thresholds are ranges [@]start:end "
            "(alert outside start..end, or inside with @; '~' is minus infinity, no end is infinity, "
            "'N' alone is 0:N), one comma-separated list each for -w and -c in the order: 3D-fix "
            "share %, fine (or control) lock share %, average PDOP, mean strength. An empty item keeps "
            "that default. Defaults: -w ") +
        kDefaultWarnings + " -c " + kDefaultCriticals +
        ", so that losing fix or lock over the whole window is CRITICAL. A log older than --max-age "
        "seconds or no log for today is CRITICAL, an unreadable log UNKNOWN.");
    AddDataDirectoryOption(app, o.dataDirectory);
    AddMinutesOption(app, o.minutes, "length of the window in minutes, 1 to 1440 (default 15)");
    app.add_option("--max-age", o.maxAge,
                   "CRITICAL when the last record is older, 1 to 86400 seconds (default 300)")
        ->type_name("SECONDS")
        ->check(CLI::Range(1, 86400).description(""))
        ->capture_default_str();
    app.add_option("-w,--warning", o.warning,
                   std::string("warning ranges 3D%,FINE%,PDOP,STRENGTH (default ") + kDefaultWarnings + ")")
        ->type_name("LIST");
    app.add_option("-c,--critical", o.critical,
                   std::string("critical ranges 3D%,FINE%,PDOP,STRENGTH (default ") + kDefaultCriticals + ")")
        ->type_name("LIST");
    app.add_option("-t,--timeout", o.timeout, "UNKNOWN after this many seconds, 1 to 3600 (default 30)")
        ->type_name("SECONDS")
        ->check(CLI::Range(1, 3600).description(""))
        ->capture_default_str();
    app.add_flag("-V,--version", o.version, "show the version and exit");
}

int RunCheckAt(double nowUnixSeconds, const Arguments& args, std::ostream& out, std::ostream& err) {
    CheckOptions o;
    CLI::App app;
    PrepareCommand(app, "check");
    DescribeCheck(app, o);
    // A plugin answers bad arguments, help and version with UNKNOWN, and always with a status line.
    std::ostringstream problems;
    if (const auto status = ParseCommandLine(app, args, out, problems, static_cast<int>(PluginState::Unknown),
                                             static_cast<int>(PluginState::Unknown))) {
        if (!problems.str().empty()) {
            err << problems.str();
            const std::string first = problems.str().substr(0, problems.str().find('\n'));
            return Finish(out, PluginState::Unknown, first.substr(first.find(": ") + 2));
        }
        return *status;
    }
    if (o.version) {
        out << "marlix-sqa-cli check " << MARLIX_VERSION << '\n';
        return static_cast<int>(PluginState::Unknown);
    }
    std::array<PluginRange, kMeasureCount> warning, critical;
    for (const auto& [list, defaults, ranges] : {std::tuple{&o.warning, kDefaultWarnings, &warning},
                                                 std::tuple{&o.critical, kDefaultCriticals, &critical}}) {
        if (const auto problem = ReadRanges(*list, defaults, *ranges)) {
            err << "marlix-sqa-cli check: " << *problem << '\n';
            return Finish(out, PluginState::Unknown, *problem);
        }
    }

    const core::DayTime today = std::floor(core::DayTimeFromUnixSeconds(nowUnixSeconds));
    const std::string path = core::DayFilePath(o.dataDirectory, today);
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return Finish(out, PluginState::Critical, "no log for today: " + path);
    const DayMonitor m = MonitorDay(o.dataDirectory, today, nowUnixSeconds, o.minutes);
    if (m.failure) return Finish(out, PluginState::Unknown, ReadFailureText(*m.failure));
    if (!m.HasRecords()) return Finish(out, PluginState::Critical, "no time records in " + path);

    const core::DayTotals& t = m.recentTotals;
    const std::array<std::optional<double>, kMeasureCount> values = {t.FixShare(2), t.ModeShare(2),
                                                                     t.AveragePdop(), t.meanStrength};
    PluginState state = PluginState::Ok;
    std::string summary, perfdata;
    for (int i = 0; i < kMeasureCount; ++i) {
        const Measure& measure = kMeasures[i];
        const std::size_t k = static_cast<std::size_t>(i);
        const std::string name = i == 1 && t.controlFormat ? "control lock" : measure.name;
        const std::string label = i == 1 && t.controlFormat ? "lock_control" : measure.label;
        summary += (i > 0 ? ", " : "") + name + ' ';
        perfdata += (i > 0 ? " " : "") + PerfLabel(label) + '=';
        if (!values[k]) {
            summary += "n/a";
            perfdata += 'U';
        } else {
            const std::string number = PerfNumber(*values[k], measure.decimals);
            summary += number + measure.unit;
            perfdata += number + measure.unit;
            if (critical[k].Alerts(*values[k])) {
                summary += " (critical " + critical[k].text + ")";
                state = PluginState::Critical;
            } else if (warning[k].Alerts(*values[k])) {
                summary += " (warning " + warning[k].text + ")";
                if (state == PluginState::Ok) state = PluginState::Warning;
            }
        }
        perfdata +=
            ';' + warning[k].text + ';' + critical[k].text + ';' + measure.minimum + ';' + measure.maximum;
    }
    const double age = std::max(0.0, std::floor(nowUnixSeconds - UnixSeconds(m.analysis->totals.lastTime)));
    const std::string ageText = PerfNumber(age, 0);
    summary =
        "last " + std::to_string(o.minutes) + " min: " + summary + "; last record " + ageText + " s ago";
    if (age > o.maxAge) {
        summary += " (critical " + std::to_string(o.maxAge) + ")";
        state = PluginState::Critical;
    }
    perfdata += " 'age'=" + ageText + "s;;" + std::to_string(o.maxAge) + ";0;";
    return Finish(out, state, summary + " | " + perfdata);
}

int RunCheck(const Arguments& args, std::ostream& out, std::ostream& err) {
    // The timeout applies from here on; reading a day takes well under a second.
    int seconds = 30;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view value;
        if ((args[i] == "-t" || args[i] == "--timeout") && i + 1 < args.size()) value = args[i + 1];
        if (args[i].rfind("--timeout=", 0) == 0) value = std::string_view(args[i]).substr(10);
        std::from_chars(value.data(), value.data() + value.size(), seconds);
    }
    seconds = std::clamp(seconds, 1, 3600);
    const std::string message = "SQA UNKNOWN - timed out after " + std::to_string(seconds) + " s\n";
    timeoutMessageLength = std::min(message.size(), sizeof timeoutMessage);
    std::copy_n(message.data(), timeoutMessageLength, timeoutMessage);
    std::signal(SIGALRM, OnTimeout);
    ::alarm(static_cast<unsigned>(seconds));
    const int status = RunCheckAt(SystemNow(), args, out, err);
    ::alarm(0);
    return status;
}

}  // namespace marlix::cli
