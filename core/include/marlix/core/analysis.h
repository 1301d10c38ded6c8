#pragma once

// Analysis of a receiver's day logs: reading the files, recognising the record lines, one point per
// minute for each of the seven chart series, the trend and the three day texts.

#include <string>
#include <vector>

#include "marlix/core/day_analysis.h"

namespace marlix::core {

// Reads the files (one name alone; several sorted case-insensitively and read as one log) and
// analyses them. A name that is an absolute path is used as it is, any other is appended to the
// data directory. Each file is read up to the size it had when the reading began. Any file that
// cannot be read gives a failure and no analysis.
LoadResult AnalyseFiles(const std::vector<std::string>& fileList, const std::string& dataDirectory,
                        const LocaleConventions& locale, const LoadOptions& options = {});

}  // namespace marlix::core
