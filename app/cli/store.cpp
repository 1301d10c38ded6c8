// marlix-sqa-cli store: what the day store holds, whether it still agrees with the logs, and emptying it.
#include "store.h"

#include <ostream>

#include "command_line.h"
#include "day_rows.h"
#include "marlix/core/day_metrics.h"
#include "marlix/core/day_store.h"

namespace marlix::cli {
namespace {

constexpr std::size_t kDefaultSample = 20;

int Stats(core::DayStore& store, std::ostream& out) {
    const auto stats = store.Stats();
    if (!stats) return kExitFailure;
    out << "store\t" << store.Path() << "\nfolders\t" << stats->folders << "\ndays\t" << stats->rows
        << "\noutdated\t" << stats->outdated << "\nbytes\t" << stats->bytes << '\n';
    return kExitOk;
}

int Verify(core::DayStore& store, std::size_t sample, std::ostream& out) {
    const core::StoreVerification verification = core::VerifyDayStore(store, sample);
    for (const std::string& day : verification.differ) out << "differs\t" << day << '\n';
    out << "checked\t" << verification.checked << "\nstale\t" << verification.stale << "\ndiffer\t"
        << verification.differ.size() << '\n';
    return verification.differ.empty() ? kExitOk : kExitFailure;
}

}  // namespace

int RunStore(const Arguments& args, std::ostream& out, std::ostream& err) {
    StoreOptions o;
    CommandLine commandLine("store", [&o](CLI::App& app) { DescribeStore(app, o); });
    if (const auto status = commandLine.Parse(args, out, err)) return *status;
    if (o.action != "stats" && o.action != "verify" && o.action != "clear")
        return commandLine.UsageError(err, "ACTION is stats, verify or clear, not '" + o.action + "'");
    std::size_t sample = kDefaultSample;
    if (o.sample) {
        const std::string& value = *o.sample;
        if (value.empty() || value.size() > 4 || value.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(value) < 1) {
            return commandLine.UsageError(err, "--sample wants a number from 1 to 9999");
        }
        sample = static_cast<std::size_t>(std::stoi(value));
    }

    core::DayStore store;
    int status = kExitFailure;
    if (o.action == "stats") {
        status = Stats(store, out);
    } else if (o.action == "verify") {
        status = store.Usable() ? Verify(store, sample, out) : kExitFailure;
    } else if (store.Clear()) {
        out << "cleared\t" << store.Path() << '\n';
        status = kExitOk;
    }
    SayStoreNotice(&store, err);
    out.flush();
    return out ? status : kExitFailure;
}

}  // namespace marlix::cli
