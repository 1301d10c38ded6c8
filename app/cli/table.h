#pragma once

#include <string_view>

#include "commands.h"

namespace marlix::cli {

inline constexpr std::string_view kTableUsage =
    "[--data-dir DIR] [--from YYYY-MM-DD] [--to YYYY-MM-DD] [--format tsv|csv|json] [--jobs N]";
// One row of day metrics per day file of the folder within the range, in date order. Unreadable days
// are listed with their error and make the exit status 1.
int RunTable(const Arguments& args, std::ostream& out, std::ostream& err);

}  // namespace marlix::cli
