// The command line twin of the window: marlix-sqa-cli COMMAND [ARGUMENTS]
#include <iostream>

#include "cli/commands.h"
#include "cli/render.h"

namespace {

// One entry per subcommand.
constexpr marlix::cli::Command kCommands[] = {
    {"report", marlix::cli::kReportUsage, marlix::cli::RunReport},
    {"simulate", marlix::cli::kSimulateUsage, marlix::cli::RunSimulate},
    {"render", marlix::cli::kRenderUsage, marlix::cli::RunRender},
};

}  // namespace

int main(int argc, char** argv) {
    return marlix::cli::Dispatch(kCommands, argc, argv, std::cout, std::cerr);
}
