// The Qt half of marlix-sqa-cli, which runs it for the commands listed here.
#include <iostream>

#include "cli/commands.h"
#include "cli/render.h"

namespace {

constexpr marlix::cli::Command kCommands[] = {
    {"render", marlix::cli::kRenderUsage, marlix::cli::RunRender},
};

}  // namespace

int main(int argc, char** argv) {
    return marlix::cli::Dispatch(kCommands, argc, argv, std::cout, std::cerr);
}
