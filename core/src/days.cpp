#include "marlix/core/days.h"

#include <algorithm>
#include <exception>
#include <filesystem>

#include "marlix/core/analysis.h"
#include "marlix/core/log_files.h"
#include "marlix/core/ordered_work.h"

namespace marlix::core {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kDayFileSuffix = "_rx_data.txt";
constexpr std::size_t kDateLength = 10;  // "yyyy-mm-dd"

std::string ExceptionText(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown error";
    }
}

// dddd-dd-dd_rx_data.txt, whether or not the digits make a date.
bool WrittenAsDayFileName(std::string_view name) {
    if (name.size() != kDateLength + kDayFileSuffix.size() || !name.ends_with(kDayFileSuffix)) return false;
    for (std::size_t i = 0; i < kDateLength; ++i) {
        const bool digit = name[i] >= '0' && name[i] <= '9';
        if ((i == 4 || i == 7) ? name[i] != '-' : !digit) return false;
    }
    return true;
}

}  // namespace

std::string DayFileName(DayTime date) {
    return FormatIsoDate(date) + std::string(kDayFileSuffix);
}

std::optional<DayTime> DayOfFileName(std::string_view name) {
    for (const std::string_view archive : kArchiveSuffixes) {
        if (name.ends_with(archive)) {
            name.remove_suffix(archive.size());
            break;
        }
    }
    if (name.size() != kDateLength + kDayFileSuffix.size() || !name.ends_with(kDayFileSuffix))
        return std::nullopt;
    return ParseIsoDate(name.substr(0, kDateLength));
}

std::string FolderWithSeparator(const std::string& folder) {
    return folder.empty() || folder.back() == '/' ? folder : folder + '/';
}

std::string LogFilePath(const std::string& name, const std::string& folder) {
    if (!name.empty() && name.front() == '/') return name;
    return FolderWithSeparator(folder) + name;
}

std::string DayFilePath(const std::string& folder, DayTime day) {
    return FolderWithSeparator(folder) + DayFileName(day);
}

namespace {

// A dangling link counts: the log exists, but cannot be read.
bool Exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

}  // namespace

std::string DayLogToRead(const std::string& path) {
    const std::string_view name = std::string_view(path).substr(path.rfind('/') + 1);
    if (!name.ends_with(kDayFileSuffix) || !DayOfFileName(name) || Exists(path)) return path;
    for (const std::string_view archive : kArchiveSuffixes) {
        std::string archived = path + std::string(archive);
        if (Exists(archived)) return archived;
    }
    return path;
}

FolderDays ListDays(const std::string& folder, std::optional<DayTime> first, std::optional<DayTime> last) {
    FolderDays listed;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::string name = it->path().filename().string();
        const auto day = DayOfFileName(name);
        if (day && (!first || *day >= *first) && (!last || *day <= *last)) listed.days.push_back(*day);
        if (!day && WrittenAsDayFileName(name)) listed.impossibleDates.push_back(std::move(name));
    }
    if (ec) listed.problem = "cannot list " + folder + ": " + ec.message();
    std::sort(listed.days.begin(), listed.days.end());
    // A day both plain and archived is one day.
    listed.days.erase(std::unique(listed.days.begin(), listed.days.end()), listed.days.end());
    std::sort(listed.impossibleDates.begin(), listed.impossibleDates.end());
    return listed;
}

std::vector<DayTime> TakeDaysAfter(std::vector<DayTime>& days, DayTime today) {
    const auto later = std::upper_bound(days.begin(), days.end(), today);
    std::vector<DayTime> taken(later, days.end());
    days.erase(later, days.end());
    return taken;
}

DayThreads ShareThreads(std::size_t dayCount, unsigned workers) {
    if (workers == 0) workers = DefaultWorkerCount();
    if (dayCount >= workers) return {workers, 1};
    return {static_cast<unsigned>(std::max<std::size_t>(dayCount, 1)), workers};
}

bool ReadDays(const std::string& folder, const std::vector<DayTime>& days, const LocaleConventions& locale,
              const ReadDaysOptions& options, const DayHand& hand) {
    const DayThreads threads = ShareThreads(days.size(), options.workers);
    const auto stopped = [&options] { return options.stopRequested && options.stopRequested(); };
    LoadOptions load;
    load.threads = threads.perDay;
    load.minutes = options.minutes;
    load.satellites = options.satellites;
    if (options.stopRequested)
        load.progress = [&stopped](std::uint64_t, std::uint64_t) { return !stopped(); };
    // A day that a stop cut short has no outcome.
    return RunInOrder<std::optional<DayOutcome>>(
        days.size(), threads.days, 2 * static_cast<std::size_t>(threads.days),
        [&](std::size_t i) -> std::optional<DayOutcome> {
            if (options.beforeDay) options.beforeDay(days[i]);
            if (stopped()) return std::nullopt;
            LoadResult result = AnalyseFiles({DayFilePath(folder, days[i])}, std::string(), locale, load);
            if (result.analysis) return DayOutcome{std::move(result.analysis), {}};
            if (result.failure->cancelled) return std::nullopt;
            return DayOutcome{std::nullopt, ReadFailureText(*result.failure)};
        },
        [&](std::size_t i, JobOutcome<std::optional<DayOutcome>>&& outcome) {
            if (stopped()) return false;
            if (outcome.error) {
                hand(i, {std::nullopt, "cannot analyse " + DayLogToRead(DayFilePath(folder, days[i])) + ": " +
                                           ExceptionText(outcome.error)});
                return true;
            }
            if (!*outcome.value) return false;
            hand(i, std::move(**outcome.value));
            return true;
        });
}

}  // namespace marlix::core
