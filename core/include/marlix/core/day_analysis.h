#pragma once

// What the analysis of a load gives: the points of the seven chart series, the day's counts and
// texts, the readings of every minute, and how a load is asked for and how it fails.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "marlix/core/daytime.h"
#include "marlix/core/records.h"
#include "marlix/core/satellites.h"

namespace marlix::core {

struct LocaleConventions {
    std::array<std::string, 12> shortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::string decimalSeparator = ".";
    std::string timeSeparator = ":";
};

enum class SeriesId : int { Strength, NumGood, Fix, Trend, Pdop, Signal, Mode };
inline constexpr int kSeriesCount = 7;
// The values the fix and lock-mode series plot for each state; the right-axis labels and the
// cursor readout name them.
inline constexpr double kFixNonePlotted = 0;
inline constexpr double kFix2DPlotted = 0.8;
inline constexpr double kFix3DPlotted = 1.6;
inline constexpr double kModeInactivePlotted = 0;
inline constexpr double kModeCoarsePlotted = 10;
inline constexpr double kModeFineOrControlPlotted = 20;
// "Strength", "Num good", "2D/3D fix", "Trend", "PDOP", "Signal", "Mode"
std::string_view SeriesTitle(SeriesId id);

struct ChartPoint {
    double x;
    double y;
};

// What the record lines of a stretch of a log count: of a whole day (DayTotals) or of one minute
// (MinuteReading), so that a stretch of minutes sums like a day.
struct RecordCounts {
    std::int64_t pdopSum = 0;  // PDOP values 1 to 9 only
    std::int64_t pdopCount = 0;
    std::int64_t sixItemLists = 0;  // Satellite numbers lines with exactly 6 items
    std::int64_t eightItemLists = 0;
    std::array<std::int64_t, 3> fixCounts{};   // none, 2D, 3D
    std::array<std::int64_t, 3> modeCounts{};  // inactive, coarse, fine or control

    // The share of a fix state or a lock mode in percent, as the day summary prints it: the count over
    // a 4-byte float of the three counts / 100, a rounding that decides the last digit of some
    // shares. Every figure of these shares (summary, table, history, monitoring) is this one; nothing
    // when there is no count.
    std::optional<double> FixShare(int index) const;
    std::optional<double> ModeShare(int index) const;
    std::optional<double> AveragePdop() const;
    // Share of 8-item lists among the 6- and 8-item Satellite numbers lists, in percent.
    std::optional<double> SeekingShare() const;

    RecordCounts& operator+=(const RecordCounts& other);
    RecordCounts& operator-=(const RecordCounts& other);
    bool operator==(const RecordCounts&) const = default;
};

// What the day texts and the day-metrics table are made from.
struct DayTotals : RecordCounts {
    bool controlFormat = false;
    DayTime firstTime = 0;  // the first good Time record
    DayTime lastTime = 0;   // the current time at the end of the lines
    std::int64_t lineCount = 0;
    std::optional<double> meanStrength;  // the hint's value, over the strength samples above 0
    // Num good of the closed minutes with level lines (the gap zero points are no minutes).
    std::int64_t numGoodMinutes = 0;
    double numGoodMinimum = 0;
    double numGoodSum = 0;

    std::optional<double> NumGoodMean() const {
        if (numGoodMinutes == 0) return std::nullopt;
        return numGoodSum / static_cast<double>(numGoodMinutes);
    }
    std::optional<double> NumGoodMinimum() const {
        if (numGoodMinutes == 0) return std::nullopt;
        return numGoodMinimum;
    }
    bool operator==(const DayTotals&) const = default;
};

// One closed minute as the receiver reported it, for exports and the cursor readout: the readings
// of the minute without the zero points of the gap rule: the values its points carry. A reading the
// minute did not add a point for is empty.
struct MinuteReading {
    DayTime time = 0;  // the minute close, at its record at second 01
    std::optional<float> strength;
    std::optional<double> numGood;
    std::optional<FixState> fix;
    std::optional<double> trend;
    std::optional<std::int32_t> pdop;
    std::optional<double> signal;
    std::optional<LockMode> mode;
    // The gap rule put zero points at this minute: no record in the eight minutes before it (also
    // the first minute of every load), or none in the eight minutes after it.
    bool gapEnds = false;
    bool gapBegins = false;
    // What the day totals gained from the lines since the previous close (the first minute of a load
    // gathers everything before it).
    RecordCounts counts;
};

struct DayAnalysis {
    // Each series holds its points in the order an ascending series would hold them after
    // adding them one by one (equal X keep insertion order; the trend is added latest-first).
    std::array<std::vector<ChartPoint>, kSeriesCount> series;
    DayTime firstDay = 0;
    DayTime latestDay = 0;
    bool controlFormat = false;
    std::int64_t lineCount = 0;
    std::string hint;                        // mean-strength hint ("" when no positive sample)
    std::string notes;                       // notes line
    std::string summary;                     // two or three lines joined by "\r"
    DayTotals totals;                        // the figures the texts are made from
    std::optional<SatelliteDay> satellites;  // only when the load asked for it
    std::vector<MinuteReading> minutes;      // in time order, one per closed minute
    // Minute numbers (MinuteNumber) of the clock minutes holding a Time record with a valid date,
    // ascending, each once.
    std::vector<std::int64_t> recordMinutes;
    // For each of those minutes, bit s set when a Time record of its second s was read.
    std::vector<std::uint64_t> recordSeconds;

    const std::vector<ChartPoint>& Points(SeriesId id) const { return series[static_cast<int>(id)]; }
};

struct LoadFailure {
    std::string file;
    std::string reason;
    bool cancelled = false;
};

// "cannot read FILE: REASON", the one wording of a read failure wherever it is shown.
std::string ReadFailureText(const LoadFailure& failure);

struct LoadOptions {
    // Called every few MiB of input and once at the end, one call at a time but not necessarily on the
    // loading thread; returning false cancels the load.
    std::function<bool(std::uint64_t done, std::uint64_t total)> progress;
    // Also the level of each satellite minute by minute (SatelliteDay), at some extra cost.
    bool satellites = false;
    // Threads that read the files; 0: one per core. The result does not depend on it.
    unsigned threads = 0;
    // Also the readings of every closed minute (DayAnalysis::minutes). A caller that needs only the
    // texts, the series and the totals leaves them out and saves their memory, about 8 MB a month.
    bool minutes = true;
};

// Exactly one of the two is set.
struct LoadResult {
    std::optional<DayAnalysis> analysis;
    std::optional<LoadFailure> failure;
};

}  // namespace marlix::core
