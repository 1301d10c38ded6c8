#pragma once

// The days of a data folder: the name of a day's log, which days a folder holds, and reading many
// days at once. Every caller that needs to know which days exist asks here.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "marlix/core/day_analysis.h"
#include "marlix/core/daytime.h"

namespace marlix::core {

// The name of the log of the given DayTime's date: yyyy-mm-dd_rx_data.txt.
std::string DayFileName(DayTime date);
// The day a day-log name stands for, plain or archived (the name followed by .gz, .xz or .zst);
// nothing for any other name, an impossible date included.
std::optional<DayTime> DayOfFileName(std::string_view name);

// The folder with its trailing '/'; an empty folder stays empty, so that names behind it stay as
// they are.
std::string FolderWithSeparator(const std::string& folder);
// An absolute name is used as it is; any other is put behind the folder.
std::string LogFilePath(const std::string& name, const std::string& folder);
// Where the day's plain log lies in the folder.
std::string DayFilePath(const std::string& folder, DayTime day);
// The file read for a log path: the path itself, unless it names a plain day log that is missing
// while an archived form lies beside it (the first of .gz, .xz, .zst found). The plain log wins
// when both exist, for a logger may still be writing it.
std::string DayLogToRead(const std::string& path);

struct FolderDays {
    std::vector<DayTime> days;  // in date order
    std::string problem;        // "cannot list FOLDER: reason"; empty when the folder was listed
    // Names written as a day log's, yyyy-mm-dd_rx_data.txt, whose date does not exist (2024-02-30), in
    // name order; they stand for no day, whatever the range.
    std::vector<std::string> impossibleDates;
};
// The days from `first` to `last` (an empty bound: no bound) whose logs the folder holds, plain or
// archived, each day once.
FolderDays ListDays(const std::string& folder, std::optional<DayTime> first = std::nullopt,
                    std::optional<DayTime> last = std::nullopt);

// Takes the days after `today` off a list in date order and returns them: a log dated in the future
// cannot be a receiver's, so it is never the newest day.
std::vector<DayTime> TakeDaysAfter(std::vector<DayTime>& days, DayTime today);

// A day as ReadDays hands it over: its analysis, or why there is none.
struct DayOutcome {
    std::optional<DayAnalysis> analysis;
    std::string error;  // "cannot read PATH: reason", or "cannot analyse PATH: what" for an exception
};

struct ReadDaysOptions {
    // Threads that read; 0: one per core. The days are shared out among them, and when there are
    // fewer days than threads each day reads its own pieces on all of them.
    unsigned workers = 0;
    // Also the readings of every closed minute (DayAnalysis::minutes).
    bool minutes = false;
    // Also the level of each satellite minute by minute (DayAnalysis::satellites).
    bool satellites = false;
    // Asked before each day and at each progress step of its reading, from any reading thread and
    // possibly at once; true stops the reading.
    std::function<bool()> stopRequested;
    // Run on the reading thread before each day; what it throws becomes that day's error.
    std::function<void(DayTime day)> beforeDay;
};

// How ReadDays shares the threads out: days read at once, and threads each of them reads on.
struct DayThreads {
    unsigned days = 1;
    unsigned perDay = 1;
    bool operator==(const DayThreads&) const = default;
};
DayThreads ShareThreads(std::size_t dayCount, unsigned workers);

using DayHand = std::function<void(std::size_t index, DayOutcome&& day)>;
// Reads the logs of the days in the folder and calls hand(i, outcome) once for each day in the order
// given, as soon as it and the days before it are read: one call at a time, on whichever reading
// thread has the day. Returns false when stopped; no day is handed over after the stop. What hand
// throws stops the reading and is thrown again here.
bool ReadDays(const std::string& folder, const std::vector<DayTime>& days, const LocaleConventions& locale,
              const ReadDaysOptions& options, const DayHand& hand);

}  // namespace marlix::core
