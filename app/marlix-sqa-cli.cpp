// The command line twin of the window: marlix-sqa-cli COMMAND [ARGUMENTS]
#include <iostream>

#include "cli/command_table.h"

int main(int argc, char** argv) {
    return marlix::cli::Dispatch(marlix::cli::CliCommands(), argc, argv, std::cout, std::cerr);
}
