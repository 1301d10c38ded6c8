#pragma once

// The day figures of a range of days, as `table` lists them and `metrics --history` exports them: the
// one place both take them from, through the store of day metrics where it holds them.

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "marlix/core/day_analysis.h"

namespace marlix::core {
class DayStore;
}

namespace marlix::cli {

struct DayRow {
    core::DayTime day = 0;
    std::optional<core::DayTotals> totals;  // the day's figures
    std::string error;                      // why there are none
};

struct DayRows {
    std::vector<DayRow> rows;  // in date order, one per day log of the folder in the range
    std::string problem;       // "cannot list FOLDER: reason"; empty when the folder was listed
    std::vector<std::string> impossibleDates;  // names like day logs whose dates cannot be
    std::vector<std::string> afterToday;       // day logs dated after today (UTC), left out
};

// The days from `first` to `last` (an empty bound: no bound) that the folder holds up to today (UTC),
// each with its figures or its error; `jobs` days are read at once (0: one per core). Finished days
// come from the store when one is given and holds them, and the days read are put into it.
DayRows ReadDayRows(const std::string& folder, std::optional<core::DayTime> first,
                    std::optional<core::DayTime> last, unsigned jobs, core::DayStore* store);

// "marlix-sqa-cli: the day store ... cannot be used (...)" on err, once, when the store could not be
// used; nothing when it could or when there is none.
void SayStoreNotice(core::DayStore* store, std::ostream& err);

}  // namespace marlix::cli
