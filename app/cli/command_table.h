#pragma once

// Every command of marlix-sqa-cli, in the order of its help and man page. A command that needs Qt runs
// in marlix-sqa-cli-qt: here it only forwards, and the helper lists it with its real entry point.
// Adding a command here adds it to the help, the usage, the man page and the shell completion.

#include <span>

#include "commands.h"

namespace marlix::cli {

std::span<const Command> CliCommands();

}  // namespace marlix::cli
