#include "marlix/core/day_analysis.h"

namespace marlix::core {
namespace {

std::optional<double> SharePercent(const std::array<std::int64_t, 3>& counts, int index) {
    const auto hundredth = static_cast<float>(static_cast<double>(counts[0] + counts[1] + counts[2]) / 100.0);
    if (!(hundredth > 0)) return std::nullopt;
    return static_cast<double>(counts[index]) / static_cast<double>(hundredth);
}

}  // namespace

std::string_view SeriesTitle(SeriesId id) {
    static constexpr std::string_view kTitles[kSeriesCount] = {"Strength", "Num good", "2D/3D fix", "Trend",
                                                               "PDOP",     "Signal",   "Mode"};
    return kTitles[static_cast<int>(id)];
}

std::optional<double> RecordCounts::FixShare(int index) const {
    return SharePercent(fixCounts, index);
}

std::optional<double> RecordCounts::ModeShare(int index) const {
    return SharePercent(modeCounts, index);
}

std::optional<double> RecordCounts::AveragePdop() const {
    if (pdopCount == 0) return std::nullopt;
    return static_cast<double>(pdopSum) / static_cast<double>(pdopCount);
}

std::optional<double> RecordCounts::SeekingShare() const {
    const std::int64_t lists = sixItemLists + eightItemLists;
    if (lists == 0) return std::nullopt;
    return static_cast<double>(eightItemLists * 100) / static_cast<double>(lists);
}

RecordCounts& RecordCounts::operator+=(const RecordCounts& other) {
    for (int i = 0; i < 3; ++i) {
        fixCounts[i] += other.fixCounts[i];
        modeCounts[i] += other.modeCounts[i];
    }
    pdopSum += other.pdopSum;
    pdopCount += other.pdopCount;
    sixItemLists += other.sixItemLists;
    eightItemLists += other.eightItemLists;
    return *this;
}

RecordCounts& RecordCounts::operator-=(const RecordCounts& other) {
    for (int i = 0; i < 3; ++i) {
        fixCounts[i] -= other.fixCounts[i];
        modeCounts[i] -= other.modeCounts[i];
    }
    pdopSum -= other.pdopSum;
    pdopCount -= other.pdopCount;
    sixItemLists -= other.sixItemLists;
    eightItemLists -= other.eightItemLists;
    return *this;
}

std::string ReadFailureText(const LoadFailure& failure) {
    return "cannot read " + failure.file + ": " + failure.reason;
}

}  // namespace marlix::core
