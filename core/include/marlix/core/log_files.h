#pragma once

// Finding and reading the day log files of a load.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "marlix/core/day_analysis.h"
#include "marlix/core/line_reader.h"

namespace marlix::core {

// Case-insensitive order of file names (ASCII letters folded); names equal but for case keep a
// fixed order by their bytes.
bool FileNameLess(const std::string& a, const std::string& b);

// The order in which the files of a list are read: one name as it is, several sorted.
std::vector<std::string> ReadingOrder(std::vector<std::string> fileList);

// Reads the files in chunks into the sink, calling options.progress every few MiB and at the end.
// Returns the failure of the first file that cannot be read, or of a cancelled load.
std::optional<LoadFailure> ReadLogFiles(const std::vector<std::string>& paths, LineSink& sink,
                                        const LoadOptions& options);

}  // namespace marlix::core
