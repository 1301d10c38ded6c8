// metrics and check: the day's measures for Prometheus and for monitoring plugins, checked against the
// day report and table, against promtool and a real node_exporter, and against the plugin grammar.
#include "monitoring.h"

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
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <thread>

#include "analysis_internal.h"
#include "check.h"
#include "marlix/core/day_texts.h"
#include "marlix/core/days.h"
#include "marlix/core/recent.h"
#include "marlix/core/simulator.h"
#include "metrics.h"
#include "support/process.h"
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
    const char* date = "05/03/24";
};
constexpr BlockState kOutage = {"Fix, Mode : no fix, inactive", 11, "0, 0, 0, 0, 0, 0"};
std::string Blocks(int from, int to, const BlockState& state = {}) {
    std::string out;
    char time[64];
    for (int s = from; s < to; ++s) {
        std::snprintf(time, sizeof time, "UTC Time  : %02d:%02d:%02d %s\r\n", s / 3600, s / 60 % 60, s % 60,
                      state.date);
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
    // 10:00:00 to 10:02:59 and 10:11:00 to 10:12:59 have a record each second.
    EXPECT_EQ(core::SecondsWithRecords(paused, tenToQuarterPast), 180 + 120);
    // The minutes closed at 10:01:01, 10:02:01, 10:11:01 (after the pause) and 10:12:01.
    EXPECT_EQ(core::MinutesWithStrength(paused, tenToQuarterPast), 4);
    // Just after midnight the span reaches back into the day before; a finished day ends at midnight.
    EXPECT_EQ(core::LastMinutes(kMarch5, kMarch5 + 3.5 / 1440, 15).first, core::MinuteNumber(kMarch5) - 12);
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
    WriteDay(Blocks(36000, 36301) + Blocks(36301, 36630, kOutage));
    const Outcome run = Metrics(kMarch5Unix + 36630, {"--minutes", "4", "--station", "north \"2\""});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto m = Samples(run.out);
    const std::string station = "station=\"north \\\"2\\\"\"";
    EXPECT_EQ(m.at("marlix_sqa_up{" + station + "}"), 1);
    EXPECT_EQ(m.at("marlix_sqa_day_start_timestamp_seconds{" + station + "}"), kMarch5Unix);
    EXPECT_EQ(m.at("marlix_sqa_last_record_timestamp_seconds{" + station + "}"), kMarch5Unix + 36629);
    EXPECT_EQ(m.at("marlix_sqa_recent_window_seconds{" + station + "}"), 240);
    EXPECT_EQ(m.at("marlix_sqa_recent_coverage_ratio{" + station + "}"), 1);
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

Outcome Spawn(const std::vector<std::string>& command, const fs::path& input, const fs::path& work,
              const fs::path& output = {});

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
    WriteDay(Blocks(35000, 36630));
    const Outcome run = Check(kMarch5Unix + 36632);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(
        run.out,
        "SQA OK - last 15 min: records for 15 of 15 min, 3D fix 100.0%, fine lock 100.0%, PDOP 2.00, "
        "strength 6.00; last record 3 s ago | 'fix_3d'=100.0%;80:;20:;0;100 'lock_fine'=100.0%;50:;1:;0;100 "
        "'pdop'=2.00;~:5;~:8;0; 'strength'=6.00;3:;1:;0;9 'coverage'=100.0%;80:;20:;0;100 "
        "'age'=3s;;300;0;\n");
    const auto data =
        ParsePerfdata(run.out.substr(run.out.find(" | ") + 3, run.out.find("\n") - run.out.find(" | ") - 3));
    ASSERT_EQ(data.size(), 6u);
    EXPECT_EQ(data[0].label, "fix_3d");
    EXPECT_EQ(data[0].unit, "%");
    EXPECT_EQ(data[4].label, "coverage");
    EXPECT_EQ(data[5].crit, "300");
    // The grammar parser itself refuses what the guidelines do not allow.
    for (const char* bad : {"'a'=1;x:1", "a=1xyz", "'a=1", "a=1;1;2;3;4;5", "a b=1", "'a'=1;;;1e3"})
        EXPECT_THROW(ParsePerfdata(bad), std::runtime_error) << bad;
}

TEST_F(Monitoring, OutageInTheLastMinutesIsCriticalNamingTheThresholds) {
    WriteDay(Blocks(36000, 36301) + Blocks(36301, 36630, kOutage));
    const Outcome run = Check(kMarch5Unix + 36632, {"--minutes", "5"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out.substr(0, run.out.find(" | ")),
              "SQA CRITICAL - last 5 min: records for 5 of 5 min, 3D fix 0.0% (critical 20:), fine lock 0.0% "
              "(critical 1:), PDOP n/a, strength n/a; last record 3 s ago");
    const auto data =
        ParsePerfdata(run.out.substr(run.out.find(" | ") + 3, run.out.find("\n") - run.out.find(" | ") - 3));
    ASSERT_EQ(data.size(), 6u);
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

    // Without today's log the age is yesterday's last record; without either log there is no age.
    const Outcome missing = Check(kMarch5Unix + 86400 + 60);
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.out.find("; last record 49831 s ago (critical 300); no log for today yet | "),
              std::string::npos)
        << missing.out;
    const Outcome none = Check(kMarch5Unix + 2 * 86400 + 60);
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.out,
              "SQA CRITICAL - no log for today: " + (dir_ / "2024-03-07_rx_data.txt").string() + "\n");

    fs::permissions(dir_ / "2024-03-05_rx_data.txt", fs::perms::none);
    if (::geteuid() != 0) {
        const Outcome unreadable = Check(kMarch5Unix + 36632);
        EXPECT_EQ(unreadable.status, 3);
        EXPECT_EQ(unreadable.out.rfind("SQA UNKNOWN - cannot read ", 0), 0u) << unreadable.out;
    }

    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{{"--bogus"},
                                                                                      {"--minutes", "x"},
                                                                                      {"-w", "20:10"},
                                                                                      {"-c", "1,2,3,4,5,6"},
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

// ---- across midnight: the window reads yesterday's log as well ----

TEST_F(Monitoring, JustAfterMidnightTheWindowAndTheAgeComeFromYesterdaysLog) {
    BlockState yesterday;
    yesterday.date = "04/03/24";
    BlockState deadYesterday = kOutage;
    deadYesterday.date = "04/03/24";
    WriteDay(Blocks(84600, 86400, yesterday), "2024-03-04");
    // 00:00:05: the logger has not begun today's file; the last record was 6 s ago.
    const Outcome early = Check(kMarch5Unix + 5);
    EXPECT_EQ(early.status, 0) << early.out;
    EXPECT_EQ(early.out.substr(0, early.out.find(" | ")),
              "SQA OK - last 15 min: records for 15 of 15 min, 3D fix 100.0%, fine lock 100.0%, PDOP 2.00, "
              "strength 6.00; last record 6 s ago; no log for today yet");
    const Outcome earlyMetrics = Metrics(kMarch5Unix + 5, {});
    EXPECT_EQ(earlyMetrics.status, 0) << earlyMetrics.err;
    const auto e = Samples(earlyMetrics.out);
    EXPECT_EQ(e.at("marlix_sqa_up"), 1);
    EXPECT_EQ(e.at("marlix_sqa_last_record_timestamp_seconds"), kMarch5Unix - 1);
    EXPECT_EQ(e.at("marlix_sqa_recent_window_seconds"), 900);
    EXPECT_EQ(e.at("marlix_sqa_recent_coverage_ratio"), 1);
    // 23:45 to 23:58 closed, 840 records, divided as the summary divides.
    EXPECT_EQ(e.at("marlix_sqa_recent_fix_ratio{fix=\"3d\"}"), 840 / static_cast<double>(8.4F) / 100);
    EXPECT_EQ(e.count("marlix_sqa_day_lines"), 0u);  // no figures of a day without a log

    // 00:00:22 with 20 s of today's file: the whole window, 23:59 closed by today's 00:00:01.
    WriteDay(Blocks(0, 20));
    const Outcome late = Check(kMarch5Unix + 22);
    EXPECT_EQ(late.status, 0) << late.out;
    EXPECT_EQ(late.out.substr(0, late.out.find(" | ")),
              "SQA OK - last 15 min: records for 15 of 15 min, 3D fix 100.0%, fine lock 100.0%, PDOP 2.00, "
              "strength 6.00; last record 3 s ago");
    const auto l = Samples(Metrics(kMarch5Unix + 22, {}).out);
    EXPECT_EQ(l.at("marlix_sqa_recent_window_seconds"), 900);
    EXPECT_EQ(l.at("marlix_sqa_recent_coverage_ratio"), 1);
    EXPECT_EQ(l.at("marlix_sqa_day_lines"), 100);  // the day's figures stay today's
    EXPECT_EQ(l.at("marlix_sqa_recent_fix_ratio{fix=\"3d\"}"), 1);

    // A receiver without fix or signal since 23:30 is critical at both moments.
    WriteDay(Blocks(84600, 86400, deadYesterday), "2024-03-04");
    fs::remove(dir_ / "2024-03-05_rx_data.txt");
    const Outcome deadEarly = Check(kMarch5Unix + 5);
    EXPECT_EQ(deadEarly.status, 2);
    EXPECT_EQ(
        deadEarly.out.substr(0, deadEarly.out.find(" | ")),
        "SQA CRITICAL - last 15 min: records for 15 of 15 min, 3D fix 0.0% (critical 20:), fine lock 0.0% "
        "(critical 1:), PDOP n/a, strength n/a; last record 6 s ago; no log for today yet");
    WriteDay(Blocks(0, 20, kOutage));
    const Outcome deadLate = Check(kMarch5Unix + 22);
    EXPECT_EQ(deadLate.status, 2);
    EXPECT_EQ(
        deadLate.out.substr(0, deadLate.out.find(" | ")),
        "SQA CRITICAL - last 15 min: records for 15 of 15 min, 3D fix 0.0% (critical 20:), fine lock 0.0% "
        "(critical 1:), PDOP n/a, strength n/a; last record 3 s ago");
    // A logger that stopped at 23:40 is critical by the age of its last record.
    WriteDay(Blocks(84600, 85200, yesterday), "2024-03-04");
    fs::remove(dir_ / "2024-03-05_rx_data.txt");
    const Outcome stopped = Check(kMarch5Unix + 5);
    EXPECT_EQ(stopped.status, 2);
    EXPECT_EQ(
        stopped.out.substr(0, stopped.out.find(" | ")),
        "SQA CRITICAL - last 15 min: records for 0 of 15 min (0.0%, critical 20:), 3D fix n/a, fine lock "
        "n/a, PDOP n/a, strength n/a; last record 1206 s ago (critical 300); no log for today yet");
}

// ---- coverage: how much of the window the figures stand on ----

TEST_F(Monitoring, CoverageNamesTheWindowsSecondsWithRecordsAndWhatEachFigureStandsOn) {
    // No records from 09:55 to 10:08 (now 10:10:32): 2 of the 15 minutes are seen.
    WriteDay(Blocks(35000, 35700) + Blocks(36480, 36630));
    const Outcome gap = Check(kMarch5Unix + 36632);
    EXPECT_EQ(gap.status, 2) << gap.out;
    EXPECT_EQ(
        gap.out.substr(0, gap.out.find(" | ")),
        "SQA CRITICAL - last 15 min: records for 2 of 15 min (13.3%, critical 20:), 3D fix 100.0% from 20% "
        "of the window, fine lock 100.0% from 20% of the window, PDOP 2.00 from 20% of the window, "
        "strength 6.00 from 20% of the window; last record 3 s ago");
    EXPECT_NE(gap.out.find(" 'coverage'=13.3%;80:;20:;0;100 "), std::string::npos) << gap.out;
    EXPECT_EQ(Samples(Metrics(kMarch5Unix + 36632, {}).out).at("marlix_sqa_recent_coverage_ratio"),
              120.0 / 900);
    // Thresholds and the share that is named are settable.
    const Outcome own = Check(kMarch5Unix + 36632, {"-w", ",,,,10:", "-c", ",,,,5:", "--min-basis", "10"});
    EXPECT_EQ(own.status, 0) << own.out;
    EXPECT_EQ(own.out.substr(0, own.out.find(" | ")),
              "SQA OK - last 15 min: records for 2 of 15 min (13.3%), 3D fix 100.0%, fine lock 100.0%, PDOP "
              "2.00, strength 6.00; last record 3 s ago");

    // A total outage but for 09:55: the minute closed at 09:56:01 holds 59 good records and one bad one,
    // and the PDOP and strength of those few seconds say how few they are.
    WriteDay(Blocks(35000, 35700, kOutage) + Blocks(35700, 35760) + Blocks(35760, 36630, kOutage));
    const Outcome outage = Check(kMarch5Unix + 36632);
    EXPECT_EQ(outage.status, 2);
    EXPECT_EQ(
        outage.out.substr(0, outage.out.find(" | ")),
        "SQA CRITICAL - last 15 min: records for 15 of 15 min, 3D fix 6.6% (critical 20:), fine lock 6.6% "
        "(warning 50:), PDOP 2.00 from 7% of the window, strength 5.90 from 7% of the window; last record 3 "
        "s ago");

    // A log begun at 10:05: the window before it has no records; the first minute closed gathers
    // 10:05:00 to 10:06:00, so 301 records of the 900 seconds count.
    WriteDay(Blocks(36300, 36630));
    const Outcome begun = Check(kMarch5Unix + 36632);
    EXPECT_EQ(begun.status, 1) << begun.out;
    EXPECT_EQ(begun.out.substr(0, begun.out.find(" | ")),
              "SQA WARNING - last 15 min: records for 5 of 15 min (33.3%, warning 80:), 3D fix 100.0% from "
              "33% of the "
              "window, fine lock 100.0% from 33% of the window, PDOP 2.00 from 33% of the window, strength "
              "6.00 from "
              "33% of the window; last record 3 s ago");
}

// ---- the plugin's own line ----

TEST_F(Monitoring, AWrongFolderIsUnknownAndTheStatusLineStaysOneLine) {
    const Outcome missing = Check(kMarch5Unix, {"--data-dir", (dir_ / "none").string()});
    EXPECT_EQ(missing.status, 3);
    EXPECT_EQ(missing.out,
              "SQA UNKNOWN - cannot list " + (dir_ / "none").string() + ": No such file or directory\n");
    WriteDay("");
    const Outcome file = Check(kMarch5Unix, {"--data-dir", (dir_ / "2024-03-05_rx_data.txt").string()});
    EXPECT_EQ(file.status, 3);
    EXPECT_EQ(file.out, "SQA UNKNOWN - cannot list " + (dir_ / "2024-03-05_rx_data.txt").string() +
                            ": Not a directory\n");
    const Outcome metrics = Metrics(kMarch5Unix, {"--data-dir", (dir_ / "none").string()});
    EXPECT_EQ(metrics.status, 1);
    EXPECT_EQ(metrics.err,
              "marlix-sqa-cli: cannot list " + (dir_ / "none").string() + ": No such file or directory\n");
    EXPECT_EQ(Samples(metrics.out).at("marlix_sqa_up"), 0);

    // A folder named with a line break, a bar, CR, ESC, TAB, a C1 control and bytes that are no UTF-8.
    const fs::path odd = dir_ / "a\nb|c\rd\x1b[31me\tf\xc2\x85g\xff\xc3h\xc3\xa9";
    fs::create_directories(odd);
    const Outcome run = Check(kMarch5Unix, {"--data-dir", odd.string()});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "SQA CRITICAL - no log for today: " + dir_.string() +
                           "/a\\nb\xc2\xa6"
                           "c\\rd\\x1B[31me\\tf\\u0085g\\xFF\\xC3h\xc3\xa9/2024-03-05_rx_data.txt\n");
    if (::geteuid() != 0) {
        fs::permissions(odd, fs::perms::none);
        EXPECT_EQ(Check(kMarch5Unix, {"--data-dir", odd.string()}).status, 3);
        fs::permissions(odd, fs::perms::owner_all);
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

// Runs a program with its stdin from a file; returns its exit status and output (its standard output
// goes to `output` instead when given).
Outcome Spawn(const std::vector<std::string>& command, const fs::path& input, const fs::path& work,
              const fs::path& output) {
    std::vector<std::string> argvStrings = command;
    std::vector<char*> argv;
    for (std::string& s : argvStrings) argv.push_back(s.data());
    argv.push_back(nullptr);
    const std::string outPath = output.empty() ? (work / "spawn.out").string() : output.string();
    const std::string errPath = (work / "spawn.err").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!input.empty()) posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(),
                                     O_WRONLY | O_CREAT | (output.empty() ? O_TRUNC : 0), 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    Outcome run;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return run;
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (output.empty()) run.out = ReadAll(outPath);
    run.err = ReadAll(errPath);
    return run;
}

// Where an installed program lies; empty when it is not installed.
std::string ProgramPath(const std::string& program) {
    for (const char* dir : {"/usr/bin", "/usr/local/bin", "/bin"})
        if (::access((std::string(dir) + "/" + program).c_str(), X_OK) == 0)
            return std::string(dir) + "/" + program;
    return {};
}
bool OnPath(const std::string& program) {
    return !ProgramPath(program).empty();
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
    EXPECT_NE(run.out.find("SUCCESS: 9 rules found"), std::string::npos) << run.out;
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

// GET of a path over HTTP/1.0 with a deadline; the whole response, empty on any failure.
std::string HttpGet(int port, const std::string& path, std::chrono::steady_clock::time_point deadline) {
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
        const std::string request = "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
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
        const std::string response = HttpGet(
            port, "/metrics", std::min(deadline, std::chrono::steady_clock::now() + std::chrono::seconds(2)));
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

// A server started for a test (arguments[0] is its path), stopped and waited for whatever happens.
class Server {
  public:
    Server(const std::vector<std::string>& arguments, const fs::path& log)
        : pid_(test::SpawnProgram(arguments, log.string() + ".out", log.string() + ".err",
                                  test::InheritedEnvironment())) {}
    ~Server() {
        if (pid_ == 0) return;
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;
    bool Started() const { return pid_ != 0; }

  private:
    pid_t pid_ = 0;
};

// The series of a Prometheus query_range answer: "name{label=value,...}" without the station label ->
// time -> value text.
std::map<std::string, std::map<long long, std::string>> RangeSeries(const std::string& body) {
    std::map<std::string, std::map<long long, std::string>> series;
    for (std::size_t at = body.find("\"metric\":{"); at != std::string::npos;
         at = body.find("\"metric\":{", at + 1)) {
        const std::size_t labelsEnd = body.find('}', at);
        std::map<std::string, std::string> labels;
        const std::string text = body.substr(at + 10, labelsEnd - at - 10);
        for (std::size_t p = 0; (p = text.find('"', p)) != std::string::npos;) {
            const std::size_t keyEnd = text.find('"', p + 1);
            const std::size_t valueStart = text.find('"', keyEnd + 1);
            const std::size_t valueEnd = text.find('"', valueStart + 1);
            labels[text.substr(p + 1, keyEnd - p - 1)] =
                text.substr(valueStart + 1, valueEnd - valueStart - 1);
            p = valueEnd + 1;
        }
        std::string key = labels["__name__"];
        std::string rest;
        for (const auto& [name, value] : labels)
            if (name != "__name__" && name != "station")
                rest += (rest.empty() ? "" : ",") + name + "=" + value;
        if (!rest.empty()) key += "{" + rest + "}";
        const std::size_t valuesEnd = body.find("]]", labelsEnd);
        const std::string values = body.substr(labelsEnd, valuesEnd - labelsEnd + 1);
        for (std::size_t p = 0; (p = values.find('[', p)) != std::string::npos; ++p) {
            if (values[p + 1] == '[') continue;
            const std::size_t comma = values.find(',', p);
            const std::size_t quote = values.find('"', comma);
            series[key][std::stoll(values.substr(p + 1, comma - p - 1))] =
                values.substr(quote + 1, values.find('"', quote + 1) - quote - 1);
        }
    }
    return series;
}

TEST_F(Monitoring, BackfilledHistoryServedByPrometheusEqualsTheTable) {
    for (const char* tool : {"promtool", "prometheus"})
        if (!OnPath(tool)) GTEST_SKIP() << tool << " (Debian package prometheus) is not installed";
    // 30 simulated days, the first two hours of each, some in the control format.
    const core::DayTime first = kMarch5 - 29;
    for (int d = 0; d < 30; ++d) {
        core::DaySimulation simulation(
            first + d, core::SimulationOptions{static_cast<std::uint64_t>(d + 7), d % 10 == 3});
        std::string log;
        for (int second = 0; second < 7200; ++second) log += simulation.BlockAt(second);
        WriteDay(log, core::FormatIsoDate(first + d));
    }
    const std::string dataDir = "--data-dir=" + dir_.string();
    const fs::path history = dir_ / "history.om";
    const Outcome metrics =
        Spawn({MARLIX_CLI_PATH, "metrics", dataDir, "--history", "--from", core::FormatIsoDate(first), "--to",
               "2024-03-05", "--station", "e2e", "--out", history.string()},
              {}, dir_);
    ASSERT_EQ(metrics.status, 0) << metrics.err;
    const std::string text = ReadAll(history);
    EXPECT_TRUE(text.ends_with("\n# EOF\n"));
    // The text format's own checker reads it too (the OpenMetrics end marker is a comment there).
    const Outcome lint = Spawn({"promtool", "check", "metrics"}, history, dir_);
    EXPECT_EQ(lint.status, 0) << lint.out << lint.err;

    const fs::path tsdb = dir_ / "tsdb";
    const Outcome blocks = Spawn(
        {"promtool", "tsdb", "create-blocks-from", "openmetrics", history.string(), tsdb.string()}, {}, dir_);
    ASSERT_EQ(blocks.status, 0) << blocks.out << blocks.err;

    std::ofstream(dir_ / "prometheus.yml") << "global:\n  scrape_interval: 1h\n";
    const int port = FreePort();
    const Server prometheus({ProgramPath("prometheus"), "--config.file=" + (dir_ / "prometheus.yml").string(),
                             "--storage.tsdb.path=" + tsdb.string(), "--storage.tsdb.retention.time=100y",
                             "--web.listen-address=127.0.0.1:" + std::to_string(port)},
                            dir_ / "prometheus.log");
    ASSERT_TRUE(prometheus.Started());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    const auto get = [&](const std::string& path) {
        return HttpGet(port, path,
                       std::min(deadline, std::chrono::steady_clock::now() + std::chrono::seconds(5)));
    };
    while (std::chrono::steady_clock::now() < deadline && get("/-/ready").find(" 200 ") == std::string::npos)
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const long long firstEnd = static_cast<long long>(UnixSeconds(first + 1)) - 1;
    const long long lastEnd = static_cast<long long>(UnixSeconds(kMarch5 + 1)) - 1;
    // {__name__=~"marlix_sqa_day_.+"}
    const std::string response =
        get("/api/v1/query_range?query=%7B__name__%3D~%22marlix_sqa_day_.%2B%22%7D&start=" +
            std::to_string(firstEnd) + "&end=" + std::to_string(lastEnd) + "&step=86400");
    ASSERT_NE(response.find("\"status\":\"success\""), std::string::npos)
        << response << ReadAll(dir_ / "prometheus.log.err");
    const auto served = RangeSeries(response.substr(response.find("\r\n\r\n")));

    std::ostringstream tableOut, tableErr;
    ASSERT_EQ(RunTable({"--data-dir", dir_.string(), "--format", "csv"}, tableOut, tableErr), 0);
    std::istringstream rows(tableOut.str());
    std::string header;
    std::getline(rows, header);
    std::vector<std::string> names;
    std::istringstream headerCells(header);
    for (std::string name; std::getline(headerCells, name, ',');) names.push_back(name);
    // Each series against its table column, in the column's unit and decimals.
    struct Column {
        std::string series, column;
        double scale;
        int decimals;
    };
    const std::vector<Column> columns = {
        {"marlix_sqa_day_lines", "lines", 1, 0},
        {"marlix_sqa_day_fix_ratio{fix=none}", "fix_none_pct", 100, 4},
        {"marlix_sqa_day_fix_ratio{fix=2d}", "fix_2d_pct", 100, 4},
        {"marlix_sqa_day_fix_ratio{fix=3d}", "fix_3d_pct", 100, 4},
        {"marlix_sqa_day_lock_mode_ratio{mode=inactive}", "mode_inactive_pct", 100, 4},
        {"marlix_sqa_day_lock_mode_ratio{mode=coarse}", "mode_coarse_pct", 100, 4},
        {"marlix_sqa_day_lock_mode_ratio{mode=fine}", "mode_fine_or_control_pct", 100, 4},
        {"marlix_sqa_day_lock_mode_ratio{mode=control}", "mode_fine_or_control_pct", 100, 4},
        {"marlix_sqa_day_pdop_average", "average_pdop", 1, 2},
        {"marlix_sqa_day_gps_seeking_ratio", "gps_seeking_pct", 100, 4},
        {"marlix_sqa_day_strength_mean", "mean_strength", 1, 1},
        {"marlix_sqa_day_num_good_mean", "num_good_mean", 1, 2},
    };
    std::map<std::string, std::size_t> compared;
    int days = 0, controlDays = 0;
    for (std::string row; std::getline(rows, row); ++days) {
        std::map<std::string, std::string> cell;
        std::istringstream cells(row);
        for (std::size_t i = 0; i < names.size() && std::getline(cells, cell[names[i]], ','); ++i) {
        }
        const bool control = cell["control_format"] == "1";
        controlDays += control ? 1 : 0;
        const long long end = static_cast<long long>(UnixSeconds(*core::ParseIsoDate(cell["day"]) + 1)) - 1;
        for (const Column& c : columns) {
            if (c.series.ends_with(control ? "mode=fine}" : "mode=control}")) continue;
            const auto found = served.find(c.series);
            const bool has = found != served.end() && found->second.count(end) != 0;
            ASSERT_EQ(has, !cell[c.column].empty()) << c.series << ' ' << cell["day"];
            if (!has) continue;
            EXPECT_EQ(core::FormatFixed(std::stod(found->second.at(end)) * c.scale, c.decimals, "."),
                      cell[c.column])
                << c.series << ' ' << cell["day"];
            ++compared[c.series];
        }
    }
    EXPECT_EQ(days, 30);
    EXPECT_EQ(controlDays, 3);
    EXPECT_EQ(compared["marlix_sqa_day_pdop_average"], 30u);
    EXPECT_EQ(compared["marlix_sqa_day_lock_mode_ratio{mode=control}"], 3u);
    // Nothing served that the table does not hold.
    for (const auto& [series, values] : served) EXPECT_EQ(values.size(), compared[series]) << series;
}

TEST_F(Monitoring, EverySpellingOfTheTimeoutEndsAHangingCheck) {
    // Today's log (by the real clock) is a sparse file of 64 GiB: reading it takes far longer than 1 s
    // and takes no room on the disk.
    const core::DayTime today = std::floor(core::DayTimeFromUnixSeconds(SystemNow()));
    const fs::path log = core::DayFilePath(dir_.string(), today);
    std::ofstream(log) << "UTC Time  : 00:00:01 " << core::FormatIsoDate(today) << "\r\n";
    fs::resize_file(log, std::uintmax_t{64} << 30);
    const std::string dataDir = "--data-dir=" + dir_.string();
    for (const std::vector<std::string>& timeout :
         std::vector<std::vector<std::string>>{{"-t1"}, {"-t", "1"}, {"--timeout=1"}, {"--timeout", "1"}}) {
        std::vector<std::string> command = {"timeout", "20", MARLIX_CLI_PATH, "check", dataDir};
        command.insert(command.end(), timeout.begin(), timeout.end());
        const auto start = std::chrono::steady_clock::now();
        const Outcome run = Spawn(command, {}, dir_);
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(run.status, 3) << ::testing::PrintToString(timeout) << run.out << run.err;
        EXPECT_EQ(run.out, "SQA UNKNOWN - timed out after 1 s\n") << ::testing::PrintToString(timeout);
        EXPECT_LT(took, std::chrono::seconds(5)) << ::testing::PrintToString(timeout);
    }
}

TEST_F(Monitoring, AFullStandardOutputIsAnErrorOfEveryCommand) {
    WriteDay(Blocks(35000, 36630));
    const std::string dataDir = "--data-dir=" + dir_.string();
    const Outcome check = Spawn({MARLIX_CLI_PATH, "check", dataDir}, {}, dir_, "/dev/full");
    EXPECT_EQ(check.status, 3);
    EXPECT_EQ(check.err, "SQA UNKNOWN - cannot write standard output: No space left on device\n");
    for (const std::vector<std::string>& command :
         std::vector<std::vector<std::string>>{{MARLIX_CLI_PATH, "report", dataDir, "--date", "2024-03-05"},
                                               {MARLIX_CLI_PATH, "table", dataDir},
                                               {MARLIX_CLI_PATH, "metrics", dataDir, "--date", "2024-03-05"},
                                               {MARLIX_CLI_PATH, "metrics", dataDir, "--history"},
                                               {MARLIX_CLI_PATH, "table", "--help"}}) {
        const Outcome run = Spawn(command, {}, dir_, "/dev/full");
        EXPECT_EQ(run.status, 1) << command[1];
        EXPECT_EQ(run.err, "marlix-sqa-cli: cannot write standard output: No space left on device\n")
            << command[1];
    }
}

TEST_F(Monitoring, TheProgramUnderAFakeClockReadsYesterdaysLogAfterMidnight) {
    if (!OnPath("faketime")) GTEST_SKIP() << "faketime (Debian package faketime) is not installed";
    BlockState yesterday;
    yesterday.date = "04/03/24";
    WriteDay(Blocks(84600, 86400, yesterday), "2024-03-04");
    // faketime preloads its library, which a build with AddressSanitizer must be told to accept.
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string asanOptions =
        "ASAN_OPTIONS=" + std::string(asan ? asan : "") + (asan ? ":" : "") + "verify_asan_link_order=0";
    const auto run = [&](const char* at, const char* command) {
        return Spawn({"env", "TZ=UTC", asanOptions, "faketime", at, MARLIX_CLI_PATH, command, "--data-dir",
                      dir_.string()},
                     {}, dir_);
    };
    // The fake clock runs on from the given time, so the age may have grown by a second or two.
    const Outcome early = run("2024-03-05 00:00:05", "check");
    EXPECT_EQ(early.status, 0) << early.out << early.err;
    EXPECT_EQ(
        early.out.rfind("SQA OK - last 15 min: records for 15 of 15 min, 3D fix 100.0%, fine lock 100.0%, "
                        "PDOP 2.00, strength 6.00; last record ",
                        0),
        0u)
        << early.out;
    EXPECT_NE(early.out.find(" s ago; no log for today yet | "), std::string::npos) << early.out;
    const Outcome metrics = run("2024-03-05 00:00:05", "metrics");
    EXPECT_EQ(metrics.status, 0) << metrics.err;
    EXPECT_EQ(Samples(metrics.out).at("marlix_sqa_recent_coverage_ratio"), 1);
    WriteDay(Blocks(0, 20));
    const Outcome late = run("2024-03-05 00:00:22", "check");
    EXPECT_EQ(late.status, 0) << late.out << late.err;
    EXPECT_EQ(
        late.out.rfind("SQA OK - last 15 min: records for 15 of 15 min, 3D fix 100.0%, fine lock 100.0%, "
                       "PDOP 2.00, strength 6.00; last record ",
                       0),
        0u)
        << late.out;
}

}  // namespace
}  // namespace marlix::cli
