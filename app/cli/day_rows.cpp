#include "day_rows.h"

#include "marlix/core/days.h"

namespace marlix::cli {

DayRows ReadDayRows(const std::string& folder, std::optional<core::DayTime> first,
                    std::optional<core::DayTime> last, unsigned jobs) {
    const core::FolderDays listed = core::ListDays(folder, first, last);
    DayRows result;
    result.problem = listed.problem;
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
