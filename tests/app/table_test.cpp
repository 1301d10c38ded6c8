// marlix-sqa-cli table, run as a program on folders of day files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "support/process.h"
#include "support/text.h"

namespace {

namespace fs = std::filesystem;

using CliRun = marlix::test::ProgramRun;

// A day with every record kind: two closed minutes and an unfinished one.
constexpr char kEveryRecordKind[] =
    "UTC Time  : 10:00:00 05/03/24\n"
    "PDOP      : 3\n"
    "Sat PRN   : 1,2,3,4,5,6\n"
    "Sat level : 5,5,2,0,7,9\n"
    "Fix, Mode 3D Fine\n"
    "UTC Time  : 10:01:00 05/03/24\n"
    "UTC Time  : 10:01:01 05/03/24\n"
    "PDOP      : 12\n"
    "Sat PRN   : 1,2,3,4,5,6,7,8\n"
    "Sat level : 1,4\n"
    "Sat level : 4,4,4\n"
    "Fix, Mode 2D Coarse\n"
    "UTC Time  : 10:02:00 05/03/24\n"
    "UTC Time  : 10:02:01 05/03/24\n"
    "Fix, Mode none\n"
    "UTC Time  : 10:02:30 05/03/24\n";

// The control format, without level or Satellite numbers lines.
constexpr char kControlFormat[] =
    "UTC Time  : 00:00:00 06/03/24\n"
    "PDOP; sats: 2\n"
    "Fix, Mode 3D Control\n"
    "Fix, Mode 3D Control\n"
    "Fix, Mode 3D Coarse\n"
    "Fix, Mode 2D\n";

constexpr char kHeader[] =
    "day\tlines\tfirst_time\tlast_time\tfix_none_pct\tfix_2d_pct\tfix_3d_pct\tfix_none\tfix_2d\tfix_3d\t"
    "control_format\tmode_inactive_pct\tmode_coarse_pct\tmode_fine_or_control_pct\tmode_inactive\tmode_"
    "coarse\t"
    "mode_fine_or_control\taverage_pdop\tgps_seeking_pct\tmean_strength\tnum_good_min\tnum_good_"
    "mean\terror\n";

class Table : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("marlix_table_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "days");
        // A fresh day store for every test.
        ::setenv("XDG_CACHE_HOME", (dir_ / "cache").c_str(), 1);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Days() const { return (dir_ / "days").string(); }
    void WriteDay(const std::string& name, const std::string& text) {
        std::ofstream(dir_ / "days" / name, std::ios::binary) << text;
    }
    // Hand-made days: none with records, every kind, the control format, and one that cannot be read.
    void WriteHandMadeDays() {
        WriteDay("2024-03-04_rx_data.txt", "no records here\n");
        WriteDay("2024-03-05_rx_data.txt", kEveryRecordKind);
        WriteDay("2024-03-06_rx_data.txt", kControlFormat);
        fs::create_symlink(dir_ / "gone.txt", dir_ / "days" / "2024-03-07_rx_data.txt");
        WriteDay("notes.txt", kEveryRecordKind);
        WriteDay("2024-02-30_rx_data.txt", kEveryRecordKind);
        WriteDay("2024-03-08_rx_data.txt.bak", kEveryRecordKind);
        WriteDay("9999-12-31_rx_data.txt", kEveryRecordKind);  // dated after today
    }

    // Runs the built program under LC_ALL=C.
    CliRun Cli(std::vector<std::string> args) {
        args.insert(args.begin(), MARLIX_CLI_PATH);
        return marlix::test::RunProgram(args, dir_);
    }

    fs::path dir_;
};

TEST_F(Table, RowsOfDaysWithAndWithoutEachRecordKindAndAnUnreadableDay) {
    WriteHandMadeDays();
    const CliRun run = Cli({"table", "--data-dir", Days()});
    const std::string missing = Days() + "/2024-03-07_rx_data.txt";
    EXPECT_EQ(
        run.out,
        std::string(kHeader) +
            "2024-03-04\t1\t\t\t\t\t\t0\t0\t0\t0\t\t\t\t0\t0\t0\t\t\t\t\t\t\n"
            "2024-03-05\t16\t2024-03-05 10:00:00\t2024-03-05 "
            "10:02:30\t33.3333\t33.3333\t33.3333\t1\t1\t1\t0\t"
            "33.3333\t33.3333\t33.3333\t1\t1\t1\t3.00\t50.0000\t4.0\t2.00\t3.00\t\n"
            "2024-03-06\t6\t2024-03-06 00:00:00\t2024-03-06 00:00:00\t0.0000\t25.0000\t75.0000\t0\t1\t3\t1\t"
            "25.0000\t\t50.0000\t1\t\t2\t2.00\t\t\t\t\t\n"
            "2024-03-07\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\tcannot read " +
            missing + ": No such file or directory\n");
    // What was left out, and why, before the days that could not be read.
    EXPECT_EQ(run.err,
              "marlix-sqa-cli: skipped 1 name with an impossible date (2024-02-30_rx_data.txt)\n"
              "marlix-sqa-cli: skipped 1 log dated after today (UTC) (9999-12-31_rx_data.txt)\n"
              "marlix-sqa-cli: cannot read " +
                  missing + ": No such file or directory\n");
    EXPECT_EQ(run.status, 1);
}

TEST_F(Table, ArchivedDaysGiveTheRowsOfTheirPlainLogsAndADamagedOneItsError) {
    WriteHandMadeDays();
    const CliRun plain = Cli({"table", "--data-dir", Days()});
    // Each day compressed in place by another tool, as rotation tools leave them.
    const CliRun compressed = marlix::test::RunProgram(
        {"/bin/sh", "-c",
         "cd '" + Days() +
             "' && gzip 2024-03-04_rx_data.txt && xz 2024-03-05_rx_data.txt && zstd -q --rm "
             "2024-03-06_rx_data.txt"},
        dir_);
    ASSERT_EQ(compressed.status, 0) << compressed.err;
    WriteDay("2024-03-09_rx_data.txt.zst", kEveryRecordKind);
    const CliRun archived = Cli({"table", "--data-dir", Days()});
    const std::string damaged =
        "cannot read " + Days() + "/2024-03-09_rx_data.txt.zst: corrupt zstd data (Unknown frame descriptor)";
    EXPECT_EQ(archived.out, plain.out + "2024-03-09" + std::string(22, '\t') + damaged + "\n");
    EXPECT_EQ(archived.err, plain.err + "marlix-sqa-cli: " + damaged + "\n");
    EXPECT_EQ(archived.status, 1);
}

TEST_F(Table, RangeAndCsv) {
    WriteHandMadeDays();
    const CliRun run = Cli({"table", "--data-dir", Days() + "/", "--from", "2024-03-05", "--to", "2024-03-06",
                            "--format", "csv", "--jobs", "1"});
    std::string header = kHeader;
    std::replace(header.begin(), header.end(), '\t', ',');
    EXPECT_EQ(run.out,
              header +
                  "2024-03-05,16,2024-03-05 10:00:00,2024-03-05 10:02:30,33.3333,33.3333,33.3333,1,1,1,0,"
                  "33.3333,33.3333,33.3333,1,1,1,3.00,50.0000,4.0,2.00,3.00,\n"
                  "2024-03-06,6,2024-03-06 00:00:00,2024-03-06 00:00:00,0.0000,25.0000,75.0000,0,1,3,1,"
                  "25.0000,,50.0000,1,,2,2.00,,,,,\n");
    // A name without a date stands in no range, so it is named whatever the range; no more than three are.
    WriteDay("2024-02-31_rx_data.txt", "");
    WriteDay("2024-04-31_rx_data.txt", "");
    WriteDay("2025-02-29_rx_data.txt", "");
    EXPECT_EQ(run.err, "marlix-sqa-cli: skipped 1 name with an impossible date (2024-02-30_rx_data.txt)\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(Cli({"table", "--data-dir", Days(), "--from", "2024-03-05", "--to", "2024-03-05"}).err,
              "marlix-sqa-cli: skipped 4 names with impossible dates (2024-02-30_rx_data.txt, "
              "2024-02-31_rx_data.txt, 2024-04-31_rx_data.txt, ...)\n");
}

TEST_F(Table, Json) {
    WriteHandMadeDays();
    const CliRun run = Cli({"table", "--data-dir", Days(), "--from", "2024-03-06", "--format", "json"});
    const std::string missing = Days() + "/2024-03-07_rx_data.txt";
    EXPECT_EQ(
        run.out,
        "[\n"
        "  {\"day\": \"2024-03-06\", \"lines\": 6, \"first_time\": \"2024-03-06 00:00:00\", "
        "\"last_time\": \"2024-03-06 00:00:00\", \"fix_none_pct\": 0.0000, \"fix_2d_pct\": 25.0000, "
        "\"fix_3d_pct\": 75.0000, \"fix_none\": 0, \"fix_2d\": 1, \"fix_3d\": 3, \"control_format\": true, "
        "\"mode_inactive_pct\": 25.0000, \"mode_coarse_pct\": null, \"mode_fine_or_control_pct\": 50.0000, "
        "\"mode_inactive\": 1, \"mode_coarse\": null, \"mode_fine_or_control\": 2, \"average_pdop\": 2.00, "
        "\"gps_seeking_pct\": null, \"mean_strength\": null, \"num_good_min\": null, "
        "\"num_good_mean\": null, \"error\": null},\n"
        "  {\"day\": \"2024-03-07\", \"lines\": null, \"first_time\": null, \"last_time\": null, "
        "\"fix_none_pct\": null, \"fix_2d_pct\": null, \"fix_3d_pct\": null, \"fix_none\": null, "
        "\"fix_2d\": null, \"fix_3d\": null, \"control_format\": null, \"mode_inactive_pct\": null, "
        "\"mode_coarse_pct\": null, \"mode_fine_or_control_pct\": null, \"mode_inactive\": null, "
        "\"mode_coarse\": null, \"mode_fine_or_control\": null, \"average_pdop\": null, "
        "\"gps_seeking_pct\": null, \"mean_strength\": null, \"num_good_min\": null, "
        "\"num_good_mean\": null, \"error\": \"cannot read " +
            missing +
            ": No such file or directory\"}\n"
            "]\n");
    EXPECT_EQ(run.status, 1);
}

TEST_F(Table, EmptyFolderGivesTheHeaderAlone) {
    const CliRun tsv = Cli({"table", "--data-dir", Days()});
    EXPECT_EQ(tsv.out, kHeader);
    EXPECT_EQ(tsv.status, 0);
    const CliRun json = Cli({"table", "--data-dir", Days(), "--format", "json"});
    EXPECT_EQ(json.out, "[]\n");
    EXPECT_EQ(json.status, 0);
}

TEST_F(Table, WrongArgumentsAndMissingFolder) {
    const std::string usage =
        "\nusage: marlix-sqa-cli table [--data-dir DIR] [--label NAME] [--from YYYY-MM-DD] [--to YYYY-MM-DD] "
        "[--format tsv|csv|json] [--jobs N] [--no-store]\n";
    CliRun run = Cli({"table", "--format", "xls"});
    EXPECT_EQ(run.err, "marlix-sqa-cli table: --format is tsv, csv or json, not 'xls'" + usage);
    EXPECT_EQ(run.status, 2);
    run = Cli({"table", "--from", "2024-02-30"});
    EXPECT_EQ(run.err, "marlix-sqa-cli table: --from wants a valid YYYY-MM-DD, not '2024-02-30'" + usage);
    EXPECT_EQ(run.status, 2);
    run = Cli({"table", "--from", "2024-03-02", "--to", "2024-03-01"});
    EXPECT_EQ(run.err, "marlix-sqa-cli table: --from is after --to" + usage);
    EXPECT_EQ(run.status, 2);
    run = Cli({"table", "--jobs", "0"});
    EXPECT_EQ(run.err, "marlix-sqa-cli table: --jobs wants a number from 1 to 999" + usage);
    EXPECT_EQ(run.status, 2);
    run = Cli({"table", "--label", "A", "--data-dir", Days()});
    EXPECT_EQ(run.err, "marlix-sqa-cli table: --label names the --data-dir before it, once" + usage);
    EXPECT_EQ(run.status, 2);
    run = Cli({"table", "--data-dir", Days(), "--label", "A", "--data-dir", Days(), "--label", "A"});
    EXPECT_EQ(run.err,
              "marlix-sqa-cli table: two stations are named 'A'; name them apart with --label" + usage);
    EXPECT_EQ(run.status, 2);
    run = Cli({"table", "--data-dir", Days(), "--data-dir", Days() + "/none"});
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "marlix-sqa-cli: cannot list " + Days() + "/none/: No such file or directory\n");
    EXPECT_EQ(run.status, 1);
    run = Cli({"table", "--data-dir", Days() + "/none"});
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "marlix-sqa-cli: cannot list " + Days() + "/none/: No such file or directory\n");
    EXPECT_EQ(run.status, 1);
}

std::string Rounded(const std::string& fourDecimals) {
    // Whole percent, half away from zero, as the summary prints it.
    return std::to_string(static_cast<long>(std::stod(fourDecimals) + 0.5)) + "%";
}

// Simulated days: each row's figures are those of the day's report.
TEST_F(Table, AgreesWithTheDayReports) {
    ASSERT_EQ(Cli({"simulate", "--out", Days(), "--days", "3", "--end", "2024-03-31"}).status, 0);
    ASSERT_EQ(Cli({"simulate", "--out", Days(), "--days", "1", "--end", "2024-04-01", "--control"}).status,
              0);
    const CliRun table = Cli({"table", "--data-dir", Days()});
    ASSERT_EQ(table.status, 0) << table.err;
    const std::vector<std::string> rows = marlix::test::Lines(table.out);
    ASSERT_FALSE(rows.empty());
    const std::vector<std::string> names = marlix::test::SplitFields(rows[0], '\t');
    int days = 0;
    for (std::size_t row = 1; row < rows.size(); ++row) {
        const std::string& line = rows[row];
        const std::vector<std::string> values = marlix::test::SplitFields(line, '\t');
        ASSERT_EQ(values.size(), names.size()) << line;
        std::map<std::string, std::string> c;
        for (std::size_t i = 0; i < names.size(); ++i) c[names[i]] = values[i];
        const CliRun report = Cli({"report", "--data-dir", Days(), "--date", c["day"]});
        ASSERT_EQ(report.status, 0);
        std::string expected = "Mean strength: " + c["mean_strength"] +
                               "\nFixes: none/2D/3D:  " + Rounded(c["fix_none_pct"]) + ", " +
                               Rounded(c["fix_2d_pct"]) + ", " + Rounded(c["fix_3d_pct"]) + "  (" +
                               c["fix_none"] + ", " + c["fix_2d"] + ", " + c["fix_3d"] + ")\n";
        if (c["control_format"] == "1") {
            EXPECT_EQ(c["mode_coarse"], "");
            expected += "Control: inactive/control:  " + Rounded(c["mode_inactive_pct"]) + ", " +
                        Rounded(c["mode_fine_or_control_pct"]) + "  (" + c["mode_inactive"] + ", " +
                        c["mode_fine_or_control"] + ")\n";
        } else {
            expected += "Control: inactive/coarse/fine:  " + Rounded(c["mode_inactive_pct"]) + ", " +
                        Rounded(c["mode_coarse_pct"]) + ", " + Rounded(c["mode_fine_or_control_pct"]) +
                        "  (" + c["mode_inactive"] + ", " + c["mode_coarse"] + ", " +
                        c["mode_fine_or_control"] + ")\n";
        }
        expected += "Average PDOP: " + c["average_pdop"] + ",  GPS-seeking " + Rounded(c["gps_seeking_pct"]) +
                    " (lower is better)\n";
        EXPECT_EQ(report.out.substr(0, report.out.rfind('\n', report.out.size() - 2) + 1), expected)
            << c["day"];
        EXPECT_NE(report.out.find(", " + c["lines"] + " lines\n"), std::string::npos) << c["day"];
        EXPECT_EQ(c["first_time"], c["day"] + " 00:00:00");
        EXPECT_EQ(c["error"], "");
        ++days;
    }
    EXPECT_EQ(days, 4);
}

// Three receivers: each row names its station, by --label or by its folder's name.
TEST_F(Table, ThreeStations) {
    for (const char* station : {"roof", "mast", "shed"}) fs::create_directories(dir_ / station);
    std::ofstream(dir_ / "roof" / "2024-03-05_rx_data.txt", std::ios::binary) << kEveryRecordKind;
    std::ofstream(dir_ / "mast" / "2024-03-06_rx_data.txt", std::ios::binary) << kControlFormat;
    std::ofstream(dir_ / "shed" / "2024-03-04_rx_data.txt", std::ios::binary) << "no records here\n";
    const std::vector<std::string> stations{"table",
                                            "--data-dir",
                                            (dir_ / "roof").string(),
                                            "--data-dir",
                                            (dir_ / "mast").string() + "/",
                                            "--label",
                                            "B mast",
                                            "--data-dir",
                                            (dir_ / "shed").string()};
    const std::string roof =
        "2024-03-05\t16\t2024-03-05 10:00:00\t2024-03-05 10:02:30\t33.3333\t33.3333\t33.3333\t1\t1\t1\t0\t"
        "33.3333\t33.3333\t33.3333\t1\t1\t1\t3.00\t50.0000\t4.0\t2.00\t3.00\t\n";
    const std::string mast =
        "2024-03-06\t6\t2024-03-06 00:00:00\t2024-03-06 00:00:00\t0.0000\t25.0000\t75.0000\t0\t1\t3\t1\t"
        "25.0000\t\t50.0000\t1\t\t2\t2.00\t\t\t\t\t\n";
    const std::string shed = "2024-03-04\t1\t\t\t\t\t\t0\t0\t0\t0\t\t\t\t0\t0\t0\t\t\t\t\t\t\n";
    const CliRun tsv = Cli(stations);
    EXPECT_EQ(tsv.out,
              "station\t" + std::string(kHeader) + "roof\t" + roof + "B mast\t" + mast + "shed\t" + shed);
    EXPECT_EQ(tsv.err, "");
    EXPECT_EQ(tsv.status, 0);

    std::vector<std::string> csvArgs = stations;
    csvArgs.insert(csvArgs.end(), {"--format", "csv"});
    const CliRun csv = Cli(csvArgs);
    const std::vector<std::string> lines = marlix::test::Lines(csv.out);
    ASSERT_EQ(lines.size(), 4U);
    EXPECT_EQ(lines[0].substr(0, 12), "station,day,");
    EXPECT_EQ(lines[1].substr(0, 16), "roof,2024-03-05,");
    EXPECT_EQ(lines[2].substr(0, 18), "B mast,2024-03-06,");
    EXPECT_EQ(lines[3].substr(0, 16), "shed,2024-03-04,");

    std::vector<std::string> jsonArgs = stations;
    jsonArgs.insert(jsonArgs.end(), {"--format", "json", "--from", "2024-03-06"});
    const CliRun json = Cli(jsonArgs);
    EXPECT_EQ(
        json.out,
        "[\n"
        "  {\"station\": \"B mast\", \"day\": \"2024-03-06\", \"lines\": 6, \"first_time\": \"2024-03-06 "
        "00:00:00\", \"last_time\": \"2024-03-06 00:00:00\", \"fix_none_pct\": 0.0000, \"fix_2d_pct\": "
        "25.0000, \"fix_3d_pct\": 75.0000, \"fix_none\": 0, \"fix_2d\": 1, \"fix_3d\": 3, "
        "\"control_format\": true, \"mode_inactive_pct\": 25.0000, \"mode_coarse_pct\": null, "
        "\"mode_fine_or_control_pct\": 50.0000, \"mode_inactive\": 1, \"mode_coarse\": null, "
        "\"mode_fine_or_control\": 2, \"average_pdop\": 2.00, \"gps_seeking_pct\": null, "
        "\"mean_strength\": null, \"num_good_min\": null, \"num_good_mean\": null, \"error\": null}\n"
        "]\n");

    // One folder with a label is a named station too.
    const CliRun one = Cli({"table", "--data-dir", (dir_ / "shed").string(), "--label", "S"});
    EXPECT_EQ(one.out, "station\t" + std::string(kHeader) + "S\t" + shed);
}

// Finished days go to the store in the first table and come from it in the next, with the very same
// output; store stats, verify and clear look after it.
TEST_F(Table, TheStoreKeepsFinishedDays) {
    ASSERT_EQ(Cli({"simulate", "--out", Days(), "--days", "3", "--end", "2024-03-31"}).status, 0);
    WriteHandMadeDays();
    // Logs written long ago: their modification times an hour back, their change times a time tick
    // behind the first table.
    for (const auto& entry : fs::directory_iterator(Days())) {
        if (entry.is_regular_file())
            fs::last_write_time(entry.path(), fs::last_write_time(entry.path()) - std::chrono::hours(1));
    }
    ::sleep(3);
    const CliRun fromLogs = Cli({"table", "--data-dir", Days(), "--no-store"});
    EXPECT_FALSE(fs::exists(dir_ / "cache"));
    const CliRun filling = Cli({"table", "--data-dir", Days()});
    EXPECT_EQ(filling.out, fromLogs.out);
    EXPECT_EQ(filling.err, fromLogs.err);
    CliRun store = Cli({"store", "stats"});
    const std::string path = (dir_ / "cache" / "marlix-sqa" / "days.sqlite").string();
    // The readable days of the folder; the unreadable one is never stored.
    EXPECT_EQ(store.out.substr(0, store.out.find("\nbytes")),
              "store\t" + path + "\nfolders\t1\ndays\t6\noutdated\t0");
    const CliRun fromStore = Cli({"table", "--data-dir", Days()});
    EXPECT_EQ(fromStore.out, fromLogs.out);
    EXPECT_EQ(fromStore.status, 1);

    store = Cli({"store", "verify", "--sample", "100"});
    EXPECT_EQ(store.out, "checked\t6\nstale\t0\ndiffer\t0\n");
    EXPECT_EQ(store.status, 0);
    store = Cli({"store", "clear"});
    EXPECT_EQ(store.out, "cleared\t" + path + "\n");
    store = Cli({"store", "stats"});
    EXPECT_NE(store.out.find("\ndays\t0\n"), std::string::npos) << store.out;
}

// A store that cannot be made is said once and costs nothing but the time of reading the logs.
TEST_F(Table, AStoreThatCannotBeMadeLeavesTheOutputAsItIs) {
    WriteHandMadeDays();
    std::ofstream(dir_ / "cache") << "";
    const CliRun run = Cli({"table", "--data-dir", Days(), "--from", "2024-03-05", "--to", "2024-03-06"});
    EXPECT_EQ(
        run.out,
        Cli({"table", "--data-dir", Days(), "--from", "2024-03-05", "--to", "2024-03-06", "--no-store"}).out);
    EXPECT_EQ(run.err,
              "marlix-sqa-cli: skipped 1 name with an impossible date (2024-02-30_rx_data.txt)\n"
              "marlix-sqa-cli: the day store " +
                  (dir_ / "cache" / "marlix-sqa" / "days.sqlite").string() +
                  " cannot be used (Not a directory); the days are read from their logs\n");
    EXPECT_EQ(run.status, 0);
}

}  // namespace
