#pragma once

#include <string>

#include "commands.h"

namespace marlix::cli {

struct MetricsOptions {
    std::string dataDirectory = ".";
    std::string date;  // YYYY-MM-DD; empty: today (UTC)
    int minutes = 15;
    std::string station;
    std::string out;
    bool history = false;  // the figures of past days, in the OpenMetrics format
    std::string from;      // YYYY-MM-DD, with history
    std::string to;
    bool noStore = false;  // with history: every day from its log
};
void DescribeMetrics(CLI::App& app, MetricsOptions& o);

// The day's measures in the Prometheus text exposition format (0.0.4), for node_exporter's textfile
// collector. A day that cannot be read gives marlix_sqa_up 0 and the exit status 1.
int RunMetrics(const Arguments& args, std::ostream& out, std::ostream& err);
// The same at a given time (Unix seconds), for tests.
int RunMetricsAt(double nowUnixSeconds, const Arguments& args, std::ostream& out, std::ostream& err);

}  // namespace marlix::cli
