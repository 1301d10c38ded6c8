// The Qt half of marlix-sqa-cli, which runs it for the commands listed here.
#include <iostream>

#include "cli/commands.h"
#include "cli/render.h"

namespace {

using namespace marlix::cli;

constexpr Command kCommands[] = {
    {"render", DescribeOnly<RenderOptions, DescribeRender>, RunRender},
};

}  // namespace

int main(int argc, char** argv) {
    return Dispatch(kCommands, argc, argv, std::cout, std::cerr);
}
