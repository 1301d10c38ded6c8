#include "day_rows.h"

#include <ostream>

#include "commands.h"
#include "marlix/core/day_metrics.h"
#include "marlix/core/day_store.h"
#include "marlix/core/days.h"

namespace marlix::cli {

DayRows ReadDayRows(const std::string& folder, std::optional<core::DayTime> first,
                    std::optional<core::DayTime> last, unsigned jobs, core::DayStore* store) {
    core::FolderDays listed = core::ListDays(folder, first, last);
    DayRows result;
    result.problem = listed.problem;
    result.impossibleDates = std::move(listed.impossibleDates);
    for (const core::DayTime day : core::TakeDaysAfter(listed.days, YesterdayUtc() + 1))
        result.afterToday.push_back(core::DayFileName(day));
    for (const core::DayTime day : listed.days) result.rows.push_back({day, std::nullopt, {}});
    core::DayMetricsOptions options;
    options.store = store;
    options.workers = jobs;
    core::ReadDayMetrics(folder, listed.days, options, [&](std::size_t i, core::DayMetricsOutcome&& day) {
        DayRow& row = result.rows[i];
        if (day.metrics) row.totals = std::move(day.metrics->totals);
        row.error = std::move(day.error);
    });
    return result;
}

void SayStoreNotice(core::DayStore* store, std::ostream& err) {
    if (!store) return;
    if (const std::string notice = store->TakeNotice(); !notice.empty())
        err << "marlix-sqa-cli: " << notice << '\n';
}

}  // namespace marlix::cli
