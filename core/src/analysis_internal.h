#pragma once

// The analysis of logs held in memory, line by line or in pieces: what the tests, the fuzz harnesses
// and the benchmarks drive the analysis with, beside the files that the programs read.

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "marlix/core/analysis.h"

namespace marlix::core {

class MinuteAggregator;
class SatelliteAggregator;
struct LineRecord;
struct ReductionMemo;
struct SatelliteLists;

// The analysis of one load fed line by line, or as lines already reduced. A line holds one byte per
// character (see LineReader).
class DayAnalyser {
  public:
    explicit DayAnalyser(LocaleConventions locale = {}, bool withSatellites = false);
    ~DayAnalyser();
    DayAnalyser(const DayAnalyser&) = delete;
    DayAnalyser& operator=(const DayAnalyser&) = delete;

    void AddLine(std::string_view line);
    // Makes room for the results of logs of that many bytes (a hint: they grow as needed anyway).
    void ExpectBytes(std::uint64_t bytes);
    // Leaves DayAnalysis::minutes empty; before the first line.
    void SkipMinuteReadings();
    // Lines already reduced (the record lines among them, and the count of all of them), with the
    // items of their satellite lists when the analyser makes the satellite levels.
    void AddReduced(std::span<const LineRecord> records, std::int64_t lines,
                    const SatelliteLists* satelliteLists = nullptr);
    // Makes the hint, the trend, the notes and the summary; the analyser is spent afterwards.
    DayAnalysis Finish();

  private:
    LocaleConventions locale_;
    std::unique_ptr<MinuteAggregator> aggregator_;
    std::unique_ptr<SatelliteAggregator> satellites_;  // null unless asked for
    std::unique_ptr<ReductionMemo> memo_;              // what AddLine's lines gave last time
    std::unique_ptr<SatelliteLists> lists_;            // AddLine's, with the satellite levels
    std::int64_t lineCount_ = 0;
};

// Analyses the contents of files held in memory, each as its raw bytes (byte-order mark included),
// read in the order given.
DayAnalysis AnalyseTexts(const std::vector<std::string_view>& files, const LocaleConventions& locale = {},
                         const LoadOptions& options = {});
// The same, each text cut into pieces of pieceBytes that `threads` threads read in parallel, as files
// are; the result is that of AnalyseTexts whatever the sizes.
DayAnalysis AnalyseTextsInPieces(const std::vector<std::string_view>& files, std::uint64_t pieceBytes,
                                 unsigned threads, bool withSatellites = false);
DayAnalysis AnalyseText(std::string_view fileBytes, const LocaleConventions& locale = {},
                        const LoadOptions& options = {});

}  // namespace marlix::core
