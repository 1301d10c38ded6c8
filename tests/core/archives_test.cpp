// Archived day logs (.gz, .xz, .zst) made by the real compressors: each reads as its plain text, every
// stream of a file included; a plain log wins over its archive; a damaged archive fails alone.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "marlix/core/analysis.h"
#include "marlix/core/days.h"
#include "marlix/core/simulator.h"
#include "test_support.h"

namespace marlix::core {
namespace {

namespace fs = std::filesystem;

struct Kind {
    std::string suffix;
    std::string compressor;  // writes FILE + suffix beside FILE and keeps FILE; fast levels suffice
    std::string name;        // as the failure texts name the format
};
const Kind kKinds[] = {
    {".gz", "gzip -kf -1", "gzip"}, {".xz", "xz -kf -T1 -0", "xz"}, {".zst", "zstd -qkf -1", "zstd"}};

class ArchivedLogs : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string name = (fs::temp_directory_path() / "marlix_archives_XXXXXX").string();
        ASSERT_NE(::mkdtemp(name.data()), nullptr);
        dir_ = name;
    }
    void TearDown() override {
        if (!dir_.empty()) fs::remove_all(dir_);
    }

    std::string Write(const std::string& name, std::string_view bytes) {
        std::ofstream(dir_ / name, std::ios::binary) << bytes;
        return (dir_ / name).string();
    }
    static void Run(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }
    static std::string Compress(const std::string& path, const Kind& kind) {
        Run(kind.compressor + " '" + path + "'");
        return path + kind.suffix;
    }
    // `count` lines that are no records, so that a day's line count tells which file was read.
    std::string WriteDay(DayTime day, int count, const std::string& suffix = "") {
        std::string text;
        for (int i = 0; i < count; ++i) text += "line\n";
        const std::string plain = Write(DayFileName(day), text);
        for (const Kind& kind : kKinds) {
            if (kind.suffix == suffix) {
                const std::string archive = Compress(plain, kind);
                fs::remove(plain);
                return archive;
            }
        }
        return plain;
    }
    static LoadResult Analyse(const std::string& path, bool satellites = false) {
        LoadOptions options;
        options.satellites = satellites;
        options.threads = 2;  // an archive alone then decompresses ahead of its reading
        return AnalyseFiles({path}, std::string(), LocaleConventions{}, options);
    }
    static std::string FailureOf(const std::string& path) {
        const LoadResult result = Analyse(path);
        EXPECT_FALSE(result.analysis) << path;
        return result.failure ? result.failure->file + ": " + result.failure->reason : std::string();
    }

    fs::path dir_;
};

TEST_F(ArchivedLogs, EachKindReadsAsItsPlainTextForEveryFixtureAndASimulatedDay) {
    std::vector<std::string> plains;
    for (const auto& entry : fs::recursive_directory_iterator(TEST_DATA_DIR)) {
        if (entry.is_regular_file()) {
            plains.push_back(Write("fixture" + std::to_string(plains.size()) + ".txt",
                                   test::ReadFixture(fs::relative(entry.path(), TEST_DATA_DIR).string())));
        }
    }
    ASSERT_GE(plains.size(), 10u);
    plains.push_back(Write("simulated.txt", SimulateDay(test::kMarch5, SimulationOptions{})));
    // A text of a round number of mebibytes ends where a chunk of the decompressed text ends.
    plains.push_back(Write("mebibyte.txt", std::string(1 << 20, 'x')));
    for (const std::string& plain : plains) {
        const bool satellites = plain.ends_with("simulated.txt");
        const LoadResult expected = Analyse(plain, satellites);
        ASSERT_TRUE(expected.analysis) << plain;
        for (const Kind& kind : kKinds) {
            const LoadResult archived = Analyse(Compress(plain, kind), satellites);
            ASSERT_TRUE(archived.analysis) << plain << kind.suffix << ": " << archived.failure->reason;
            test::ExpectSameDay(*archived.analysis, *expected.analysis, plain + kind.suffix);
        }
    }
}

TEST_F(ArchivedLogs, EveryStreamOfAFileIsRead) {
    // Streams cut inside a line, as a tool that compresses a growing log in parts may leave them.
    const std::string day = SimulateDay(test::kMarch5, SimulationOptions{});
    const std::size_t cuts[] = {0, day.size() / 3 + 7, 2 * day.size() / 3 + 1, day.size()};
    const LoadResult expected = Analyse(Write("day.txt", day));
    ASSERT_TRUE(expected.analysis);
    for (const Kind& kind : kKinds) {
        std::string streams;
        for (int part = 0; part < 3; ++part) {
            const std::string archive = Compress(
                Write("part" + std::to_string(part), day.substr(cuts[part], cuts[part + 1] - cuts[part])),
                kind);
            streams += test::ReadFile(archive);
        }
        const LoadResult archived = Analyse(Write("streams.txt" + kind.suffix, streams));
        ASSERT_TRUE(archived.analysis) << kind.suffix << ": " << archived.failure->reason;
        test::ExpectSameDay(*archived.analysis, *expected.analysis, kind.suffix);
    }
}

TEST_F(ArchivedLogs, ADamagedArchiveSaysWhy) {
    const std::string day = SimulateDay(test::kMarch5, SimulationOptions{}).substr(0, 2'000'000);
    const std::string plain = Write("day.txt", day);
    for (const Kind& kind : kKinds) {
        const std::string archive = test::ReadFile(Compress(plain, kind));
        const std::string truncated =
            Write("truncated.txt" + kind.suffix, archive.substr(0, archive.size() / 2));
        EXPECT_EQ(FailureOf(truncated), truncated + ": truncated " + kind.name + " data");
        EXPECT_EQ(FailureOf(Write("empty.txt" + kind.suffix, "")),
                  dir_.string() + "/empty.txt" + kind.suffix + ": truncated " + kind.name + " data");
        std::string flipped = archive;
        flipped[flipped.size() / 2] = static_cast<char>(~flipped[flipped.size() / 2]);
        const std::string damaged = Write("damaged.txt" + kind.suffix, flipped);
        EXPECT_TRUE(FailureOf(damaged).starts_with(damaged + ": corrupt " + kind.name + " data"))
            << FailureOf(damaged);
    }
    // A NUL ends a log's text: damage after it is never come to, even by a decompression running ahead.
    std::string endsEarly = day.substr(0, 800'000);
    endsEarly[100'000] = '\0';
    const LoadResult expected = Analyse(Write("ends.txt", endsEarly));
    ASSERT_TRUE(expected.analysis);
    for (const Kind& kind : kKinds) {
        std::string archive = test::ReadFile(Compress(Write("ends-early.txt", endsEarly), kind));
        archive[archive.size() * 3 / 4] = static_cast<char>(~archive[archive.size() * 3 / 4]);
        const LoadResult read = Analyse(Write("ends-early.txt" + kind.suffix, archive));
        ASSERT_TRUE(read.analysis) << kind.name << ": " << (read.failure ? read.failure->reason : "");
        EXPECT_EQ(read.analysis->lineCount, expected.analysis->lineCount) << kind.name;
    }
    const std::string text = Write("text.txt.gz", day.substr(0, 1000));
    EXPECT_EQ(FailureOf(text), text + ": corrupt gzip data (incorrect header check)");
    EXPECT_EQ(FailureOf(Write("text.txt.xz", day.substr(0, 1000))),
              dir_.string() + "/text.txt.xz: not in xz format");
    EXPECT_EQ(FailureOf(Write("text.txt.zst", day.substr(0, 1000))),
              dir_.string() + "/text.txt.zst: corrupt zstd data (Unknown frame descriptor)");
}

TEST_F(ArchivedLogs, AnArchiveOfFarMoreTextThanADayIsRefused) {
    // 257 streams of 1 MiB of text each in a few kilobytes: read whole, they would keep a reading
    // thread busy for as long as they are long.
    const std::string mebibyte = Compress(Write("x.txt", std::string(1 << 20, 'x')), kKinds[2]);
    std::string streams;
    for (int i = 0; i < 257; ++i) streams += test::ReadFile(mebibyte);
    const std::string bomb = Write("bomb.txt.zst", streams);
    EXPECT_LT(streams.size(), 100'000u);
    EXPECT_EQ(FailureOf(bomb), bomb + ": more than 256 MiB when decompressed, far more than a day log holds");
    const std::string most = Write("most.txt.zst", streams.substr(0, streams.size() / 257 * 256));
    EXPECT_TRUE(Analyse(most).analysis);  // 256 MiB whole
}

TEST_F(ArchivedLogs, AFolderOfMixedDaysReadsThePlainLogFirstAndADamagedDayAlone) {
    const DayTime march4 = test::kMarch4;
    WriteDay(march4, 3, ".gz");
    WriteDay(march4, 2);  // the plain log beside its archive wins
    WriteDay(march4 + 1, 4, ".gz");
    WriteDay(march4 + 2, 5, ".xz");
    WriteDay(march4 + 3, 6, ".zst");
    const std::string damaged = Write(DayFileName(march4 + 4) + ".zst", "not zstd");
    WriteDay(march4 + 5, 8, ".zst");
    WriteDay(march4 + 5, 7, ".gz");  // of two archives, .gz is read
    for (const char* other : {"2024-03-10_rx_data.txt.bz2", "2024-03-11_rx_data.txt.gz.gz", "2024-03-12.gz"})
        Write(other, "");

    const std::vector<DayTime> days = {march4, march4 + 1, march4 + 2, march4 + 3, march4 + 4, march4 + 5};
    EXPECT_EQ(ListDays(dir_.string()).days, days);
    for (const unsigned workers : {1U, 3U}) {
        ReadDaysOptions options;
        options.workers = workers;
        std::vector<std::string> seen;
        ReadDays(dir_.string(), days, LocaleConventions{}, options, [&seen](std::size_t, DayOutcome&& day) {
            seen.push_back(day.analysis ? std::to_string(day.analysis->lineCount) : day.error);
        });
        EXPECT_EQ(seen,
                  (std::vector<std::string>{
                      "2", "4", "5", "6",
                      "cannot read " + damaged + ": corrupt zstd data (Unknown frame descriptor)", "7"}))
            << workers;
    }
    // The window asks for a day by its plain name in the data folder.
    const LoadResult shown = AnalyseFiles({DayFileName(march4 + 2)}, dir_.string(), LocaleConventions{}, {});
    ASSERT_TRUE(shown.analysis);
    EXPECT_EQ(shown.analysis->lineCount, 5);
}

}  // namespace
}  // namespace marlix::core
