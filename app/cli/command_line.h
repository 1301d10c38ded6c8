#pragma once

// What every command of marlix-sqa-cli shares about its command line: each command declares its options
// once, on a CLI::App, and the usage line, --help, the man page and the shell completion are all read
// from that one description.

#include <CLI/CLI.hpp>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "commands.h"

namespace marlix::cli {

// An empty description of the command NAME with the conventions every command keeps: --help, the last
// of a repeated option wins, unknown arguments are reported by ParseCommandLine.
void PrepareCommand(CLI::App& app, std::string_view name);

// "[--data-dir DIR] [--date YYYY-MM-DD] [FILE...]": the arguments after the command name.
std::string Synopsis(const CLI::App& app);

// The --help text: usage line, description, one entry per option.
std::string HelpText(const CLI::App& app);

// One entry of the help: "--data-dir DIR", "--control", "FILE...".
std::string OptionLabel(const CLI::Option& option);

// The options of the description in the order they were declared, --help last.
std::vector<const CLI::Option*> DescribedOptions(const CLI::App& app);

// Parses the arguments into the options the description is bound to. Returns nothing when the command
// should run; otherwise the exit status after printing the help (helpStatus, on `out`) or the problem
// and the usage (usageStatus, on `err`).
std::optional<int> ParseCommandLine(CLI::App& app, const Arguments& args, std::ostream& out,
                                    std::ostream& err, int usageStatus = kExitUsage,
                                    int helpStatus = kExitOk);

// --no-store, on every command that reads days: the days come from their logs only, and the day store
// is neither read nor written.
void DescribeNoStore(CLI::App& app, bool& noStore);

// "marlix-sqa-cli NAME: PROBLEM" and the usage line on err; returns usageStatus.
int UsageError(const CLI::App& app, std::ostream& err, std::string_view problem,
               int usageStatus = kExitUsage);

}  // namespace marlix::cli
