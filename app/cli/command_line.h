#pragma once

// What every command of marlix-sqa-cli shares about its command line: each command declares its options
// once, on a CLI::App, and the usage line, --help, the man page and the shell completion are all read
// from that one description. The command line library is compiled in command_options.cpp alone (it
// costs seconds per file that includes it); the commands reach it through what is declared here.

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "commands.h"

namespace marlix::cli {

// One command's arguments, read into the options its description binds.
class CommandLine {
  public:
    // The description of the command NAME with the conventions every command keeps (--help, the last of
    // a repeated option wins, unknown arguments are reported by Parse), its options declared by describe.
    CommandLine(std::string_view name, const std::function<void(CLI::App&)>& describe);
    ~CommandLine();
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    // Parses the arguments into the options the description is bound to. Returns nothing when the
    // command should run; otherwise the exit status after printing the help (helpStatus, on `out`) or
    // the problem and the usage (usageStatus, on `err`).
    std::optional<int> Parse(const Arguments& args, std::ostream& out, std::ostream& err,
                             int usageStatus = kExitUsage, int helpStatus = kExitOk);

    // Parses the arguments into the options and keeps quiet about any problem, for a look at one option
    // before the command's own Parse reports them.
    void ParseQuietly(const Arguments& args);

    // The names of the options given ("--data-dir"), once per use, in the order of the arguments.
    std::vector<std::string> GivenOptions() const;

    // "marlix-sqa-cli NAME: PROBLEM" and the usage line on err; returns usageStatus.
    int UsageError(std::ostream& err, std::string_view problem, int usageStatus = kExitUsage) const;

  private:
    std::unique_ptr<CLI::App> app_;
};

// One option as the help, the man page and the completion show it.
struct OptionHelp {
    std::string label;  // "--data-dir DIR", "-w, --warning LIST", "FILE..."
    std::string description;
    std::vector<std::string> names;  // "-w", "--warning"; none for a positional argument
    std::string valueName;           // "DIR", "text|json"
    bool positional = false;
    bool flag = false;  // takes no value
};

// A command's description as its table entry has it.
struct CommandHelp {
    std::string synopsis;  // "[--data-dir DIR] [--date YYYY-MM-DD] [FILE...]": after the command name
    std::string description;
    std::vector<OptionHelp> options;  // in the order they were declared, --help last
};
CommandHelp DescribedCommand(const Command& command);

}  // namespace marlix::cli
