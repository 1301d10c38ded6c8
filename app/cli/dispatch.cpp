#include <ostream>

#include "commands.h"

namespace marlix::cli {
namespace {

void PrintUsage(std::span<const Command> commands, std::ostream& err) {
    err << "usage:\n";
    for (const Command& command : commands)
        err << "  marlix-sqa-cli " << command.name << ' ' << command.usage << '\n';
}

}  // namespace

int Dispatch(std::span<const Command> commands, int argc, const char* const* argv, std::ostream& out,
             std::ostream& err) {
    if (argc < 2) {
        PrintUsage(commands, err);
        return kExitUsage;
    }
    const std::string_view name = argv[1];
    for (const Command& command : commands) {
        if (command.name == name) return command.run(Arguments(argv + 2, argv + argc), out, err);
    }
    err << "marlix-sqa-cli: unknown command '" << name << "'\n";
    PrintUsage(commands, err);
    return kExitUsage;
}

}  // namespace marlix::cli
