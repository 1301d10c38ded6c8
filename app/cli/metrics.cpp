// marlix-sqa-cli metrics: the day's measures for Prometheus.
#include "metrics.h"

#include <charconv>
#include <cmath>
#include <functional>
#include <ostream>
#include <span>
#include <vector>

#include "command_line.h"
#include "day_rows.h"
#include "marlix/core/atomic_file.h"
#include "marlix/core/day_store.h"
#include "marlix/core/days.h"
#include "marlix/core/state_words.h"
#include "monitoring.h"

namespace marlix::cli {
namespace {

std::string LabelValue(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string SampleValue(double value) {
    if (std::isnan(value)) return "NaN";
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

// Families are written whole, HELP and TYPE first; one without samples is left out entirely.
class Exposition {
  public:
    explicit Exposition(std::string station) : station_(std::move(station)) {}

    void Family(std::string_view name, std::string_view help) {
        name_ = name;
        help_ = help;
        headerWritten_ = false;
    }
    void Sample(const std::optional<double>& value, std::string_view labelName = {},
                std::string_view labelValue = {}, std::optional<double> timestamp = std::nullopt) {
        if (!value) return;
        if (!headerWritten_) {
            text_ += "# HELP " + name_ + ' ' + help_ + "\n# TYPE " + name_ + " gauge\n";
            headerWritten_ = true;
        }
        text_ += name_;
        // Labels in name order, as Prometheus itself shows them.
        std::string labels;
        if (!labelName.empty()) labels += std::string(labelName) + "=\"" + LabelValue(labelValue) + '"';
        if (!station_.empty()) {
            if (!labels.empty()) labels += ',';
            labels += "station=\"" + LabelValue(station_) + '"';
        }
        if (!labels.empty()) text_ += '{' + labels + '}';
        text_ += ' ' + SampleValue(*value);
        if (timestamp) text_ += ' ' + SampleValue(*timestamp);
        text_ += '\n';
    }
    const std::string& Text() const { return text_; }

  private:
    std::string station_;
    std::string name_, help_;
    bool headerWritten_ = false;
    std::string text_;
};

constexpr core::FixState kFixStates[] = {core::FixState::None, core::FixState::Fix2D, core::FixState::Fix3D};

// The lock modes a log names: inactive, coarse and fine; or inactive and control.
std::vector<core::LockMode> NamedModes(bool controlFormat) {
    if (controlFormat) return {core::LockMode::Inactive, core::LockMode::FineOrControl};
    return {core::LockMode::Inactive, core::LockMode::Coarse, core::LockMode::FineOrControl};
}

// A ratio of 0 to 1 from a figure in percent.
std::optional<double> AsRatio(const std::optional<double>& percent) {
    if (!percent) return std::nullopt;
    return *percent / 100;
}

// The totals of a stretch whose measures are written, and in the history the time its samples carry.
struct Stretch {
    const core::DayTotals* totals;
    std::optional<double> timestamp;
};

// The lock modes a family may name, each with the format that names it (none: either).
struct NamedMode {
    core::LockMode mode;
    std::optional<bool> controlFormat;
};
constexpr NamedMode kNamedModes[] = {{core::LockMode::Inactive, std::nullopt},
                                     {core::LockMode::Coarse, false},
                                     {core::LockMode::FineOrControl, false},
                                     {core::LockMode::FineOrControl, true}};

// The measures shared by the day so far, its last minutes and the days of the history; each family
// holds the samples of every stretch, one series after the other.
void WriteMeasures(Exposition& e, const std::string& prefix, std::string_view stretch,
                   std::span<const Stretch> stretches) {
    const std::string of = " over " + std::string(stretch);
    const auto each = [&](const auto& value, std::string_view labelName = {},
                          std::string_view labelValue = {}) {
        for (const Stretch& s : stretches) e.Sample(value(*s.totals), labelName, labelValue, s.timestamp);
    };
    e.Family(prefix + "fix_ratio", "Share of fix-and-mode records per fix state" + of + ".");
    for (const core::FixState fix : kFixStates) {
        each([fix](const core::DayTotals& t) { return AsRatio(t.FixShare(static_cast<int>(fix))); }, "fix",
             core::FixWords(fix).metric);
    }
    e.Family(prefix + "lock_mode_ratio",
             "Share of fix-and-mode records per lock mode (inactive, coarse, fine; or inactive, control)" +
                 of + ".");
    for (const NamedMode& named : kNamedModes) {
        for (const Stretch& s : stretches) {
            const core::DayTotals& t = *s.totals;
            if (named.controlFormat && *named.controlFormat != t.controlFormat) continue;
            e.Sample(AsRatio(t.ModeShare(static_cast<int>(named.mode))), "mode",
                     core::ModeWords(named.mode, t.controlFormat).metric, s.timestamp);
        }
    }
    e.Family(prefix + "pdop_average", "Average of the PDOP values 1 to 9" + of + ".");
    each([](const core::DayTotals& t) { return t.AveragePdop(); });
    e.Family(prefix + "gps_seeking_ratio", "Share of 8-item among 6- and 8-item satellite lists" + of + ".");
    each([](const core::DayTotals& t) { return AsRatio(t.SeekingShare()); });
    e.Family(prefix + "strength_mean",
             "Mean of the minutes' signal strength above 0 (scale 0 to 9)" + of + ".");
    each([](const core::DayTotals& t) { return t.meanStrength; });
    e.Family(prefix + "num_good_mean",
             "Mean of the minutes' number of satellites with level 4 or more" + of + ".");
    each([](const core::DayTotals& t) { return t.NumGoodMean(); });
}

void WriteMeasures(Exposition& e, const std::string& prefix, std::string_view stretch,
                   const core::DayTotals& t) {
    const Stretch one{&t, std::nullopt};
    WriteMeasures(e, prefix, stretch, std::span(&one, 1));
}

std::string MetricsText(const DayMonitor& m, const MetricsOptions& o) {
    Exposition e(o.station);
    const core::DayAnalysis* recent = m.Recent();
    e.Family("marlix_sqa_up",
             "Whether the logs of the day and of its recent window could be read (1) or not (0).");
    e.Sample(recent ? 1.0 : 0.0);
    e.Family("marlix_sqa_day_start_timestamp_seconds", "Start (00:00 UTC) of the day the values describe.");
    e.Sample(UnixSeconds(m.day));
    if (!recent) return e.Text();
    e.Family("marlix_sqa_last_record_timestamp_seconds",
             "Time of the last Time record read (in the day before's log while the day has none).");
    e.Sample(m.RecentHasRecords() ? std::optional(UnixSeconds(recent->totals.lastTime)) : std::nullopt);
    if (m.analysis) {
        const core::DayAnalysis& a = *m.analysis;
        e.Family("marlix_sqa_control_format", "Whether the log is in the control format (1) or not (0).");
        e.Sample(a.controlFormat ? 1.0 : 0.0);
        e.Family("marlix_sqa_day_lines", "Lines read from the day's log.");
        e.Sample(static_cast<double>(a.lineCount));
        const core::MinuteSpan daySoFar{core::MinuteNumber(m.day), m.recent.end};
        e.Family("marlix_sqa_day_without_records_seconds",
                 "Whole minutes of the day so far without a Time record, in seconds.");
        e.Sample(static_cast<double>(core::MinutesWithoutRecords(a, daySoFar) * 60));
        WriteMeasures(e, "marlix_sqa_day_", "the day so far", a.totals);
    }

    e.Family("marlix_sqa_recent_window_seconds",
             "Length of the recent window: the whole minutes before the current one, reaching back into "
             "the day before just after midnight.");
    e.Sample(static_cast<double>(m.recent.Count() * 60));
    e.Family("marlix_sqa_recent_without_records_seconds",
             "Whole minutes of the recent window without a Time record, in seconds.");
    e.Sample(static_cast<double>(core::MinutesWithoutRecords(*recent, m.recent) * 60));
    e.Family("marlix_sqa_recent_coverage_ratio",
             "Share of the recent window's seconds that have a Time record.");
    e.Sample(m.Coverage());
    WriteMeasures(e, "marlix_sqa_recent_", "the recent window", m.recentTotals);

    const core::DayAnalysis& a = *recent;
    if (a.minutes.empty()) return e.Text();
    const core::MinuteReading& newest = a.minutes.back();
    const auto value = [](const auto& reading) -> std::optional<double> {
        if (!reading) return std::nullopt;
        return static_cast<double>(*reading);
    };
    e.Family("marlix_sqa_minute_timestamp_seconds",
             "Close time of the newest minute (hh:mm:01 of the next one).");
    e.Sample(UnixSeconds(newest.time));
    e.Family("marlix_sqa_minute_strength", "Mean signal level of the newest minute (scale 0 to 9).");
    e.Sample(value(newest.strength));
    e.Family("marlix_sqa_minute_num_good", "Satellites with level 4 or more per level line, newest minute.");
    e.Sample(value(newest.numGood));
    e.Family("marlix_sqa_minute_trend", "Mean of the last 45 strength samples at the newest minute.");
    e.Sample(value(newest.trend));
    e.Family("marlix_sqa_minute_pdop", "Smallest PDOP of the newest minute.");
    e.Sample(value(newest.pdop));
    e.Family("marlix_sqa_minute_signal_ratio", "Share of numbered satellites with signal, newest minute.");
    e.Sample(AsRatio(value(newest.signal)));
    // Each state is a series of its own, 1 for the current one.
    e.Family("marlix_sqa_minute_fix", "Fix state of the newest minute (1 for the current state).");
    if (const auto fix = newest.fix) {
        for (const core::FixState state : kFixStates)
            e.Sample(*fix == state ? 1.0 : 0.0, "fix", core::FixWords(state).metric);
    }
    e.Family("marlix_sqa_minute_lock_mode", "Lock mode of the newest minute (1 for the current mode).");
    if (const auto mode = newest.mode) {
        for (const core::LockMode state : NamedModes(a.controlFormat))
            e.Sample(*mode == state ? 1.0 : 0.0, "mode", core::ModeWords(state, a.controlFormat).metric);
    }
    return e.Text();
}

// The figures of each day, one sample a day stamped with the day's last second, in the OpenMetrics
// text format that promtool turns into blocks.
std::string HistoryText(const std::vector<DayRow>& rows, const std::string& station) {
    std::vector<Stretch> days;
    std::vector<double> lines;
    for (const DayRow& row : rows) {
        if (!row.totals) continue;
        days.push_back({&*row.totals, UnixSeconds(row.day + 1) - 1});
        lines.push_back(static_cast<double>(row.totals->lineCount));
    }
    Exposition e(station);
    e.Family("marlix_sqa_day_lines", "Lines read from the day's log.");
    for (std::size_t i = 0; i < days.size(); ++i) e.Sample(lines[i], {}, {}, days[i].timestamp);
    WriteMeasures(e, "marlix_sqa_day_", "the day", days);
    return e.Text() + "# EOF\n";
}

}  // namespace

int RunMetricsAt(double nowUnixSeconds, const Arguments& args, std::ostream& out, std::ostream& err) {
    MetricsOptions o;
    CommandLine commandLine("metrics", [&o](CLI::App& app) { DescribeMetrics(app, o); });
    if (const auto status = commandLine.Parse(args, out, err)) return *status;

    std::string text;
    int status = kExitOk;
    if (o.history) {
        if (!o.date.empty())
            return commandLine.UsageError(err, "--history takes --from and --to, not --date");
        std::optional<core::DayTime> from, to;
        if (!o.from.empty()) from = ParseIsoDate(o.from);
        if (!o.to.empty()) to = ParseIsoDate(o.to);
        if (from && to && *from > *to) return commandLine.UsageError(err, "--from is after --to");
        std::optional<core::DayStore> store;
        if (!o.noStore) store.emplace();
        const DayRows read =
            ReadDayRows(core::FolderWithSeparator(o.dataDirectory), from, to, 0, store ? &*store : nullptr);
        if (!read.problem.empty()) {
            err << "marlix-sqa-cli: " << read.problem << '\n';
            return kExitFailure;
        }
        SayStoreNotice(store ? &*store : nullptr, err);
        for (const DayRow& row : read.rows) {
            if (row.totals) continue;
            err << "marlix-sqa-cli: " << row.error << '\n';
            status = kExitFailure;
        }
        text = HistoryText(read.rows, o.station);
    } else {
        if (!o.from.empty() || !o.to.empty())
            return commandLine.UsageError(err, "--from and --to go with --history");
        const core::DayTime day =
            o.date.empty() ? std::floor(core::DayTimeFromUnixSeconds(nowUnixSeconds)) : *ParseIsoDate(o.date);
        const DayMonitor monitor = MonitorDay(o.dataDirectory, day, nowUnixSeconds, o.minutes);
        text = MetricsText(monitor, o);
        if (!monitor.folderProblem.empty() || monitor.failure) {
            err << "marlix-sqa-cli: "
                << (monitor.failure ? ReadFailureText(*monitor.failure) : monitor.folderProblem) << '\n';
            status = kExitFailure;
        }
    }
    if (o.out.empty()) {
        out << text;
        out.flush();
        return out ? status : kExitFailure;
    }
    // The collector reads the file at any time: it sees the old or the new one whole.
    if (const auto failure = core::WriteFileAtomically(o.out, text)) {
        err << "marlix-sqa-cli: " << core::WriteFailureText(*failure) << '\n';
        return kExitFailure;
    }
    return status;
}

int RunMetrics(const Arguments& args, std::ostream& out, std::ostream& err) {
    return RunMetricsAt(SystemNow(), args, out, err);
}

}  // namespace marlix::cli
