#pragma once

#include <optional>
#include <string>
#include <vector>

#include "commands.h"

namespace marlix::cli {

struct RenderOptions {
    std::string out;
    std::string layout;
    std::string dataDirectory;
    std::optional<std::string> date;
    std::optional<std::string> size;
    std::optional<std::string> from;
    std::optional<std::string> to;
    std::vector<std::string> files;
};
// Qt-free, so that marlix-sqa-cli can list the command in its help, man page and completion.
void DescribeRender(CLI::App& app, RenderOptions& options);
// Builds the main window offscreen, shows the day (or the files) in it and writes a picture of it.
int RunRender(const Arguments& args, std::ostream& out, std::ostream& err);

}  // namespace marlix::cli
