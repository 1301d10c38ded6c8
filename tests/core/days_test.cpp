// The days of a data folder: day-log names, folder paths, which days a folder holds, and many days
// read at once, each handed over in order with its analysis or its error.
#include "marlix/core/days.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <stdexcept>

#include "marlix/core/ordered_work.h"
#include "test_support.h"

namespace marlix::core {
namespace {

namespace fs = std::filesystem;

TEST(DayFileNames, UseTheDatePart) {
    EXPECT_EQ(DayFileName(45356), "2024-03-05_rx_data.txt");
    EXPECT_EQ(DayFileName(45356.99), "2024-03-05_rx_data.txt");
    EXPECT_EQ(DayFileName(EncodeDate(202, 1, 2)), "0202-01-02_rx_data.txt");
}

TEST(DayFileNames, StandForTheirDayAndNoOtherNameDoes) {
    EXPECT_EQ(DayOfFileName("2024-03-05_rx_data.txt"), 45356);
    EXPECT_EQ(DayOfFileName("0202-01-02_rx_data.txt"), EncodeDate(202, 1, 2));
    for (const char* other : {"2024-02-30_rx_data.txt", "2024-3-05_rx_data.txt", "2024-03-05_rx_data.txt.bak",
                              "x2024-03-05_rx_data.txt", "2024-03-05_RX_DATA.txt", "2024-03-05_rx_data.csv",
                              "2024-03-05", "_rx_data.txt", ""}) {
        EXPECT_EQ(DayOfFileName(other), std::nullopt) << other;
    }
}

TEST(FileList, AbsoluteNamesIgnoreTheDataDirectory) {
    EXPECT_EQ(LogFilePath("/logs/a.txt", "/data/"), "/logs/a.txt");
    EXPECT_EQ(LogFilePath("a.txt", "/data/"), "/data/a.txt");
    EXPECT_EQ(LogFilePath("a.txt", "/data"), "/data/a.txt");
    EXPECT_EQ(LogFilePath("a.txt", ""), "a.txt");
    EXPECT_EQ(FolderWithSeparator("/data"), "/data/");
    EXPECT_EQ(FolderWithSeparator("/data/"), "/data/");
    EXPECT_EQ(FolderWithSeparator(""), "");
    EXPECT_EQ(DayFilePath("logs", 45356), "logs/2024-03-05_rx_data.txt");
}

class FolderOfDays : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string name = (fs::temp_directory_path() / "marlix_days_XXXXXX").string();
        ASSERT_NE(::mkdtemp(name.data()), nullptr);
        dir_ = name;
    }
    void TearDown() override {
        if (!dir_.empty()) fs::remove_all(dir_);
    }

    std::string Dir() const { return dir_.string(); }
    // A day log of that many lines, none of them a record.
    void WriteDay(DayTime day, int lines) {
        std::ofstream out(dir_ / DayFileName(day), std::ios::binary);
        for (int i = 0; i < lines; ++i) out << "line\n";
    }
    void LinkDayToNothing(DayTime day) { fs::create_symlink(dir_ / "gone.txt", dir_ / DayFileName(day)); }

    // Every day's line count or error, in the order handed over.
    std::vector<std::string> Read(const std::vector<DayTime>& days, const ReadDaysOptions& options,
                                  bool* completed = nullptr) {
        std::vector<std::string> seen;
        const bool done =
            ReadDays(Dir(), days, LocaleConventions{}, options, [&](std::size_t i, DayOutcome&& day) {
                EXPECT_EQ(i, seen.size());
                EXPECT_NE(day.analysis.has_value(), !day.error.empty());
                seen.push_back(day.analysis ? std::to_string(day.analysis->lineCount) : day.error);
            });
        if (completed) *completed = done;
        return seen;
    }

    fs::path dir_;
};

TEST_F(FolderOfDays, ListsItsDayLogsInDateOrderWithinTheRange) {
    const DayTime march4 = test::kMarch4;
    for (const DayTime day : {march4 + 3, march4, march4 + 1}) WriteDay(day, 1);
    LinkDayToNothing(march4 + 5);
    fs::create_directory(dir_ / DayFileName(march4 + 6));  // a day whose log cannot be read
    for (const char* other : {"notes.txt", "2024-02-30_rx_data.txt", "2024-03-08_rx_data.txt.bak"})
        std::ofstream(dir_ / other) << "line\n";

    FolderDays listed = ListDays(Dir());
    EXPECT_EQ(listed.problem, "");
    EXPECT_EQ(listed.days, (std::vector<DayTime>{march4, march4 + 1, march4 + 3, march4 + 5, march4 + 6}));
    listed = ListDays(Dir() + "/", march4 + 1, march4 + 5);
    EXPECT_EQ(listed.days, (std::vector<DayTime>{march4 + 1, march4 + 3, march4 + 5}));
    EXPECT_EQ(ListDays(Dir(), march4 + 4).days, (std::vector<DayTime>{march4 + 5, march4 + 6}));
    EXPECT_EQ(ListDays(Dir(), std::nullopt, march4).days, (std::vector<DayTime>{march4}));
    // Only the names written as a day log's name an impossible date, whatever the range.
    std::ofstream(dir_ / "2023-13-01_rx_data.txt") << "line\n";
    EXPECT_EQ(ListDays(Dir(), march4, march4).impossibleDates,
              (std::vector<std::string>{"2023-13-01_rx_data.txt", "2024-02-30_rx_data.txt"}));

    // Days after today are taken off the end of the list.
    std::vector<DayTime> days = listed.days;
    EXPECT_EQ(TakeDaysAfter(days, march4 + 3), (std::vector<DayTime>{march4 + 5}));
    EXPECT_EQ(days, (std::vector<DayTime>{march4 + 1, march4 + 3}));
    EXPECT_EQ(TakeDaysAfter(days, march4), (std::vector<DayTime>{march4 + 1, march4 + 3}));
    EXPECT_TRUE(days.empty());
}

TEST_F(FolderOfDays, AFolderThatCannotBeListedSaysWhy) {
    const FolderDays listed = ListDays(Dir() + "/none/");
    EXPECT_TRUE(listed.days.empty());
    EXPECT_EQ(listed.problem, "cannot list " + Dir() + "/none/: No such file or directory");
}

TEST_F(FolderOfDays, AThrowingOrFailingDayBecomesItsErrorAndTheOthersStand) {
    const DayTime march4 = test::kMarch4;
    WriteDay(march4, 4);
    WriteDay(march4 + 1, 5);
    WriteDay(march4 + 2, 1);  // its analysis throws
    WriteDay(march4 + 4, 1);  // out of memory
    WriteDay(march4 + 5, 6);
    ReadDaysOptions options;
    options.beforeDay = [march4](DayTime day) {
        if (day == march4 + 2) throw std::runtime_error("unexpected record");
        if (day == march4 + 4) throw std::bad_alloc();
    };
    const auto path = [this](DayTime day) { return (dir_ / DayFileName(day)).string(); };
    for (const unsigned workers : {1U, 2U, 4U}) {
        options.workers = workers;
        bool completed = false;
        EXPECT_EQ(
            Read({march4, march4 + 1, march4 + 2, march4 + 3, march4 + 4, march4 + 5}, options, &completed),
            (std::vector<std::string>{"4", "5", "cannot analyse " + path(march4 + 2) + ": unexpected record",
                                      "cannot read " + path(march4 + 3) + ": No such file or directory",
                                      "cannot analyse " + path(march4 + 4) + ": std::bad_alloc", "6"}))
            << workers;
        EXPECT_TRUE(completed) << workers;
    }
}

TEST_F(FolderOfDays, AStopHandsNoFurtherDayOver) {
    const std::vector<DayTime> days = {test::kMarch4, test::kMarch4 + 1, test::kMarch4 + 2};
    for (const DayTime day : days) WriteDay(day, 3);
    for (const unsigned workers : {1U, 3U}) {
        std::atomic<bool> stop{false};
        ReadDaysOptions options;
        options.workers = workers;
        options.stopRequested = [&stop] { return stop.load(); };
        options.beforeDay = [&stop, &days](DayTime day) {
            if (day == days[1]) stop = true;
        };
        bool completed = true;
        const std::vector<std::string> seen = Read(days, options, &completed);
        EXPECT_FALSE(completed) << workers;
        // One worker reads the first day before the stop; with three the stop may come first.
        if (workers == 1) {
            EXPECT_EQ(seen, std::vector<std::string>{"3"});
        } else {
            EXPECT_LE(seen.size(), 1U);
        }
    }
}

TEST(DayThreadShares, ADayReadsItsPiecesOnEveryThreadWhenDaysAreFewer) {
    EXPECT_EQ(ShareThreads(1, 3), (DayThreads{1, 3}));
    EXPECT_EQ(ShareThreads(2, 3), (DayThreads{2, 3}));
    EXPECT_EQ(ShareThreads(3, 3), (DayThreads{3, 1}));
    EXPECT_EQ(ShareThreads(40, 3), (DayThreads{3, 1}));
    EXPECT_EQ(ShareThreads(1000, 0), (DayThreads{DefaultWorkerCount(), 1}));
}

}  // namespace
}  // namespace marlix::core
