#pragma once

// The subcommands of marlix-sqa-cli. Each takes its own arguments (without the program and command
// names) and writes to the given streams; the return value is the exit status. Each declares its
// options once, in Describe<Command> (all in command_options.cpp; see command_line.h), bound to its
// <Command>Options.

#include <functional>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "marlix/core/analysis.h"
#include "marlix/core/simulator.h"

namespace CLI {
class App;
}

namespace marlix::cli {

using Arguments = std::vector<std::string>;
using CommandFunction = int (*)(const Arguments& args, std::ostream& out, std::ostream& err);
// Declares a command's description and options on an app with the conventions every command keeps
// (see CommandLine).
using DescribeFunction = void (*)(CLI::App& app);

struct Command {
    std::string_view name;
    DescribeFunction describe;
    CommandFunction run;
    // When standard output cannot be written: the start of the one line on stderr, and the status.
    std::string_view outputFailurePrefix = "marlix-sqa-cli: ";
    int outputFailureStatus = 1;
};

// A DescribeFunction for the command tables: the help, the usage, the man page and the completion only
// read the description, so the options it binds to are never written.
template <class Options, void (*Describe)(CLI::App&, Options&)>
void DescribeOnly(CLI::App& app) {
    static Options unused;
    Describe(app, unused);
}

// The one version of both programs, set in the build.
inline constexpr std::string_view kVersion = MARLIX_VERSION;

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Runs the command named by argv[1]; prints the usage of all commands on a missing or unknown name.
// "--help" and "--version" in place of a command print the program's help and version on `out`.
int Dispatch(std::span<const Command> commands, int argc, const char* const* argv, std::ostream& out,
             std::ostream& err);

// Commands that need Qt live in a second program next to this one, so that report and simulate
// start without loading Qt. This runs it in place of the current process with the same streams.
inline constexpr std::string_view kQtHelperName = "marlix-sqa-cli-qt";
int RunInQtHelper(std::string_view command, const Arguments& args, std::ostream& out, std::ostream& err);

struct ReportOptions {
    std::optional<std::string> dataDirectory;
    std::optional<std::string> date;
    std::string format = "text";
    std::vector<std::string> files;
    bool noStore = false;
};
void DescribeReport(CLI::App& app, ReportOptions& options);
int RunReport(const Arguments& args, std::ostream& out, std::ostream& err);

struct SimulateOptions {
    std::string directory;
    std::optional<std::string> days;
    std::optional<std::string> end;
    std::optional<std::string> seed;
    bool control = false;
    bool live = false;
    bool force = false;
};
void DescribeSimulate(CLI::App& app, SimulateOptions& options);
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

// The user's month names and separators, read as the window reads them; also sets the C library's
// locale from the environment, for its messages.
core::LocaleConventions UserLocaleConventions();

using core::ParseIsoDate;
// The UTC date before today's, the day a command shows when none is named.
core::DayTime YesterdayUtc();
// "cannot read FILE: REASON", the words of every command's read failure.
using core::ReadFailureText;

// The report for a person: hint, summary lines and notes, one per line.
std::string ReportText(const core::DayAnalysis& analysis);
// The report as one JSON object.
void WriteReportJson(const core::DayAnalysis& analysis, std::ostream& out);
// A JSON string literal; bytes that are no valid UTF-8 become U+FFFD.
std::string JsonString(std::string_view text);

}  // namespace marlix::cli
