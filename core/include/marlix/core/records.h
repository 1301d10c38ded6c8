#pragma once

// Recognition of the receiver's record lines and conversion of their fields. A line holds one byte
// per character; positions in the comments are 1-based, as the logger's layout counts them.

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "marlix/core/daytime.h"

namespace marlix::core {

enum class RecordKind : std::uint8_t {
    None,
    Time,
    Pdop,
    PdopWithSatellites,
    SatelliteNumbers,
    SatelliteLevels,
    FixMode
};

inline constexpr char kTimePrefix[] = "UTC Time  : ";
inline constexpr char kPdopPrefix[] = "PDOP      : ";
inline constexpr char kPdopWithSatellitesPrefix[] = "PDOP; sats: ";
inline constexpr char kSatelliteNumbersPrefix[] = "Sat PRN   : ";
inline constexpr char kSatelliteLevelsPrefix[] = "Sat level : ";
inline constexpr char kFixModePrefix[] = "Fix, Mode";

namespace detail {
// The prefixes are compile-time constants, so the comparison becomes a few loads instead of a call.
template <std::size_t N>
bool StartsWith(std::string_view line, const char (&prefix)[N]) {
    return line.size() >= N - 1 && std::memcmp(line.data(), prefix, N - 1) == 0;
}
}  // namespace detail

// At most one prefix can match, so the first match is the kind. Inline, as every line of a log is
// classified.
inline RecordKind ClassifyRecord(std::string_view line) {
    using detail::StartsWith;
    if (line.empty()) return RecordKind::None;
    switch (line[0]) {
        case 'U':
            return StartsWith(line, kTimePrefix) ? RecordKind::Time : RecordKind::None;
        case 'P':
            if (StartsWith(line, kPdopPrefix)) return RecordKind::Pdop;
            return StartsWith(line, kPdopWithSatellitesPrefix) ? RecordKind::PdopWithSatellites
                                                               : RecordKind::None;
        case 'S':
            if (StartsWith(line, kSatelliteNumbersPrefix)) return RecordKind::SatelliteNumbers;
            return StartsWith(line, kSatelliteLevelsPrefix) ? RecordKind::SatelliteLevels : RecordKind::None;
        case 'F':
            return StartsWith(line, kFixModePrefix) ? RecordKind::FixMode : RecordKind::None;
        default:
            return RecordKind::None;
    }
}

// Characters first..first+length-1 of the line (1-based), shorter or empty past the end of the line.
inline std::string_view Field(std::string_view line, std::size_t first, std::size_t length) {
    if (first < 1 || first > line.size()) return {};
    return line.substr(first - 1, length);
}

// Optional blanks, an optional sign, then decimal digits or a hexadecimal number introduced by "$",
// "x", "X", "0x" or "0X", and nothing after it; the value must fit 32 bits.
bool TryParseIntegerInFull(std::string_view text, std::int32_t& value);
// A flag and an out-parameter rather than std::optional: this runs for every field of every record
// and the optional's return made a store-forwarding stall per call.
inline bool TryParseInteger(std::string_view text, std::int32_t& value) {
    // Nearly every field of a log is a few plain digits; everything else takes the full rules.
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    if (i == text.size() || text.size() - i > 9) return TryParseIntegerInFull(text, value);
    std::int32_t result = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return TryParseIntegerInFull(text, value);
        result = result * 10 + (c - '0');
    }
    value = result;
    return true;
}
inline std::optional<std::int32_t> ParseInteger(std::string_view text) {
    std::int32_t value = 0;
    if (!TryParseInteger(text, value)) return std::nullopt;
    return value;
}
inline std::int32_t ParseIntegerOr(std::string_view text, std::int32_t fallback) {
    std::int32_t value = 0;
    return TryParseInteger(text, value) ? value : fallback;
}

// Splits a comma list the way the logger's lists are read: blanks and control characters (1..32)
// separate and are skipped, double-quoted items may hold commas, two commas give an empty item, and a
// comma as the last character gives an empty last item. Calls onItem(value) for every item, with the
// item's integer value or fallback when it is no integer; returns the number of items.
template <class OnItem>
int ForEachListItem(std::string_view list, std::int32_t fallback, OnItem&& onItem);

// The same, telling also an empty item (which takes the fallback) from one that is no integer:
// calls onItem(value, empty) for every item.
template <class OnItem>
int ForEachListItemOrEmpty(std::string_view list, std::int32_t fallback, OnItem&& onItem);

// The item texts themselves (quotes removed, doubled quotes made single).
std::vector<std::string> SplitList(std::string_view list);

// Field contents of a list record: characters 13 to 111.
inline std::string_view ListField(std::string_view line) {
    return Field(line, 13, 99);
}

// Time line: time of day from characters 13-14, 16-17, 19-20, date from 22-23, 25-26 and "20" + 28-29
// (a line that ends before character 29 has a bad date).
struct TimeRecord {
    enum class Status { BadTime, BadDate, Ok };
    Status status = Status::BadTime;
    DayTime timeOfDay = 0;  // set unless BadTime
    DayTime dateTime = 0;   // set when Ok
    std::string_view hourText, minuteText, secondText;
};
TimeRecord ParseTimeRecord(std::string_view line);
// The date of the last good Time line read, by its text: a log's date changes once a day.
struct DateMemo {
    char text[8] = {};
    DayTime date = 0;
    bool valid = false;
};
TimeRecord ParseTimeRecord(std::string_view line, DateMemo& memo);

// PDOP value of either PDOP line: characters 13-14, 11 when they are no integer.
inline std::int32_t PdopValue(std::string_view line) {
    return ParseIntegerOr(Field(line, 13, 2), 11);
}

enum class FixState { None, Fix2D, Fix3D };
enum class LockMode { Inactive, Coarse, FineOrControl };
struct FixModeRecord {
    FixState fix;
    LockMode mode;
};
FixModeRecord ParseFixMode(std::string_view line);

// ---- implementation of the list walk, kept inline because it runs for every list line ----

namespace detail {
inline bool IsSeparatorChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 1 && u <= 32;
}
// Returns the raw text between the quotes and moves pos past the closing quote (or to the end when it
// is missing); escaped tells whether the text holds doubled quotes.
inline std::string_view QuotedItem(std::string_view list, std::size_t& pos, bool& escaped) {
    const std::size_t start = ++pos;
    escaped = false;
    while (pos < list.size() && list[pos] != '\0') {
        if (list[pos] == '"') {
            if (pos + 1 < list.size() && list[pos + 1] == '"') {
                escaped = true;
                pos += 2;
                continue;
            }
            const std::string_view text = list.substr(start, pos - start);
            ++pos;
            return text;
        }
        ++pos;
    }
    return list.substr(start, pos - start);
}
}  // namespace detail

// Calls onText(raw, escaped) for every item: raw is the item's text as it stands in the list (inside
// the quotes for a quoted item) and escaped tells that it holds doubled quotes.
template <class OnText>
int ForEachListItemText(std::string_view list, OnText&& onText) {
    // A NUL ends the text, as it would in the logger's C strings (lines read from files hold none).
    const char* p = list.data();
    const char* const end = p + list.size();
    const auto atEnd = [end](const char* q) { return q == end || *q == '\0'; };
    int count = 0;
    while (!atEnd(p) && detail::IsSeparatorChar(*p)) ++p;
    while (!atEnd(p)) {
        if (*p == '"') {
            std::size_t pos = static_cast<std::size_t>(p - list.data());
            bool escaped = false;
            const std::string_view text = detail::QuotedItem(list, pos, escaped);
            onText(text, escaped);
            p = list.data() + pos;
        } else {
            const char* const start = p;
            while (!atEnd(p) && *p != ',' && !detail::IsSeparatorChar(*p)) ++p;
            onText(std::string_view(start, static_cast<std::size_t>(p - start)), false);
        }
        ++count;
        while (!atEnd(p) && detail::IsSeparatorChar(*p)) ++p;
        if (!atEnd(p) && *p == ',') {
            ++p;
            if (atEnd(p)) {
                onText(std::string_view{}, false);
                ++count;
            }
            while (!atEnd(p) && detail::IsSeparatorChar(*p)) ++p;
        }
    }
    return count;
}

namespace detail {
// The logger's own shape of a list, numbers of one to nine digits joined by ", ", read in one pass
// into values; false for any other shape, which the general walk then reads (to the same items).
inline bool ReadPlainList(std::string_view list, std::int32_t (&values)[64], int& count) {
    const char* p = list.data();
    const char* const end = p + list.size();
    count = 0;
    if (p == end) return false;
    for (;;) {
        const char* const start = p;
        std::int32_t value = 0;
        while (p != end && static_cast<unsigned>(*p - '0') <= 9) {
            if (p - start == 9) return false;  // a tenth digit could leave 32 bits
            value = value * 10 + (*p++ - '0');
        }
        if (p == start || count == 64) return false;
        values[count++] = value;
        if (p == end) return true;
        if (end - p < 3 || p[0] != ',' || p[1] != ' ') return false;
        p += 2;
    }
}
}  // namespace detail

template <class OnItem>
int ForEachListItemOrEmpty(std::string_view list, std::int32_t fallback, OnItem&& onItem) {
    std::int32_t values[64];
    int count = 0;
    if (detail::ReadPlainList(list, values, count)) {
        for (int i = 0; i < count; ++i) onItem(values[i], false);
        return count;
    }
    return ForEachListItemText(list, [&](std::string_view text, bool escaped) {
        // A doubled quote leaves a quote in the item, which is then no integer.
        onItem(escaped ? fallback : ParseIntegerOr(text, fallback), text.empty());
    });
}

template <class OnItem>
int ForEachListItem(std::string_view list, std::int32_t fallback, OnItem&& onItem) {
    return ForEachListItemOrEmpty(list, fallback, [&](std::int32_t value, bool) { onItem(value); });
}

}  // namespace marlix::core
