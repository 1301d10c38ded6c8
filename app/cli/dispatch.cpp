#include <cerrno>
#include <cstring>
#include <ostream>

#include "command_line.h"
#include "commands.h"

namespace marlix::cli {

namespace {

std::string CommandSynopsis(const Command& command) {
    return DescribedCommand(command).synopsis;
}

std::string CommandSummary(const Command& command) {
    const std::string description = DescribedCommand(command).description;
    const std::size_t end = description.find(". ");
    return end == std::string::npos ? description : description.substr(0, end + 1);
}

void PrintUsage(std::span<const Command> commands, std::ostream& err) {
    err << "usage:\n";
    for (const Command& command : commands)
        err << "  marlix-sqa-cli " << command.name << ' ' << CommandSynopsis(command) << '\n';
}

void PrintHelp(std::span<const Command> commands, std::ostream& out) {
    out << "usage: marlix-sqa-cli COMMAND [OPTIONS]\n"
           "       marlix-sqa-cli --help | --version\n\n"
           "The command line twin of the Marlix 2931T Signal Quality Analysis window.\n\ncommands:\n";
    std::size_t width = 0;
    for (const Command& command : commands) width = std::max(width, command.name.size());
    for (const Command& command : commands) {
        out << "  " << command.name << std::string(width - command.name.size() + 2, ' ')
            << CommandSummary(command) << '\n';
    }
    out << "\n'marlix-sqa-cli COMMAND --help' shows the options of a command.\n"
           "Exit status: 0 success, 1 a file could not be read or written, 2 bad arguments; check exits\n"
           "with its plugin state, 0 OK, 1 WARNING, 2 CRITICAL, 3 UNKNOWN.\n";
}

}  // namespace

int Dispatch(std::span<const Command> commands, int argc, const char* const* argv, std::ostream& out,
             std::ostream& err) {
    if (argc < 2) {
        PrintUsage(commands, err);
        return kExitUsage;
    }
    const std::string_view name = argv[1];
    if (name == "--help" || name == "-h") {
        PrintHelp(commands, out);
        return kExitOk;
    }
    if (name == "--version") {
        out << "marlix-sqa-cli " << kVersion << '\n';
        return kExitOk;
    }
    for (const Command& command : commands) {
        if (command.name != name) continue;
        const int status = command.run(Arguments(argv + 2, argv + argc), out, err);
        out.flush();
        if (out) return status;
        // Output that did not arrive is a failure, however the command ended.
        const int reason = errno;
        err << command.outputFailurePrefix << "cannot write standard output"
            << (reason != 0 ? std::string(": ") + std::strerror(reason) : std::string()) << '\n';
        return command.outputFailureStatus;
    }
    err << "marlix-sqa-cli: unknown command '" << name << "'\n";
    PrintUsage(commands, err);
    return kExitUsage;
}

}  // namespace marlix::cli
