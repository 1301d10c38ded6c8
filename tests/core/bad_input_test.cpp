// Damaged and hostile logs: files that are empty, random, enormous, badly encoded, not files at all,
// unreadable, or changed while they are read. None may crash or hang; each gives either a clear
// failure or the analysis of what was there.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "marlix/core/line_reader.h"
#include "marlix/core/log_files.h"
#include "marlix/core/simulator.h"
#include "test_support.h"

namespace marlix::core {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using test::LogText;

class CollectingSink final : public LineSink {
  public:
    void AddLine(std::string_view line) override { lines.emplace_back(line); }
    Lines lines;
};

Lines ReadInPieces(std::string_view bytes, std::size_t piece) {
    CollectingSink sink;
    LineReader reader;
    for (std::size_t i = 0; i < bytes.size(); i += piece) reader.Feed(bytes.substr(i, piece), sink);
    reader.Finish(sink);
    return sink.lines;
}

Lines ReadWhole(std::string_view bytes) {
    return ReadInPieces(bytes, bytes.size() + 1);
}

// Each test gets its own folder for the files it spoils.
class DamagedFile : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("marlix_bad_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override {
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir_);
    }
    std::string Write(const std::string& name, std::string_view bytes) {
        const std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    LoadResult Load(const std::string& path, const LoadOptions& options = {}) {
        return AnalyseFiles({path}, "", LocaleConventions{}, options);
    }
    fs::path dir_;
};

void ExpectSameAnalysis(const DayAnalysis& actual, const DayAnalysis& expected) {
    EXPECT_EQ(actual.series, expected.series);
    EXPECT_EQ(actual.lineCount, expected.lineCount);
    EXPECT_EQ(actual.firstDay, expected.firstDay);
    EXPECT_EQ(actual.latestDay, expected.latestDay);
    EXPECT_EQ(actual.hint, expected.hint);
    EXPECT_EQ(actual.notes, expected.notes);
    EXPECT_EQ(actual.summary, expected.summary);
}

void ExpectFailure(const LoadResult& result, const std::string& file, const std::string& reason) {
    EXPECT_FALSE(result.analysis);
    ASSERT_TRUE(result.failure);
    EXPECT_EQ(result.failure->file, file);
    EXPECT_EQ(result.failure->reason, reason);
    EXPECT_FALSE(result.failure->cancelled);
}

// ---- files with nothing usable in them ----

TEST_F(DamagedFile, EmptyFileIsAnEmptyDay) {
    const LoadResult result = Load(Write("empty.txt", ""));
    ASSERT_TRUE(result.analysis);
    EXPECT_EQ(result.analysis->lineCount, 0);
    for (const auto& series : result.analysis->series) EXPECT_TRUE(series.empty());
    EXPECT_EQ(result.analysis->notes, "No time records, 0 lines");
}

TEST_F(DamagedFile, ByteOrderMarkAloneHoldsNoLine) {
    for (const std::string_view mark : {"\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"}) {
        EXPECT_EQ(ReadWhole(mark), Lines{});
        const LoadResult result = Load(Write("mark.txt", mark));
        ASSERT_TRUE(result.analysis);
        EXPECT_EQ(result.analysis->lineCount, 0);
    }
    // A UTF-16 mark with half a code unit after it still holds that one character.
    EXPECT_EQ(ReadWhole("\xFF\xFE\x41"), Lines{});
    EXPECT_EQ(ReadWhole(std::string("\xFF\xFE\x41\x00", 4)), Lines{"A"});
}

// Lines of text in the simplest reading: CR, LF or CR LF end a line and a NUL ends the text.
std::int64_t ReferenceLineCount(std::string_view bytes) {
    std::int64_t count = 0;
    bool open = false;
    for (std::size_t i = 0; i < bytes.size() && bytes[i] != '\0'; ++i) {
        if (bytes[i] == '\r' || bytes[i] == '\n') {
            ++count;
            open = false;
            if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else {
            open = true;
        }
    }
    return count + (open ? 1 : 0);
}

TEST_F(DamagedFile, RandomBytesGiveLinesButNoPoints) {
    SplitMix64 random(2931);
    for (const bool withNul : {true, false}) {
        std::string bytes = "x";  // no byte-order mark
        while (bytes.size() < (1u << 20)) {
            const char c = static_cast<char>(random.Below(256));
            bytes += c == '\0' && !withNul ? '\x01' : c;
        }
        const LoadResult result = Load(Write("random.bin", bytes));
        ASSERT_TRUE(result.analysis);
        EXPECT_EQ(result.analysis->lineCount, ReferenceLineCount(bytes));
        EXPECT_GT(result.analysis->lineCount, withNul ? 0 : 4000);
        for (const auto& series : result.analysis->series) EXPECT_TRUE(series.empty());
        EXPECT_EQ(result.analysis->firstDay, 0);
    }
}

// ---- encodings ----

TEST(BadEncodings, InvalidUtf8StandsForOneCharacterPerBrokenSequence) {
    // A lead byte cut off by a plain character, a stray continuation byte, bytes no UTF-8 has, and a
    // four-byte sequence cut off by the end of the file.
    EXPECT_EQ(ReadWhole("\xEF\xBB\xBF"
                        "a\xC3(b\n\x80z\n\xC0\xFEq\n\xF0\x9F"),
              (Lines{"a\xFF(b", "\xFFz", "\xFF\xFFq", "\xFF"}));
    // Field positions stay right after broken characters: the levels are still read.
    const DayAnalysis a = AnalyseText(
        "\xEF\xBB\xBF"
        "UTC Time  : 12:00:00 05/03/24\nSat level : 40,\xC3,44\nUTC Time  : 12:00:01 05/03/24\n"
        "UTC Time  : 12:01:00 05/03/24\nUTC Time  : 12:01:01 05/03/24\n");
    EXPECT_EQ(a.Points(SeriesId::Strength),
              (std::vector<ChartPoint>{{test::At(12, 1, 1), 0}, {test::At(12, 1, 1), 28}}));
}

TEST(BadEncodings, LoneUtf16SurrogatesCountAsOneCharacterEach) {
    // High surrogate before "A", low surrogate alone, and a high surrogate as the last code unit.
    const std::string little("\xFF\xFE\x00\xD8\x41\x00\x0A\x00\x00\xDC\x0A\x00\x3D\xD8", 14);
    EXPECT_EQ(ReadWhole(little), (Lines{"\xFF"
                                        "A",
                                        "\xFF", "\xFF"}));
    const std::string big("\xFE\xFF\xD8\x00\x00\x41\x00\x0A\xDC\x00", 10);
    EXPECT_EQ(ReadWhole(big), (Lines{"\xFF"
                                     "A",
                                     "\xFF"}));
    EXPECT_EQ(ReadInPieces(little, 1), ReadWhole(little));
}

// ---- lines far longer than any record ----

TEST(OverlongLines, TenMillionCharactersCountAsOneLineAndKeepTheirFields) {
    std::string levels = "Sat level : 40, 44, ";
    levels.append(10'000'000, '7');
    LogText log;
    log.Time(12, 0, 0).Line(levels).Time(12, 0, 1).Time(12, 1, 0).Time(12, 1, 1);
    const DayAnalysis a = AnalyseText(log.Text());
    EXPECT_EQ(a.lineCount, 5);
    // Only characters 13 to 111 make the list: 40, 44 and 91 sevens that are no 32-bit number; the
    // zero comes first because the day starts after a gap.
    EXPECT_EQ(a.Points(SeriesId::Strength),
              (std::vector<ChartPoint>{{test::At(12, 1, 1), 0}, {test::At(12, 1, 1), 28}}));
}

TEST(OverlongLines, KeepTheFirstCharactersAndTheWordsFoundInTheRest) {
    std::string line = "Fix, Mode : ";
    line.append(kKeptLineLength, '.');
    line += "Coa";  // spans two pieces below
    line += "rse 3D";
    line.append(1000, '-');
    const std::string expected = line.substr(0, kKeptLineLength) + std::string(
                                                                       "\0"
                                                                       "3D\0"
                                                                       "Coarse",
                                                                       10);
    for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, kKeptLineLength + 14, line.size() + 2}) {
        EXPECT_EQ(ReadInPieces(line + "\r\nnext", piece), (Lines{expected, "next"})) << piece;
    }
    // The Fix, Mode record finds the words as it would in the whole line.
    const DayAnalysis a = AnalyseText("UTC Time  : 12:00:00 05/03/24\n" + line + "\n");
    EXPECT_EQ(a.summary,
              "Fixes: none/2D/3D:  0%, 0%, 100%  (0, 0, 1)\rControl: inactive/coarse/fine:  0%, 100%, 0%  "
              "(0, 1, 0)");
}

TEST_F(DamagedFile, TwoHundredMegabytesWithoutALineEndingAreOneLine) {
    const std::string path = (dir_ / "no_ending.txt").string();
    {
        std::ofstream out(path, std::ios::binary);
        const std::string block(1 << 20, 'z');
        out << "Fix, Mode : ";
        for (int i = 0; i < 200; ++i) out << block;
        out << "3D";
    }
    const LoadResult result = Load(path);
    ASSERT_TRUE(result.analysis);
    EXPECT_EQ(result.analysis->lineCount, 1);
    EXPECT_EQ(result.analysis->summary,
              "Fixes: none/2D/3D:  0%, 0%, 100%  (0, 0, 1)\rControl: inactive/coarse/fine:  100%, 0%, 0%  "
              "(1, 0, 0)");
}

// ---- paths that are no readable log ----

TEST_F(DamagedFile, DirectoryIsRefused) {
    ExpectFailure(Load(dir_.string()), dir_.string(), "Is a directory");
}

TEST_F(DamagedFile, FifoIsRefusedWithoutWaitingForAWriter) {
    const std::string path = (dir_ / "pipe").string();
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    ExpectFailure(Load(path), path, "Not a regular file");
}

TEST_F(DamagedFile, FileWithoutReadPermissionIsRefused) {
    const std::string path = Write("locked.txt", "UTC Time  : 12:00:00 05/03/24\n");
    fs::permissions(path, fs::perms::none);
    // Root reads files whatever their permissions: as root, the reading runs in a child that has given
    // up its capabilities, which makes the permissions bind it.
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0) {
            __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
            __user_cap_data_struct none[_LINUX_CAPABILITY_U32S_3] = {};
            if (::syscall(SYS_capset, &header, none) != 0) ::_exit(77);
        }
        ExpectFailure(Load(path), path, "Permission denied");
        ::_exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "root cannot give up its capabilities here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// ---- files changed while they are read ----

// A simulated day of about 17 MB: the progress hook runs after the first 4 MiB, with more to read.
class ChangingFile : public DamagedFile {
  protected:
    void SetUp() override {
        DamagedFile::SetUp();
        day_ = SimulateDay(test::kMarch5, SimulationOptions{});
        path_ = Write("2024-03-05_rx_data.txt", day_);
    }
    // Loads the file, calling change once at the first progress report. With one reading thread the
    // change lands between two reads at a known point; with more, pieces may be read ahead of it.
    LoadResult LoadChangingOnce(const std::function<void()>& change, unsigned threads = 1,
                                const std::vector<std::string>& laterFiles = {}) {
        LoadOptions options;
        options.threads = threads;
        bool changed = false;
        options.progress = [&](std::uint64_t done, std::uint64_t) {
            if (!changed) {
                EXPECT_LT(done, day_.size());
                change();
                changed = true;
            }
            return true;
        };
        std::vector<std::string> files = {path_};
        files.insert(files.end(), laterFiles.begin(), laterFiles.end());
        return AnalyseFiles(files, "", LocaleConventions{}, options);
    }
    std::string day_;
    std::string path_;
};

TEST_F(ChangingFile, TruncatedWhileReadGivesTheRemainingPrefix) {
    // Cut inside a line, as a receiver losing power would leave it.
    const std::size_t kept = (std::size_t{4} << 20) + 1000;
    const LoadResult result = LoadChangingOnce([&] { ASSERT_EQ(::truncate(path_.c_str(), kept), 0); });
    ASSERT_TRUE(result.analysis);
    ExpectSameAnalysis(*result.analysis, AnalyseText(std::string_view(day_).substr(0, kept)));
}

TEST_F(ChangingFile, TruncatedWhileReadInParallelGivesAPrefixWithoutHoles) {
    const std::size_t kept = (std::size_t{4} << 20) + 1000;
    const LoadResult result = LoadChangingOnce([&] { ASSERT_EQ(::truncate(path_.c_str(), kept), 0); }, 2);
    ASSERT_TRUE(result.analysis);
    // Pieces read ahead of the truncation keep what they read; nothing follows a piece that met the
    // new end. So the result is that of a prefix of the file as it was, never holed: one that ends in
    // its last line, where the last read stopped (the truncation point, or the end of a read made
    // before the truncation).
    const std::int64_t lines = result.analysis->lineCount;
    ASSERT_GE(lines, AnalyseText(std::string_view(day_).substr(0, kept)).lineCount);
    std::size_t lastLineStart = 0;
    for (std::int64_t i = 1; i < lines; ++i) lastLineStart = day_.find('\n', lastLineStart) + 1;
    const std::size_t lastLineEnd = day_.find('\n', lastLineStart) + 1;
    for (std::size_t end = lastLineEnd; end > lastLineStart; --end) {
        const DayAnalysis prefix = AnalyseText(std::string_view(day_).substr(0, end));
        if (prefix.series == result.analysis->series && prefix.summary == result.analysis->summary &&
            prefix.lineCount == lines) {
            ExpectSameAnalysis(*result.analysis, prefix);
            return;
        }
    }
    ADD_FAILURE() << "no prefix ending in line " << lines << " gives the result";
}

TEST_F(ChangingFile, DeletedWhileReadIsReadToItsEnd) {
    const LoadResult result = LoadChangingOnce([&] { fs::remove(path_); });
    ASSERT_TRUE(result.analysis);
    ExpectSameAnalysis(*result.analysis, AnalyseText(day_));
}

std::string Utf16LE(std::string_view text) {
    std::string out("\xFF\xFE", 2);
    for (const char c : text) out += {c, '\0'};
    return out;
}

TEST_F(ChangingFile, GrowingWhileReadIsReadUpToItsSizeWhenTheReadingBegan) {
    // The logger has written half of the next day's first line when the reading begins, and finishes
    // it and writes more while the file is read. A UTF-16 log read after it, in one piece, grows alike.
    const std::string half = "UTC Time  : 00:00:00 06/03/2";
    const std::string appended = "4\r\nSat level : 40, 44\r\nUTC Time  : 00:00:01 06/03/24\r\n";
    for (const unsigned threads : {1U, 2U}) {
        Write(fs::path(path_).filename().string(), day_ + half);
        const std::string utf16 = Write("later_utf16.txt", Utf16LE(half));
        const LoadResult result = LoadChangingOnce(
            [&] {
                std::ofstream(path_, std::ios::binary | std::ios::app) << appended;
                std::ofstream(utf16, std::ios::binary | std::ios::app) << Utf16LE(appended).substr(2);
            },
            threads, {utf16});
        ASSERT_TRUE(result.analysis);
        EXPECT_EQ(fs::file_size(path_), day_.size() + half.size() + appended.size());
        // Each half line is its file's last line, as a last line without an ending is.
        ExpectSameAnalysis(*result.analysis, AnalyseTexts({day_ + half, Utf16LE(half)}));
        EXPECT_EQ(result.analysis->lineCount, AnalyseText(day_).lineCount + 2) << threads;
    }
}

}  // namespace
}  // namespace marlix::core
