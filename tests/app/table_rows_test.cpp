// The days of `table` analysed in parallel: every outcome in date order, and a day whose analysis
// fails or throws becomes that day's error while the others stand.
#include <gtest/gtest.h>

#include <mutex>
#include <new>
#include <stdexcept>

#include "table.h"

namespace marlix::cli {
namespace {

core::LoadResult DayOf(const std::string& path) {
    core::DayAnalysis analysis;
    analysis.lineCount = static_cast<std::int64_t>(path.size());
    return {std::move(analysis), std::nullopt};
}

TEST(TableDays, AThrowingOrFailingDayBecomesItsErrorAndTheOthersStand) {
    const std::vector<std::string> paths = {"/d/a",       "/d/bb",        "/d/throws",
                                            "/d/missing", "/d/no-memory", "/d/ccc"};
    for (const unsigned jobs : {1U, 2U, 4U}) {
        const auto outcomes = AnalyseDayFiles(paths, jobs, [](const std::string& path, unsigned) {
            if (path == "/d/throws") throw std::runtime_error("unexpected record");
            if (path == "/d/no-memory") throw std::bad_alloc();
            if (path == "/d/missing")
                return core::LoadResult{std::nullopt, core::LoadFailure{path, "No such file or directory"}};
            return DayOf(path);
        });
        ASSERT_EQ(outcomes.size(), paths.size());
        std::vector<std::string> seen;
        for (const DayFileOutcome& day : outcomes) {
            EXPECT_NE(day.analysis.has_value(), !day.error.empty());
            seen.push_back(day.analysis ? std::to_string(day.analysis->lineCount) : day.error);
        }
        EXPECT_EQ(seen, (std::vector<std::string>{"4", "5", "cannot analyse /d/throws: unexpected record",
                                                  "cannot read /d/missing: No such file or directory",
                                                  "cannot analyse /d/no-memory: std::bad_alloc", "6"}))
            << jobs;
    }
}

TEST(TableDays, OneDayReadsItsPiecesOnEveryThreadAndManyDaysOneEach) {
    std::mutex mutex;
    std::vector<unsigned> threads;
    const auto record = [&](const std::string& path, unsigned n) {
        const std::lock_guard lock(mutex);
        threads.push_back(n);
        return DayOf(path);
    };
    AnalyseDayFiles({"/d/a"}, 3, record);
    AnalyseDayFiles({"/d/a", "/d/b", "/d/c"}, 3, record);
    EXPECT_EQ(threads, (std::vector<unsigned>{3, 1, 1, 1}));
}

}  // namespace
}  // namespace marlix::cli
