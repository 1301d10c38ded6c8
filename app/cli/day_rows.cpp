#include "day_rows.h"

#include "commands.h"
#include "marlix/core/days.h"

namespace marlix::cli {

DayRows ReadDayRows(const std::string& folder, std::optional<core::DayTime> first,
                    std::optional<core::DayTime> last, unsigned jobs) {
    core::FolderDays listed = core::ListDays(folder, first, last);
    DayRows result;
    result.problem = listed.problem;
    result.impossibleDates = std::move(listed.impossibleDates);
    for (const core::DayTime day : core::TakeDaysAfter(listed.days, YesterdayUtc() + 1))
        result.afterToday.push_back(core::DayFileName(day));
    result.rows.resize(listed.days.size());
    core::ReadDaysOptions options;
    options.workers = jobs;  // and no minute readings: a row holds day totals only
    core::ReadDays(folder, listed.days, core::LocaleConventions{}, options,
                   [&](std::size_t i, core::DayOutcome&& day) {
                       result.rows[i] = {listed.days[i], std::move(day.analysis), std::move(day.error)};
                   });
    return result;
}

}  // namespace marlix::cli
