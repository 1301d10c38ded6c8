#pragma once

// A line reduced to its LineRecord, compiled into the loops that split the lines: a load spends most
// of its time here, on the reading threads.

#include <array>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "marlix/core/aggregation.h"
#include "marlix/core/line_reader.h"
#include "marlix/core/records.h"
#include "marlix/core/satellites.h"

namespace marlix::core {

// The record that a text gave last time. A log repeats its Fix and mode line and its satellite
// numbers for minutes on end, so the same text is mostly compared rather than read again.
class TextMemo {
  public:
    const LineRecord* Find(std::string_view text) const {
        return text.size() == size_ && SameBytes(text.data(), text_.data(), size_) ? &record_ : nullptr;
    }
    void Keep(std::string_view text, const LineRecord& record) {
        if (text.size() > text_.size()) return;
        // An empty text may have no bytes to point at, which memcpy must not be given.
        if (!text.empty()) std::memcpy(text_.data(), text.data(), text.size());
        size_ = text.size();
        record_ = record;
    }

  private:
    // memcmp for the few dozen bytes of a line, compiled in rather than called: blocks of 16, the
    // last one overlapping the one before.
    static bool SameBytes(const char* a, const char* b, std::size_t n) {
#if defined(__SSE2__)
        if (n >= 16) {
            const auto same16 = [a, b](std::size_t at) {
                const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + at));
                const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + at));
                return _mm_movemask_epi8(_mm_cmpeq_epi8(x, y)) == 0xFFFF;
            };
            for (std::size_t at = 0; at + 16 <= n; at += 16) {
                if (!same16(at)) return false;
            }
            return same16(n - 16);
        }
#endif
        return n == 0 || std::memcmp(a, b, n) == 0;
    }

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

#if defined(__SSE2__)
// A levels list of the receiver's usual shape, one-digit levels joined by ", ", of 6 to 16 levels,
// read 16 bytes at a time straight from the line; false for any other shape, which ForEachListItem
// then reads to the same figures.
inline bool ReadOneDigitLevels(std::string_view list, std::int32_t& items, std::int32_t& withSignal,
                               std::int32_t& good, std::int64_t& sum) {
    const std::size_t n = list.size();
    if (n < 16 || n > 16 * 3 - 2 || n % 3 != 1) return false;
    // The shape of 16 characters that start at a position p, by p % 3: digit, comma, blank.
    alignas(16) static constexpr char kShapes[3][16] = {
        {'0', ',', ' ', '0', ',', ' ', '0', ',', ' ', '0', ',', ' ', '0', ',', ' ', '0'},
        {',', ' ', '0', ',', ' ', '0', ',', ' ', '0', ',', ' ', '0', ',', ' ', '0', ','},
        {' ', '0', ',', ' ', '0', ',', ' ', '0', ',', ' ', '0', ',', ' ', '0', ',', ' '}};
    alignas(16) static constexpr char kLane[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    const __m128i zero = _mm_setzero_si128();
    const __m128i one = _mm_set1_epi8(1);
    // Per byte: the level, whether it is above 0, whether it is above 3; summed over the bytes at the end.
    __m128i levels = zero;
    __m128i signal = zero;
    __m128i above3 = zero;
    // Checks the 16 characters at position p and counts those from lane `first` on.
    const auto take = [&](std::size_t p, int first) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(list.data() + p));
        const __m128i shape = _mm_load_si128(reinterpret_cast<const __m128i*>(kShapes[p % 3]));
        const __m128i isDigitPlace = _mm_cmpeq_epi8(shape, _mm_set1_epi8('0'));
        const __m128i digits = _mm_and_si128(_mm_sub_epi8(bytes, _mm_set1_epi8('0')), isDigitPlace);
        const __m128i digitOk = _mm_cmpeq_epi8(_mm_min_epu8(digits, _mm_set1_epi8(9)), digits);
        const __m128i ok = _mm_or_si128(_mm_and_si128(digitOk, isDigitPlace), _mm_cmpeq_epi8(bytes, shape));
        if (_mm_movemask_epi8(ok) != 0xFFFF) return false;
        const __m128i counted = _mm_cmpgt_epi8(_mm_load_si128(reinterpret_cast<const __m128i*>(kLane)),
                                               _mm_set1_epi8(static_cast<char>(first - 1)));
        const __m128i own = _mm_and_si128(digits, counted);
        levels = _mm_add_epi8(levels, own);
        signal = _mm_add_epi8(signal, _mm_and_si128(_mm_cmpgt_epi8(own, zero), one));
        above3 = _mm_add_epi8(above3, _mm_and_si128(_mm_cmpgt_epi8(own, _mm_set1_epi8(3)), one));
        return true;
    };
    std::size_t covered = 0;
    for (; covered + 16 <= n; covered += 16) {
        if (!take(covered, 0)) return false;
    }
    // The rest as the last 16 characters, counting only those not yet counted.
    if (covered < n && !take(n - 16, static_cast<int>(covered - (n - 16)))) return false;
    const auto byteSum = [zero](__m128i bytes) {
        const __m128i halves = _mm_sad_epu8(bytes, zero);
        return _mm_cvtsi128_si32(halves) + _mm_cvtsi128_si32(_mm_srli_si128(halves, 8));
    };
    items = static_cast<std::int32_t>((n + 2) / 3);
    withSignal = byteSum(signal);
    good = byteSum(above3);
    sum = byteSum(levels);
    return true;
}
#endif

MARLIX_ALWAYS_INLINE LineRecord ReduceTimeLine(std::string_view line, DateMemo& memo) {
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
        // MinuteNumber(r.number) without the rounding: the date is a whole number of days.
        r.value = static_cast<std::int32_t>(memo.date) * 1440 + hour * 60 + minute;
        if (hour != 0 && minute != 0) r.flags |= kTimeMovesLatestDay;
        if (second == 0) r.flags |= kTimeSecond00;
        if (second == 1) r.flags |= kTimeSecond01;
        return r;
    }
    return ReduceTimeRecord(ParseTimeRecord(line, memo));
}
}  // namespace detail

// The items of the satellite lists of reduced lines, kept beside their records when the satellite
// levels are asked for, in the order of the records: for a Satellite numbers record without
// kListRepeated, its `items` values; for a Satellite levels record, its `items` values (0 for an empty
// item) and, when it has kListHasEmptyItems, one bit per item in 32-bit words, set for an empty item.
struct SatelliteLists {
    std::vector<std::int32_t> words;
};
inline constexpr std::uint8_t kListRepeated = 1;       // numbers: the same text as the numbers list before
inline constexpr std::uint8_t kListHasEmptyItems = 2;  // levels
// A list field of 99 characters holds at most 100 items.
inline constexpr std::size_t kMostListItems = 100;

namespace detail {
template <bool kKeepLists>
MARLIX_ALWAYS_INLINE LineRecord Reduce(std::string_view line, ReductionMemo& memo, SatelliteLists* lists) {
    LineRecord r;
    switch (ClassifyRecord(line)) {
        case RecordKind::Time:
            return ReduceTimeLine(line, memo.date);
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
            if (const LineRecord* known = memo.numbers.Find(list)) {
                LineRecord repeated = *known;
                if constexpr (kKeepLists) repeated.flags |= kListRepeated;
                return repeated;
            }
            r.kind = RecordKind::SatelliteNumbers;
            std::int32_t numbered = 0;
            r.items = static_cast<std::uint16_t>(ForEachListItem(list, 0, [&](std::int32_t prn) {
                numbered += prn > 0;
                if constexpr (kKeepLists) lists->words.push_back(prn);
            }));
            r.value = numbered;
            memo.numbers.Keep(list, r);
            return r;
        }
        case RecordKind::SatelliteLevels: {
            r.kind = RecordKind::SatelliteLevels;
            const std::string_view list = ListField(line);
            std::int64_t lineSum = 0;
            std::int32_t withSignal = 0;
            std::int32_t good = 0;
            std::int32_t items = 0;
            const auto take = [&](std::int32_t level) {
                withSignal += level > 0;
                good += level > 3;
                lineSum += level;
            };
            if constexpr (kKeepLists) {
                std::array<std::uint32_t, (kMostListItems + 31) / 32> empty{};
                std::size_t at = 0;
                items = ForEachListItemOrEmpty(list, 0, [&](std::int32_t level, bool isEmpty) {
                    take(level);
                    lists->words.push_back(level);
                    if (isEmpty && at < kMostListItems) {
                        r.flags = kListHasEmptyItems;
                        empty[at / 32] |= 1u << (at % 32);
                    }
                    ++at;
                });
                if (r.flags == kListHasEmptyItems) {
                    for (std::size_t w = 0; w * 32 < static_cast<std::size_t>(items); ++w)
                        lists->words.push_back(static_cast<std::int32_t>(empty[w]));
                }
            } else {
#if defined(__SSE2__)
                if (!ReadOneDigitLevels(list, items, withSignal, good, lineSum))
#endif
                    items = ForEachListItem(list, 0, take);
            }
            r.items = static_cast<std::uint16_t>(items);
            r.value = withSignal | good << 16;
            if (items > 0) r.number = static_cast<double>(lineSum) / items;
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
}  // namespace detail

// The record of any line; kind None for a line that is no record.
MARLIX_ALWAYS_INLINE LineRecord ReduceLine(std::string_view line, ReductionMemo& memo) {
    return detail::Reduce<false>(line, memo, nullptr);
}

// The same, keeping the items of a satellite list in lists.
MARLIX_ALWAYS_INLINE LineRecord ReduceLine(std::string_view line, ReductionMemo& memo,
                                           SatelliteLists& lists) {
    return detail::Reduce<true>(line, memo, &lists);
}

// Hands the satellite lists of reduced lines and their Time records with a valid date to the
// satellite aggregation, in their order.
inline void FeedSatellites(SatelliteAggregator& aggregator, std::span<const LineRecord> records,
                           const SatelliteLists& lists) {
    const std::int32_t* words = lists.words.data();
    for (const LineRecord& r : records) {
        switch (r.kind) {
            case RecordKind::Time:
                if ((r.flags & kTimeStatusBits) == static_cast<std::uint8_t>(TimeRecord::Status::Ok))
                    aggregator.OnTimeMinute(r.value);
                break;
            case RecordKind::SatelliteNumbers:
                if ((r.flags & kListRepeated) != 0) {
                    aggregator.OnRepeatedSatelliteNumbers();
                } else {
                    aggregator.OnSatelliteNumbers({words, r.items});
                    words += r.items;
                }
                break;
            case RecordKind::SatelliteLevels: {
                const std::span<const std::int32_t> levels(words, r.items);
                words += r.items;
                std::span<const std::int32_t> empty;
                if ((r.flags & kListHasEmptyItems) != 0) {
                    empty = {words, (r.items + 31u) / 32u};
                    words += empty.size();
                }
                aggregator.OnSatelliteLevels(levels, empty);
                break;
            }
            default:
                break;
        }
    }
}

}  // namespace marlix::core
