#pragma once

#include <optional>
#include <string>

#include "commands.h"

namespace marlix::cli {

struct StoreOptions {
    std::string action;
    std::optional<std::string> sample;
};
void DescribeStore(CLI::App& app, StoreOptions& o);

// The day store: its figures (stats), a sample of its rows compared with their logs read again
// (verify; exit status 1 when one differs), or emptied (clear).
int RunStore(const Arguments& args, std::ostream& out, std::ostream& err);

}  // namespace marlix::cli
