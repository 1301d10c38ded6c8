#pragma once

#include <string_view>

#include "commands.h"

namespace marlix::cli {

inline constexpr std::string_view kRenderUsage =
    "--out FILE.png [--data-dir DIR] [--date YYYY-MM-DD] [--size WxH] [--from HH:MM --to HH:MM] "
    "[--layout FILE.json] [FILE...]";
// Builds the main window offscreen, shows the day (or the files) in it and writes a picture of it.
int RunRender(const Arguments& args, std::ostream& out, std::ostream& err);

}  // namespace marlix::cli
