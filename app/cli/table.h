#pragma once

#include <optional>
#include <string>
#include <vector>

#include "commands.h"

namespace marlix::cli {

struct TableOptions {
    std::vector<std::string> dataDirectories;
    std::vector<std::string> labels;
    std::optional<std::string> from;
    std::optional<std::string> to;
    std::string format = "tsv";
    std::optional<std::string> jobs;
    bool noStore = false;
};
void DescribeTable(CLI::App& app, TableOptions& options);
// One row of day metrics per day file of the folder within the range, in date order. Unreadable days
// are listed with their error and make the exit status 1.
int RunTable(const Arguments& args, std::ostream& out, std::ostream& err);

}  // namespace marlix::cli
