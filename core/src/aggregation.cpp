#include "marlix/core/aggregation.h"

#include <algorithm>
#include <cmath>

#include "marlix/core/satellites.h"

namespace marlix::core {
namespace {

constexpr DayTime kGapLength = 1.0 / 180.0;  // eight minutes
// 1982-02-18. An earlier previous point time is no point of a real day: it is the 0 a load starts
// from (or a bare time of day after a bad date), and no zero points are drawn there.
constexpr DayTime kFirstPlausibleDay = 30000;
constexpr std::size_t kSamplesPerDay = 1440;

double FixValue(FixState state) {
    switch (state) {
        case FixState::Fix2D:
            return kFix2DPlotted;
        case FixState::Fix3D:
            return kFix3DPlotted;
        default:
            return kFixNonePlotted;
    }
}

double ModeValue(LockMode mode) {
    switch (mode) {
        case LockMode::Coarse:
            return kModeCoarsePlotted;
        case LockMode::FineOrControl:
            return kModeFineOrControlPlotted;
        default:
            return kModeInactivePlotted;
    }
}

// Sums held as 4-byte floats take each addition in double and keep it rounded to float.
void AddToFloat(float& sum, double value) {
    sum = static_cast<float>(static_cast<double>(sum) + value);
}

}  // namespace

LineRecord ReduceTimeRecord(const TimeRecord& record) {
    LineRecord r;
    r.kind = RecordKind::Time;
    r.flags = static_cast<std::uint8_t>(record.status);
    if (record.status == TimeRecord::Status::BadTime) return r;
    r.number = record.timeOfDay;
    if (record.status == TimeRecord::Status::BadDate) return r;
    r.number = record.dateTime;
    r.value = static_cast<std::int32_t>(MinuteNumber(record.dateTime));
    if (record.hourText != "00" && record.minuteText != "00") r.flags |= kTimeMovesLatestDay;
    if (record.secondText == "00") r.flags |= kTimeSecond00;
    if (record.secondText == "01") r.flags |= kTimeSecond01;
    return r;
}

void MinuteAggregator::Apply(const LineRecord& record) {
    switch (record.kind) {
        case RecordKind::Time:
            OnTime(record);
            break;
        case RecordKind::Pdop:
        case RecordKind::PdopWithSatellites:
            OnPdopRecord(record.value, record.flags != 0);
            break;
        case RecordKind::SatelliteNumbers:
            OnNumbersList(record.items, record.value);
            break;
        case RecordKind::SatelliteLevels:
            OnLevelsList(record.items, record.value & 0xFFFF, record.value >> 16, record.number);
            break;
        case RecordKind::FixMode:
            OnFixMode({static_cast<FixState>(record.value & 0xFF), static_cast<LockMode>(record.value >> 8)});
            break;
        case RecordKind::None:
            break;
    }
}

void MinuteAggregator::ExpectBytes(std::uint64_t bytes) {
    // A full log holds about 12,000 bytes a minute; a sparser one grows its room as usual.
    constexpr std::uint64_t kBytesPerMinute = 8192;
    constexpr std::uint64_t kMostMinutes = 64 * kSamplesPerDay;
    const auto minutes = static_cast<std::size_t>(std::min(bytes / kBytesPerMinute + 16, kMostMinutes));
    // Each gap adds a point to every series at both of its ends.
    const std::size_t points = minutes + minutes / 8;
    if (keepMinutes_) {
        minutes_.reserve(minutes);
        minuteSamples_.reserve(minutes);
    }
    recordMinutes_.reserve(minutes);
    recordSeconds_.reserve(minutes);
    sampleTimes_.reserve(points);
    sampleValues_.reserve(points);
    for (auto& series : series_) series.reserve(points);
}

void MinuteAggregator::ApplyAll(std::span<const LineRecord> records) {
    for (const LineRecord& record : records) Apply(record);
}

void MinuteAggregator::OnTime(const LineRecord& record) {
    const auto status = static_cast<TimeRecord::Status>(record.flags & kTimeStatusBits);
    if (status == TimeRecord::Status::BadTime) return;
    // A bad date leaves the bare time of day as the current time until the next good Time line.
    currentTime_ = record.number;
    if (status == TimeRecord::Status::BadDate) return;
    if (firstTime_ == 0) firstTime_ = currentTime_;
    if (firstDay_ == 0) firstDay_ = std::trunc(currentTime_);
    // The record's second within its minute, rounded as MinuteNumber rounds.
    const std::int64_t minute = record.value;
    const auto second = static_cast<std::int64_t>(currentTime_ * 86400.0 + 0.5) - minute * 60;
    const std::uint64_t secondBit = second >= 0 && second < 60 ? std::uint64_t{1} << second : 0;
    if (recordMinutes_.empty() || recordMinutes_.back() != minute) {
        recordMinutes_.push_back(minute);
        recordSeconds_.push_back(secondBit);
    } else {
        recordSeconds_.back() |= secondBit;
    }
    // The day of its minute number is trunc(currentTime_) for every date a log can hold (2000 on).
    if ((record.flags & kTimeMovesLatestDay) != 0) latestDay_ = static_cast<DayTime>(record.value / 1440);
    if ((record.flags & kTimeSecond00) != 0) minuteState_ = minuteState_ == 0 ? 1 : 2;
    if ((record.flags & kTimeSecond01) != 0 && minuteState_ == 2) {
        FlushMinute(currentTime_);
        minuteState_ = 1;
        minute_ = MinuteAccumulators{};
    }
}

void MinuteAggregator::OnPdopRecord(std::int32_t value, bool withSatellites) {
    if (withSatellites) totals_.controlFormat = true;
    ++minute_.pdopLines;
    if (value < 11) minute_.smallestPdop = std::min(minute_.smallestPdop, value);
    if (value > 0 && value < 10) {
        totals_.pdopSum += value;
        ++totals_.pdopCount;
    }
}

void MinuteAggregator::OnNumbersList(int items, std::int64_t numbered) {
    if (items == 6) {
        ++totals_.sixItemLists;
    } else if (items == 8) {
        ++totals_.eightItemLists;
    }
    minute_.numberedSatellites = numbered;
}

void MinuteAggregator::OnLevelsList(int items, std::int64_t withSignal, std::int64_t good, double lineMean) {
    ++minute_.levelLines;
    minute_.goodCount += good;
    if (minute_.numberedSatellites > 0) {
        AddToFloat(minute_.signalShareSum,
                   static_cast<double>(withSignal) / static_cast<double>(minute_.numberedSatellites));
    }
    if (items > 0) {
        ++minute_.nonEmptyLevelLines;
        AddToFloat(minute_.strengthSum, lineMean);
    }
}

void MinuteAggregator::OnFixMode(const FixModeRecord& record) {
    ++minute_.fixLines;
    fix_ = record.fix;
    ++totals_.fixCounts[static_cast<int>(record.fix)];
    mode_ = record.mode;
    ++totals_.modeCounts[static_cast<int>(record.mode)];
}

void MinuteAggregator::FlushMinute(DayTime t) {
    MinuteReading reading;
    reading.time = t;
    std::optional<std::size_t> sample;
    if (t - previousPointTime_ > kGapLength) {
        if (previousPointTime_ > kFirstPlausibleDay) {
            AddZeroPoints(previousPointTime_);
            if (!minutes_.empty() && minutes_.back().time == previousPointTime_)
                minutes_.back().gapBegins = true;
        }
        AddZeroPoints(t);
        reading.gapEnds = true;
    }
    reading.counts = static_cast<const RecordCounts&>(totals_);
    reading.counts -= totalsAtLastClose_;
    totalsAtLastClose_ = totals_;
    if (minute_.pdopLines > 0) {
        const std::int32_t p = minute_.smallestPdop == 0 ? 10 : minute_.smallestPdop;
        if (p <= 10) {
            AddPoint(SeriesId::Pdop, t, p);
            reading.pdop = p;
        }
    }
    if (minute_.nonEmptyLevelLines > 0) {
        const auto mean = static_cast<float>(static_cast<double>(minute_.strengthSum) /
                                             static_cast<double>(minute_.nonEmptyLevelLines));
        sample = sampleValues_.size();
        AddStrengthSample(t, mean);
        reading.strength = mean;
    }
    if (minute_.levelLines > 0) {
        const double numGood =
            static_cast<double>(minute_.goodCount) / static_cast<double>(minute_.levelLines);
        AddPoint(SeriesId::NumGood, t, numGood);
        AddNumGoodToTotals(numGood);
        reading.numGood = numGood;
    }
    if (fix_) {
        AddPoint(SeriesId::Fix, t, FixValue(*fix_));
        reading.fix = fix_;
    }
    if (minute_.fixLines > 0 && minute_.levelLines > 0) {
        const double signal =
            100.0 * static_cast<double>(minute_.signalShareSum) / static_cast<double>(minute_.levelLines);
        AddPoint(SeriesId::Signal, t, signal);
        reading.signal = signal;
    }
    if (mode_) {
        AddPoint(SeriesId::Mode, t, ModeValue(*mode_));
        reading.mode = mode_;
    }
    if (t > 0) previousPointTime_ = t;
    if (!keepMinutes_) return;
    minutes_.push_back(reading);
    minuteSamples_.push_back(sample);
}

void MinuteAggregator::AddNumGoodToTotals(double numGood) {
    if (totals_.numGoodMinutes == 0 || numGood < totals_.numGoodMinimum) totals_.numGoodMinimum = numGood;
    totals_.numGoodSum += numGood;
    ++totals_.numGoodMinutes;
}

std::optional<double> MeanOfPositiveSamples(const std::vector<double>& sampleValues) {
    double sum = 0;
    std::int64_t count = 0;
    for (const double value : sampleValues) {
        if (value > 0) {
            sum += value;
            ++count;
        }
    }
    if (count == 0) return std::nullopt;
    return sum / static_cast<double>(count);
}

std::optional<double> MinuteAggregator::MeanStrength() const {
    return MeanOfPositiveSamples(sampleValues_);
}

void MinuteAggregator::AddZeroPoints(DayTime t) {
    AddStrengthSample(t, 0);
    AddPoint(SeriesId::NumGood, t, 0);
    AddPoint(SeriesId::Fix, t, 0);
    AddPoint(SeriesId::Pdop, t, 10);
    AddPoint(SeriesId::Signal, t, 0);
    AddPoint(SeriesId::Mode, t, 0);
}

void MinuteAggregator::AddStrengthSample(double x, double y) {
    // Room for a day of minutes at first, so that a day's load does not reallocate repeatedly, and
    // doubling after that, so that a month's load copies its samples only a few times.
    if (sampleTimes_.size() == sampleTimes_.capacity()) {
        const std::size_t room = std::max(kSamplesPerDay, 2 * sampleTimes_.size());
        sampleTimes_.reserve(room);
        sampleValues_.reserve(room);
    }
    AddPoint(SeriesId::Strength, x, y);
    sampleTimes_.push_back(x);
    sampleValues_.push_back(y);
}

namespace {
constexpr std::size_t kTrendWindow = 45;
constexpr std::size_t kFirstTrendIndex = 46;
}  // namespace

std::vector<double> MinuteAggregator::Trends() const {
    // Each window is summed from its first sample on, as a plain loop would, but eight windows at a
    // time: eight chains of additions overlap where one would wait on each addition before.
    constexpr std::size_t kLanes = 8;
    const std::size_t n = sampleValues_.size();
    std::vector<double> trends(n);
    const double* const values = sampleValues_.data();
    const auto window = static_cast<double>(kTrendWindow);
    std::size_t i = kFirstTrendIndex;
    for (; i + kLanes <= n; i += kLanes) {
        std::array<double, kLanes> sums{};
        for (std::size_t k = 0; k < kTrendWindow; ++k) {
            const double* const first = values + i + 1 - kTrendWindow + k;
            for (std::size_t lane = 0; lane < kLanes; ++lane) sums[lane] += first[lane];
        }
        for (std::size_t lane = 0; lane < kLanes; ++lane) trends[i + lane] = sums[lane] / window;
    }
    for (; i < n; ++i) {
        double sum = 0;
        for (std::size_t j = i + 1 - kTrendWindow; j <= i; ++j) sum += values[j];
        trends[i] = sum / window;
    }
    return trends;
}

void MinuteAggregator::PlotTrend() {
    trends_ = Trends();
    const std::size_t n = sampleValues_.size();
    if (n <= kFirstTrendIndex) return;
    // The points go in latest first, and TakeSeries orders them by X, keeping that order among equal
    // times. With times that never fall (a sound log), that is their own order with each run of equal
    // times reversed, which then needs no sorting.
    const auto first = sampleTimes_.begin() + static_cast<std::ptrdiff_t>(kFirstTrendIndex);
    if (!std::is_sorted(first, sampleTimes_.end())) {
        for (std::size_t i = n; i-- > kFirstTrendIndex;)
            AddPoint(SeriesId::Trend, sampleTimes_[i], trends_[i]);
        return;
    }
    for (std::size_t i = kFirstTrendIndex; i < n;) {
        std::size_t end = i + 1;
        while (end < n && !(sampleTimes_[i] < sampleTimes_[end])) ++end;
        for (std::size_t j = end; j-- > i;) AddPoint(SeriesId::Trend, sampleTimes_[j], trends_[j]);
        i = end;
    }
}

void MinuteAggregator::TakeRecordMinutes(std::vector<std::int64_t>& minutes,
                                         std::vector<std::uint64_t>& seconds) {
    // Records come in time order in a sound log; several files or damaged lines may repeat a minute,
    // whose seconds are then merged.
    if (!std::is_sorted(recordMinutes_.begin(), recordMinutes_.end())) {
        std::vector<std::size_t> order(recordMinutes_.size());
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
            return recordMinutes_[a] < recordMinutes_[b];
        });
        std::vector<std::int64_t> sortedMinutes;
        std::vector<std::uint64_t> sortedSeconds;
        for (const std::size_t i : order) {
            if (!sortedMinutes.empty() && sortedMinutes.back() == recordMinutes_[i]) {
                sortedSeconds.back() |= recordSeconds_[i];
            } else {
                sortedMinutes.push_back(recordMinutes_[i]);
                sortedSeconds.push_back(recordSeconds_[i]);
            }
        }
        recordMinutes_ = std::move(sortedMinutes);
        recordSeconds_ = std::move(sortedSeconds);
    }
    minutes = std::move(recordMinutes_);
    seconds = std::move(recordSeconds_);
}

std::vector<MinuteReading> MinuteAggregator::TakeMinutes() {
    if (minutes_.empty()) return {};
    if (trends_.size() != sampleValues_.size()) trends_ = Trends();
    for (std::size_t m = 0; m < minutes_.size(); ++m) {
        const std::optional<std::size_t> sample = minuteSamples_[m];
        if (sample && *sample >= kFirstTrendIndex) minutes_[m].trend = trends_[*sample];
    }
    // Minute closes follow the records' times, which a log may hold out of order.
    const auto byTime = [](const MinuteReading& a, const MinuteReading& b) { return a.time < b.time; };
    if (!std::is_sorted(minutes_.begin(), minutes_.end(), byTime)) {
        std::stable_sort(minutes_.begin(), minutes_.end(), byTime);
    }
    return std::move(minutes_);
}

void MinuteAggregator::AddPoint(SeriesId id, double x, double y) {
    series_[static_cast<int>(id)].push_back({x, y});
}

std::array<std::vector<ChartPoint>, kSeriesCount> MinuteAggregator::TakeSeries() {
    // Inserting each point after all points with X not above its own is a stable sort by X.
    for (auto& points : series_) {
        const auto byX = [](const ChartPoint& a, const ChartPoint& b) { return a.x < b.x; };
        if (!std::is_sorted(points.begin(), points.end(), byX)) {
            std::stable_sort(points.begin(), points.end(), byX);
        }
    }
    return std::move(series_);
}

}  // namespace marlix::core
