// The store of day metrics on real SQLite files in temporary folders: when a row stands for its log,
// what reaches the store is exactly what the log gives, several programs at once, and stores that
// are damaged, read-only, killed mid-write or of a newer layout.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "marlix/core/analysis.h"
#include "marlix/core/day_metrics.h"
#include "marlix/core/days.h"
#include "marlix/core/simulator.h"
#include "support/small_filesystem.h"

namespace {

namespace fs = std::filesystem;
using namespace marlix::core;

constexpr DayTime kDay = 45356;  // 2024-03-05
constexpr std::int64_t kSecond = 1'000'000'000;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

void SetModified(const fs::path& path, std::int64_t ns) {
    const timespec times[2] = {{ns / kSecond, ns % kSecond}, {ns / kSecond, ns % kSecond}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// The first hours of a simulated day: long enough for every record kind, short enough to write fast.
std::string SimulatedHours(DayTime day, int hours, bool control = false) {
    SimulationOptions options;
    options.controlFormat = control;
    options.seed = static_cast<std::uint64_t>(day);
    DaySimulation simulation(day, options);
    std::string text;
    for (int s = 0; s < hours * 3600; ++s) text += simulation.BlockAt(s);
    return text;
}

// What reading the log alone gives.
DayMetrics FromLog(const std::string& path, bool satellites) {
    LoadOptions load;
    load.minutes = false;
    load.satellites = satellites;
    LoadResult result = AnalyseFiles({path}, "", LocaleConventions{}, load);
    EXPECT_TRUE(result.analysis) << path;
    if (!result.analysis) return {};
    DayMetrics metrics{result.analysis->totals, std::nullopt};
    if (satellites) metrics.satellites = SatelliteMeans(*result.analysis->satellites);
    return metrics;
}

struct MetricsRun {
    std::vector<DayMetricsOutcome> days;
    std::size_t stored = 0, toRead = 0;
    std::vector<DaySource> Sources() const {
        std::vector<DaySource> sources;
        for (const auto& day : days) sources.push_back(day.source);
        return sources;
    }
};

class DayStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("marlix_store_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(Folder());
        // The files' change times are now: a clock a few ticks ahead lets rows stand for them at once.
        now_ = SystemNowNs() + 3 * kFileTimeTickNs;
        old_ = now_ - 3600 * kSecond;
    }
    void TearDown() override {
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir_);
    }

    std::string Folder() const { return (dir_ / "days").string(); }
    std::string StorePath() const { return (dir_ / "cache" / "days.sqlite").string(); }
    fs::path DayPath(DayTime day) const { return DayFilePath(Folder(), day); }
    void WriteDay(DayTime day, const std::string& text) {
        WriteText(DayPath(day), text);
        SetModified(DayPath(day), old_);
    }

    MetricsRun Read(DayStore* store, const std::vector<DayTime>& days, bool satellites = false) {
        MetricsRun run;
        run.days.resize(days.size());
        DayMetricsOptions options;
        options.store = store;
        options.satellites = satellites;
        options.nowNs = [this] { return now_; };
        options.planned = [&run](std::size_t stored, std::size_t toRead) {
            run.stored = stored;
            run.toRead = toRead;
        };
        EXPECT_TRUE(ReadDayMetrics(Folder(), days, options, [&](std::size_t i, DayMetricsOutcome&& day) {
            run.days[i] = std::move(day);
        }));
        return run;
    }
    // The day's source in a run, and that its metrics are those of its log as it is now.
    DaySource ReadOne(DayStore& store, DayTime day) {
        const MetricsRun run = Read(&store, {day});
        EXPECT_TRUE(run.days[0].metrics);
        if (run.days[0].metrics) {
            EXPECT_EQ(*run.days[0].metrics, FromLog(DayPath(day), false));
        }
        return run.days[0].source;
    }

    fs::path dir_;
    std::int64_t now_ = 0;
    std::int64_t old_ = 0;
};

TEST_F(DayStoreTest, ARowStandsOnlyForTheVeryFileItWasMadeFrom) {
    const std::string text = SimulatedHours(kDay, 1);
    WriteDay(kDay, text);
    DayStore store(StorePath());
    ASSERT_TRUE(store.Usable());
    EXPECT_EQ(ReadOne(store, kDay), DaySource::Log);
    EXPECT_EQ(ReadOne(store, kDay), DaySource::Store);

    // touch: a new modification time.
    SetModified(DayPath(kDay), old_ + kSecond);
    EXPECT_EQ(ReadOne(store, kDay), DaySource::Log);
    EXPECT_EQ(ReadOne(store, kDay), DaySource::Store);

    // Appended to, its old modification time put back.
    std::ofstream(DayPath(kDay), std::ios::app | std::ios::binary) << "UTC Time  : 01:00:00 05/03/24\r\n";
    SetModified(DayPath(kDay), old_ + kSecond);
    EXPECT_EQ(ReadOne(store, kDay), DaySource::Log);
    EXPECT_EQ(ReadOne(store, kDay), DaySource::Store);

    // Rewritten with other bytes of the same size within the same second: only the change time tells.
    std::string rewritten = ReadText(DayPath(kDay));
    rewritten.replace(rewritten.find("Fix, Mode"), 9, "xxx, xxxx");
    WriteText(DayPath(kDay), rewritten);
    SetModified(DayPath(kDay), old_ + kSecond);
    EXPECT_EQ(ReadOne(store, kDay), DaySource::Log);
    EXPECT_EQ(ReadOne(store, kDay), DaySource::Store);

    // Replaced by rename with a file of the same size and times: another inode.
    WriteText(dir_ / "replacement", text + "UTC Time  : 01:00:00 05/03/24\r\n");
    SetModified(dir_ / "replacement", old_ + kSecond);
    fs::rename(dir_ / "replacement", DayPath(kDay));
    EXPECT_EQ(ReadOne(store, kDay), DaySource::Log);
    EXPECT_EQ(ReadOne(store, kDay), DaySource::Store);
}

TEST_F(DayStoreTest, ARowMadeWithinATimeTickOfTheChangeOrByOlderRulesIsMadeAgain) {
    WriteDay(kDay, SimulatedHours(kDay, 1));
    const FileIdentity file = *IdentityOf(DayPath(kDay));
    DayStore store(StorePath());
    const StoredDay inTick{kDay, file, file.ctimeNs + kFileTimeTickNs - 1, kAnalysisVersion, {}};
    ASSERT_TRUE(store.Put(StoreFolderKey(Folder()), {&inTick, 1}));
    EXPECT_EQ(ReadOne(store, kDay), DaySource::Log);
    EXPECT_EQ(ReadOne(store, kDay), DaySource::Store);

    const StoredDay olderRules{kDay, file, now_, kAnalysisVersion - 1, {}};
    ASSERT_TRUE(store.Put(StoreFolderKey(Folder()), {&olderRules, 1}));
    EXPECT_EQ(ReadOne(store, kDay), DaySource::Log);
    EXPECT_EQ(ReadOne(store, kDay), DaySource::Store);
}

TEST_F(DayStoreTest, TodayAndFilesModifiedInTheLastMinuteOrAfterAClockSetBackComeFromTheLog) {
    const DayTime today = std::floor(DayTimeFromUnixSeconds(static_cast<double>(now_) / 1e9));
    WriteDay(today, SimulatedHours(today, 1));
    WriteDay(kDay, SimulatedHours(kDay, 1));
    DayStore store(StorePath());
    EXPECT_EQ(Read(&store, {today, kDay}).Sources(), (std::vector{DaySource::Log, DaySource::Log}));
    EXPECT_EQ(Read(&store, {today, kDay}).Sources(), (std::vector{DaySource::Log, DaySource::Store}));
    EXPECT_EQ(store.Stats()->rows, 1);

    // Modified half a minute ago: perhaps still being written.
    SetModified(DayPath(kDay), now_ - 30 * kSecond);
    EXPECT_EQ(ReadOne(store, kDay), DaySource::Log);
    EXPECT_EQ(ReadOne(store, kDay), DaySource::Log);

    SetModified(DayPath(kDay), old_);
    EXPECT_EQ(ReadOne(store, kDay), DaySource::Log);
    EXPECT_EQ(ReadOne(store, kDay), DaySource::Store);

    // The clock set back two hours; the file is appended to and given a modification time before the
    // row's. Its change time lies after every row the set-back clock makes, so none of them stands.
    const std::int64_t rightNow = now_;
    now_ = old_ - 3600 * kSecond;
    std::ofstream(DayPath(kDay), std::ios::app | std::ios::binary) << "Fix, Mode 3D Fine\r\n";
    SetModified(DayPath(kDay), old_ - 2 * 3600 * kSecond);
    EXPECT_EQ(ReadOne(store, kDay), DaySource::Log);
    EXPECT_EQ(ReadOne(store, kDay), DaySource::Log);
    // A file modified after the set-back clock's now is not kept at all.
    SetModified(DayPath(kDay), old_);
    EXPECT_EQ(ReadOne(store, kDay), DaySource::Log);
    now_ = rightNow;
    EXPECT_EQ(ReadOne(store, kDay), DaySource::Log);
    EXPECT_EQ(ReadOne(store, kDay), DaySource::Store);
}

TEST_F(DayStoreTest, TheStoreGivesExactlyWhatTheLogsGive) {
    std::vector<DayTime> days;
    DayTime day = kDay;
    for (const auto& entry : fs::directory_iterator(TEST_DATA_DIR)) {
        if (!entry.is_regular_file()) continue;
        WriteDay(day, ReadText(entry.path()));
        days.push_back(day++);
    }
    WriteDay(day, SimulateDay(day, {}));
    days.push_back(day++);
    WriteDay(day, SimulateDay(day, {2, true}));
    days.push_back(day++);
    WriteDay(day, SimulatedHours(day, 5));
    days.push_back(day++);

    DayStore store(StorePath());
    for (const bool satellites : {false, true}) {
        const MetricsRun filled = Read(&store, days, satellites);
        const MetricsRun stored = Read(&store, days, satellites);
        EXPECT_EQ(stored.stored, days.size());
        for (std::size_t i = 0; i < days.size(); ++i) {
            ASSERT_TRUE(stored.days[i].metrics);
            EXPECT_EQ(stored.days[i].source, DaySource::Store);
            const DayMetrics log = FromLog(DayPath(days[i]), satellites);
            EXPECT_EQ(*filled.days[i].metrics, log) << FormatIsoDate(days[i]);
            EXPECT_EQ(*stored.days[i].metrics, log) << FormatIsoDate(days[i]);
        }
    }
    EXPECT_EQ(VerifyDayStore(store, days.size()).checked, days.size());
    EXPECT_TRUE(VerifyDayStore(store, days.size()).differ.empty());
}

TEST_F(DayStoreTest, VerifyFindsARowThatDiffersFromItsLog) {
    WriteDay(kDay, SimulatedHours(kDay, 1));
    WriteDay(kDay + 1, SimulatedHours(kDay + 1, 1));
    DayStore store(StorePath());
    Read(&store, {kDay, kDay + 1});
    StoredDay wrong = store.Rows(StoreFolderKey(Folder()), {kDay})[0];
    wrong.metrics.totals.fixCounts[2] += 1;
    ASSERT_TRUE(store.Put(StoreFolderKey(Folder()), {&wrong, 1}));
    const StoreVerification verification = VerifyDayStore(store, 10);
    EXPECT_EQ(verification.checked, 2U);
    EXPECT_EQ(verification.differ, std::vector<std::string>{StoreFolderKey(Folder()) + " 2024-03-05"});
    fs::remove(DayPath(kDay + 1));
    EXPECT_EQ(VerifyDayStore(store, 10).stale, 1U);
}

// Runs `work` in a child process; its exit status.
template <class Work>
pid_t StartChild(Work work) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int status = work();
        ::_exit(status);
    }
    return pid;
}

int WaitStatus(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(DayStoreTest, TwoProgramsFillOneStoreAtOnce) {
    std::vector<DayTime> days;
    for (int i = 0; i < 40; ++i) {
        WriteDay(kDay + i, SimulatedHours(kDay + i, 1));
        days.push_back(kDay + i);
    }
    std::vector<pid_t> children;
    for (int child = 0; child < 2; ++child) {
        // The two read the days in opposite orders, so that their writes cross.
        std::vector<DayTime> order = days;
        if (child == 1) std::reverse(order.begin(), order.end());
        children.push_back(StartChild([&, order] {
            DayStore store(StorePath());
            DayMetricsOptions options;
            options.store = &store;
            options.workers = 1;
            options.nowNs = [this] { return now_; };
            int failures = 0;
            for (int round = 0; round < 2; ++round) {
                ReadDayMetrics(Folder(), order, options, [&](std::size_t, DayMetricsOutcome&& day) {
                    if (!day.metrics) ++failures;
                });
            }
            const std::string notice = store.TakeNotice();
            if (failures == 0 && store.Usable() && notice.empty()) return 0;
            std::fprintf(stderr, "a program: %d days not read, store %s, notice \"%s\"\n", failures,
                         store.Usable() ? "usable" : "not usable", notice.c_str());
            return 1;
        }));
    }
    for (const pid_t child : children) EXPECT_EQ(WaitStatus(child), 0);
    DayStore store(StorePath());
    EXPECT_EQ(Read(&store, days).stored, days.size());
    EXPECT_EQ(store.TakeNotice(), "");
}

TEST_F(DayStoreTest, AWriterKilledInTheMiddleOfATransactionLeavesAStoreTheNextRunUses) {
    WriteDay(kDay, SimulatedHours(kDay, 1));
    { DayStore created(StorePath()); }
    const pid_t child = StartChild([this] {
        sqlite3* db = nullptr;
        sqlite3_open(StorePath().c_str(), &db);
        // A small page cache, so that the unfinished transaction spills into the write-ahead log.
        sqlite3_exec(db, "PRAGMA cache_size = 2; BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        for (int i = 0; i < 2000; ++i) {
            const std::string insert = "INSERT INTO days VALUES('/killed/', " + std::to_string(i) +
                                       ", 0,0,0,0,0,0,1, 0,0,0,0, 0,0,0,0, 0,0,0, 0,0,0, NULL, 0,0,0, "
                                       "zeroblob(1000))";
            sqlite3_exec(db, insert.c_str(), nullptr, nullptr, nullptr);
        }
        ::raise(SIGKILL);
        return 0;
    });
    EXPECT_EQ(WaitStatus(child), -1);
    ASSERT_TRUE(fs::exists(StorePath() + "-wal"));
    EXPECT_GT(fs::file_size(StorePath() + "-wal"), 100'000U);

    DayStore store(StorePath());
    EXPECT_TRUE(store.Usable());
    EXPECT_EQ(store.Stats()->rows, 0);
    EXPECT_EQ(ReadOne(store, kDay), DaySource::Log);
    EXPECT_EQ(ReadOne(store, kDay), DaySource::Store);
    EXPECT_EQ(store.TakeNotice(), "");
}

TEST_F(DayStoreTest, ADamagedStoreIsSetAsideAndMadeAgain) {
    WriteDay(kDay, SimulatedHours(kDay, 1));
    fs::create_directories(fs::path(StorePath()).parent_path());
    WriteText(StorePath(), std::string(8192, 'x'));
    {
        DayStore store(StorePath());
        EXPECT_TRUE(store.Usable());
        EXPECT_EQ(store.TakeNotice(), "the day store " + StorePath() +
                                          " was damaged (file is not a database); it was set aside as " +
                                          StorePath() + ".damaged and is made again from the logs");
        EXPECT_EQ(store.TakeNotice(), "");
        EXPECT_EQ(ReadText(StorePath() + ".damaged"), std::string(8192, 'x'));
        EXPECT_EQ(ReadOne(store, kDay), DaySource::Log);
        EXPECT_EQ(ReadOne(store, kDay), DaySource::Store);
    }
    // A good header with a damaged table: found when the rows are read.
    {
        std::fstream file(StorePath(), std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(4096);
        file << std::string(4096, '\xff');
    }
    DayStore store(StorePath());
    EXPECT_EQ(ReadOne(store, kDay), DaySource::Log);
    EXPECT_NE(store.TakeNotice().find("was damaged"), std::string::npos);
    EXPECT_EQ(ReadOne(store, kDay), DaySource::Store);
}

TEST_F(DayStoreTest, AStoreOfANewerLayoutIsLeftAlone) {
    WriteDay(kDay, SimulatedHours(kDay, 1));
    fs::create_directories(fs::path(StorePath()).parent_path());
    sqlite3* db = nullptr;
    sqlite3_open(StorePath().c_str(), &db);
    sqlite3_exec(db, "CREATE TABLE future(x); PRAGMA user_version = 99", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    const std::string before = ReadText(StorePath());

    DayStore store(StorePath());
    EXPECT_FALSE(store.Usable());
    EXPECT_EQ(store.TakeNotice(), "the day store " + StorePath() +
                                      " was made by a newer version of the program; the days are read "
                                      "from their logs");
    EXPECT_EQ(ReadOne(store, kDay), DaySource::Log);
    EXPECT_EQ(ReadOne(store, kDay), DaySource::Log);
    EXPECT_EQ(ReadText(StorePath()), before);
}

TEST_F(DayStoreTest, AStoreThatCannotBeMadeOrWrittenLeavesTheLogs) {
    WriteDay(kDay, SimulatedHours(kDay, 1));
    // The cache folder's place is taken by a file: not even root can make the store there.
    WriteText(dir_ / "cache", "");
    DayStore unmade(StorePath());
    EXPECT_FALSE(unmade.Usable());
    EXPECT_NE(unmade.TakeNotice().find("cannot be used"), std::string::npos);
    EXPECT_EQ(unmade.TakeNotice(), "");
    EXPECT_EQ(ReadOne(unmade, kDay), DaySource::Log);
    fs::remove(dir_ / "cache");

    // A full disk, as a limit on the size of the files written, which binds root too: a row too big
    // for it cannot be written, and the store is written no more.
    { DayStore made(StorePath()); }
    const pid_t child = StartChild([this] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{64 * 1024, 64 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        DayStore full(StorePath());
        StoredDay big{kDay, *IdentityOf(DayPath(kDay)), now_, kAnalysisVersion, {}};
        big.metrics.satellites.emplace(20'000, SatelliteMean{});
        const bool written = full.Put(StoreFolderKey(Folder()), {&big, 1});
        const bool saidOnce =
            full.TakeNotice().find("cannot be written") != std::string::npos && full.TakeNotice().empty();
        return !written && saidOnce && ReadOne(full, kDay) == DaySource::Log ? 0 : 1;
    });
    EXPECT_EQ(WaitStatus(child), 0);

    // A real full file system (a small tmpfs) and the store's folder mounted read-only, which bind root
    // too.
    const marlix::test::SmallFileSystem small("128k");
    if (!small.Problem().empty()) GTEST_SKIP() << small.Problem();
    {
        DayStore full((small.Path() / "days.sqlite").string());
        StoredDay big{kDay, *IdentityOf(DayPath(kDay)), now_, kAnalysisVersion, {}};
        big.metrics.satellites.emplace(40'000, SatelliteMean{});
        EXPECT_TRUE(full.Usable());
        EXPECT_FALSE(full.Put(StoreFolderKey(Folder()), {&big, 1}));
        EXPECT_NE(full.TakeNotice().find("cannot be written"), std::string::npos);
        EXPECT_EQ(ReadOne(full, kDay), DaySource::Log);
        EXPECT_EQ(full.TakeNotice(), "");
    }
    ASSERT_EQ(small.BindReadOnly(fs::path(StorePath()).parent_path()), "");
    DayStore readOnly(StorePath());
    EXPECT_EQ(ReadOne(readOnly, kDay), DaySource::Log);
    EXPECT_EQ(ReadOne(readOnly, kDay), DaySource::Log);
    EXPECT_FALSE(readOnly.TakeNotice().empty());
}

}  // namespace
