#pragma once

// A line reduced to its LineRecord, compiled into the loops that split the lines: a load spends most
// of its time here, on the reading threads.

#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "marlix/core/aggregation.h"
#include "marlix/core/records.h"
#include "marlix/core/satellites.h"

namespace marlix::core {

// The record that a text gave last time. A log repeats its Fix and mode line and its satellite
// numbers for minutes on end, so the same text is mostly compared rather than read again.
class TextMemo {
  public:
    const LineRecord* Find(std::string_view text) const {
        return text.size() == size_ && std::memcmp(text.data(), text_.data(), size_) == 0 ? &record_
                                                                                          : nullptr;
    }
    void Keep(std::string_view text, const LineRecord& record) {
        if (text.size() > text_.size()) return;
        std::memcpy(text_.data(), text.data(), text.size());
        size_ = text.size();
        record_ = record;
    }

  private:
    std::array<char, 112> text_{};
    std::size_t size_ = text_.size() + 1;  // nothing kept yet
    LineRecord record_;
};

struct ReductionMemo {
    DateMemo date;
    TextMemo numbers;  // by the list field
    TextMemo fixMode;  // by the whole line, where the words are looked for
};

namespace detail {
inline bool TwoDigits(const char* p, std::int32_t& value) {
    const unsigned tens = static_cast<unsigned char>(p[0]) - unsigned{'0'};
    const unsigned ones = static_cast<unsigned char>(p[1]) - unsigned{'0'};
    if (tens > 9 || ones > 9) return false;
    value = static_cast<std::int32_t>(tens * 10 + ones);
    return true;
}

inline LineRecord ReduceTimeLine(std::string_view line, DateMemo& memo) {
    // The logger's own shape, two digits in each time field and the date of the line before, gives
    // what ParseTimeRecord gives without reading the fields' texts again; any other shape goes there.
    constexpr std::size_t kDateStart = 21;
    std::int32_t hour = 0, minute = 0, second = 0;
    const char* p = line.data();
    if (memo.valid && line.size() >= kDateStart + sizeof memo.text && TwoDigits(p + 12, hour) &&
        TwoDigits(p + 15, minute) && TwoDigits(p + 18, second) && IsValidTime(hour, minute, second) &&
        std::memcmp(p + kDateStart, memo.text, sizeof memo.text) == 0) {
        LineRecord r;
        r.kind = RecordKind::Time;
        r.flags = static_cast<std::uint8_t>(TimeRecord::Status::Ok);
        r.number = memo.date + EncodeTime(hour, minute, second);
        r.value = static_cast<std::int32_t>(MinuteNumber(r.number));
        if (hour != 0 && minute != 0) r.flags |= kTimeMovesLatestDay;
        if (second == 0) r.flags |= kTimeSecond00;
        if (second == 1) r.flags |= kTimeSecond01;
        return r;
    }
    return ReduceTimeRecord(ParseTimeRecord(line, memo));
}
}  // namespace detail

// The record of any line; kind None for a line that is no record.
inline LineRecord ReduceLine(std::string_view line, ReductionMemo& memo) {
    LineRecord r;
    switch (ClassifyRecord(line)) {
        case RecordKind::Time:
            return detail::ReduceTimeLine(line, memo.date);
        case RecordKind::Pdop:
            r.kind = RecordKind::Pdop;
            r.value = PdopValue(line);
            return r;
        case RecordKind::PdopWithSatellites:
            r.kind = RecordKind::Pdop;
            r.flags = 1;
            r.value = PdopValue(line);
            return r;
        case RecordKind::SatelliteNumbers: {
            const std::string_view list = ListField(line);
            if (const LineRecord* known = memo.numbers.Find(list)) return *known;
            r.kind = RecordKind::SatelliteNumbers;
            std::int32_t numbered = 0;
            r.items = static_cast<std::uint16_t>(
                ForEachListItem(list, 0, [&](std::int32_t prn) { numbered += prn > 0; }));
            r.value = numbered;
            memo.numbers.Keep(list, r);
            return r;
        }
        case RecordKind::SatelliteLevels: {
            r.kind = RecordKind::SatelliteLevels;
            std::int64_t lineSum = 0;
            std::int32_t withSignal = 0;
            std::int32_t good = 0;
            r.items = static_cast<std::uint16_t>(ForEachListItem(ListField(line), 0, [&](std::int32_t level) {
                withSignal += level > 0;
                good += level > 3;
                lineSum += level;
            }));
            r.value = withSignal | good << 16;
            r.number = static_cast<double>(lineSum);
            return r;
        }
        case RecordKind::FixMode: {
            if (const LineRecord* known = memo.fixMode.Find(line)) return *known;
            const FixModeRecord fixMode = ParseFixMode(line);
            r.kind = RecordKind::FixMode;
            r.value = static_cast<std::int32_t>(fixMode.fix) | static_cast<std::int32_t>(fixMode.mode) << 8;
            memo.fixMode.Keep(line, r);
            return r;
        }
        case RecordKind::None:
            break;
    }
    return r;
}

}  // namespace marlix::core
