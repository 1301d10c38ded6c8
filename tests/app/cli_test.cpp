#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <tuple>
#include <variant>

#include "command_line.h"
#include "command_table.h"
#include "commands.h"
#include "marlix/core/days.h"
#include "marlix/core/simulator.h"
#include "support/locales.h"
#include "support/process.h"
#include "support/small_filesystem.h"
#include "support/text.h"

namespace marlix::cli {
namespace {

namespace fs = std::filesystem;

const std::string kData = TEST_DATA_DIR;

using CliRun = test::ProgramRun;
using test::FolderNames;
using test::ReadFile;

// Runs the built program under LC_ALL=C with the given arguments.
class CliRunner : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("marlix_cli_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // With a terminal name, stderr goes to that terminal instead of a file.
    CliRun Cli(const std::vector<std::string>& args, const std::string& terminal = "") {
        std::vector<std::string> arguments{MARLIX_CLI_PATH};
        arguments.insert(arguments.end(), args.begin(), args.end());
        return test::RunProgram(arguments, dir_, terminal);
    }

    fs::path dir_;
};

// ---- a small JSON reader, enough to check the report's shape and numbers ----

struct Json;
using JsonObject = std::vector<std::pair<std::string, Json>>;  // keeps the order of keys
using JsonArray = std::vector<Json>;
struct Json {
    std::variant<std::nullptr_t, bool, double, std::string, JsonArray, JsonObject> value;
    const Json& operator[](const std::string& key) const {
        for (const auto& [k, v] : std::get<JsonObject>(value)) {
            if (k == key) return v;
        }
        throw std::runtime_error("no key " + key);
    }
};

class JsonReader {
  public:
    explicit JsonReader(std::string_view text) : text_(text) {}
    Json Document() {
        Json json = Value();
        Blanks();
        if (pos_ != text_.size()) throw std::runtime_error("text after the value");
        return json;
    }

  private:
    void Blanks() {
        while (pos_ < text_.size() && std::string_view(" \n\r\t").find(text_[pos_]) != std::string_view::npos)
            ++pos_;
    }
    void Expect(char c) {
        Blanks();
        if (pos_ >= text_.size() || text_[pos_] != c) throw std::runtime_error(std::string("expected ") + c);
        ++pos_;
    }
    bool Next(char c) {
        Blanks();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    Json Value() {
        Blanks();
        if (pos_ >= text_.size()) throw std::runtime_error("no value");
        const char c = text_[pos_];
        if (c == '{') return Object();
        if (c == '[') return Array();
        if (c == '"') return Json{String()};
        for (const auto& [word, json] : {std::pair{"true", Json{true}}, std::pair{"false", Json{false}},
                                         std::pair{"null", Json{nullptr}}}) {
            if (text_.substr(pos_, std::string_view(word).size()) == word) {
                pos_ += std::string_view(word).size();
                return json;
            }
        }
        const std::string rest(text_.substr(pos_, 40));
        char* end = nullptr;
        const double number = std::strtod(rest.c_str(), &end);
        if (end == rest.c_str()) throw std::runtime_error("bad value");
        pos_ += static_cast<std::size_t>(end - rest.c_str());
        return Json{number};
    }
    Json Object() {
        Expect('{');
        JsonObject object;
        if (Next('}')) return Json{object};
        do {
            Blanks();
            std::string key = String();
            Expect(':');
            object.emplace_back(std::move(key), Value());
        } while (Next(','));
        Expect('}');
        return Json{object};
    }
    Json Array() {
        Expect('[');
        JsonArray array;
        if (Next(']')) return Json{array};
        do array.push_back(Value());
        while (Next(','));
        Expect(']');
        return Json{array};
    }
    std::string String() {
        Expect('"');
        std::string s;
        while (pos_ < text_.size() && text_[pos_] != '"') {
            char c = text_[pos_++];
            if (static_cast<unsigned char>(c) < 0x20) throw std::runtime_error("raw control character");
            if (c == '\\') {
                c = text_[pos_++];
                switch (c) {
                    case 'r':
                        s += '\r';
                        break;
                    case 'n':
                        s += '\n';
                        break;
                    case 't':
                        s += '\t';
                        break;
                    case 'u': {
                        const unsigned code = std::stoul(std::string(text_.substr(pos_, 4)), nullptr, 16);
                        pos_ += 4;
                        if (code < 0x80) {
                            s += static_cast<char>(code);
                        } else {
                            s += "<U+" + std::to_string(code) + ">";
                        }
                        break;
                    }
                    default:
                        s += c;
                }
            } else {
                s += c;
            }
        }
        Expect('"');
        return s;
    }
    std::string_view text_;
    std::size_t pos_ = 0;
};

// ---- report ----

TEST_F(CliRunner, ReportTextPrintsHintSummaryLinesAndNotes) {
    const CliRun run = Cli({"report", "--data-dir", kData, "pause_9_minutes.txt"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out,
              "Mean strength: 3.0\n"
              "Fixes: none/2D/3D:  0%, 0%, 100%  (0, 0, 10)\n"
              "Control: inactive/coarse/fine:  0%, 0%, 100%  (0, 0, 10)\n"
              "Average PDOP: 2.00,  GPS-seeking 0% (lower is better)\n"
              "2024-Mar-05 from 10:00 to 10:11, 50 lines\n");
}

TEST_F(CliRunner, ReportJsonIsOneObjectWithEverySeries) {
    const CliRun run = Cli({"report", "--format", "json", kData + "/pause_9_minutes.txt"});
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    const Json json = JsonReader(run.out).Document();
    const auto& object = std::get<JsonObject>(json.value);
    std::vector<std::string> keys;
    for (const auto& [key, value] : object) keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"lines", "control_format", "first_day", "latest_day",
                                              "first_date", "latest_date", "hint", "notes", "summary",
                                              "summary_lines", "series"}));
    EXPECT_EQ(std::get<double>(json["lines"].value), 50);
    EXPECT_EQ(std::get<bool>(json["control_format"].value), false);
    EXPECT_EQ(std::get<double>(json["first_day"].value), 45356);
    EXPECT_EQ(std::get<std::string>(json["hint"].value), "Mean strength: 3.0");
    EXPECT_EQ(std::get<std::string>(json["notes"].value), "2024-Mar-05 from 10:00 to 10:11, 50 lines");
    EXPECT_EQ(std::get<std::string>(json["summary"].value),
              "Fixes: none/2D/3D:  0%, 0%, 100%  (0, 0, 10)\r"
              "Control: inactive/coarse/fine:  0%, 0%, 100%  (0, 0, 10)\r"
              "Average PDOP: 2.00,  GPS-seeking 0% (lower is better)");
    EXPECT_EQ(std::get<std::string>(json["first_date"].value), "2024-03-05");
    EXPECT_EQ(std::get<std::string>(json["latest_date"].value), "2024-03-05");
    std::vector<std::string> lines;
    for (const Json& line : std::get<JsonArray>(json["summary_lines"].value))
        lines.push_back(std::get<std::string>(line.value));
    EXPECT_EQ(lines, (std::vector<std::string>{"Fixes: none/2D/3D:  0%, 0%, 100%  (0, 0, 10)",
                                               "Control: inactive/coarse/fine:  0%, 0%, 100%  (0, 0, 10)",
                                               "Average PDOP: 2.00,  GPS-seeking 0% (lower is better)"}));
    // Without a time record no date is claimed.
    const Json none = JsonReader(Cli({"report", "--format", "json", kData + "/empty.txt"}).out).Document();
    EXPECT_TRUE(std::holds_alternative<std::nullptr_t>(none["first_date"].value));
    EXPECT_TRUE(std::holds_alternative<std::nullptr_t>(none["latest_date"].value));
    const auto& series = std::get<JsonObject>(json["series"].value);
    ASSERT_EQ(series.size(), 7u);
    const char* titles[] = {"Strength", "Num good", "2D/3D fix", "Trend", "PDOP", "Signal", "Mode"};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(series[i].first, titles[i]);
    // PDOP: 10 and 2 at 10:01:01, 2 at 10:02:01, 10 there and at 10:11:01, 2 at 10:11:01 and 10:12:01.
    const auto& pdop = std::get<JsonArray>(json["series"]["PDOP"].value);
    const double day = 45356, t1 = day + 36061 / 86400.0, t4 = day + 36721 / 86400.0;
    ASSERT_EQ(pdop.size(), 7u);
    EXPECT_EQ(std::get<double>(std::get<JsonArray>(pdop[0].value)[0].value), t1);
    EXPECT_EQ(std::get<double>(std::get<JsonArray>(pdop[0].value)[1].value), 10);
    EXPECT_EQ(std::get<double>(std::get<JsonArray>(pdop[6].value)[0].value), t4);
    EXPECT_EQ(std::get<double>(std::get<JsonArray>(pdop[6].value)[1].value), 2);
    EXPECT_TRUE(std::get<JsonArray>(json["series"]["Trend"].value).empty());
}

TEST_F(CliRunner, ReportJsonNumbersReadBackExactly) {
    // Three days: enough points for the series to be written in several runs by two threads.
    std::vector<std::string> logs;
    for (std::uint64_t day = 0; day < 3; ++day) {
        logs.push_back((dir_ / ("day" + std::to_string(day) + ".txt")).string());
        std::ofstream(logs.back(), std::ios::binary)
            << core::SimulateDay(45356.0 + static_cast<double>(day), core::SimulationOptions{5 + day, false});
    }
    const CliRun run = Cli({"report", "--format", "json", logs[0], logs[1], logs[2]});
    ASSERT_EQ(run.status, 0);
    const auto expected = core::AnalyseFiles(logs, "", core::LocaleConventions{});
    ASSERT_TRUE(expected.analysis);
    const Json json = JsonReader(run.out).Document();
    for (int s = 0; s < core::kSeriesCount; ++s) {
        const auto& points =
            std::get<JsonArray>(json["series"][std::string(core::SeriesTitle(core::SeriesId(s)))].value);
        const auto& want = expected.analysis->series[s];
        ASSERT_EQ(points.size(), want.size()) << s;
        for (std::size_t i = 0; i < want.size(); ++i) {
            const auto& pair = std::get<JsonArray>(points[i].value);
            ASSERT_EQ(std::get<double>(pair[0].value), want[i].x) << s << ' ' << i;
            ASSERT_EQ(std::get<double>(pair[1].value), want[i].y) << s << ' ' << i;
        }
    }
    EXPECT_FALSE(std::get<JsonArray>(json["series"]["Trend"].value).empty());
}

TEST_F(CliRunner, ReportByDateReadsTheDayFileOfTheDataDirectory) {
    const CliRun run = Cli({"report", "--data-dir", kData + "/descending_days", "--date", "2024-03-05"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "Fix summary not available\n"
              "Mode summary not available\n"
              "2024-Mar-05 from 00:00 to 01:04, 3 lines\n");
}

TEST_F(CliRunner, ReportWithoutDateOrFilesReadsYesterdayUtc) {
    // Written for the UTC yesterday of both sides of the run, so that midnight in between does no harm.
    const auto writeYesterday = [&] {
        std::ofstream(dir_ / core::DayFileName(YesterdayUtc()), std::ios::binary)
            << "UTC Time  : 10:00:00 01/01/24\r\n";
    };
    writeYesterday();
    const CliRun run = Cli({"report", "--data-dir", dir_.string()});
    writeYesterday();
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(
        run.out,
        "Fix summary not available\nMode summary not available\n2024-Jan-01 from 10:00 to 09:59, 1 lines\n");
    const CliRun missing = Cli({"report", "--data-dir", (dir_ / "none").string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("/none/"), std::string::npos) << missing.err;
    EXPECT_NE(missing.err.find("_rx_data.txt: No such file or directory\n"), std::string::npos)
        << missing.err;
}

TEST_F(CliRunner, ReportReadsSeveralFilesSortedAsOneLog) {
    const std::string days = kData + "/descending_days/";
    const CliRun run = Cli({"report", days + "2024-03-05_rx_data.txt", days + "2024-03-04_rx_data.txt"});
    EXPECT_EQ(run.status, 0);
    // Two days read as one log: the end of the notes carries its date.
    EXPECT_EQ(run.out.substr(run.out.rfind('\n', run.out.size() - 2) + 1),
              "2024-Mar-04 from 23:59 to 2024-Mar-05 01:04, 5 lines\n");
}

TEST_F(CliRunner, UnreadableFileIsOneLineOnStderrAndStatus1) {
    const CliRun run = Cli({"report", "--data-dir", kData, "pause_9_minutes.txt", "no_such_day.txt"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err,
              "marlix-sqa-cli: cannot read " + kData + "/no_such_day.txt: No such file or directory\n");
}

TEST_F(CliRunner, BadArgumentsPrintUsageAndStatus2) {
    const CliRun format = Cli({"report", "--format", "xml", "a.txt"});
    EXPECT_EQ(format.status, 2);
    EXPECT_EQ(format.out, "");
    EXPECT_EQ(
        format.err,
        "marlix-sqa-cli report: --format is text or json, not 'xml'\n"
        "usage: marlix-sqa-cli report [--data-dir DIR] [--date YYYY-MM-DD] [--format text|json] [--no-store] "
        "[FILE...]\n");
    for (const std::vector<std::string>& args : {std::vector<std::string>{},
                                                 {"frobnicate"},
                                                 {"report", "--date", "2024-02-30"},
                                                 {"report", "--date", "2024-03-05", "x.txt"},
                                                 {"report", "--data-dir"},
                                                 {"report", "--colour", "x"},
                                                 {"simulate"},
                                                 {"simulate", "--out", "x", "--days", "0"},
                                                 {"simulate", "--out", "x", "--seed", "-1"},
                                                 {"simulate", "--out", "x", "--end", "05/03/2024"}}) {
        const CliRun run = Cli(args);
        EXPECT_EQ(run.status, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(run.out, "") << ::testing::PrintToString(args);
        EXPECT_NE(run.err.find("usage:"), std::string::npos) << ::testing::PrintToString(args);
    }
}

TEST_F(CliRunner, QtCommandsAreHandedToTheHelperProgram) {
    const CliRun run = Cli({"render"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("usage: marlix-sqa-cli render --out FILE"), std::string::npos) << run.err;
}

// ---- the user's locale ----

// The axis labels of each chart in the layout `render --layout` writes: "chart axis: label|label|...".
std::vector<std::string> LayoutLabels(const Json& layout) {
    std::vector<std::string> lines;
    for (const Json& chart : std::get<JsonArray>(layout["charts"].value)) {
        for (const auto& [axis, value] : std::get<JsonObject>(chart["axes"].value)) {
            std::string line = std::get<std::string>(chart["name"].value) + " " + axis + ":";
            for (const Json& label : std::get<JsonArray>(value["labels"].value))
                line += " " + std::get<std::string>(label["text"].value) + "|";
            lines.push_back(line);
        }
    }
    return lines;
}

// Every number on the charts is written once with the locale's separators, whatever the C library's
// numeric locale says, in a program started under each locale as a user would start it.
TEST_F(CliRunner, RenderWritesEveryAxisLabelInTheUsersLocale) {
    const std::string hours =
        " 22:00| 20:00| 18:00| 16:00| 14:00| 12:00| 10:00| 08:00| 06:00| 04:00| 02:00| 00:00|";
    const std::string tens = " 10| 9| 8| 7| 6| 5| 4| 3| 2| 1| 0|";
    const std::string percents = " 100| 90| 80| 70| 60| 50| 40| 30| 20| 10| 0|";
    for (const auto& [variable, locale, timeSeparator] :
         {std::tuple{"LANG=de_DE.UTF-8", "de_DE.UTF-8", ':'},
          std::tuple{"LANG=fr_FR.UTF-8", "fr_FR.UTF-8", ':'},
          std::tuple{"LC_ALL=fi_FI.UTF-8", "fi_FI.UTF-8", '.'},
          std::tuple{"LC_NUMERIC=de_DE.UTF-8", "de_DE.UTF-8", ':'}}) {
        MARLIX_REQUIRE_LOCALE(locale);
        const std::string layout = (dir_ / "layout.json").string();
        const CliRun run = test::RunProgram({MARLIX_CLI_PATH, "render", "--out", (dir_ / "day.png").string(),
                                             "--layout", layout, kData + "/pause_9_minutes.txt"},
                                            dir_, "", test::LocaleEnvironment(variable));
        ASSERT_EQ(run.status, 0) << variable << run.err;
        std::string bottom = hours;
        std::replace(bottom.begin(), bottom.end(), ':', timeSeparator);
        EXPECT_EQ(LayoutLabels(JsonReader(ReadFile(layout)).Document()),
                  (std::vector<std::string>{"ChartStrength bottom:" + bottom, "ChartStrength left:" + tens,
                                            "ChartStrength right:   No fix|   2D|   3D|",
                                            "ChartPDOP bottom:" + bottom, "ChartPDOP left:" + tens,
                                            "ChartMode bottom:" + bottom, "ChartMode left:" + percents,
                                            "ChartMode right:   Inactive|   Coarse|   Fine|"}))
            << variable;
    }
    // The texts take the same month names and separators (the C library's, as the window does).
    MARLIX_REQUIRE_LOCALE("de_DE.UTF-8");
    const CliRun report = test::RunProgram({MARLIX_CLI_PATH, "report", kData + "/pause_9_minutes.txt"}, dir_,
                                           "", test::LocaleEnvironment("LANG=de_DE.UTF-8"));
    EXPECT_EQ(report.out,
              "Mean strength: 3,0\n"
              "Fixes: none/2D/3D:  0%, 0%, 100%  (0, 0, 10)\n"
              "Control: inactive/coarse/fine:  0%, 0%, 100%  (0, 0, 10)\n"
              "Average PDOP: 2,00,  GPS-seeking 0% (lower is better)\n"
              "2024-M\xC3\xA4r-05 from 10:00 to 10:11, 50 lines\n");
}

// ---- simulate ----

TEST_F(CliRunner, SimulateWritesOneFilePerDayIntoANewDirectory) {
    const fs::path out = dir_ / "new" / "logs";
    const CliRun run =
        Cli({"simulate", "--out", out.string(), "--days", "2", "--end", "2024-03-05", "--seed", "7"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string first = (out / "2024-03-04_rx_data.txt").string();
    const std::string second = (out / "2024-03-05_rx_data.txt").string();
    EXPECT_EQ(run.out, first + "\n" + second + "\n");
    EXPECT_EQ(ReadFile(first), core::SimulateDay(45355, core::SimulationOptions{7, false}));
    EXPECT_EQ(ReadFile(second), core::SimulateDay(45356, core::SimulationOptions{7, false}));

    const CliRun report = Cli({"report", "--data-dir", out.string(), "--date", "2024-03-05"});
    EXPECT_EQ(report.status, 0);
    EXPECT_NE(report.out.find("2024-Mar-05 from 00:00 to 23:59"), std::string::npos) << report.out;
}

TEST_F(CliRunner, SimulateWritesNoLogDatedAfterToday) {
    const std::time_t tomorrow = std::time(nullptr) + 86400;
    char date[16];
    std::strftime(date, sizeof date, "%Y-%m-%d", std::gmtime(&tomorrow));
    for (const std::string& end : {std::string(date), std::string("2999-01-01")}) {
        const CliRun run = Cli({"simulate", "--out", (dir_ / "logs").string(), "--end", end});
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "marlix-sqa-cli simulate: --end " + end + " is after today (UTC)\n");
    }
    EXPECT_FALSE(fs::exists(dir_ / "logs"));
}

TEST_F(CliRunner, SimulateNeverOverwritesADayFileUnlessForced) {
    const std::string march4 = (dir_ / "2024-03-04_rx_data.txt").string();
    const std::string march5 = (dir_ / "2024-03-05_rx_data.txt").string();
    std::ofstream(march5, std::ios::binary) << "a real receiver's log\r\n";
    const std::vector<std::string> twoDays = {"simulate", "--out", dir_.string(), "--days",
                                              "2",        "--end", "2024-03-05"};
    const CliRun refused = Cli(twoDays);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err, "marlix-sqa-cli: " + march5 + " exists; give --force to replace it\n");
    // Nothing at all is written, not even the day before, which did not exist.
    EXPECT_FALSE(fs::exists(march4));
    EXPECT_EQ(ReadFile(march5), "a real receiver's log\r\n");

    std::vector<std::string> forced = twoDays;
    forced.push_back("--force");
    const CliRun run = Cli(forced);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(march5), core::SimulateDay(45356, core::SimulationOptions{}));
    EXPECT_EQ(ReadFile(march4), core::SimulateDay(45355, core::SimulationOptions{}));
}

TEST_F(CliRunner, SimulateControlFormat) {
    const CliRun run = Cli({"simulate", "--out", dir_.string(), "--end", "2024-03-05", "--control"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(dir_ / "2024-03-05_rx_data.txt"),
              core::SimulateDay(45356, core::SimulationOptions{1, true}));
    const CliRun report = Cli({"report", "--data-dir", dir_.string(), "--date", "2024-03-05"});
    EXPECT_NE(report.out.find("\nControl: inactive/control:  "), std::string::npos) << report.out;
}

TEST_F(CliRunner, SimulateStoppedLeavesOnlyTheWholeDaysItNamed) {
    const fs::path logs = dir_ / "logs";
    const std::string outPath = (dir_ / "stdout").string();
    const pid_t pid = test::SpawnProgram(
        {MARLIX_CLI_PATH, "simulate", "--out", logs.string(), "--days", "10", "--end", "2024-03-05"}, outPath,
        (dir_ / "stderr").string(), test::InheritedEnvironment());
    ASSERT_NE(pid, 0);
    // Stopped while writing the second day or later.
    const auto wholeDays = [&logs] {
        std::error_code ec;
        return fs::exists(logs / "2024-02-25_rx_data.txt", ec);
    };
    for (int i = 0; i < 3000 && !wholeDays(); ++i) ::usleep(10'000);
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;

    std::vector<std::string> named;
    for (const std::string& line : test::Lines(ReadFile(outPath))) named.push_back(fs::path(line).filename());
    ASSERT_FALSE(named.empty());
    EXPECT_LT(named.size(), 10u);
    EXPECT_EQ(FolderNames(logs), named);
    EXPECT_EQ(ReadFile(logs / named.back()),
              core::SimulateDay(45356 - 10 + named.size(), core::SimulationOptions{}));
}

// ---- damaged input and hostile paths ----

TEST_F(CliRunner, PathsThatAreNoLogFailWithOneLineEach) {
    const std::string pipe = (dir_ / "pipe").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::map<std::string, std::string> reasons = {{pipe, "Not a regular file"},
                                                        {dir_.string(), "Is a directory"}};
    for (const auto& [path, reason] : reasons) {
        const CliRun run = Cli({"report", path});
        EXPECT_EQ(run.status, 1) << path;
        EXPECT_EQ(run.out, "") << path;
        EXPECT_EQ(run.err, "marlix-sqa-cli: cannot read " + path + ": " + reason + "\n");
    }
}

TEST_F(CliRunner, TwoHundredMegabytesWithoutALineEndingStayInBoundedMemory) {
    const std::string path = (dir_ / "no_ending.txt").string();
    {
        std::ofstream out(path, std::ios::binary);
        const std::string block(1 << 20, 'z');
        for (int i = 0; i < 200; ++i) out << block;
    }
    const CliRun run = Cli({"report", path});
    fs::remove(path);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "Fix summary not available\nMode summary not available\n"
              "No time records, 1 lines\n");
    // The file is read a chunk at a time and the line kept only as far as records reach. The peak of a
    // spawned program includes this test's own, so it is compared with that of a one-line file.
    const std::string small = (dir_ / "small.txt").string();
    std::ofstream(small, std::ios::binary) << "zzz";
    const CliRun baseline = Cli({"report", small});
    EXPECT_LT(run.peakMemoryKiB, baseline.peakMemoryKiB + 16 * 1024);
}

// ---- progress on a terminal ----

class TerminalCliRunner : public CliRunner {
  protected:
    void SetUp() override {
        CliRunner::SetUp();
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master_, 0);
        ASSERT_EQ(::grantpt(master_), 0);
        ASSERT_EQ(::unlockpt(master_), 0);
        terminal_ = ::ptsname(master_);
        // Held open so that the terminal stays up and keeps its text after the program ends.
        slave_ = ::open(terminal_.c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(slave_, 0);
    }
    void TearDown() override {
        if (slave_ >= 0) ::close(slave_);
        if (master_ >= 0) ::close(master_);
        CliRunner::TearDown();
    }
    std::string TerminalText() {
        std::string text;
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        char buffer[4096];
        for (ssize_t got; (got = ::read(master_, buffer, sizeof buffer)) > 0;) text.append(buffer, got);
        return text;
    }
    int master_ = -1;
    int slave_ = -1;
    std::string terminal_;
};

TEST_F(TerminalCliRunner, ManyFilesShowProgressThatIsErasedAtTheEnd) {
    const std::vector<std::string> args = {"report",
                                           "--data-dir",
                                           kData,
                                           "pause_7_minutes.txt",
                                           "pause_9_minutes.txt",
                                           "start_at_second_30.txt"};
    const CliRun plain = Cli(args);
    const CliRun run = Cli(args, terminal_);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, plain.out);
    EXPECT_EQ(TerminalText(), "\rmarlix-sqa-cli: reading 3 files: 100%\r\x1b[K");
    EXPECT_EQ(plain.err, "");
}

TEST_F(TerminalCliRunner, FewFilesShowNoProgress) {
    const CliRun run =
        Cli({"report", "--data-dir", kData, "pause_7_minutes.txt", "pause_9_minutes.txt"}, terminal_);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(TerminalText(), "");
}

TEST_F(TerminalCliRunner, AFailureErasesTheProgressBeforeItsLine) {
    // Two files big enough for progress reports before the missing third one fails the load.
    std::string fiveMegabytes;
    for (int i = 0; i < 50'000; ++i) fiveMegabytes += std::string(99, 'x') + '\n';
    for (const char* name : {"a.txt", "b.txt"}) std::ofstream(dir_ / name) << fiveMegabytes;
    const CliRun run =
        Cli({"report", "--data-dir", dir_.string(), "a.txt", "b.txt", "zz_missing.txt"}, terminal_);
    EXPECT_EQ(run.status, 1);
    const std::string text = TerminalText();
    EXPECT_EQ(text.rfind("\rmarlix-sqa-cli: reading 3 files: 41%", 0), 0u) << text;
    // The terminal turns the line ending into CR LF.
    const std::string failure = "\r\x1b[Kmarlix-sqa-cli: cannot read " + (dir_ / "zz_missing.txt").string() +
                                ": No such file or directory\r\n";
    ASSERT_GE(text.size(), failure.size());
    EXPECT_EQ(text.substr(text.size() - failure.size()), failure);
}

// ---- simulate --live ----

// A clock that jumps to whatever time it is asked to sleep until, and stops after some blocks.
struct FakeLiveClock {
    double now;
    int blocksLeft;
    std::vector<double> sleeps;
    LiveClock Clock() {
        return {[this] { return now; },
                [this](double until) {
                    sleeps.push_back(until);
                    now = until + 0.25;
                },
                [this] { return blocksLeft-- <= 0; }};
    }
};

constexpr double kMarch6Unix = 1709683200;  // 2024-03-06 00:00:00 UTC

TEST_F(CliRunner, LiveLoggerAppendsABlockASecondAndMovesToTheNextDayAtMidnight) {
    const core::SimulationOptions options{5, false};
    const std::string march5 = (dir_ / "2024-03-05_rx_data.txt").string();
    const std::string march6 = (dir_ / "2024-03-06_rx_data.txt").string();
    std::ofstream(march5, std::ios::binary) << "written before\r\n";

    FakeLiveClock fake{kMarch6Unix - 2 + 0.5, 4, {}};
    std::ostringstream out, err;
    EXPECT_EQ(RunLiveLogger(dir_.string(), options, fake.Clock(), out, err, true), kExitOk);
    EXPECT_EQ(out.str(), march5 + "\n" + march6 + "\n");
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(fake.sleeps,
              (std::vector<double>{kMarch6Unix - 1, kMarch6Unix, kMarch6Unix + 1, kMarch6Unix + 2}));

    core::DaySimulation day5(45356, options), day6(45357, options);
    // One statement each: the blocks must be asked in order.
    std::string last5 = day5.BlockAt(86398);
    last5 += day5.BlockAt(86399);
    std::string first6 = day6.BlockAt(0);
    first6 += day6.BlockAt(1);
    ASSERT_NE(last5.find("UTC Time  : 23:59:58 05/03/24\r\n"), std::string::npos);
    ASSERT_NE(first6.find("UTC Time  : 00:00:01 06/03/24\r\n"), std::string::npos);
    EXPECT_EQ(ReadFile(march5), "written before\r\n" + last5);
    EXPECT_EQ(ReadFile(march6), first6);
}

TEST_F(CliRunner, LiveLoggerWritesOnlyFilesItCreatedUnlessForced) {
    const std::string march5 = (dir_ / "2024-03-05_rx_data.txt").string();
    const std::string march6 = (dir_ / "2024-03-06_rx_data.txt").string();
    std::ofstream(march5, std::ios::binary) << "a real receiver's log\r\n";
    FakeLiveClock atStart{kMarch6Unix - 2 + 0.5, 4, {}};
    std::ostringstream out, err;
    EXPECT_EQ(RunLiveLogger(dir_.string(), core::SimulationOptions{}, atStart.Clock(), out, err),
              kExitFailure);
    EXPECT_EQ(err.str(), "marlix-sqa-cli: " + march5 + " exists; give --force to append to it\n");
    EXPECT_EQ(ReadFile(march5), "a real receiver's log\r\n");

    // The next day's file appearing before midnight stops the run there, with today's blocks written.
    fs::remove(march5);
    std::ofstream(march6, std::ios::binary) << "other\r\n";
    FakeLiveClock overMidnight{kMarch6Unix - 2 + 0.5, 4, {}};
    out.str("");
    err.str("");
    EXPECT_EQ(RunLiveLogger(dir_.string(), core::SimulationOptions{}, overMidnight.Clock(), out, err),
              kExitFailure);
    EXPECT_EQ(out.str(), march5 + "\n");
    EXPECT_EQ(err.str(), "marlix-sqa-cli: " + march6 + " exists; give --force to append to it\n");
    core::DaySimulation day5(45356, core::SimulationOptions{});
    std::string last5 = day5.BlockAt(86398);
    last5 += day5.BlockAt(86399);
    EXPECT_EQ(ReadFile(march5), last5);
    EXPECT_EQ(ReadFile(march6), "other\r\n");
}

TEST_F(CliRunner, LiveLoggerEndsOnSigtermAfterAWholeBlock) {
    const std::string outPath = (dir_ / "stdout").string();
    const std::string logs = (dir_ / "live").string();
    // A seed whose simulated day has a block in each of the next seconds (no outage, no missed
    // second), so that the logger surely writes before it is stopped and the file is always checked.
    // Clear of midnight, so that the logger's first file is the day checked.
    if (std::time(nullptr) % 86400 > 86400 - 10) ::sleep(11);
    const auto now = static_cast<std::int64_t>(std::time(nullptr));
    const core::DayTime today = core::kUnixEpochDay + static_cast<double>(now / 86400);
    std::uint64_t seed = 0;
    for (std::uint64_t candidate = 1; candidate <= 200 && seed == 0; ++candidate) {
        core::DaySimulation day(today, core::SimulationOptions{candidate, false});
        bool everySecond = true;
        for (std::int64_t s = now % 86400; s < std::min<std::int64_t>(now % 86400 + 8, 86400); ++s)
            everySecond = everySecond && !day.BlockAt(static_cast<int>(s)).empty();
        if (everySecond) seed = candidate;
    }
    ASSERT_NE(seed, 0u);
    const pid_t pid = test::SpawnProgram(
        {MARLIX_CLI_PATH, "simulate", "--live", "--out", logs, "--seed", std::to_string(seed)}, outPath,
        (dir_ / "stderr").string(), test::InheritedEnvironment());
    ASSERT_NE(pid, 0);
    // Wait until it has named its file, then let it write a block or two.
    for (int i = 0; i < 500 && ReadFile(outPath).empty(); ++i) ::usleep(10'000);
    ::usleep(1'500'000);
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    const std::string named = ReadFile(outPath);
    ASSERT_FALSE(named.empty());
    const std::string path = named.substr(0, named.size() - 1);
    EXPECT_EQ(fs::path(path).parent_path(), fs::path(logs));
    const std::string written = ReadFile(path);
    // Whole blocks only.
    ASSERT_GE(written.size(), 22u);
    EXPECT_EQ(written.rfind("UTC Time  : ", 0), 0u) << written;
    EXPECT_EQ(written.substr(written.size() - 22), "--------------------\r\n") << written;
}

TEST_F(CliRunner, LiveLoggerTakesNoDayRange) {
    const CliRun run = Cli({"simulate", "--live", "--out", dir_.string(), "--days", "2"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err.substr(0, run.err.find('\n')),
              "marlix-sqa-cli simulate: --live writes today: it takes no --days or --end");
}

// ---- a full disk ----

TEST_F(CliRunner, SimulateOnAFullDiskLeavesNoShortDayAndSaysWhy) {
    test::SmallFileSystem disk("64k");
    if (!disk.Problem().empty()) GTEST_SKIP() << disk.Problem();
    const fs::path& logs = disk.Path();
    const std::string march4 = (logs / "2024-03-04_rx_data.txt").string();
    const std::string march5 = (logs / "2024-03-05_rx_data.txt").string();
    std::ofstream(march5, std::ios::binary) << "a real receiver's log\r\n";
    const CliRun twoDays =
        Cli({"simulate", "--out", logs.string(), "--days", "2", "--end", "2024-03-05", "--force"});
    EXPECT_EQ(twoDays.status, 1);
    EXPECT_EQ(twoDays.out, "");
    EXPECT_EQ(twoDays.err, "marlix-sqa-cli: cannot write " + march4 + ": No space left on device\n");
    const CliRun replacing = Cli({"simulate", "--out", logs.string(), "--end", "2024-03-05", "--force"});
    EXPECT_EQ(replacing.status, 1);
    EXPECT_EQ(replacing.err, "marlix-sqa-cli: cannot write " + march5 + ": No space left on device\n");
    EXPECT_EQ(ReadFile(march5), "a real receiver's log\r\n");
    EXPECT_EQ(FolderNames(logs), std::vector<std::string>{"2024-03-05_rx_data.txt"});

    // The live logger appends block by block, which cannot be undone: it stops at the first block
    // that cannot be written, and says so.
    disk.Fill();
    FakeLiveClock clock{kMarch6Unix + 0.5, 4, {}};
    std::ostringstream out, err;
    EXPECT_EQ(RunLiveLogger(logs.string(), core::SimulationOptions{5, false}, clock.Clock(), out, err),
              kExitFailure);
    const std::string march6 = (logs / "2024-03-06_rx_data.txt").string();
    EXPECT_EQ(out.str(), march6 + "\n");
    EXPECT_EQ(err.str(), "marlix-sqa-cli: cannot write " + march6 + ": No space left on device\n");
}

TEST_F(CliRunner, RenderOnAFullDiskKeepsThePreviousPictureAndSaysWhy) {
    test::SmallFileSystem disk("64k");
    if (!disk.Problem().empty()) GTEST_SKIP() << disk.Problem();
    const std::string png = (disk.Path() / "day.png").string();
    std::ofstream(png, std::ios::binary) << "previous picture";
    disk.Fill();
    const CliRun run = Cli({"render", "--out", png, kData + "/pause_9_minutes.txt"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "marlix-sqa-cli: cannot write " + png + ": No space left on device\n");
    EXPECT_EQ(ReadFile(png), "previous picture");
    EXPECT_EQ(FolderNames(disk.Path()), (std::vector<std::string>{"day.png", "filler"}));
}

// ---- pieces ----

TEST(JsonStrings, EscapeQuotesBackslashesAndControlCharacters) {
    EXPECT_EQ(JsonString("a\"b\\c\r\n\t\b\f\x01\x1f\x7f"),
              "\"a\\\"b\\\\c\\r\\n\\t\\b\\f\\u0001\\u001f\x7f\"");
    EXPECT_EQ(JsonString(""), "\"\"");
}

TEST(JsonStrings, KeepValidUtf8AndReplaceInvalidBytes) {
    EXPECT_EQ(JsonString("M\xC3\xA4rz \xE2\x82\xAC \xF0\x9F\x98\x80"),
              "\"M\xC3\xA4rz \xE2\x82\xAC \xF0\x9F\x98\x80\"");
    EXPECT_EQ(JsonString("caf\xE9"), "\"caf\\ufffd\"");
    EXPECT_EQ(JsonString("\xC3"), "\"\\ufffd\"");
    EXPECT_EQ(JsonString("\xC0\xAF"), "\"\\ufffd\\ufffd\"");
    EXPECT_EQ(JsonString("\xED\xA0\x80"), "\"\\ufffd\\ufffd\\ufffd\"");
    EXPECT_EQ(JsonString("\xFF\xFE"), "\"\\ufffd\\ufffd\"");
}

TEST(ReportTexts, LeaveOutAnEmptyHint) {
    core::DayAnalysis analysis;
    analysis.summary = "Fix summary not available\rMode summary not available";
    analysis.notes = "No time records, 0 lines";
    EXPECT_EQ(ReportText(analysis),
              "Fix summary not available\nMode summary not available\nNo time records, 0 lines\n");
}

// The man page and the completion read each option's names, value and kind from this.
TEST(CommandHelps, TellPositionalsFlagsAndValuesApart) {
    const auto commands = CliCommands();
    const auto store = std::find_if(commands.begin(), commands.end(),
                                    [](const Command& command) { return command.name == "store"; });
    ASSERT_NE(store, commands.end());
    const CommandHelp help = DescribedCommand(*store);
    EXPECT_EQ(help.synopsis, "ACTION [--sample N]");
    EXPECT_EQ(help.description.rfind("Looks after the day store, ", 0), 0u) << help.description;
    using Entry = std::tuple<std::string, std::vector<std::string>, std::string, bool, bool>;
    std::vector<Entry> entries;
    for (const OptionHelp& o : help.options)  // a positional's value name is shown nowhere
        entries.emplace_back(o.label, o.names, o.positional ? "" : o.valueName, o.positional, o.flag);
    EXPECT_EQ(entries, (std::vector<Entry>{{"ACTION", {}, "", true, false},
                                           {"--sample N", {"--sample"}, "N", false, false},
                                           {"-h, --help", {"-h", "--help"}, "", false, true}}));
}

TEST(Dispatcher, RunsTheNamedCommandWithTheRestOfTheArguments) {
    static Arguments seen;
    // report's description, with a run that only records what it was given.
    static constexpr Command kCommands[] = {{"report", DescribeOnly<ReportOptions, DescribeReport>,
                                             [](const Arguments& args, std::ostream& out, std::ostream&) {
                                                 seen = args;
                                                 out << "ran";
                                                 return 7;
                                             }}};
    const char* argv[] = {"marlix-sqa-cli", "report", "a", "--b"};
    std::ostringstream out, err;
    EXPECT_EQ(Dispatch(kCommands, 4, argv, out, err), 7);
    EXPECT_EQ(seen, (Arguments{"a", "--b"}));
    EXPECT_EQ(out.str(), "ran");
    const char* unknown[] = {"marlix-sqa-cli", "nope"};
    EXPECT_EQ(Dispatch(kCommands, 2, unknown, out, err), 2);
    EXPECT_EQ(err.str(),
              "marlix-sqa-cli: unknown command 'nope'\nusage:\n  marlix-sqa-cli report [--data-dir DIR] "
              "[--date YYYY-MM-DD] [--format text|json] [--no-store] [FILE...]\n");

    // The program's own help lists each command with the first sentence of its description.
    const char* help[] = {"marlix-sqa-cli", "--help"};
    std::ostringstream helpOut, helpErr;
    EXPECT_EQ(Dispatch(kCommands, 2, help, helpOut, helpErr), 0);
    EXPECT_NE(helpOut.str().find("\ncommands:\n  report  Prints the summary of one day's log.\n\n"),
              std::string::npos)
        << helpOut.str();
    EXPECT_EQ(helpErr.str(), "");
}

// ---- help, version and the description every command shares ----

TEST_F(CliRunner, HelpAndVersionGoToStdoutWithStatus0) {
    const CliRun version = Cli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "marlix-sqa-cli " + std::string(kVersion) + "\n");
    const CliRun help = Cli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: marlix-sqa-cli COMMAND [OPTIONS]\n", 0), 0u) << help.out;
    // The Qt command answers from the helper program, so that is where the help must come from too.
    for (const std::string command : {"report", "simulate", "table", "render"}) {
        for (const std::string flag : {"--help", "-h"}) {
            const CliRun run = Cli({command, flag});
            EXPECT_EQ(run.status, 0) << command << flag << run.err;
            EXPECT_EQ(run.err, "") << command;
            EXPECT_EQ(run.out.rfind("usage: marlix-sqa-cli " + command + " ", 0), 0u) << run.out;
            EXPECT_NE(run.out.find("\n  -h, --help  "), std::string::npos) << run.out;
        }
    }
    EXPECT_NE(Cli({"report", "--help"}).out.find("\n  --format text|json  text (default)"),
              std::string::npos);
}

TEST_F(CliRunner, ParseMistakesKeepTheirWordsAndStatus2) {
    const std::map<std::vector<std::string>, std::string> problems = {
        {{"report", "--data-dir"}, "marlix-sqa-cli report: --data-dir needs a value"},
        {{"report", "--colour", "x"}, "marlix-sqa-cli report: unknown option --colour"},
        {{"simulate", "--out", "x", "extra"}, "marlix-sqa-cli simulate: unknown argument extra"},
        {{"simulate", "--days", "2"}, "marlix-sqa-cli simulate: --out DIR is required"},
        {{"table", "--jobs", "0"}, "marlix-sqa-cli table: --jobs wants a number from 1 to 999"},
        {{"table", "--from", "2024-03-05", "--to", "2024-03-04"},
         "marlix-sqa-cli table: --from is after --to"},
        {{"render", "--out", "x.png", "--from", "10:00"},
         "marlix-sqa-cli render: --from and --to go together"},
        {{"metrics", "--date", "2026-13-01"},
         "marlix-sqa-cli metrics: --date wants a valid YYYY-MM-DD, not '2026-13-01'"},
    };
    for (const auto& [args, problem] : problems) {
        const CliRun run = Cli(args);
        EXPECT_EQ(run.status, 2) << problem;
        EXPECT_EQ(run.out, "") << problem;
        EXPECT_EQ(run.err.substr(0, run.err.find('\n')), problem);
        const std::string usage = "usage: marlix-sqa-cli " + args[0] + " ";
        EXPECT_EQ(run.err.substr(run.err.find('\n') + 1, usage.size()), usage) << run.err;
    }
    // The last of a repeated option wins, and "--" ends the options, as before.
    const CliRun repeated = Cli(
        {"report", "--format", "xml", "--format", "text", "--data-dir", kData, "--", "pause_9_minutes.txt"});
    EXPECT_EQ(repeated.status, 0) << repeated.err;
    EXPECT_EQ(repeated.out, Cli({"report", "--data-dir", kData, "pause_9_minutes.txt"}).out);
}

}  // namespace
}  // namespace marlix::cli
