#pragma once

// Analysis of a receiver's day logs: reading the files, recognising the record lines, one point per
// minute for each of the seven chart series, the trend and the three day texts.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "marlix/core/daytime.h"

namespace marlix::core {

struct LocaleConventions {
    std::array<std::string, 12> shortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::string decimalSeparator = ".";
    std::string timeSeparator = ":";
};

enum class SeriesId : int { Strength, NumGood, Fix, Trend, Pdop, Signal, Mode };
inline constexpr int kSeriesCount = 7;
// "Strength", "Num good", "2D/3D fix", "Trend", "PDOP", "Signal", "Mode"
std::string_view SeriesTitle(SeriesId id);

struct ChartPoint {
    double x;
    double y;
};

struct DayAnalysis {
    // Each series holds its points in the order an ascending series would hold them after
    // adding them one by one (equal X keep insertion order; the trend is added latest-first).
    std::array<std::vector<ChartPoint>, kSeriesCount> series;
    DayTime firstDay = 0;
    DayTime latestDay = 0;
    bool controlFormat = false;
    std::int64_t lineCount = 0;
    std::string hint;     // mean-strength hint ("" when no positive sample)
    std::string notes;    // notes line
    std::string summary;  // two or three lines joined by "\r"

    const std::vector<ChartPoint>& Points(SeriesId id) const { return series[static_cast<int>(id)]; }
};

struct LoadFailure {
    std::string file;
    std::string reason;
    bool cancelled = false;
};

struct LoadOptions {
    // Called every few MiB of input and once at the end; returning false cancels the load.
    std::function<bool(std::uint64_t done, std::uint64_t total)> progress;
};

// Exactly one of the two is set.
struct LoadResult {
    std::optional<DayAnalysis> analysis;
    std::optional<LoadFailure> failure;
};

// "yyyy-mm-dd_rx_data.txt" of the date part of the given DayTime.
std::string DayFileName(DayTime date);

// Reads the files (one name alone; several sorted case-insensitively and read as one log) and
// analyses them. A name that is an absolute path is used as it is, any other is appended to the
// data directory. Any file that cannot be read gives a failure and no analysis.
LoadResult AnalyseFiles(const std::vector<std::string>& fileList, const std::string& dataDirectory,
                        const LocaleConventions& locale, const LoadOptions& options = {});

class MinuteAggregator;

// The analysis of one load fed line by line. A line holds one byte per character (see LineReader).
class DayAnalyser {
  public:
    explicit DayAnalyser(LocaleConventions locale = {});
    ~DayAnalyser();
    DayAnalyser(const DayAnalyser&) = delete;
    DayAnalyser& operator=(const DayAnalyser&) = delete;

    void AddLine(std::string_view line);
    // Makes the hint, the trend, the notes and the summary; the analyser is spent afterwards.
    DayAnalysis Finish();

  private:
    LocaleConventions locale_;
    std::unique_ptr<MinuteAggregator> aggregator_;
    std::int64_t lineCount_ = 0;
};

// Analyses the contents of files held in memory, each as its raw bytes (byte-order mark included),
// read in the order given.
DayAnalysis AnalyseTexts(const std::vector<std::string_view>& files, const LocaleConventions& locale = {});
DayAnalysis AnalyseText(std::string_view fileBytes, const LocaleConventions& locale = {});

}  // namespace marlix::core
