#include "marlix/core/day_metrics.h"

#include <cmath>
#include <map>
#include <mutex>

#include "marlix/core/analysis.h"
#include "marlix/core/days.h"

namespace marlix::core {
namespace {

// Rows go to the store in batches: short transactions, and what a stopped reading got is kept.
constexpr std::size_t kRowsPerTransaction = 32;

DayMetrics MetricsOf(DayAnalysis& analysis) {
    DayMetrics metrics{analysis.totals, std::nullopt};
    if (analysis.satellites) metrics.satellites = SatelliteMeans(*analysis.satellites);
    return metrics;
}

}  // namespace

bool ReadDayMetrics(const std::string& folder, const std::vector<DayTime>& days,
                    const DayMetricsOptions& options, const DayMetricsHand& hand) {
    const std::int64_t now = options.nowNs ? options.nowNs() : SystemNowNs();
    DayStore* const store = options.store != nullptr && options.store->Usable() ? options.store : nullptr;
    const std::string key = store != nullptr ? StoreFolderKey(folder) : std::string();
    const DayTime today = std::floor(DayTimeFromUnixSeconds(static_cast<double>(now) / 1e9));

    std::vector<std::optional<DayMetrics>> stored(days.size());
    if (store != nullptr) {
        std::map<std::int64_t, StoredDay> rows;
        for (StoredDay& row : store->Rows(key, days))
            rows.emplace(static_cast<std::int64_t>(row.day), std::move(row));
        for (std::size_t i = 0; i < days.size(); ++i) {
            // Today's log is still being written: it always comes from the log.
            if (std::floor(days[i]) >= today) continue;
            const auto row = rows.find(static_cast<std::int64_t>(std::floor(days[i])));
            if (row == rows.end() || (options.satellites && !row->second.metrics.satellites)) continue;
            const auto file = IdentityOf(DayLogToRead(DayFilePath(folder, days[i])));
            if (file && RowStandsFor(row->second, *file)) stored[i] = row->second.metrics;
        }
    }
    std::vector<std::size_t> toRead;
    for (std::size_t i = 0; i < days.size(); ++i)
        if (!stored[i]) toRead.push_back(i);
    if (options.planned) options.planned(days.size() - toRead.size(), toRead.size());

    const auto stopped = [&options] { return options.stopRequested && options.stopRequested(); };
    for (std::size_t i = 0; i < days.size(); ++i) {
        if (!stored[i]) continue;
        if (stopped()) return false;
        hand(i, {std::move(stored[i]), {}, DaySource::Store});
    }

    std::vector<DayTime> readDays;
    for (const std::size_t i : toRead) readDays.push_back(days[i]);
    // The identity before the reading and after it: a log that changed meanwhile is not kept.
    std::mutex identityMutex;
    std::map<DayTime, std::optional<FileIdentity>> before;
    ReadDaysOptions read;
    read.workers = options.workers;
    read.satellites = options.satellites;
    read.stopRequested = options.stopRequested;
    read.beforeDay = [&](DayTime day) {
        if (store != nullptr) {
            auto identity = IdentityOf(DayLogToRead(DayFilePath(folder, day)));
            const std::lock_guard lock(identityMutex);
            before[day] = identity;
        }
        if (options.beforeDay) options.beforeDay(day);
    };
    std::vector<StoredDay> pending;
    const auto flush = [&] {
        if (store != nullptr && !pending.empty()) store->Put(key, pending);
        pending.clear();
    };
    const bool finished =
        ReadDays(folder, readDays, LocaleConventions{}, read, [&](std::size_t j, DayOutcome&& day) {
            DayMetricsOutcome outcome;
            if (day.analysis) {
                outcome.metrics = MetricsOf(*day.analysis);
                if (store != nullptr) {
                    const auto after = IdentityOf(DayLogToRead(DayFilePath(folder, readDays[j])));
                    std::optional<FileIdentity> identity;
                    {
                        const std::lock_guard lock(identityMutex);
                        identity = before[readDays[j]];
                    }
                    if (after && identity == after && MayKeep(readDays[j], *after, now))
                        pending.push_back(
                            {std::floor(readDays[j]), *after, now, kAnalysisVersion, *outcome.metrics});
                    if (pending.size() >= kRowsPerTransaction) flush();
                }
            } else {
                outcome.error = std::move(day.error);
            }
            hand(toRead[j], std::move(outcome));
        });
    flush();
    return finished;
}

StoreVerification VerifyDayStore(DayStore& store, std::size_t sampleSize) {
    StoreVerification verification;
    for (const StoredRow& row : store.Sample(sampleSize)) {
        const std::string path = DayLogToRead(DayFilePath(row.folder, row.day.day));
        const auto file = IdentityOf(path);
        if (!file || !RowStandsFor(row.day, *file)) {
            ++verification.stale;
            continue;
        }
        LoadOptions load;
        load.minutes = false;
        load.satellites = row.day.metrics.satellites.has_value();
        LoadResult result = AnalyseFiles({path}, std::string(), LocaleConventions{}, load);
        // A log that changed while it was read again is stale too.
        if (!result.analysis || IdentityOf(path) != file) {
            ++verification.stale;
            continue;
        }
        ++verification.checked;
        if (!(MetricsOf(*result.analysis) == row.day.metrics))
            verification.differ.push_back(row.folder + ' ' + FormatIsoDate(row.day.day));
    }
    return verification;
}

}  // namespace marlix::core
