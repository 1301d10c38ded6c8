#include "marlix/core/minute_export.h"

#include <array>
#include <charconv>

#include "marlix/core/csv.h"
#include "marlix/core/state_words.h"

namespace marlix::core {
namespace {

// A spreadsheet cell holds the value as a 4-byte float; std::to_chars of a float gives the shortest
// text that reads back to it.
template <typename T>
std::string Shortest(const std::optional<T>& value) {
    if (!value) return {};
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(*value));
    return std::string(buffer, result.ptr);
}

std::string FixWord(const std::optional<FixState>& fix) {
    return fix ? std::string(FixWords(*fix).csv) : std::string();
}

std::string ModeWord(const std::optional<LockMode>& mode, bool controlFormat) {
    return mode ? std::string(ModeWords(*mode, controlFormat).csv) : std::string();
}

std::string GapWords(const MinuteReading& m) {
    if (m.gapEnds && m.gapBegins) return "ends and begins";
    if (m.gapEnds) return "ends";
    if (m.gapBegins) return "begins";
    return {};
}

}  // namespace

std::string MinutesCsv(const std::vector<MinuteReading>& minutes, bool controlFormat, DayTime from,
                       DayTime to) {
    const std::array<std::string, 9> header{"Time (UTC)", "Strength", "Num good", "Fix", "Trend",
                                            "PDOP",       "Signal %", "Mode",     "Gap"};
    std::string text = CsvRecord(header);
    for (const MinuteReading& m : minutes) {
        if (m.time < from || m.time > to) continue;
        const std::array<std::string, 9> row{
            IsoUtcTime(m.time),  Shortest(m.strength),
            Shortest(m.numGood), FixWord(m.fix),
            Shortest(m.trend),   m.pdop ? std::to_string(*m.pdop) : std::string(),
            Shortest(m.signal),  ModeWord(m.mode, controlFormat),
            GapWords(m)};
        text += CsvRecord(row);
    }
    return text;
}

}  // namespace marlix::core
