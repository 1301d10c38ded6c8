#pragma once

// The level of each satellite minute by minute: what the three day charts average away. Kept apart
// from the minute aggregation of the charts, and made only when asked for, in the same pass over the
// lines.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "marlix/core/daytime.h"

namespace marlix::core {

struct SatelliteMinuteLevel {
    DayTime minute;  // the start of the UTC minute
    std::int32_t satellite;
    float meanLevel;  // mean of the satellite's level items in that minute
};

struct SatelliteDay {
    std::vector<std::int32_t> satellites;      // every satellite number seen in a numbers list, ascending
    std::vector<SatelliteMinuteLevel> levels;  // by minute, then by satellite; absent where none was paired

    // The mean level of the satellite in the minute holding t, if it had one.
    std::optional<float> MeanLevel(std::int32_t satellite, DayTime t) const;
};

// Minute number of a DayTime (minutes since 1899-12-30), after rounding to the nearest second so that
// hh:mm:00 of a record falls in its own minute.
inline std::int64_t MinuteNumber(DayTime t) {
    const double scaled = t * 86400.0;
    const auto seconds = static_cast<std::int64_t>(scaled < 0 ? scaled - 0.5 : scaled + 0.5);
    // Floor division, so that times before 1899-12-30 also fall in the minute that starts before them.
    return seconds >= 0 ? seconds / 60 : -((-seconds + 59) / 60);
}
DayTime MinuteStart(std::int64_t minuteNumber);

// Pairs each Satellite numbers list with the next Satellite levels list item by item, and averages the
// levels of each satellite over the UTC minute of the latest good Time record. Level items that are
// missing or empty count as absent; numbers that are 0 or no integer are skipped. It takes the lists'
// items as the list splitter gives them (ForEachListItemOrEmpty, fallback 0), not their texts, so
// that the lines can be split where they are read.
class SatelliteAggregator {
  public:
    SatelliteAggregator();
    // A Time record with a valid date, by the minute number (MinuteNumber) of its time.
    void OnTimeMinute(std::int64_t minute);
    void OnSatelliteNumbers(std::span<const std::int32_t> numbers);
    // A numbers list whose text is that of the numbers list before it.
    void OnRepeatedSatelliteNumbers() { numbersPending_ = true; }
    // Bit i % 32 of emptyBits[i / 32] is set for an empty item i; emptyBits is empty when none is.
    void OnSatelliteLevels(std::span<const std::int32_t> levels, std::span<const std::int32_t> emptyBits);
    SatelliteDay Finish();

  private:
    // Satellite numbers below this are counted in arrays; larger ones, which receivers hardly use,
    // in a short list.
    static constexpr std::int32_t kDirectNumbers = 256;
    // Positions of a numbers list beyond these pair with no level (a 99-character list holds at most
    // 50 numbers above 0, but up to 100 items).
    static constexpr std::size_t kMaxListItems = 64;

    // Items are 32-bit integers of any size a damaged log holds: their sum needs 64 bits.
    struct Sum {
        std::int64_t total;
        std::int32_t count;
    };

    void AddLevels(std::int32_t satellite, std::int64_t total, std::int32_t count);
    void FoldPositions();
    void MarkSeen(std::int32_t satellite);
    void CloseMinute();

    std::optional<std::int64_t> minute_;
    std::array<std::int32_t, kMaxListItems> numbers_{};
    std::array<std::int32_t, kMaxListItems> numbered_{};  // 1 where the number is above 0, else 0
    std::size_t numberCount_ = 0;
    // Levels summed by list position while the numbers list stays the same, which is most of the
    // time; they go to their satellites when it changes or the minute closes.
    std::array<Sum, kMaxListItems> positionSums_{};
    bool numbersPending_ = false;
    // The open minute: sums by satellite number and the numbers touched, in order of first touch.
    std::vector<Sum> directSums_;
    std::vector<std::int32_t> touched_;
    std::vector<std::pair<std::int32_t, Sum>> otherSums_;
    std::vector<bool> directSeen_;
    std::vector<std::int32_t> otherSeen_;
    // The closed minutes, their sums beside them until the means are taken.
    SatelliteDay day_;
    std::vector<Sum> closedSums_;
};

}  // namespace marlix::core
