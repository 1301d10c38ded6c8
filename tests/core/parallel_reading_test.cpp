// Files read in pieces on several threads give exactly what one sequential pass gives, and the
// machinery that runs the pieces hands their results over in order.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "marlix/core/ordered_work.h"
#include "marlix/core/simulator.h"
#include "test_support.h"

namespace marlix::core {
namespace {

namespace fs = std::filesystem;

// ---- jobs run in parallel, handed over in order ----

TEST(RunInOrder, HandsEveryResultOverInOrderOneAtATimeOnTheWorkersWithinTheWindow) {
    constexpr std::size_t kJobs = 300;
    constexpr std::size_t kWindow = 5;
    const std::thread::id caller = std::this_thread::get_id();
    std::atomic<std::size_t> handedCount{0};
    std::atomic<int> inHand{0};
    std::atomic<bool> overlapped{false};
    std::atomic<bool> ranOnCaller{false};
    std::atomic<bool> aheadOfWindow{false};
    std::vector<std::size_t> handed;  // unguarded: hand must never run twice at once
    const bool completed = RunInOrder<std::size_t>(
        kJobs, 3, kWindow,
        [&](std::size_t i) {
            if (std::this_thread::get_id() == caller) ranOnCaller = true;
            if (i >= handedCount.load() + kWindow) aheadOfWindow = true;
            // Uneven work, so that later jobs often finish first.
            volatile std::size_t sink = 0;
            for (std::size_t k = 0; k < (kJobs - i) * 500; ++k) sink = sink + k;
            return i * i;
        },
        [&](std::size_t i, JobOutcome<std::size_t>&& outcome) {
            if (inHand.fetch_add(1) != 0) overlapped = true;
            if (std::this_thread::get_id() == caller) ranOnCaller = true;
            EXPECT_FALSE(outcome.error);
            EXPECT_EQ(outcome.value, i * i);
            handed.push_back(i);
            handedCount = i + 1;
            inHand.fetch_sub(1);
            return true;
        });
    EXPECT_TRUE(completed);
    ASSERT_EQ(handed.size(), kJobs);
    for (std::size_t i = 0; i < kJobs; ++i) ASSERT_EQ(handed[i], i);
    EXPECT_FALSE(overlapped);
    EXPECT_FALSE(ranOnCaller);
    EXPECT_FALSE(aheadOfWindow);
}

TEST(RunInOrder, AThrowingJobBecomesItsOutcomeAndAStopStartsNoFurtherJob) {
    for (const unsigned workers : {1U, 2U, 4U}) {
        std::atomic<std::size_t> highestStarted{0};
        std::vector<std::string> outcomes;
        const bool completed = RunInOrder<int>(
            100, workers, 4,
            [&](std::size_t i) {
                std::size_t seen = highestStarted.load();
                while (i > seen && !highestStarted.compare_exchange_weak(seen, i)) {
                }
                if (i == 3) throw std::runtime_error("job 3 failed");
                return static_cast<int>(i);
            },
            [&](std::size_t i, JobOutcome<int>&& outcome) {
                if (outcome.error) {
                    try {
                        std::rethrow_exception(outcome.error);
                    } catch (const std::exception& e) {
                        outcomes.push_back(e.what());
                    }
                } else {
                    outcomes.push_back(std::to_string(*outcome.value));
                }
                return i < 10;
            });
        EXPECT_FALSE(completed) << workers;
        EXPECT_EQ(outcomes, (std::vector<std::string>{"0", "1", "2", "job 3 failed", "4", "5", "6", "7", "8",
                                                      "9", "10"}))
            << workers;
        // Jobs 11 and later start only within the window of the last one handed over.
        EXPECT_LE(highestStarted.load(), 10u + std::max(4u, workers)) << workers;
    }
}

TEST(RunInOrder, AnExceptionOfHandStopsTheRunAndIsThrownAgain) {
    for (const unsigned workers : {1U, 2U}) {
        std::size_t handedBeforeThrow = 0;
        EXPECT_THROW(RunInOrder<int>(
                         50, workers, 4, [](std::size_t i) { return static_cast<int>(i); },
                         [&](std::size_t i, JobOutcome<int>&&) {
                             if (i == 7) throw std::runtime_error("hand failed");
                             ++handedBeforeThrow;
                             return true;
                         }),
                     std::runtime_error);
        EXPECT_EQ(handedBeforeThrow, 7u) << workers;
    }
}

// ---- parallel reading against one sequential pass ----

LoadOptions WithSatellites(bool satellites) {
    LoadOptions options;
    options.satellites = satellites;
    return options;
}

TEST(PiecesOfTexts, EveryFixtureCutAnywhereReadsAsOneLog) {
    std::vector<std::string> fixtures;
    for (const auto& entry : fs::recursive_directory_iterator(TEST_DATA_DIR)) {
        if (entry.is_regular_file())
            fixtures.push_back(test::ReadFixture(fs::relative(entry.path(), TEST_DATA_DIR).string()));
    }
    ASSERT_GE(fixtures.size(), 10u);
    for (std::size_t f = 0; f < fixtures.size(); ++f) {
        // Each fixture alone and followed by the next, so that the cuts also meet a file end.
        const std::vector<std::vector<std::string_view>> lists = {
            {fixtures[f]}, {fixtures[f], fixtures[(f + 1) % fixtures.size()]}};
        for (const auto& texts : lists) {
            const DayAnalysis expected = AnalyseTexts(texts);
            const DayAnalysis expectedWithSatellites = AnalyseTexts(texts, {}, WithSatellites(true));
            // Every other size also with the satellite lists, which travel beside the records.
            bool satellites = false;
            for (const std::uint64_t piece : {1, 2, 3, 5, 8, 13, 31, 64, 200}) {
                test::ExpectSameDay(AnalyseTextsInPieces(texts, piece, piece % 2 == 0 ? 3 : 1, satellites),
                                    satellites ? expectedWithSatellites : expected,
                                    "fixture " + std::to_string(f) + " of " + std::to_string(texts.size()) +
                                        " in pieces of " + std::to_string(piece));
                satellites = !satellites;
            }
        }
    }
}

class PiecesOfFiles : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        day_ = new std::string(SimulateDay(test::kMarch5, SimulationOptions{}));
        SimulationOptions control;
        control.controlFormat = true;
        controlDay_ = new std::string(SimulateDay(test::kMarch5 + 1, control));
    }
    static void TearDownTestSuite() {
        delete day_;
        delete controlDay_;
    }
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("marlix_pieces_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Write(const std::string& name, std::string_view bytes) {
        std::ofstream(dir_ / name, std::ios::binary) << bytes;
        return name;
    }
    // The files in reading order, read with one, two and five threads (with two also the satellite
    // levels; with five without the minute readings, which must change nothing else), against the
    // texts analysed one line after the other.
    void ExpectSameAsOnePass(const std::vector<std::pair<std::string, std::string>>& files) {
        std::vector<std::string> names;
        std::vector<std::string_view> texts;
        for (const auto& [name, text] : files) {
            names.push_back(Write(name, text));
            texts.push_back(text);
        }
        const DayAnalysis expectedWithSatellites = AnalyseTexts(texts, {}, WithSatellites(true));
        DayAnalysis expected = expectedWithSatellites;
        expected.satellites.reset();
        for (const unsigned threads : {1U, 2U, 5U}) {
            LoadOptions options = WithSatellites(threads == 2);
            options.threads = threads;
            options.minutes = threads != 5;
            const LoadResult result = AnalyseFiles(names, dir_.string() + "/", LocaleConventions{}, options);
            ASSERT_TRUE(result.analysis) << result.failure->reason;
            test::ExpectSameDay(*result.analysis, options.satellites ? expectedWithSatellites : expected,
                                files.front().first + " on " + std::to_string(threads));
            EXPECT_EQ(result.analysis->minutes.size(), options.minutes ? expected.minutes.size() : 0);
        }
    }

    static std::string* day_;
    static std::string* controlDay_;
    fs::path dir_;
};

std::string* PiecesOfFiles::day_ = nullptr;
std::string* PiecesOfFiles::controlDay_ = nullptr;

TEST_F(PiecesOfFiles, ADayCutInsideMinutesAndLinesReadsAsOneLog) {
    const std::string& day = *day_;
    // Cuts inside a minute, inside a line, between CR and LF, and a file holding half a line.
    const std::size_t a = day.size() / 3 + 5;
    const std::size_t b = day.find("\r\n", day.size() / 2) + 1;
    ExpectSameAsOnePass({{"a.txt", day.substr(0, a)},
                         {"b.txt", day.substr(a, b - a)},
                         {"c.txt", day.substr(b, 20)},
                         {"d.txt", day.substr(b + 20)},
                         {"e.txt", *controlDay_}});
}

TEST_F(PiecesOfFiles, EveryEncodingAndEndingReadsAsOneLog) {
    const std::string& day = *day_;
    std::string crOnly = day;
    std::erase(crOnly, '\n');
    std::string lfOnly = day;
    std::erase(lfOnly, '\r');
    std::string utf16("\xFF\xFE", 2);
    for (const char c : day.substr(0, 3'000'000)) {
        utf16 += c;
        utf16 += '\0';
    }
    ExpectSameAsOnePass({{"1_cr.txt", crOnly}, {"2_utf16.txt", utf16}, {"3_lf.txt", lfOnly}});
    ExpectSameAsOnePass({{"utf8.txt", "\xEF\xBB\xBF" + day + "\xC3"}});
}

TEST_F(PiecesOfFiles, ANulOrAnOverlongLineInALaterPieceReadsAsOneLog) {
    const std::string& day = *day_;
    const std::size_t third = day.size() / 3;
    std::string withNul = day;
    withNul.insert(2 * third, std::string("PDOP      : 1\0Sat level : 9\n", 28));
    // A Fix and mode line of 5 MiB whose words lie far beyond the kept part, across several pieces.
    std::string overlong = day.substr(0, third) + "Fix, Mode " + std::string(5 << 20, 'x') +
                           " 2D Coarse\r\n" + day.substr(third);
    ExpectSameAsOnePass({{"1_nul.txt", withNul}, {"2_overlong.txt", overlong}, {"3_day.txt", day}});
}

TEST_F(PiecesOfFiles, ProgressCallsNeverOverlapAndACancelIsPrompt) {
    std::vector<std::string> names;
    for (int i = 0; i < 4; ++i) names.push_back(Write("day" + std::to_string(i) + ".txt", *day_));
    std::atomic<bool> inCall{false};
    std::atomic<bool> overlapped{false};
    int calls = 0;  // unguarded: the calls must come one at a time
    std::uint64_t lastDone = 0;
    LoadOptions options;
    options.threads = 3;
    options.progress = [&](std::uint64_t done, std::uint64_t total) {
        if (inCall.exchange(true)) overlapped = true;
        EXPECT_EQ(total, 4 * day_->size());
        EXPECT_LT(done, total);
        EXPECT_GT(done, lastDone);
        lastDone = done;
        ++calls;
        inCall = false;
        return calls < 3;
    };
    const LoadResult result = AnalyseFiles(names, dir_.string(), LocaleConventions{}, options);
    EXPECT_FALSE(overlapped);
    EXPECT_EQ(calls, 3);
    EXPECT_FALSE(result.analysis);
    ASSERT_TRUE(result.failure);
    EXPECT_TRUE(result.failure->cancelled);
    EXPECT_EQ(result.failure->file, (dir_ / "day0.txt").string());
}

TEST_F(PiecesOfFiles, TheFirstUnreadableFileInReadingOrderIsTheFailure) {
    const std::string day = Write("b.txt", day_->substr(0, 5'000'000));
    fs::create_directory(dir_ / "c.txt");
    for (const unsigned threads : {1U, 2U}) {
        LoadOptions options;
        options.threads = threads;
        const LoadResult result =
            AnalyseFiles({"d_missing.txt", "c.txt", day}, dir_.string() + "/", LocaleConventions{}, options);
        ASSERT_TRUE(result.failure);
        EXPECT_EQ(result.failure->file, (dir_ / "c.txt").string());
        EXPECT_EQ(result.failure->reason, "Is a directory");
    }
}

}  // namespace
}  // namespace marlix::core
