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
constexpr int kMeasureCount = 5;
constexpr int kCoverage = 4;  // the share of the window's seconds with records
constexpr Measure kMeasures[kMeasureCount] = {
    {"3D fix", "fix_3d", "%", 1, "80:", "20:", "0", "100"},
    {"fine lock", "lock_fine", "%", 1, "50:", "1:", "0", "100"},
    {"PDOP", "pdop", "", 2, "~:5", "~:8", "0", ""},
    {"strength", "strength", "", 2, "3:", "1:", "0", "9"},
    {"coverage", "coverage", "%", 1, "80:", "20:", "0", "100"},
};

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

// A text of the status line made printable, so that the line stays one line and its performance data
// stays apart: control characters, backslashes and bytes that are no UTF-8 are escaped, '|' becomes
// a broken bar.
std::string PluginText(std::string_view text) {
    std::string out;
    const auto escape = [&out](unsigned value, bool codePoint) {
        char hex[12];
        std::snprintf(hex, sizeof hex, codePoint ? "\\u%04X" : "\\x%02X", value);
        out += hex;
    };
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if (c == '\n') {
                out += "\\n";
            } else if (c == '\r') {
                out += "\\r";
            } else if (c == '\t') {
                out += "\\t";
            } else if (c == '\\') {
                out += "\\\\";
            } else if (c == '|') {
                out += "\xC2\xA6";  // U+00A6 BROKEN BAR
            } else if (c < 0x20 || c == 0x7F) {
                escape(c, false);
            } else {
                out += static_cast<char>(c);
            }
            ++i;
            continue;
        }
        // One UTF-8 sequence: its length, its code point and the smallest code point of that length.
        const std::size_t length = c >= 0xF0 && c < 0xF5 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
        char32_t point = length == 4 ? c & 0x07u : length == 3 ? c & 0x0Fu : c & 0x1Fu;
        bool valid = length != 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            point = point << 6 | (next & 0x3Fu);
        }
        valid = valid && !(length == 3 && point < 0x800) &&
                !(length == 4 && (point < 0x10000 || point > 0x10FFFF)) &&
                !(point >= 0xD800 && point <= 0xDFFF);
        if (!valid) {
            escape(c, false);
            ++i;
        } else if (point < 0xA0) {
            escape(static_cast<unsigned>(point), true);  // the C1 control characters
            i += length;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

// The timeout's message, made before the alarm is set: a signal handler may only write.
char timeoutMessage[96];
std::size_t timeoutMessageLength = 0;

void OnTimeout(int) {
    [[maybe_unused]] const ssize_t written = ::write(STDOUT_FILENO, timeoutMessage, timeoutMessageLength);
    ::_exit(static_cast<int>(PluginState::Unknown));
}

int Finish(std::ostream& out, PluginState state, std::string_view text, std::string_view perfdata = {}) {
    out << "SQA " << StateName(state) << " - " << PluginText(text);
    if (!perfdata.empty()) out << " | " << perfdata;
    out << '\n';
    out.flush();
    return static_cast<int>(state);
}

// The whole minutes of a number of seconds, with a tenth where it is not whole: "2", "0.3".
std::string MinutesText(std::int64_t seconds) {
    std::string text = core::FormatFixed(static_cast<double>(seconds) / 60, 1, ".");
    if (text.ends_with(".0")) text.resize(text.size() - 2);
    return text;
}

// The seconds of the window each measure is taken from: the fix-and-mode records for the shares, the
// PDOP values 1 to 9 for the average, the minutes with a strength above 0 for the mean strength.
std::array<std::int64_t, kCoverage> BasisSeconds(const DayMonitor& m) {
    const core::DayTotals& t = m.recentTotals;
    const auto sum = [](const std::array<std::int64_t, 3>& counts) {
        return counts[0] + counts[1] + counts[2];
    };
    return {sum(t.fixCounts), sum(t.modeCounts), t.pdopCount, m.recentStrengthMinutes * 60};
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

int RunCheckAt(double nowUnixSeconds, const Arguments& args, std::ostream& out, std::ostream& err) {
    CheckOptions o;
    CommandLine commandLine("check", [&o](CLI::App& app) { DescribeCheck(app, o); });
    // A plugin answers bad arguments, help and version with UNKNOWN, and always with a status line.
    std::ostringstream problems;
    if (const auto status = commandLine.Parse(args, out, problems, static_cast<int>(PluginState::Unknown),
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
    const DayMonitor m = MonitorDay(o.dataDirectory, today, nowUnixSeconds, o.minutes);
    if (!m.folderProblem.empty()) return Finish(out, PluginState::Unknown, m.folderProblem);
    if (m.failure && !m.dayLogExists)
        return Finish(out, PluginState::Critical, "no log for today: " + m.path);
    if (m.failure) return Finish(out, PluginState::Unknown, ReadFailureText(*m.failure));
    if (!m.RecentHasRecords()) return Finish(out, PluginState::Critical, "no time records in " + m.path);

    PluginState state = PluginState::Ok;
    // The threshold a value breaks, for the text, and the state it sets.
    const auto alert = [&](int i, double value) -> std::string {
        const std::size_t k = static_cast<std::size_t>(i);
        if (critical[k].Alerts(value)) {
            state = PluginState::Critical;
            return "critical " + critical[k].text;
        }
        if (warning[k].Alerts(value)) {
            if (state == PluginState::Ok) state = PluginState::Warning;
            return "warning " + warning[k].text;
        }
        return {};
    };
    const auto perf = [&](int i, const std::string& label, const std::string& value) {
        const std::size_t k = static_cast<std::size_t>(i);
        return PerfLabel(label) + '=' + value + ';' + warning[k].text + ';' + critical[k].text + ';' +
               kMeasures[i].minimum + ';' + kMeasures[i].maximum + ' ';
    };

    const double windowSeconds = static_cast<double>(m.recent.Count() * 60);
    const std::string coverage = PerfNumber(m.Coverage() * 100, kMeasures[kCoverage].decimals);
    std::string summary = "records for " + MinutesText(m.recentSecondsWithRecords) + " of " +
                          std::to_string(o.minutes) + " min";
    std::string note = m.Coverage() < 1 ? coverage + "%" : std::string();
    if (const std::string broken = alert(kCoverage, m.Coverage() * 100); !broken.empty())
        note += (note.empty() ? "" : ", ") + broken;
    if (!note.empty()) summary += " (" + note + ")";
    std::string perfdata;

    const core::DayTotals& t = m.recentTotals;
    const std::array<std::optional<double>, kCoverage> values = {t.FixShare(2), t.ModeShare(2),
                                                                 t.AveragePdop(), t.meanStrength};
    const std::array<std::int64_t, kCoverage> basis = BasisSeconds(m);
    for (int i = 0; i < kCoverage; ++i) {
        const Measure& measure = kMeasures[i];
        const std::size_t k = static_cast<std::size_t>(i);
        const std::string name = i == 1 && t.controlFormat ? "control lock" : measure.name;
        const std::string label = i == 1 && t.controlFormat ? "lock_control" : measure.label;
        summary += ", " + name + ' ';
        if (!values[k]) {
            summary += "n/a";
            perfdata += perf(i, label, "U");
            continue;
        }
        const std::string number = PerfNumber(*values[k], measure.decimals);
        summary += number + measure.unit;
        // A figure of a few seconds says how few, so that it is not read as the window's.
        const double share = std::min(1.0, static_cast<double>(basis[k]) / windowSeconds);
        if (share * 100 < o.minBasis) summary += " from " + PerfNumber(share * 100, 0) + "% of the window";
        if (const std::string broken = alert(i, *values[k]); !broken.empty()) summary += " (" + broken + ")";
        perfdata += perf(i, label, number + measure.unit);
    }
    perfdata += perf(kCoverage, kMeasures[kCoverage].label, coverage + kMeasures[kCoverage].unit);

    const double age = std::max(0.0, std::floor(nowUnixSeconds - UnixSeconds(m.Recent()->totals.lastTime)));
    const std::string ageText = PerfNumber(age, 0);
    summary =
        "last " + std::to_string(o.minutes) + " min: " + summary + "; last record " + ageText + " s ago";
    if (age > o.maxAge) {
        summary += " (critical " + std::to_string(o.maxAge) + ")";
        state = PluginState::Critical;
    }
    if (!m.dayLogExists) summary += "; no log for today yet";
    perfdata += "'age'=" + ageText + "s;;" + std::to_string(o.maxAge) + ";0;";
    return Finish(out, state, summary, perfdata);
}

namespace {

// The timeout of the arguments as the command reads them, in every spelling (-t3, -t 3, --timeout=3).
int TimeoutSeconds(const Arguments& args) {
    CheckOptions o;
    CommandLine("check", [&o](CLI::App& app) { DescribeCheck(app, o); }).ParseQuietly(args);
    return std::clamp(o.timeout, 1, 3600);
}

}  // namespace

int RunCheck(const Arguments& args, std::ostream& out, std::ostream& err) {
    // The timeout applies from here on; reading a day takes well under a second.
    const int seconds = TimeoutSeconds(args);
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
