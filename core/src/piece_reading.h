#pragma once

// Reading the files of a load on several threads: each file is cut into pieces at line starts, the
// pieces are read and their lines reduced to records in parallel, and the records are handed back in
// reading order, one piece at a time, so that aggregating them gives what reading the files one line
// after the other gives.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "marlix/core/aggregation.h"
#include "marlix/core/day_analysis.h"

namespace marlix::core {

struct SatelliteLists;

struct ReducedLines {
    std::span<const LineRecord> records;  // the record lines among them, in order
    std::int64_t lines = 0;               // every line, records or not
    std::uint64_t plannedBytes = 0;       // the size of all the files when the reading began
    // The items of their satellite lists, when the satellite levels are asked for; else null.
    const SatelliteLists* satelliteLists = nullptr;
};

// Hands the reduced lines of the files, in reading order, to aggregate: one call at a time, each on
// whichever reading thread has the next lines ready (options.progress likewise), with the items of
// their satellite lists when options.satellites asks for the satellite levels. Returns the failure
// of the first file in order that cannot be read, or of a cancelled load; an exception of a reading
// thread or of aggregate is thrown again here.
std::optional<LoadFailure> ReduceLogFiles(const std::vector<std::string>& paths, const LoadOptions& options,
                                          const std::function<void(const ReducedLines&)>& aggregate);

// The same for texts held in memory, cut into pieces of the given size (to check the cutting).
void ReduceTexts(const std::vector<std::string_view>& texts, std::uint64_t pieceSize, unsigned threads,
                 bool withSatellites, const std::function<void(const ReducedLines&)>& aggregate);

}  // namespace marlix::core
