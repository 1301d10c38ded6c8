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

void SatelliteAggregator::OnTimeRecord(const TimeRecord& record) {
    if (record.status != TimeRecord::Status::Ok) return;
    const std::int64_t minute = MinuteNumber(record.dateTime);
    if (minute_ && *minute_ == minute) return;
    CloseMinute();
    minute_ = minute;
}

namespace {

// Keeps a copy of the text; false when it differs from the copy held.
bool SameText(std::string_view text, std::array<char, 128>& copy, std::size_t& copySize) {
    if (text.size() == copySize && std::equal(text.begin(), text.end(), copy.begin())) return true;
    // List fields are at most 99 characters; a longer text is never taken for the same.
    copySize = text.size() <= copy.size() ? text.size() : copy.size() + 1;
    if (text.size() <= copy.size()) std::copy(text.begin(), text.end(), copy.begin());
    return false;
}

// The usual shape of a levels list, single digits joined by ", ", read without the general splitter
// (which gives the same items), up to maxItems of them; false, having read nothing, for a list of any
// other shape.
template <class OnLevel>
bool ForEachSingleDigitItem(std::string_view list, std::size_t maxItems, OnLevel&& onLevel) {
    const std::size_t n = list.size();
    if (n == 0 || (n + 2) % 3 != 0) return false;
    for (std::size_t p = 0; p < n; p += 3) {
        if (list[p] < '0' || list[p] > '9') return false;
        if (p + 1 < n && (list[p + 1] != ',' || list[p + 2] != ' ')) return false;
    }
    const std::size_t items = std::min((n + 2) / 3, maxItems);
    for (std::size_t i = 0; i < items; ++i) onLevel(i, list[3 * i] - '0');
    return true;
}

}  // namespace

void SatelliteAggregator::OnSatelliteNumbers(std::string_view list) {
    numbersPending_ = true;
    // The lists seldom change from one second to the next, so an unchanged one is not split again.
    if (SameText(list, lastNumbers_, lastNumbersSize_)) return;
    FoldPositions();
    numberCount_ = 0;
    ForEachListItem(list, 0, [&](std::int32_t number) {
        if (numberCount_ < kMaxListItems) {
            numbers_[numberCount_] = number;
            numbered_[numberCount_] = number > 0 ? 1 : 0;
            ++numberCount_;
        }
        if (number > 0) MarkSeen(number);
    });
}

void SatelliteAggregator::OnSatelliteLevels(std::string_view list) {
    // A levels list pairs with the numbers list just before it, and only once.
    if (!numbersPending_) return;
    numbersPending_ = false;
    if (!minute_) return;
    // Most levels lists differ from the one a second before, so each is summed straight from its
    // text; the 0/1 weights of the numbers keep the usual loop free of branches.
    const auto addLevel = [&](std::size_t i, std::int32_t level) {
        positionSums_[i].total += level * numbered_[i];
        positionSums_[i].count += numbered_[i];
    };
    if (ForEachSingleDigitItem(list, numberCount_, addLevel)) return;
    std::size_t i = 0;
    ForEachListItemText(list, [&](std::string_view text, bool escaped) {
        // An empty item is a missing level; a doubled quote leaves a quote in the item, no integer.
        if (i < numberCount_ && !text.empty()) addLevel(i, escaped ? 0 : ParseIntegerOr(text, 0));
        ++i;
    });
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
