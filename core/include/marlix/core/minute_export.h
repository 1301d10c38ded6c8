#pragma once

// The closed minutes of a load as a spreadsheet reads them: one CSV row per minute, states as
// words, each value in the shortest form that reads back to the value held.

#include <string>
#include <vector>

#include "marlix/core/day_analysis.h"

namespace marlix::core {

// The header row, then a row per minute whose time lies within [from, to]: time (UTC, ISO 8601),
// strength, Num good, fix ("none", "2D", "3D"), trend, PDOP, signal %, mode ("inactive", "coarse",
// "fine", "control") and where a logging gap ends or begins. A reading the minute lacks is empty.
std::string MinutesCsv(const std::vector<MinuteReading>& minutes, bool controlFormat, DayTime from,
                       DayTime to);

}  // namespace marlix::core
