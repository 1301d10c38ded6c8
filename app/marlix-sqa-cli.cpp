// The command line twin of the window: marlix-sqa-cli COMMAND [ARGUMENTS]
#include <iostream>

#include "cli/check.h"
#include "cli/commands.h"
#include "cli/metrics.h"
#include "cli/render.h"
#include "cli/table.h"

namespace {

using namespace marlix::cli;

int RenderInQtHelper(const Arguments& args, std::ostream& out, std::ostream& err) {
    return RunInQtHelper("render", args, out, err);
}

// One entry per subcommand; one that needs Qt is forwarded here and listed in marlix-sqa-cli-qt.cpp.
constexpr Command kCommands[] = {
    {"report", kReportUsage, RunReport},    {"simulate", kSimulateUsage, RunSimulate},
    {"table", kTableUsage, RunTable},       {"render", kRenderUsage, RenderInQtHelper},
    {"metrics", kMetricsUsage, RunMetrics}, {"check", kCheckUsage, RunCheck},
};

}  // namespace

int main(int argc, char** argv) {
    return Dispatch(kCommands, argc, argv, std::cout, std::cerr);
}
