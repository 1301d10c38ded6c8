// Bytes of one log file -> day analysis with the satellite levels. Asking for the levels changes
// nothing else of the analysis; every satellite is listed once, ascending and above 0; the levels
// are ordered by minute and satellite, one per pair, each at the start of its minute, of a listed
// satellite, finite, and found again by MeanLevel. The bytes read in pieces on several threads give
// the same levels.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "analysis_internal.h"
#include "fuzz_checks.h"

namespace {

using namespace marlix::core;

bool SamePoints(const DayAnalysis& a, const DayAnalysis& b) {
    for (int s = 0; s < kSeriesCount; ++s) {
        if (a.series[s].size() != b.series[s].size()) return false;
        for (std::size_t i = 0; i < a.series[s].size(); ++i) {
            if (a.series[s][i].x != b.series[s][i].x || a.series[s][i].y != b.series[s][i].y) return false;
        }
    }
    return true;
}

bool Listed(const SatelliteDay& day, std::int32_t satellite) {
    for (const std::int32_t s : day.satellites)
        if (s == satellite) return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const DayAnalysis plain = AnalyseText(bytes);
    LoadOptions options;
    options.satellites = true;
    const DayAnalysis with = AnalyseText(bytes, LocaleConventions{}, options);

    FUZZ_CHECK(!plain.satellites.has_value());
    FUZZ_CHECK(with.satellites.has_value());
    FUZZ_CHECK(SamePoints(plain, with));
    FUZZ_CHECK(plain.lineCount == with.lineCount && plain.firstDay == with.firstDay &&
               plain.latestDay == with.latestDay && plain.controlFormat == with.controlFormat);
    FUZZ_CHECK(plain.hint == with.hint && plain.notes == with.notes && plain.summary == with.summary);

    const SatelliteDay& day = *with.satellites;
    // The first byte steers the size of the pieces.
    const std::uint64_t piece = size == 0 ? 1 : 1 + data[0] % 61;
    const DayAnalysis pieces = AnalyseTextsInPieces({bytes}, piece, 3, true);
    FUZZ_CHECK(pieces.satellites.has_value() && pieces.satellites->satellites == day.satellites);
    FUZZ_CHECK(pieces.satellites->levels.size() == day.levels.size());
    for (std::size_t i = 0; i < day.levels.size(); ++i) {
        const SatelliteMinuteLevel& a = pieces.satellites->levels[i];
        const SatelliteMinuteLevel& b = day.levels[i];
        FUZZ_CHECK(a.minute == b.minute && a.satellite == b.satellite && a.meanLevel == b.meanLevel);
    }
    for (std::size_t i = 0; i < day.satellites.size(); ++i) {
        FUZZ_CHECK(day.satellites[i] > 0);
        if (i > 0) FUZZ_CHECK(day.satellites[i - 1] < day.satellites[i]);
    }
    for (std::size_t i = 0; i < day.levels.size(); ++i) {
        const SatelliteMinuteLevel& level = day.levels[i];
        FUZZ_CHECK(std::isfinite(level.minute) && std::isfinite(level.meanLevel));
        FUZZ_CHECK(level.minute == MinuteStart(MinuteNumber(level.minute)));
        FUZZ_CHECK(Listed(day, level.satellite));
        if (i > 0) {
            const SatelliteMinuteLevel& before = day.levels[i - 1];
            FUZZ_CHECK(before.minute < level.minute ||
                       (before.minute == level.minute && before.satellite < level.satellite));
        }
        const auto found = day.MeanLevel(level.satellite, level.minute);
        FUZZ_CHECK(found.has_value() && *found == level.meanLevel);
    }
    return 0;
}
