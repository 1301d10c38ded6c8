#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "marlix/core/line_reader.h"
#include "marlix/core/log_files.h"
#include "marlix/core/simulator.h"
#include "test_support.h"

namespace marlix::core {
namespace {

using Lines = std::vector<std::string>;

class CollectingSink final : public LineSink {
  public:
    void AddLine(std::string_view line) override { lines.emplace_back(line); }
    Lines lines;
};

Lines ReadWhole(std::string_view bytes) {
    CollectingSink sink;
    LineReader reader;
    reader.Feed(bytes, sink);
    reader.Finish(sink);
    return sink.lines;
}

// Feeds the bytes in pieces of the given size, so that every ending, mark and code unit can be split.
Lines ReadInPieces(std::string_view bytes, std::size_t piece) {
    CollectingSink sink;
    LineReader reader;
    for (std::size_t i = 0; i < bytes.size(); i += piece) reader.Feed(bytes.substr(i, piece), sink);
    reader.Finish(sink);
    return sink.lines;
}

Lines ReadFixtureLines(const std::string& name) {
    return ReadWhole(test::ReadFixture(name));
}

TEST(LineEndings, LastLineWithoutEndingCounts) {
    EXPECT_EQ(ReadFixtureLines("no_final_newline.txt"), (Lines{"first", "second"}));
}

TEST(LineEndings, FinalCrLfAddsNoEmptyLine) {
    EXPECT_EQ(ReadFixtureLines("crlf_endings.txt"), (Lines{"first", "second"}));
    EXPECT_EQ(ReadFixtureLines("cr_endings.txt"), (Lines{"first", "second"}));
}

TEST(LineEndings, LfFollowedByCrIsTwoEndings) {
    EXPECT_EQ(ReadFixtureLines("lf_then_cr.txt"), (Lines{"first", "", "second"}));
}

TEST(LineEndings, EmptyLinesAndEmptyFiles) {
    EXPECT_EQ(ReadFixtureLines("empty.txt"), Lines{});
    EXPECT_EQ(ReadWhole("\n"), (Lines{""}));
    EXPECT_EQ(ReadWhole("\r\n\r\n"), (Lines{"", ""}));
    EXPECT_EQ(ReadWhole("\r\r"), (Lines{"", ""}));
    EXPECT_EQ(ReadWhole("a\n\nb"), (Lines{"a", "", "b"}));
}

TEST(LineEndings, NulEndsTheText) {
    EXPECT_EQ(ReadFixtureLines("nul_ends_text.txt"), (Lines{"first", "second"}));
    EXPECT_EQ(ReadWhole(std::string_view("\0abc\n", 5)), Lines{});
    EXPECT_EQ(ReadWhole(std::string_view("abc\n\0\n", 6)), (Lines{"abc"}));
}

TEST(LineEndings, DoNotDependOnHowTheBytesArriveInPieces) {
    const std::string text = "UTC Time  : 10:00:00\r\nPDOP\n\rSat\rlast";
    const Lines whole = ReadWhole(text);
    EXPECT_EQ(whole, (Lines{"UTC Time  : 10:00:00", "PDOP", "", "Sat", "last"}));
    for (std::size_t piece : {1u, 2u, 3u, 7u}) EXPECT_EQ(ReadInPieces(text, piece), whole) << piece;
}

TEST(ByteOrderMarks, Utf8MarkIsDroppedAndOtherCharactersKeepTheirPositions) {
    // "é" is one UTF-16 character and the emoji two; each becomes one placeholder byte.
    const Lines expected{"UTC Time  : 10:00:00 05/03/24", "S\xFFt\xFF\xFF!"};
    EXPECT_EQ(ReadFixtureLines("utf8_bom.txt"), expected);
    EXPECT_EQ(ReadInPieces(test::ReadFixture("utf8_bom.txt"), 1), expected);
}

TEST(ByteOrderMarks, Utf16LittleEndianLogReadsLikeItsText) {
    const std::string plain = test::ReadFixture("start_at_second_30.txt");
    EXPECT_EQ(ReadFixtureLines("utf16le_bom.txt"), ReadWhole(plain));
    EXPECT_EQ(ReadInPieces(test::ReadFixture("utf16le_bom.txt"), 1), ReadWhole(plain));
    EXPECT_EQ(ReadWhole("\xFF\xFE"), Lines{});
}

TEST(ByteOrderMarks, Utf16BigEndianLogWithCrLf) {
    const Lines lines = ReadFixtureLines("utf16be_bom.txt");
    ASSERT_EQ(lines.size(), 17u);
    EXPECT_EQ(lines[0], "Caf\xFF \xFF\xFF log");
    EXPECT_EQ(lines[1], "UTC Time  : 10:00:30 05/03/24");
    EXPECT_EQ(lines[16], "Sat level : 5");
    EXPECT_EQ(ReadInPieces(test::ReadFixture("utf16be_bom.txt"), 3), lines);
    // The analysis sees the same records as in the plain text, plus one more line.
    const DayAnalysis a = AnalyseText(test::ReadFixture("utf16be_bom.txt"));
    const DayAnalysis plain = AnalyseText(test::ReadFixture("start_at_second_30.txt"));
    EXPECT_EQ(a.series, plain.series);
    EXPECT_EQ(a.lineCount, 17);
}

TEST(ByteOrderMarks, WithoutAMarkBytesPassThrough) {
    EXPECT_EQ(ReadFixtureLines("no_bom_latin1.txt"), (Lines{"no byte-order mark: caf\xE9"}));
    EXPECT_EQ(ReadWhole("\xEF\xBB"), (Lines{"\xEF\xBB"}));
}

TEST(FileList, FilesDoNotRunIntoEachOther) {
    // Neither file ends its last line, yet each is a line of its own.
    const DayAnalysis a = AnalyseTexts({"UTC Time  : 10:00:00 05/03/24", "UTC Time  : 10:01:00 05/03/24"});
    EXPECT_EQ(a.lineCount, 2);
    EXPECT_EQ(a.notes, "2024-Mar-05 from 10:00 to 10:00, 2 lines");
}

TEST(FileList, OneNameIsReadAsGivenAndSeveralAreSortedIgnoringCase) {
    EXPECT_EQ(ReadingOrder({"b.txt"}), (Lines{"b.txt"}));
    EXPECT_EQ(ReadingOrder({"c.txt", "B.txt", "a.txt"}), (Lines{"a.txt", "B.txt", "c.txt"}));
    EXPECT_EQ(ReadingOrder({"2024-03-05_rx_data.txt", "2024-03-04_rx_data.txt"}),
              (Lines{"2024-03-04_rx_data.txt", "2024-03-05_rx_data.txt"}));
    EXPECT_EQ(ReadingOrder({"ab", "A", "a", "AB"}), (Lines{"A", "a", "AB", "ab"}));
}

TEST(FileList, EmptyListGivesAnEmptyDay) {
    const LoadResult result = AnalyseFiles({}, "/nonexistent/", LocaleConventions{});
    ASSERT_TRUE(result.analysis);
    EXPECT_FALSE(result.failure);
    EXPECT_EQ(result.analysis->lineCount, 0);
    EXPECT_EQ(result.analysis->summary, "Fix summary not available\rMode summary not available");
}

TEST(UnreadableFiles, MissingFileNamesFileAndReason) {
    const std::string dir = test::FixturePath("");
    const LoadResult result = AnalyseFiles({"no_such_day.txt"}, dir, LocaleConventions{});
    EXPECT_FALSE(result.analysis);
    ASSERT_TRUE(result.failure);
    EXPECT_EQ(result.failure->file, dir + "no_such_day.txt");
    EXPECT_EQ(result.failure->reason, "No such file or directory");
    EXPECT_FALSE(result.failure->cancelled);
}

TEST(UnreadableFiles, DirectoryIsAFailure) {
    const LoadResult result = AnalyseFiles({test::FixturePath("descending_days")}, "", LocaleConventions{});
    EXPECT_FALSE(result.analysis);
    ASSERT_TRUE(result.failure);
    EXPECT_EQ(result.failure->file, test::FixturePath("descending_days"));
    EXPECT_EQ(result.failure->reason, "Is a directory");
}

TEST(UnreadableFiles, OneBadFileSpoilsTheWholeList) {
    const LoadResult result =
        AnalyseFiles({"pause_9_minutes.txt", "zz_missing.txt"}, test::FixturePath(""), LocaleConventions{});
    EXPECT_FALSE(result.analysis);
    ASSERT_TRUE(result.failure);
    EXPECT_EQ(result.failure->file, test::FixturePath("zz_missing.txt"));
}

class ProgressTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = (std::filesystem::temp_directory_path() /
                 ("marlix_progress_" + std::to_string(::getpid()) + "_rx_data.txt"))
                    .string();
        std::ofstream(path_, std::ios::binary) << SimulateDay(test::kMarch5, SimulationOptions{});
    }
    void TearDown() override { std::filesystem::remove(path_); }
    std::string path_;
};

TEST_F(ProgressTest, ReportsEveryFewMegabytesAndAtTheEnd) {
    const auto size = std::filesystem::file_size(path_);
    std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;
    LoadOptions options;
    options.progress = [&](std::uint64_t done, std::uint64_t total) {
        calls.emplace_back(done, total);
        return true;
    };
    const LoadResult result = AnalyseFiles({path_}, "", LocaleConventions{}, options);
    ASSERT_TRUE(result.analysis);
    ASSERT_GE(calls.size(), 2u);
    EXPECT_LE(calls.size(), size / (4u << 20) + 1);
    EXPECT_EQ(calls.back(), std::make_pair(std::uint64_t{size}, std::uint64_t{size}));
    for (std::size_t i = 1; i < calls.size(); ++i) EXPECT_GT(calls[i].first, calls[i - 1].first);
}

TEST_F(ProgressTest, ReturningFalseCancels) {
    LoadOptions options;
    int calls = 0;
    options.progress = [&](std::uint64_t, std::uint64_t) { return ++calls < 1; };
    const LoadResult result = AnalyseFiles({path_}, "", LocaleConventions{}, options);
    EXPECT_FALSE(result.analysis);
    ASSERT_TRUE(result.failure);
    EXPECT_TRUE(result.failure->cancelled);
    EXPECT_EQ(result.failure->file, path_);
    EXPECT_EQ(calls, 1);
}

TEST_F(ProgressTest, ChunkedFileReadingMatchesReadingFromMemory) {
    const LoadResult fromFile = AnalyseFiles({path_}, "", LocaleConventions{});
    const DayAnalysis fromMemory = AnalyseText(SimulateDay(test::kMarch5, SimulationOptions{}));
    ASSERT_TRUE(fromFile.analysis);
    EXPECT_EQ(fromFile.analysis->series, fromMemory.series);
    EXPECT_EQ(fromFile.analysis->lineCount, fromMemory.lineCount);
    EXPECT_EQ(fromFile.analysis->notes, fromMemory.notes);
    EXPECT_EQ(fromFile.analysis->summary, fromMemory.summary);
}

}  // namespace
}  // namespace marlix::core
