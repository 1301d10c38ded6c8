// metrics and check: the day's measures for Prometheus and for monitoring plugins, checked against the
// day report and table, against promtool and a real node_exporter, and against the plugin grammar.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <thread>

#include "analysis_internal.h"
#include "check.h"
#include "marlix/core/day_texts.h"
#include "marlix/core/recent.h"
#include "marlix/core/simulator.h"
#include "metrics.h"
#include "table.h"

extern char** environ;

namespace marlix::cli {
namespace {

namespace fs = std::filesystem;

constexpr double kMarch5Unix = 1709596800;  // 2024-03-05 00:00:00 UTC
constexpr core::DayTime kMarch5 = 45356;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Record blocks of 2024-03-05, one a second over [from, to) seconds of the day, in a given state.
struct BlockState {
    const char* fixMode = "Fix, Mode : 3D, Fine";
    int pdop = 2;
    const char* levels = "6, 6, 6, 6, 6, 6";
};
std::string Blocks(int from, int to, const BlockState& state = {}) {
    std::string out;
    char time[64];
    for (int s = from; s < to; ++s) {
        std::snprintf(time, sizeof time, "UTC Time  : %02d:%02d:%02d 05/03/24\r\n", s / 3600, s / 60 % 60,
                      s % 60);
        out += time;
        out += "PDOP      : " + std::string(state.pdop < 10 ? " " : "") + std::to_string(state.pdop) + "\r\n";
        out += "Sat PRN   : 01, 02, 03, 04, 05, 06\r\n";
        out += std::string("Sat level : ") + state.levels + "\r\n";
        out += std::string(state.fixMode) + "\r\n";
    }
    return out;
}

struct Outcome {
    int status = -1;
    std::string out, err;
};

class Monitoring : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("marlix_monitoring_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    void WriteDay(const std::string& text, const std::string& date = "2024-03-05") {
        std::ofstream(dir_ / (date + "_rx_data.txt"), std::ios::binary) << text;
    }
    Outcome Metrics(double now, std::vector<std::string> args) {
        args.insert(args.begin(), {"--data-dir", dir_.string()});
        std::ostringstream out, err;
        Outcome run;
        run.status = RunMetricsAt(now, args, out, err);
        run.out = out.str();
        run.err = err.str();
        return run;
    }
    Outcome Check(double now, std::vector<std::string> args = {}) {
        args.insert(args.begin(), {"--data-dir", dir_.string()});
        std::ostringstream out, err;
        Outcome run;
        run.status = RunCheckAt(now, args, out, err);
        run.out = out.str();
        run.err = err.str();
        return run;
    }

    fs::path dir_;
};

// name{labels} -> value of every sample of an exposition.
std::map<std::string, double> Samples(const std::string& text) {
    std::map<std::string, double> samples;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        const std::size_t blank = line.rfind(' ');
        samples[line.substr(0, blank)] = std::stod(line.substr(blank + 1));
    }
    return samples;
}

// ---- the measures of the last minutes, in the core ----

TEST_F(Monitoring, MinutesAddUpToTheDayAndCountTheMinutesWithoutRecords) {
    const std::string day = core::SimulateDay(kMarch5, core::SimulationOptions{3, false});
    const core::DayAnalysis a = core::AnalyseText(day);
    const core::DayTotals all = core::TotalsOfMinutes(a, core::LastMinutes(kMarch5, kMarch5 + 1, 1440));
    // The same values summed in the same order: the day's figures to the last bit.
    EXPECT_EQ(all.meanStrength, a.totals.meanStrength);
    EXPECT_EQ(all.NumGoodMean(), a.totals.NumGoodMean());
    EXPECT_EQ(all.NumGoodMinimum(), a.totals.NumGoodMinimum());
    // Each minute holds the values of its own points, the trend included.
    const core::MinuteReading& last = a.minutes.back();
    ASSERT_TRUE(last.trend);
    EXPECT_EQ(a.Points(core::SeriesId::Trend).back().x, last.time);
    EXPECT_EQ(*last.trend, a.Points(core::SeriesId::Trend).back().y);
    ASSERT_TRUE(last.pdop);
    EXPECT_EQ(*last.pdop, a.Points(core::SeriesId::Pdop).back().y);
    // Only the unfinished last minute's lines are in no minute.
    const std::int64_t unclosed = a.totals.fixCounts[0] + a.totals.fixCounts[1] + a.totals.fixCounts[2] -
                                  (all.fixCounts[0] + all.fixCounts[1] + all.fixCounts[2]);
    EXPECT_GE(unclosed, 0);
    EXPECT_LE(unclosed, 60);

    // Records at 10:00-10:02 and 10:11-10:13 (a nine-minute pause) of a day.
    const core::DayAnalysis paused = core::AnalyseText(Blocks(36000, 36180) + Blocks(36660, 36780));
    const core::MinuteSpan tenToQuarterPast = core::LastMinutes(kMarch5, kMarch5 + 10.25 / 24, 15);
    EXPECT_EQ(tenToQuarterPast.Count(), 15);
    EXPECT_EQ(core::MinutesWithoutRecords(paused, tenToQuarterPast), 15 - 5);
    // Just after midnight the span stays within the day; a finished day ends at midnight.
    EXPECT_EQ(core::LastMinutes(kMarch5, kMarch5 + 3.5 / 1440, 15).Count(), 3);
    EXPECT_EQ(core::LastMinutes(kMarch5, kMarch5 + 3, 15).end, core::MinuteNumber(kMarch5 + 1));
    // The newest closed minute is 10:12:01 (10:12 is unfinished), whose data minute is 10:11.
    ASSERT_FALSE(paused.minutes.empty());
    EXPECT_EQ(core::DataMinute(paused.minutes.back()), core::MinuteNumber(kMarch5 + 611.0 / 1440));
}

// ---- metrics ----

// The metrics of a day or its last minutes against the report, the table and the check of the same
// day. Every share of a fix state or a lock mode, wherever it is shown, is the day summary's.
TEST_F(Monitoring, MetricsAgreeWithTheReportTheTableAndTheCheck) {
    for (const bool control : {false, true}) {
        const std::string day = core::SimulateDay(kMarch5, core::SimulationOptions{11, control});
        WriteDay(day);
        const core::DayAnalysis a = core::AnalyseText(day);
        const core::DayTotals& t = a.totals;
        // The summary divides by a 4-byte float of the count / 100; on this day that differs from a
        // plain division, so a figure made the other way shows.
        ASSERT_NE(*t.FixShare(2) / 100,
                  static_cast<double>(t.fixCounts[2]) /
                      static_cast<double>(t.fixCounts[0] + t.fixCounts[1] + t.fixCounts[2]));
        const Outcome metrics = Metrics(kMarch5Unix + 2 * 86400, {"--date", "2024-03-05"});
        ASSERT_EQ(metrics.status, 0) << metrics.err;
        const auto m = Samples(metrics.out);
        static constexpr const char* kFixes[] = {"none", "2d", "3d"};
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(m.at("marlix_sqa_day_fix_ratio{fix=\"" + std::string(kFixes[i]) + "\"}"),
                      *t.FixShare(i) / 100)
                << i;
        }
        EXPECT_EQ(m.at("marlix_sqa_day_lock_mode_ratio{mode=\"inactive\"}"), *t.ModeShare(0) / 100);
        EXPECT_EQ(m.at(control ? "marlix_sqa_day_lock_mode_ratio{mode=\"control\"}"
                               : "marlix_sqa_day_lock_mode_ratio{mode=\"fine\"}"),
                  *t.ModeShare(2) / 100);
        EXPECT_EQ(m.count("marlix_sqa_day_lock_mode_ratio{mode=\"coarse\"}"), control ? 0u : 1u);

        std::ostringstream tableOut, tableErr;
        ASSERT_EQ(RunTable({"--data-dir", dir_.string(), "--format", "csv"}, tableOut, tableErr), 0);
        std::istringstream rows(tableOut.str());
        std::string header, row;
        std::getline(rows, header);
        std::getline(rows, row);
        std::map<std::string, std::string> cell;
        std::istringstream names(header), values(row);
        for (std::string name, value; std::getline(names, name, ',') && std::getline(values, value, ',');)
            cell[name] = value;
        const auto percent = [](double ratio) { return core::FormatFixed(ratio * 100, 4, "."); };
        EXPECT_EQ(cell["fix_3d_pct"], core::FormatFixed(*t.FixShare(2), 4, "."));
        EXPECT_EQ(cell["fix_none_pct"], core::FormatFixed(*t.FixShare(0), 4, "."));
        EXPECT_EQ(cell["mode_fine_or_control_pct"], core::FormatFixed(*t.ModeShare(2), 4, "."));
        EXPECT_EQ(percent(m.at("marlix_sqa_day_gps_seeking_ratio")), cell["gps_seeking_pct"]);
        EXPECT_EQ(core::FormatFixed(m.at("marlix_sqa_day_pdop_average"), 2, "."), cell["average_pdop"]);
        EXPECT_EQ(core::FormatFixed(m.at("marlix_sqa_day_strength_mean"), 1, "."), cell["mean_strength"]);
        EXPECT_EQ(core::FormatFixed(m.at("marlix_sqa_day_num_good_mean"), 2, "."), cell["num_good_mean"]);
        EXPECT_EQ(m.at("marlix_sqa_day_lines"), std::stod(cell["lines"]));
        EXPECT_EQ(m.at("marlix_sqa_control_format"), control ? 1 : 0);

        // The report's hint and summary round the same figures.
        std::ostringstream report, reportErr;
        ASSERT_EQ(RunReport({"--data-dir", dir_.string(), "--date", "2024-03-05"}, report, reportErr), 0);
        const auto whole = [&t](int i) { return core::FormatFixed(*t.FixShare(i), 0, ".") + "%"; };
        EXPECT_NE(report.str().find("Fixes: none/2D/3D:  " + whole(0) + ", " + whole(1) + ", " + whole(2)),
                  std::string::npos);
        EXPECT_NE(report.str().find("Mean strength: " + cell["mean_strength"] + "\n"), std::string::npos);
        EXPECT_NE(report.str().find("Average PDOP: " + cell["average_pdop"] + ","), std::string::npos);

        // The check and the recent metrics take the same minutes: all of the day before 23:59.
        const double now = kMarch5Unix + 86370;
        const core::DayTotals recent =
            core::TotalsOfMinutes(a, core::LastMinutes(kMarch5, core::DayTimeFromUnixSeconds(now), 1440));
        const auto r = Samples(Metrics(now, {"--minutes", "1440"}).out);
        EXPECT_EQ(r.at("marlix_sqa_recent_fix_ratio{fix=\"3d\"}"), *recent.FixShare(2) / 100);
        const Outcome check = Check(now, {"--minutes", "1440"});
        EXPECT_NE(check.out.find("'fix_3d'=" + core::FormatFixed(*recent.FixShare(2), 1, ".") + "%;"),
                  std::string::npos)
            << check.out;
        EXPECT_NE(check.out.find("'lock_" + std::string(control ? "control" : "fine") +
                                 "'=" + core::FormatFixed(*recent.ModeShare(2), 1, ".") + "%;"),
                  std::string::npos)
            << check.out;
    }
}

TEST_F(Monitoring, MetricsOfTheLastMinutesAndTheNewestMinute) {
    // Healthy until 10:05:00, then five minutes without fix or lock; now is 10:10:30. Each minute
    // closes at hh:mm:01 with the records since the previous close.
    WriteDay(Blocks(36000, 36301) +
             Blocks(36301, 36630, {"Fix, Mode : no fix, inactive", 11, "0, 0, 0, 0, 0, 0"}));
    const Outcome run = Metrics(kMarch5Unix + 36630, {"--minutes", "4", "--station", "north \"2\""});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto m = Samples(run.out);
    const std::string station = "station=\"north \\\"2\\\"\"";
    EXPECT_EQ(m.at("marlix_sqa_up{" + station + "}"), 1);
    EXPECT_EQ(m.at("marlix_sqa_day_start_timestamp_seconds{" + station + "}"), kMarch5Unix);
    EXPECT_EQ(m.at("marlix_sqa_last_record_timestamp_seconds{" + station + "}"), kMarch5Unix + 36629);
    EXPECT_EQ(m.at("marlix_sqa_recent_window_seconds{" + station + "}"), 240);
    EXPECT_EQ(m.at("marlix_sqa_recent_fix_ratio{fix=\"3d\"," + station + "}"), 0);
    // All 240 records of the four minutes, as the summary divides: by a 4-byte float of 2.4, which
    // leaves the share a little under 100%.
    const double all240 = 240 / static_cast<double>(2.4F) / 100;
    EXPECT_EQ(m.at("marlix_sqa_recent_fix_ratio{fix=\"none\"," + station + "}"), all240);
    EXPECT_EQ(m.at("marlix_sqa_recent_lock_mode_ratio{mode=\"inactive\"," + station + "}"), all240);
    EXPECT_EQ(m.count("marlix_sqa_recent_pdop_average{" + station + "}"), 0u);   // no PDOP value 1 to 9
    EXPECT_EQ(m.count("marlix_sqa_recent_strength_mean{" + station + "}"), 0u);  // no level above 0
    // Day so far: 10:00 to 10:09 have records, the 600 minutes before do not.
    EXPECT_EQ(m.at("marlix_sqa_day_without_records_seconds{" + station + "}"), 600 * 60);
    EXPECT_EQ(m.at("marlix_sqa_day_fix_ratio{fix=\"3d\"," + station + "}"),
              301 / static_cast<double>(6.3F) / 100);
    // The newest minute closed at 10:10:01.
    EXPECT_EQ(m.at("marlix_sqa_minute_timestamp_seconds{" + station + "}"), kMarch5Unix + 36601);
    EXPECT_EQ(m.at("marlix_sqa_minute_strength{" + station + "}"), 0);
    EXPECT_EQ(m.at("marlix_sqa_minute_fix{fix=\"none\"," + station + "}"), 1);
    EXPECT_EQ(m.at("marlix_sqa_minute_fix{fix=\"3d\"," + station + "}"), 0);
    EXPECT_EQ(m.at("marlix_sqa_minute_lock_mode{mode=\"inactive\"," + station + "}"), 1);
    EXPECT_EQ(m.count("marlix_sqa_minute_pdop{" + station + "}"), 0u);  // PDOP 11 draws no point
}

TEST_F(Monitoring, AnUnreadableDayIsUpZeroWithStatusOne) {
    const Outcome run = Metrics(kMarch5Unix + 600, {"--out", (dir_ / "sqa.prom").string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "marlix-sqa-cli: cannot read " + (dir_ / "2024-03-05_rx_data.txt").string() +
                           ": No such file or directory\n");
    EXPECT_EQ(Samples(ReadAll(dir_ / "sqa.prom")),
              (std::map<std::string, double>{{"marlix_sqa_up", 0},
                                             {"marlix_sqa_day_start_timestamp_seconds", kMarch5Unix}}));
    // Nothing is left behind but the file itself.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
    const Outcome unwritable = Metrics(kMarch5Unix, {"--out", (dir_ / "no" / "sqa.prom").string()});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.err.find("cannot write " + (dir_ / "no" / "sqa.prom").string() +
                                  ": No such file or directory\n"),
              std::string::npos);
    EXPECT_EQ(Metrics(kMarch5Unix, {"--minutes", "0"}).status, 2);
    EXPECT_EQ(Metrics(kMarch5Unix, {"--date", "2024-02-30"}).status, 2);
}

Outcome Spawn(const std::vector<std::string>& command, const fs::path& input, const fs::path& work);

// ---- check ----

// The performance data grammar of the monitoring plugins guidelines:
// 'label'=value[UOM];[warn];[crit];[min];[max], pairs separated by blanks; value, min and max of
// [-0-9.] (value may be U); warn and crit ranges [@]start:end; UOM one of s ms us % B KB MB TB c.
struct PerfDatum {
    std::string label, value, unit, warn, crit, min, max;
};
// A number of the class [-0-9.], at least one digit.
bool IsPerfNumber(std::string_view text) {
    return !text.empty() && text.find_first_not_of("-0123456789.") == std::string_view::npos &&
           text.find_first_of("0123456789") != std::string_view::npos;
}
bool IsRange(std::string_view text) {
    if (!text.empty() && text[0] == '@') text.remove_prefix(1);
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) return IsPerfNumber(text);
    const std::string_view start = text.substr(0, colon), end = text.substr(colon + 1);
    return (start.empty() || start == "~" || IsPerfNumber(start)) && (end.empty() || IsPerfNumber(end));
}
std::vector<PerfDatum> ParsePerfdata(const std::string& text) {
    std::vector<PerfDatum> data;
    std::size_t pos = 0;
    const auto fail = [&](const std::string& why) {
        return std::runtime_error(why + " at " + text.substr(pos));
    };
    while (pos < text.size()) {
        if (text[pos] == ' ') {
            ++pos;
            continue;
        }
        PerfDatum d;
        if (text[pos] == '\'') {  // quoted label; '' stands for one quote
            for (++pos;; ++pos) {
                if (pos >= text.size()) throw fail("unclosed label");
                if (text[pos] == '\'' && pos + 1 < text.size() && text[pos + 1] == '\'') {
                    d.label += '\'';
                    ++pos;
                } else if (text[pos] == '\'') {
                    ++pos;
                    break;
                } else {
                    d.label += text[pos];
                }
            }
        } else {
            while (pos < text.size() && text[pos] != '=' && text[pos] != ' ') d.label += text[pos++];
        }
        if (d.label.empty() || d.label.find('=') != std::string::npos) throw fail("bad label");
        if (pos >= text.size() || text[pos] != '=') throw fail("no '='");
        ++pos;
        std::string rest;
        while (pos < text.size() && text[pos] != ' ') rest += text[pos++];
        std::vector<std::string> fields(1);
        for (const char c : rest) {
            if (c == ';') {
                fields.emplace_back();
            } else {
                fields.back().push_back(c);
            }
        }
        if (fields.size() > 5) throw fail("too many fields");
        fields.resize(5);
        const std::string& first = fields[0];
        const std::size_t unitAt = first == "U" ? 1 : first.find_first_not_of("-0123456789.");
        d.value = first.substr(0, unitAt);
        d.unit = unitAt == std::string::npos ? "" : first.substr(unitAt);
        static const std::vector<std::string> kUnits = {"", "s", "ms", "us", "%", "B", "KB", "MB", "TB", "c"};
        if (d.value != "U" && !IsPerfNumber(d.value)) throw fail("bad value");
        if (std::find(kUnits.begin(), kUnits.end(), d.unit) == kUnits.end()) throw fail("bad unit");
        d.warn = fields[1];
        d.crit = fields[2];
        d.min = fields[3];
        d.max = fields[4];
        for (const std::string* range : {&d.warn, &d.crit})
            if (!range->empty() && !IsRange(*range)) throw fail("bad range " + *range);
        for (const std::string* number : {&d.min, &d.max})
            if (!number->empty() && !IsPerfNumber(*number)) throw fail("bad number " + *number);
        data.push_back(d);
    }
    return data;
}

TEST_F(Monitoring, HealthyRecentLogIsOkWithPerformanceData) {
    WriteDay(Blocks(36000, 36630));
    const Outcome run = Check(kMarch5Unix + 36632);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(
        run.out,
        "SQA OK - last 15 min: 3D fix 100.0%, fine lock 100.0%, PDOP 2.00, strength 6.00; last record 3 s ago"
        " | 'fix_3d'=100.0%;80:;20:;0;100 'lock_fine'=100.0%;50:;1:;0;100 'pdop'=2.00;~:5;~:8;0; "
        "'strength'=6.00;3:;1:;0;9 'age'=3s;;300;0;\n");
    const auto data =
        ParsePerfdata(run.out.substr(run.out.find(" | ") + 3, run.out.find("\n") - run.out.find(" | ") - 3));
    ASSERT_EQ(data.size(), 5u);
    EXPECT_EQ(data[0].label, "fix_3d");
    EXPECT_EQ(data[0].unit, "%");
    EXPECT_EQ(data[4].crit, "300");
    // The grammar parser itself refuses what the guidelines do not allow.
    for (const char* bad : {"'a'=1;x:1", "a=1xyz", "'a=1", "a=1;1;2;3;4;5", "a b=1", "'a'=1;;;1e3"})
        EXPECT_THROW(ParsePerfdata(bad), std::runtime_error) << bad;
}

TEST_F(Monitoring, OutageInTheLastMinutesIsCriticalNamingTheThresholds) {
    WriteDay(Blocks(36000, 36301) +
             Blocks(36301, 36630, {"Fix, Mode : no fix, inactive", 11, "0, 0, 0, 0, 0, 0"}));
    const Outcome run = Check(kMarch5Unix + 36632, {"--minutes", "5"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(
        run.out.substr(0, run.out.find(" | ")),
        "SQA CRITICAL - last 5 min: 3D fix 0.0% (critical 20:), fine lock 0.0% (critical 1:), PDOP n/a, "
        "strength n/a; last record 3 s ago");
    const auto data =
        ParsePerfdata(run.out.substr(run.out.find(" | ") + 3, run.out.find("\n") - run.out.find(" | ") - 3));
    ASSERT_EQ(data.size(), 5u);
    EXPECT_EQ(data[2].value, "U");

    // Three healthy minutes of eight are a warning under the defaults; thresholds of one's own apply.
    const Outcome part = Check(kMarch5Unix + 36632, {"--minutes", "8"});
    EXPECT_EQ(part.status, 1) << part.out;
    EXPECT_NE(part.out.find("3D fix 37.5% (warning 80:), fine lock 37.5% (warning 50:),"), std::string::npos)
        << part.out;
    const Outcome own = Check(kMarch5Unix + 36632, {"--minutes", "8", "-w", "40:", "-c", "@30:60,~:"});
    EXPECT_EQ(own.status, 2) << own.out;
    EXPECT_NE(own.out.find("3D fix 37.5% (critical @30:60), fine lock 37.5% (warning 50:),"),
              std::string::npos)
        << own.out;
}

TEST_F(Monitoring, StaleOrMissingLogIsCriticalAndBadArgumentsUnknown) {
    WriteDay(Blocks(36000, 36630));
    const Outcome stale = Check(kMarch5Unix + 36629 + 301);
    EXPECT_EQ(stale.status, 2);
    EXPECT_NE(stale.out.find("; last record 301 s ago (critical 300) | "), std::string::npos) << stale.out;
    EXPECT_EQ(Check(kMarch5Unix + 36629 + 120, {"--max-age", "100"}).status, 2);

    const Outcome missing = Check(kMarch5Unix + 86400 + 60);
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.out,
              "SQA CRITICAL - no log for today: " + (dir_ / "2024-03-06_rx_data.txt").string() + "\n");

    fs::permissions(dir_ / "2024-03-05_rx_data.txt", fs::perms::none);
    if (::geteuid() != 0) {
        const Outcome unreadable = Check(kMarch5Unix + 36632);
        EXPECT_EQ(unreadable.status, 3);
        EXPECT_EQ(unreadable.out.rfind("SQA UNKNOWN - cannot read ", 0), 0u) << unreadable.out;
    }

    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{{"--bogus"},
                                                                                      {"--minutes", "x"},
                                                                                      {"-w", "20:10"},
                                                                                      {"-c", "1,2,3,4,5"},
                                                                                      {"-w", "abc"},
                                                                                      {"-h"},
                                                                                      {"-V"}}) {
        const Outcome run = Check(kMarch5Unix, args);
        EXPECT_EQ(run.status, 3) << ::testing::PrintToString(args);
        const std::string start = args[0] == "-h"   ? "usage: marlix-sqa-cli check "
                                  : args[0] == "-V" ? "marlix-sqa-cli check"
                                                    : "SQA UNKNOWN - ";
        EXPECT_EQ(run.out.rfind(start, 0), 0u) << ::testing::PrintToString(args) << run.out;
    }
}

TEST_F(Monitoring, TheProgramAnswersBadCheckArgumentsWithUnknown) {
    const Outcome check = Spawn({MARLIX_CLI_PATH, "check", "--minutes"}, {}, dir_);
    EXPECT_EQ(check.status, 3);
    EXPECT_EQ(check.out.rfind("SQA UNKNOWN - ", 0), 0u) << check.out;
    EXPECT_NE(check.err.find("\nusage: marlix-sqa-cli check [--data-dir DIR]"), std::string::npos)
        << check.err;
    const Outcome metrics = Spawn({MARLIX_CLI_PATH, "metrics", "--minutes"}, {}, dir_);
    EXPECT_EQ(metrics.status, 2);
    EXPECT_EQ(metrics.out, "");
}

TEST(PluginRanges, FollowTheGuidelinesExamples) {
    // Each range against values: alerts expected for each.
    const std::vector<std::pair<std::string, std::vector<std::pair<double, bool>>>> cases = {
        {"10", {{-1, true}, {0, false}, {10, false}, {10.5, true}}},
        {"10:", {{9.9, true}, {10, false}, {1e9, false}}},
        {"~:10", {{-1e9, false}, {10, false}, {11, true}}},
        {"10:20", {{9, true}, {10, false}, {20, false}, {21, true}}},
        {"@10:20", {{9, false}, {10, true}, {20, true}, {21, false}}},
        {"~:", {{-1e9, false}, {1e9, false}}},
    };
    for (const auto& [text, values] : cases) {
        const auto range = PluginRange::Parse(text);
        ASSERT_TRUE(range) << text;
        for (const auto& [value, alerts] : values)
            EXPECT_EQ(range->Alerts(value), alerts) << text << ' ' << value;
    }
    for (const char* bad : {"", "20:10", "a", "1:b", "@", ":", "1e", "10::"})
        EXPECT_FALSE(PluginRange::Parse(bad)) << bad;
}

// ---- real components: promtool and node_exporter ----

// Runs a program with its stdin from a file; returns its exit status and output.
Outcome Spawn(const std::vector<std::string>& command, const fs::path& input, const fs::path& work) {
    std::vector<std::string> argvStrings = command;
    std::vector<char*> argv;
    for (std::string& s : argvStrings) argv.push_back(s.data());
    argv.push_back(nullptr);
    const std::string outPath = (work / "spawn.out").string(), errPath = (work / "spawn.err").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!input.empty()) posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    Outcome run;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return run;
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = ReadAll(outPath);
    run.err = ReadAll(errPath);
    return run;
}

bool OnPath(const std::string& program) {
    for (const char* dir : {"/usr/bin", "/usr/local/bin", "/bin"})
        if (::access((std::string(dir) + "/" + program).c_str(), X_OK) == 0) return true;
    return false;
}

TEST_F(Monitoring, PromtoolAcceptsEveryOutput) {
    if (!OnPath("promtool")) GTEST_SKIP() << "promtool (Debian package prometheus) is not installed";
    std::vector<std::pair<std::string, std::string>> days;  // name, log
    for (const auto& entry : fs::directory_iterator(TEST_DATA_DIR))
        if (entry.is_regular_file())
            days.emplace_back(entry.path().filename().string(), ReadAll(entry.path()));
    days.emplace_back("simulated", core::SimulateDay(kMarch5, core::SimulationOptions{2, false}));
    days.emplace_back("simulated control", core::SimulateDay(kMarch5, core::SimulationOptions{2, true}));
    days.emplace_back("missing", "");
    for (const auto& [name, log] : days) {
        fs::remove(dir_ / "2024-03-05_rx_data.txt");
        if (name != "missing") WriteDay(log);
        // Today at 10:00, and the day as a finished one.
        for (const bool finished : {false, true}) {
            std::vector<std::string> args = {"--station", "a", "--out", (dir_ / "out.prom").string()};
            if (finished) args.insert(args.end(), {"--date", "2024-03-05"});
            const Outcome metrics = Metrics(kMarch5Unix + (finished ? 3 * 86400 : 36000), args);
            EXPECT_EQ(metrics.status, name == "missing" ? 1 : 0) << name;
            const Outcome check = Spawn({"promtool", "check", "metrics"}, dir_ / "out.prom", dir_);
            EXPECT_EQ(check.status, 0) << name << '\n'
                                       << check.out << check.err << ReadAll(dir_ / "out.prom");
        }
    }
}

TEST_F(Monitoring, PromtoolAcceptsTheAlertRules) {
    if (!OnPath("promtool")) GTEST_SKIP() << "promtool (Debian package prometheus) is not installed";
    const Outcome run = Spawn({"promtool", "check", "rules", MARLIX_ALERT_RULES}, {}, dir_);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("SUCCESS: 8 rules found"), std::string::npos) << run.out;
    // And they fire as meant: on a lost fix and lock and a stopped logger, not before their time.
    fs::copy_file(MARLIX_ALERT_RULES, dir_ / "marlix-sqa-alerts.yml");
    fs::copy_file(MARLIX_ALERT_RULES_TEST, dir_ / "alert_rules_test.yml");
    const Outcome test =
        Spawn({"promtool", "test", "rules", (dir_ / "alert_rules_test.yml").string()}, {}, dir_);
    EXPECT_EQ(test.status, 0) << test.out << test.err;
}

// A loopback port that was free a moment ago.
int FreePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(s);
    return ntohs(address.sin_port);
}

// GET /metrics over HTTP/1.0 with a deadline; empty on any failure.
std::string HttpGetMetrics(int port, std::chrono::steady_clock::time_point deadline) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string response;
    const auto waitFor = [&](short events) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{s, events, 0};
        return left.count() > 0 && ::poll(&p, 1, static_cast<int>(left.count())) == 1;
    };
    if ((::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 || errno == EINPROGRESS) &&
        waitFor(POLLOUT)) {
        int error = 0;
        socklen_t length = sizeof error;
        ::getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &length);
        const std::string request = "GET /metrics HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
        if (error == 0 &&
            ::send(s, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
            char buffer[65536];
            while (waitFor(POLLIN)) {
                const ssize_t got = ::recv(s, buffer, sizeof buffer, 0);
                if (got <= 0) break;
                response.append(buffer, static_cast<std::size_t>(got));
            }
        }
    }
    ::close(s);
    return response;
}

TEST_F(Monitoring, NodeExporterServesTheTextfile) {
    const std::string exporter = "prometheus-node-exporter";
    if (!OnPath(exporter)) GTEST_SKIP() << "prometheus-node-exporter (Debian package) is not installed";
    fs::create_directories(dir_ / "textfile");
    WriteDay(core::SimulateDay(kMarch5, core::SimulationOptions{4, false}));
    // The built program writes the file, as the service does.
    const Outcome metrics =
        Spawn({MARLIX_CLI_PATH, "metrics", "--data-dir", dir_.string(), "--date", "2024-03-05", "--station",
               "south", "--out", (dir_ / "textfile" / "marlix_sqa.prom").string()},
              {}, dir_);
    ASSERT_EQ(metrics.status, 0) << metrics.err;
    const auto written = Samples(ReadAll(dir_ / "textfile" / "marlix_sqa.prom"));

    const int port = FreePort();
    std::vector<std::string> argvStrings = {exporter, "--collector.disable-defaults", "--collector.textfile",
                                            "--collector.textfile.directory=" + (dir_ / "textfile").string(),
                                            "--web.listen-address=127.0.0.1:" + std::to_string(port)};
    std::vector<char*> argv;
    for (std::string& a : argvStrings) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string log = (dir_ / "exporter.log").string();
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    // Stopped whatever happens below.
    const std::unique_ptr<pid_t, void (*)(pid_t*)> stop(&pid, [](pid_t* p) {
        ::kill(*p, SIGTERM);
        int status = 0;
        ::waitpid(*p, &status, 0);
    });

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    std::string body;
    while (std::chrono::steady_clock::now() < deadline) {
        const std::string response = HttpGetMetrics(
            port, std::min(deadline, std::chrono::steady_clock::now() + std::chrono::seconds(2)));
        if (response.find("marlix_sqa_up") != std::string::npos) {
            body = response.substr(response.find("\r\n\r\n") + 4);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_FALSE(body.empty()) << "no samples from node_exporter within 20 s\n" << ReadAll(log);
    const auto served = Samples(body);
    std::size_t ours = 0;
    for (const auto& [name, value] : written) {
        ASSERT_TRUE(served.count(name)) << name;
        EXPECT_EQ(served.at(name), value) << name;
        ++ours;
    }
    EXPECT_GT(ours, 30u);
    EXPECT_EQ(served.at("node_textfile_scrape_error"), 0);
}

}  // namespace
}  // namespace marlix::cli
