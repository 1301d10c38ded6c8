#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "commands.h"
#include "marlix/core/analysis.h"

namespace marlix::cli {

struct TableOptions {
    std::string dataDirectory = "./";
    std::optional<std::string> from;
    std::optional<std::string> to;
    std::string format = "tsv";
    std::optional<std::string> jobs;
};
void DescribeTable(CLI::App& app, TableOptions& options);
// One row of day metrics per day file of the folder within the range, in date order. Unreadable days
// are listed with their error and make the exit status 1.
int RunTable(const Arguments& args, std::ostream& out, std::ostream& err);

// A day file's analysis, or the text of why there is none.
struct DayFileOutcome {
    std::optional<core::DayAnalysis> analysis;
    std::string error;
};
// Analyses one file (a path) with the given number of reading threads.
using DayFileAnalyser = std::function<core::LoadResult(const std::string& path, unsigned threads)>;
// The outcome of every path in the order given, the files shared out to up to `jobs` threads (0: one
// per core). A failed load or an exception of the analysis becomes that day's error.
std::vector<DayFileOutcome> AnalyseDayFiles(const std::vector<std::string>& paths, unsigned jobs,
                                            const DayFileAnalyser& analyse);

}  // namespace marlix::cli
