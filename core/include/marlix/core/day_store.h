#pragma once

// The store of day metrics: one row per (folder, day) in an SQLite file under the user's cache, so
// that a year of days is not read from the logs again each time. The logs stay the truth: a row
// stands for its day only while the log is the very file it was made from, and a store that cannot
// be used costs nothing but time.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "marlix/core/day_analysis.h"
#include "marlix/core/daytime.h"
#include "marlix/core/satellites.h"

namespace marlix::core {

// Raised whenever a change to the analysis changes what a day gives, so that rows made by the old
// rules are made again.
inline constexpr std::int64_t kAnalysisVersion = 1;

// What tells one file (version) from another without reading it.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0;  // since 1970-01-01 UTC
    std::int64_t ctimeNs = 0;
    bool operator==(const FileIdentity&) const = default;
};
// The identity of the file at the path (links followed); nothing when it cannot be examined.
std::optional<FileIdentity> IdentityOf(const std::string& path);

// The time stamps of coarse file systems (FAT) step by 2 s: a change within one such tick may leave
// every part of the identity as it was.
inline constexpr std::int64_t kFileTimeTickNs = 2'000'000'000;
// A file modified this recently may still be written to; it is always read from the log.
inline constexpr std::int64_t kSettleNs = 60'000'000'000;

// The mean level of one satellite over the minutes of the day it had one (each minute counts once).
struct SatelliteMean {
    std::int32_t satellite = 0;
    double meanLevel = 0;
    std::int32_t minutes = 0;
    bool operator==(const SatelliteMean&) const = default;
};
std::vector<SatelliteMean> SatelliteMeans(const SatelliteDay& day);

// What the store keeps of a day: the metrics of the day table, and the satellites' means when the
// reading asked for them.
struct DayMetrics {
    DayTotals totals;
    std::optional<std::vector<SatelliteMean>> satellites;
    bool operator==(const DayMetrics&) const = default;
};

struct StoredDay {
    DayTime day = 0;
    FileIdentity identity;
    std::int64_t writtenNs = 0;  // the clock when the row was made
    std::int64_t analysisVersion = kAnalysisVersion;
    DayMetrics metrics;
};

// Whether the row may stand for the file as it is now: the same file, the same analysis, and the file
// last changed (written, or its times or name set) at least a time tick before the row was made: a
// change within the tick could keep the identity.
bool RowStandsFor(const StoredDay& row, const FileIdentity& file);
// Whether a day read from its log may be kept: not today's or a later day, and the file settled: not
// modified in the last minute, nor "in the future" of a clock set back. (A copy that sets an old
// modification time at its end changes the change time, which the identity holds.)
bool MayKeep(DayTime day, const FileIdentity& file, std::int64_t nowNs);

// Nanoseconds since 1970-01-01 UTC by the system clock.
std::int64_t SystemNowNs();

// $XDG_CACHE_HOME/marlix-sqa/days.sqlite, or ~/.cache/marlix-sqa/days.sqlite; empty when neither
// names an absolute folder.
std::string DefaultDayStorePath();
// The folder as the store names it: absolute, links resolved, with a trailing '/'.
std::string StoreFolderKey(const std::string& folder);

struct DayStoreStats {
    std::int64_t rows = 0;
    std::int64_t folders = 0;
    std::int64_t outdated = 0;  // rows of an older analysis version
    std::int64_t bytes = 0;     // the database file and its write-ahead log
};

struct StoredRow {
    std::string folder;  // as StoreFolderKey gives it
    StoredDay day;
};

namespace detail {
class Database;
}

// One connection to the store file. Every call may run on any thread; calls are serialised. A store
// that cannot be used (a file that cannot be made or opened, a schema of a newer version, a read-only
// file, a full disk) only stops being used; a damaged file is set aside and a new one begun. Nothing
// here throws.
class DayStore {
  public:
    explicit DayStore(std::string path = DefaultDayStorePath());
    ~DayStore();
    DayStore(const DayStore&) = delete;
    DayStore& operator=(const DayStore&) = delete;

    const std::string& Path() const { return path_; }
    bool Usable() const;

    // The rows the store holds for the folder's days (of any version and identity: the caller judges
    // them with RowStandsFor), in day order.
    std::vector<StoredDay> Rows(const std::string& folderKey, const std::vector<DayTime>& days);
    // Writes the rows in one short transaction, replacing rows of the same days. False when the store
    // could not be written; it is then no longer written to in this run.
    bool Put(const std::string& folderKey, std::span<const StoredDay> rows);

    std::optional<DayStoreStats> Stats();
    // Up to `count` rows spread over the whole store.
    std::vector<StoredRow> Sample(std::size_t count);
    bool Clear();

    // The first problem the store met ("the day store FILE ...: reason; ..."), once: empty on later
    // calls and when there was none.
    std::string TakeNotice();

  private:
    void Open();
    // Handles a failed step: sets the damaged file aside and begins again, or gives the store up.
    void Fail(const std::string& what, int code, const std::string& message);
    void Note(std::string notice);

    std::string path_;
    std::mutex mutex_;
    std::unique_ptr<detail::Database> db_;
    bool writable_ = true;
    bool recovered_ = false;  // a damaged file is set aside once per run at most
    std::string notice_;
    bool noticeTaken_ = false;
};

}  // namespace marlix::core
