#pragma once

// Minute aggregation: the record handlers, the minute state machine, the minute close
// (FlushMinute) with its gap rule, the strength samples and the trend.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "marlix/core/day_analysis.h"
#include "marlix/core/records.h"

namespace marlix::core {

// Reset at every minute close.
struct MinuteAccumulators {
    std::int64_t pdopLines = 0;
    std::int32_t smallestPdop = 11;
    std::int64_t levelLines = 0;
    std::int64_t nonEmptyLevelLines = 0;
    float strengthSum = 0;  // sum of per-line mean levels
    std::int64_t goodCount = 0;
    std::int64_t fixLines = 0;
    float signalShareSum = 0;
    std::int64_t numberedSatellites = 0;  // also reset by every Satellite numbers line
};

// A line reduced to what the minute aggregation takes from it: small and self-contained, so that the
// lines of a load can be reduced on several threads and then aggregated in their order.
struct LineRecord {
    RecordKind kind = RecordKind::None;
    // Time: the TimeRecord status and the kTime* bits; PDOP: 1 for "PDOP; sats: ".
    std::uint8_t flags = 0;
    std::uint16_t items = 0;  // list items (a list field of 99 characters holds at most 100)
    // Time: the minute number (MinuteNumber) when the status is Ok, which the valid dates of a log
    // (years 2000 to 2099) keep well inside 32 bits; PDOP: the value; Satellite numbers: items above 0;
    // Satellite levels: items above 0 in the low 16 bits and items above 3 in the high 16 bits; Fix and mode:
    // FixState | LockMode << 8.
    std::int32_t value = 0;
    // Time: the date and time when the status is Ok, the time of day on a bad date; Satellite levels:
    // the mean of the items (their sum, exact in a double, over their count), divided on the reading
    // thread rather than in the aggregation, which runs one piece at a time.
    double number = 0;
};
inline constexpr std::uint8_t kTimeStatusBits = 3;
inline constexpr std::uint8_t kTimeMovesLatestDay = 4;  // hour text and minute text both other than "00"
inline constexpr std::uint8_t kTimeSecond00 = 8;
inline constexpr std::uint8_t kTimeSecond01 = 16;

LineRecord ReduceTimeRecord(const TimeRecord& record);

// The mean of the strength samples above 0, summed in their order; nothing without one. The
// day's mean strength and its hint both come from here, so that they give the same figure.
std::optional<double> MeanOfPositiveSamples(const std::vector<double>& sampleValues);

class MinuteAggregator {
  public:
    void Apply(const LineRecord& record);
    void ApplyAll(std::span<const LineRecord> records);
    // Makes room for the results of logs of that many bytes, so that a long load does not copy and
    // page in its growing results again and again; room that is not used is never touched.
    void ExpectBytes(std::uint64_t bytes);
    // Keeps no MinuteReading (TakeMinutes gives none); before the first record.
    void SkipMinuteReadings() { keepMinutes_ = false; }

    void OnPdopRecord(std::int32_t value, bool withSatellites);
    void OnFixMode(const FixModeRecord& record);

    void FlushMinute(DayTime t);
    void AddStrengthSample(double x, double y);
    void PlotTrend();

    DayTime FirstTime() const { return firstTime_; }
    DayTime CurrentTime() const { return currentTime_; }
    DayTime FirstDay() const { return firstDay_; }
    DayTime LatestDay() const { return latestDay_; }
    const DayTotals& Totals() const { return totals_; }
    // Mean of the strength samples above 0, the value of the mean-strength hint.
    std::optional<double> MeanStrength() const;
    const std::vector<double>& SampleTimes() const { return sampleTimes_; }
    const std::vector<double>& SampleValues() const { return sampleValues_; }

    // The points of every series, each in the order an ascending series would hold them.
    std::array<std::vector<ChartPoint>, kSeriesCount> TakeSeries();
    // The readings of every closed minute, with the trend of its strength sample; after PlotTrend.
    std::vector<MinuteReading> TakeMinutes();
    // The minutes holding a Time record with a valid date, and for each the seconds that had one.
    void TakeRecordMinutes(std::vector<std::int64_t>& minutes, std::vector<std::uint64_t>& seconds);

  private:
    void OnTime(const LineRecord& record);
    void OnNumbersList(int items, std::int64_t numbered);
    void OnLevelsList(int items, std::int64_t withSignal, std::int64_t good, double lineMean);
    void AddPoint(SeriesId id, double x, double y);
    void AddZeroPoints(DayTime t);
    void AddNumGoodToTotals(double numGood);
    // The trend of every strength sample (0 for the first ones, which have none).
    std::vector<double> Trends() const;

    DayTime currentTime_ = 0;
    DayTime firstTime_ = 0;
    DayTime firstDay_ = 0;
    DayTime latestDay_ = 0;
    DayTime previousPointTime_ = 0;
    int minuteState_ = 0;
    MinuteAccumulators minute_;
    // Empty until the first Fix and mode line of the load.
    std::optional<FixState> fix_;
    std::optional<LockMode> mode_;
    DayTotals totals_;
    std::vector<double> sampleTimes_;
    std::vector<double> sampleValues_;
    // Points in the order they were added; ordered by X when taken.
    std::array<std::vector<ChartPoint>, kSeriesCount> series_;
    bool keepMinutes_ = true;
    std::vector<MinuteReading> minutes_;
    // The index of each minute's strength sample, for its trend; none for a minute without one.
    std::vector<std::optional<std::size_t>> minuteSamples_;
    std::vector<double> trends_;  // by sample, from PlotTrend
    DayTotals totalsAtLastClose_;
    std::vector<std::int64_t> recordMinutes_;
    std::vector<std::uint64_t> recordSeconds_;  // bit s: a record at second s of the minute
};

}  // namespace marlix::core
