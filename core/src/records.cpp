#include "marlix/core/records.h"

#include <cstring>

namespace marlix::core {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool TryParseIntegerInFull(std::string_view text, std::int32_t& value) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && text[i] == ' ') ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < n && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == n) return false;
    // The magnitude may reach 2^31 for the most negative value; beyond that it is out of range.
    constexpr std::int64_t kLimit = std::int64_t{1} << 31;
    std::int64_t magnitude = 0;
    for (; i < n; ++i) {
        const int digit =
            base == 16 ? HexDigit(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
        if (digit < 0) return false;
        magnitude = magnitude * base + digit;
        if (magnitude > kLimit) return false;
    }
    if (!negative && magnitude == kLimit) return false;
    value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
    return true;
}

std::vector<std::string> SplitList(std::string_view list) {
    std::vector<std::string> items;
    ForEachListItemText(list, [&](std::string_view text, bool escaped) {
        std::string item;
        for (std::size_t i = 0; i < text.size(); ++i) {
            item += text[i];
            if (escaped && text[i] == '"' && i + 1 < text.size() && text[i + 1] == '"') ++i;
        }
        items.push_back(std::move(item));
    });
    return items;
}

TimeRecord ParseTimeRecord(std::string_view line) {
    DateMemo memo;
    return ParseTimeRecord(line, memo);
}

TimeRecord ParseTimeRecord(std::string_view line, DateMemo& memo) {
    TimeRecord record;
    record.hourText = Field(line, 13, 2);
    record.minuteText = Field(line, 16, 2);
    record.secondText = Field(line, 19, 2);
    std::int32_t hour = 0, minute = 0, second = 0;
    if (!TryParseInteger(record.hourText, hour) || !TryParseInteger(record.minuteText, minute) ||
        !TryParseInteger(record.secondText, second) || !IsValidTime(hour, minute, second)) {
        return record;
    }
    record.status = TimeRecord::Status::BadDate;
    record.timeOfDay = EncodeTime(hour, minute, second);

    // Characters 22 to 29 hold the whole date; the same text gives the same date as last time.
    constexpr std::size_t kDateStart = 21;
    if (memo.valid && line.size() >= kDateStart + sizeof memo.text &&
        std::memcmp(line.data() + kDateStart, memo.text, sizeof memo.text) == 0) {
        record.status = TimeRecord::Status::Ok;
        record.dateTime = memo.date + record.timeOfDay;
        return record;
    }
    // A year cut short (a line half written when the power went) would read as year 20 or 20x and put
    // the points in antiquity, so it fails the date like any other bad field.
    const std::string_view yearDigits = Field(line, 28, 2);
    if (yearDigits.size() != 2) return record;
    const char yearText[4] = {'2', '0', yearDigits[0], yearDigits[1]};
    std::int32_t year = 0, month = 0, day = 0;
    if (!TryParseInteger(Field(line, 22, 2), day) || !TryParseInteger(Field(line, 25, 2), month) ||
        !TryParseInteger(std::string_view(yearText, 4), year) || !IsValidDate(year, month, day)) {
        return record;
    }
    const DayTime date = EncodeDate(year, month, day);
    record.status = TimeRecord::Status::Ok;
    record.dateTime = date + record.timeOfDay;
    std::memcpy(memo.text, line.data() + kDateStart, sizeof memo.text);
    memo.date = date;
    memo.valid = true;
    return record;
}

FixModeRecord ParseFixMode(std::string_view line) {
    // These words are searched in the whole line, so the reader keeps them of an overlong line: a
    // word added here belongs in kLineWords too.
    const auto has = [line](std::string_view word) { return line.find(word) != std::string_view::npos; };
    FixModeRecord record{FixState::None, LockMode::Inactive};
    if (has("2D")) record.fix = FixState::Fix2D;
    if (has("3D")) record.fix = FixState::Fix3D;
    if (has("Coarse")) record.mode = LockMode::Coarse;
    if (has("Fine")) record.mode = LockMode::FineOrControl;
    if (has("Control")) record.mode = LockMode::FineOrControl;
    return record;
}

}  // namespace marlix::core
