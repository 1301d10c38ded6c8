#pragma once

// The command line of the window program, described once for QCommandLineParser and the man page.

#include <string_view>

namespace marlix::app {

struct WindowOption {
    std::string_view shortName;  // may be empty
    std::string_view longName;
    std::string_view description;
    std::string_view valueName = {};  // empty for an option without a value
};

inline constexpr std::string_view kWindowSummary =
    "Shows one UTC day of a satellite-timing receiver's logs as three charts on one time scale: mean "
    "signal strength with good satellites, fix state and trend; PDOP; share of satellites with signal "
    "and lock mode. A summary of the day and the time span read follow under the charts.";

inline constexpr WindowOption kWindowOptions[] = {
    {"h", "help", "show this help and exit"},
    {"", "version", "show the version and exit"},
    {"", "compare",
     "compare the day logs in DIR with the data folder in History, which then opens; may be given up to "
     "seven times",
     "DIR"},
    {"", "label",
     "the station name of the --compare folder given just before it (of the data folder when none comes "
     "before it); without it a station is named after its folder",
     "NAME"},
};

inline constexpr std::string_view kWindowArgumentsName = "[DIR | FILE...]";
inline constexpr std::string_view kWindowArgumentsDescription =
    "DIR is the folder of the day logs (default: the program's own folder if it holds day logs, else "
    "the folder last chosen with Open folder); the window opens on yesterday's UTC day. Log FILEs are "
    "shown like files dropped on the window: several are read as one log, in name order.";

}  // namespace marlix::app
