#pragma once

// The subcommands of marlix-sqa-cli. Each takes its own arguments (without the program and command
// names) and writes to the given streams; the return value is the exit status.

#include <functional>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "marlix/core/analysis.h"
#include "marlix/core/simulator.h"

namespace marlix::cli {

using Arguments = std::vector<std::string>;
using CommandFunction = int (*)(const Arguments& args, std::ostream& out, std::ostream& err);

struct Command {
    std::string_view name;
    std::string_view usage;  // the arguments after the command name
    CommandFunction run;
};

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Runs the command named by argv[1]; prints the usage of all commands on a missing or unknown name.
int Dispatch(std::span<const Command> commands, int argc, const char* const* argv, std::ostream& out,
             std::ostream& err);

// Commands that need Qt live in a second program next to this one, so that report and simulate
// start without loading Qt. This runs it in place of the current process with the same streams.
inline constexpr std::string_view kQtHelperName = "marlix-sqa-cli-qt";
int RunInQtHelper(std::string_view command, const Arguments& args, std::ostream& out, std::ostream& err);

inline constexpr std::string_view kReportUsage =
    "[--data-dir DIR] [--date YYYY-MM-DD] [--format text|json] [FILE...]";
int RunReport(const Arguments& args, std::ostream& out, std::ostream& err);

inline constexpr std::string_view kSimulateUsage =
    "--out DIR [--days N] [--end YYYY-MM-DD] [--seed S] [--control] [--force] | --live --out DIR [--seed S] "
    "[--control] [--force]";
int RunSimulate(const Arguments& args, std::ostream& out, std::ostream& err);

// The clock of the live logger, injectable so that a test can pass midnight in milliseconds.
struct LiveClock {
    std::function<double()> nowUnixSeconds;
    std::function<void(double unixSeconds)> sleepUntil;  // may return early, on a signal
    std::function<bool()> stopRequested;                 // asked before each block
};
// The system clock; SIGINT and SIGTERM request the stop (and end a sleep early).
LiveClock SystemLiveClock();

// Appends the simulated receiver's block of every second to the day file of the current UTC day in
// the directory, one write per block, and moves to the next day's file at midnight. It writes only to
// files it created itself in this run; with appendToExisting it continues an existing file (never
// truncating it). Names each file on `out` as it starts writing it.
int RunLiveLogger(const std::string& directory, const core::SimulationOptions& options,
                  const LiveClock& clock, std::ostream& out, std::ostream& err,
                  bool appendToExisting = false);

// The user's month names and decimal separator (from the environment's locale); the time separator
// stays ":".
core::LocaleConventions UserLocaleConventions();

// "YYYY-MM-DD" of a valid date, else nothing.
std::optional<core::DayTime> ParseIsoDate(std::string_view text);
// The UTC date before today's, the day a command shows when none is named.
core::DayTime YesterdayUtc();
// "cannot read FILE: REASON", the words of every command's read failure.
using core::ReadFailureText;

// The report for a person: hint, summary lines and notes, one per line.
std::string ReportText(const core::DayAnalysis& analysis);
// The report as one JSON object.
std::string ReportJson(const core::DayAnalysis& analysis);
// A JSON string literal; bytes that are no valid UTF-8 become U+FFFD.
std::string JsonString(std::string_view text);

}  // namespace marlix::cli
