#include "command_table.h"

#include "check.h"
#include "metrics.h"
#include "render.h"
#include "store.h"
#include "table.h"

namespace marlix::cli {
namespace {

int RenderInQtHelper(const Arguments& args, std::ostream& out, std::ostream& err) {
    return RunInQtHelper("render", args, out, err);
}

constexpr Command kCommands[] = {
    {"report", DescribeOnly<ReportOptions, DescribeReport>, RunReport},
    {"simulate", DescribeOnly<SimulateOptions, DescribeSimulate>, RunSimulate},
    {"table", DescribeOnly<TableOptions, DescribeTable>, RunTable},
    {"render", DescribeOnly<RenderOptions, DescribeRender>, RenderInQtHelper},
    {"metrics", DescribeOnly<MetricsOptions, DescribeMetrics>, RunMetrics},
    // A plugin whose status line is lost answers UNKNOWN on stderr.
    {"check", DescribeOnly<CheckOptions, DescribeCheck>, RunCheck, "SQA UNKNOWN - ",
     static_cast<int>(PluginState::Unknown)},
    {"store", DescribeOnly<StoreOptions, DescribeStore>, RunStore},
};

}  // namespace

std::span<const Command> CliCommands() {
    return kCommands;
}

}  // namespace marlix::cli
