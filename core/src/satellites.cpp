#include "marlix/core/satellites.h"

#include <algorithm>

namespace marlix::core {

DayTime MinuteStart(std::int64_t minuteNumber) {
    return static_cast<double>(minuteNumber) / 1440.0;
}

std::optional<float> SatelliteDay::MeanLevel(std::int32_t satellite, DayTime t) const {
    const DayTime minute = MinuteStart(MinuteNumber(t));
    const auto it =
        std::lower_bound(levels.begin(), levels.end(), std::pair{minute, satellite},
                         [](const SatelliteMinuteLevel& l, const std::pair<DayTime, std::int32_t>& key) {
                             return l.minute != key.first ? l.minute < key.first : l.satellite < key.second;
                         });
    if (it == levels.end() || it->minute != minute || it->satellite != satellite) return std::nullopt;
    return it->meanLevel;
}

SatelliteAggregator::SatelliteAggregator()
    : directSums_(kDirectNumbers, Sum{0, 0}), directSeen_(kDirectNumbers, false) {
    // About a dozen satellites a minute; room for a day of them saves reallocation and page faults.
    constexpr std::size_t kDayOfLevels = 1440 * 12;
    day_.levels.reserve(kDayOfLevels);
    closedSums_.reserve(kDayOfLevels);
}

void SatelliteAggregator::OnTimeMinute(std::int64_t minute) {
    if (minute_ && *minute_ == minute) return;
    CloseMinute();
    minute_ = minute;
}

void SatelliteAggregator::OnSatelliteNumbers(std::span<const std::int32_t> numbers) {
    numbersPending_ = true;
    FoldPositions();
    numberCount_ = std::min(numbers.size(), kMaxListItems);
    for (std::size_t i = 0; i < numberCount_; ++i) {
        numbers_[i] = numbers[i];
        numbered_[i] = numbers[i] > 0 ? 1 : 0;
    }
    for (const std::int32_t number : numbers) {
        if (number > 0) MarkSeen(number);
    }
}

void SatelliteAggregator::OnSatelliteLevels(std::span<const std::int32_t> levels,
                                            std::span<const std::int32_t> emptyBits) {
    // A levels list pairs with the numbers list just before it, and only once.
    if (!numbersPending_) return;
    numbersPending_ = false;
    if (!minute_) return;
    const std::size_t paired = std::min(levels.size(), numberCount_);
    // Summed by position while the numbers stay the same; the 0/1 weights of the numbers keep the
    // usual loop free of branches.
    const auto add = [&](std::size_t i) {
        positionSums_[i].total += levels[i] * numbered_[i];
        positionSums_[i].count += numbered_[i];
    };
    if (emptyBits.empty()) {
        for (std::size_t i = 0; i < paired; ++i) add(i);
        return;
    }
    for (std::size_t i = 0; i < paired; ++i) {
        if ((static_cast<std::uint32_t>(emptyBits[i / 32]) >> (i % 32) & 1u) == 0) add(i);
    }
}

void SatelliteAggregator::FoldPositions() {
    for (std::size_t i = 0; i < numberCount_; ++i) {
        if (positionSums_[i].count > 0)
            AddLevels(numbers_[i], positionSums_[i].total, positionSums_[i].count);
        positionSums_[i] = Sum{0, 0};
    }
}

void SatelliteAggregator::AddLevels(std::int32_t satellite, std::int64_t total, std::int32_t count) {
    if (satellite < kDirectNumbers) {
        Sum& sum = directSums_[satellite];
        if (sum.count == 0) touched_.push_back(satellite);
        sum.total += total;
        sum.count += count;
        return;
    }
    for (auto& [number, sum] : otherSums_) {
        if (number == satellite) {
            sum.total += total;
            sum.count += count;
            return;
        }
    }
    otherSums_.push_back({satellite, Sum{total, count}});
}

void SatelliteAggregator::MarkSeen(std::int32_t satellite) {
    if (satellite < kDirectNumbers) {
        directSeen_[satellite] = true;
    } else if (std::find(otherSeen_.begin(), otherSeen_.end(), satellite) == otherSeen_.end()) {
        otherSeen_.push_back(satellite);
    }
}

void SatelliteAggregator::CloseMinute() {
    if (!minute_) return;
    FoldPositions();
    const DayTime minute = MinuteStart(*minute_);
    std::sort(touched_.begin(), touched_.end());
    for (const std::int32_t satellite : touched_) {
        day_.levels.push_back({minute, satellite, 0});
        closedSums_.push_back(directSums_[satellite]);
        directSums_[satellite] = Sum{0, 0};
    }
    touched_.clear();
    std::sort(otherSums_.begin(), otherSums_.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [satellite, sum] : otherSums_) {
        day_.levels.push_back({minute, satellite, 0});
        closedSums_.push_back(sum);
    }
    otherSums_.clear();
}

SatelliteDay SatelliteAggregator::Finish() {
    CloseMinute();
    minute_.reset();
    std::vector<SatelliteMinuteLevel>& levels = day_.levels;
    const auto before = [](const SatelliteMinuteLevel& a, const SatelliteMinuteLevel& b) {
        return a.minute != b.minute ? a.minute < b.minute : a.satellite < b.satellite;
    };
    const auto byMinute = [&](std::size_t a, std::size_t b) { return before(levels[a], levels[b]); };
    // A log that steps back in time, or several files read as one, can visit a minute twice. That is
    // rare, so the order of the entries is only made when they are out of order or a pair repeats
    // (a minute visited again right after itself).
    const auto notBefore = [&](const SatelliteMinuteLevel& a, const SatelliteMinuteLevel& b) {
        return !before(a, b);
    };
    if (std::adjacent_find(levels.begin(), levels.end(), notBefore) != levels.end()) {
        std::vector<std::size_t> order(levels.size());
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::stable_sort(order.begin(), order.end(), byMinute);
        std::vector<SatelliteMinuteLevel> sortedLevels;
        std::vector<Sum> sortedSums;
        for (const std::size_t i : order) {
            if (!sortedLevels.empty() && sortedLevels.back().minute == levels[i].minute &&
                sortedLevels.back().satellite == levels[i].satellite) {
                sortedSums.back().total += closedSums_[i].total;
                sortedSums.back().count += closedSums_[i].count;
            } else {
                sortedLevels.push_back(levels[i]);
                sortedSums.push_back(closedSums_[i]);
            }
        }
        levels = std::move(sortedLevels);
        closedSums_ = std::move(sortedSums);
    }
    for (std::size_t i = 0; i < levels.size(); ++i) {
        levels[i].meanLevel =
            static_cast<float>(static_cast<double>(closedSums_[i].total) / closedSums_[i].count);
    }
    closedSums_ = {};
    for (std::int32_t n = 1; n < kDirectNumbers; ++n) {
        if (directSeen_[n]) day_.satellites.push_back(n);
    }
    std::sort(otherSeen_.begin(), otherSeen_.end());
    day_.satellites.insert(day_.satellites.end(), otherSeen_.begin(), otherSeen_.end());
    return std::move(day_);
}

}  // namespace marlix::core
