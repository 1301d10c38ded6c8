#include "marlix/core/day_store.h"

#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <thread>

#include "sqlite_database.h"

namespace marlix::core {

using detail::Database;
using detail::SqliteError;
using detail::Statement;

namespace {

namespace fs = std::filesystem;

// The layout of the store file, in its user_version. A file of a later layout belongs to a newer
// program and is left alone.
constexpr std::int64_t kSchemaVersion = 1;
// Long enough for the other program's short transaction, short enough not to hold up a window.
constexpr int kBusyTimeoutMs = 5000;

constexpr const char* kCreateSchema = R"(
CREATE TABLE IF NOT EXISTS days(
  folder TEXT NOT NULL,
  day INTEGER NOT NULL,
  device INTEGER NOT NULL, inode INTEGER NOT NULL, size INTEGER NOT NULL,
  mtime_ns INTEGER NOT NULL, ctime_ns INTEGER NOT NULL,
  written_ns INTEGER NOT NULL, analysis_version INTEGER NOT NULL,
  lines INTEGER NOT NULL, first_time REAL NOT NULL, last_time REAL NOT NULL,
  control_format INTEGER NOT NULL,
  pdop_sum INTEGER NOT NULL, pdop_count INTEGER NOT NULL,
  six_item_lists INTEGER NOT NULL, eight_item_lists INTEGER NOT NULL,
  fix_none INTEGER NOT NULL, fix_2d INTEGER NOT NULL, fix_3d INTEGER NOT NULL,
  mode_inactive INTEGER NOT NULL, mode_coarse INTEGER NOT NULL, mode_fine_or_control INTEGER NOT NULL,
  mean_strength REAL,
  num_good_minutes INTEGER NOT NULL, num_good_min REAL NOT NULL, num_good_sum REAL NOT NULL,
  satellites BLOB,
  PRIMARY KEY(folder, day)
) WITHOUT ROWID;
PRAGMA user_version = 1;
)";

// The columns after folder, in the order of the schema; Rows and Put share them.
constexpr const char* kRowColumns =
    "day, device, inode, size, mtime_ns, ctime_ns, written_ns, analysis_version, lines, first_time, "
    "last_time, control_format, pdop_sum, pdop_count, six_item_lists, eight_item_lists, fix_none, fix_2d, "
    "fix_3d, mode_inactive, mode_coarse, mode_fine_or_control, mean_strength, num_good_minutes, "
    "num_good_min, "
    "num_good_sum, satellites";
constexpr int kRowColumnCount = 27;

std::int64_t Nanoseconds(const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

std::int64_t DayNumber(DayTime day) {
    return static_cast<std::int64_t>(std::floor(day));
}

// Each satellite as 16 little-endian bytes: number, mean level (IEEE double), minutes.
std::vector<unsigned char> EncodeSatellites(const std::vector<SatelliteMean>& means) {
    std::vector<unsigned char> bytes;
    bytes.reserve(means.size() * 16);
    const auto put = [&bytes](std::uint64_t value, int size) {
        for (int i = 0; i < size; ++i) bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
    };
    for (const SatelliteMean& mean : means) {
        put(static_cast<std::uint32_t>(mean.satellite), 4);
        put(std::bit_cast<std::uint64_t>(mean.meanLevel), 8);
        put(static_cast<std::uint32_t>(mean.minutes), 4);
    }
    return bytes;
}

std::optional<std::vector<SatelliteMean>> DecodeSatellites(std::span<const unsigned char> bytes) {
    if (bytes.size() % 16 != 0) return std::nullopt;
    const auto get = [&bytes](std::size_t at, int size) {
        std::uint64_t value = 0;
        for (int i = 0; i < size; ++i)
            value |= std::uint64_t{bytes[at + static_cast<std::size_t>(i)]} << (8 * i);
        return value;
    };
    std::vector<SatelliteMean> means;
    for (std::size_t at = 0; at < bytes.size(); at += 16) {
        means.push_back({static_cast<std::int32_t>(static_cast<std::uint32_t>(get(at, 4))),
                         std::bit_cast<double>(get(at + 4, 8)),
                         static_cast<std::int32_t>(static_cast<std::uint32_t>(get(at + 12, 4)))});
    }
    return means;
}

StoredDay ReadRow(const Statement& s, int first) {
    StoredDay row;
    int c = first;
    row.day = static_cast<DayTime>(s.Integer(c++));
    row.identity.device = static_cast<std::uint64_t>(s.Integer(c++));
    row.identity.inode = static_cast<std::uint64_t>(s.Integer(c++));
    row.identity.size = s.Integer(c++);
    row.identity.mtimeNs = s.Integer(c++);
    row.identity.ctimeNs = s.Integer(c++);
    row.writtenNs = s.Integer(c++);
    row.analysisVersion = s.Integer(c++);
    DayTotals& t = row.metrics.totals;
    t.lineCount = s.Integer(c++);
    t.firstTime = s.Real(c++);
    t.lastTime = s.Real(c++);
    t.controlFormat = s.Integer(c++) != 0;
    t.pdopSum = s.Integer(c++);
    t.pdopCount = s.Integer(c++);
    t.sixItemLists = s.Integer(c++);
    t.eightItemLists = s.Integer(c++);
    for (std::int64_t& count : t.fixCounts) count = s.Integer(c++);
    for (std::int64_t& count : t.modeCounts) count = s.Integer(c++);
    if (!s.IsNull(c)) t.meanStrength = s.Real(c);
    ++c;
    t.numGoodMinutes = s.Integer(c++);
    t.numGoodMinimum = s.Real(c++);
    t.numGoodSum = s.Real(c++);
    if (!s.IsNull(c)) {
        row.metrics.satellites = DecodeSatellites(s.Blob(c));
        // A blob of the wrong length is a damaged row: its analysis version makes it be read again.
        if (!row.metrics.satellites) row.analysisVersion = -1;
    }
    return row;
}

void BindRow(Statement& s, int first, const StoredDay& row) {
    int c = first;
    s.Bind(c++, DayNumber(row.day));
    s.Bind(c++, static_cast<std::int64_t>(row.identity.device));
    s.Bind(c++, static_cast<std::int64_t>(row.identity.inode));
    s.Bind(c++, row.identity.size);
    s.Bind(c++, row.identity.mtimeNs);
    s.Bind(c++, row.identity.ctimeNs);
    s.Bind(c++, row.writtenNs);
    s.Bind(c++, row.analysisVersion);
    const DayTotals& t = row.metrics.totals;
    s.Bind(c++, t.lineCount);
    s.Bind(c++, t.firstTime);
    s.Bind(c++, t.lastTime);
    s.Bind(c++, std::int64_t{t.controlFormat ? 1 : 0});
    s.Bind(c++, t.pdopSum);
    s.Bind(c++, t.pdopCount);
    s.Bind(c++, t.sixItemLists);
    s.Bind(c++, t.eightItemLists);
    for (const std::int64_t count : t.fixCounts) s.Bind(c++, count);
    for (const std::int64_t count : t.modeCounts) s.Bind(c++, count);
    if (t.meanStrength) {
        s.Bind(c++, *t.meanStrength);
    } else {
        s.BindNull(c++);
    }
    s.Bind(c++, t.numGoodMinutes);
    s.Bind(c++, t.numGoodMinimum);
    s.Bind(c++, t.numGoodSum);
    if (row.metrics.satellites) {
        s.BindBlob(c++, EncodeSatellites(*row.metrics.satellites));
    } else {
        s.BindNull(c++);
    }
}

// Commits on Commit, rolls back otherwise (a failed step or an exception).
class Transaction {
  public:
    explicit Transaction(Database& db) : db_(db) { db_.Execute("BEGIN IMMEDIATE"); }
    ~Transaction() {
        if (!done_) sqlite3_exec(db_.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void Commit() {
        db_.Execute("COMMIT");
        done_ = true;
    }

  private:
    Database& db_;
    bool done_ = false;
};

// The switch to WAL needs the file to itself, and SQLite answers "busy" at once, without waiting,
// while another program opens the store at the same moment: the switch is tried again for as long
// as any other wait for the store would last.
void UseWriteAheadLog(Database& db) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
    for (;;) {
        try {
            db.Execute("PRAGMA journal_mode = WAL");
            return;
        } catch (const SqliteError& e) {
            if (e.code != SQLITE_BUSY || std::chrono::steady_clock::now() >= deadline) throw;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

std::int64_t UserVersion(Database& db) {
    Statement version(db, "PRAGMA user_version");
    return version.Step() ? version.Integer(0) : 0;
}

}  // namespace

std::optional<FileIdentity> IdentityOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                        static_cast<std::int64_t>(st.st_size), Nanoseconds(st.st_mtim),
                        Nanoseconds(st.st_ctim)};
}

std::vector<SatelliteMean> SatelliteMeans(const SatelliteDay& day) {
    std::map<std::int32_t, std::pair<double, std::int32_t>> sums;
    for (const SatelliteMinuteLevel& level : day.levels) {
        auto& [sum, minutes] = sums[level.satellite];
        sum += level.meanLevel;
        ++minutes;
    }
    std::vector<SatelliteMean> means;
    for (const auto& [satellite, sum] : sums)
        means.push_back({satellite, sum.first / static_cast<double>(sum.second), sum.second});
    return means;
}

bool RowStandsFor(const StoredDay& row, const FileIdentity& file) {
    const std::int64_t changed = std::max(file.mtimeNs, file.ctimeNs);
    return row.analysisVersion == kAnalysisVersion && row.identity == file &&
           changed <= row.writtenNs - kFileTimeTickNs;
}

bool MayKeep(DayTime day, const FileIdentity& file, std::int64_t nowNs) {
    const DayTime today = std::floor(DayTimeFromUnixSeconds(static_cast<double>(nowNs) / 1e9));
    return std::floor(day) < today && file.mtimeNs <= nowNs - kSettleNs;
}

std::int64_t SystemNowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string DefaultDayStorePath() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    fs::path base;
    // A relative XDG_CACHE_HOME is to be ignored.
    if (cache != nullptr && cache[0] == '/') {
        base = cache;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] != '/') return {};
        base = fs::path(home) / ".cache";
    }
    return (base / "marlix-sqa" / "days.sqlite").string();
}

std::string StoreFolderKey(const std::string& folder) {
    std::error_code ec;
    fs::path path = fs::weakly_canonical(fs::absolute(folder.empty() ? "." : folder, ec), ec);
    std::string key = path.lexically_normal().string();
    if (key.empty() || key.back() != '/') key += '/';
    return key;
}

DayStore::DayStore(std::string path) : path_(std::move(path)) {
    const std::lock_guard lock(mutex_);
    Open();
}

DayStore::~DayStore() = default;

bool DayStore::Usable() const {
    return db_ != nullptr;
}

void DayStore::Open() {
    if (path_.empty()) {
        Note(
            "the day store has no place (neither XDG_CACHE_HOME nor HOME names a folder); the days are read "
            "from their logs");
        return;
    }
    try {
        std::error_code ec;
        fs::create_directories(fs::path(path_).parent_path(), ec);
        if (ec) throw SqliteError{SQLITE_CANTOPEN, ec.message()};
        db_ = std::make_unique<Database>(path_);
        sqlite3_busy_timeout(db_->Handle(), kBusyTimeoutMs);
        const std::int64_t version = UserVersion(*db_);
        if (version > kSchemaVersion) {
            db_.reset();
            Note("the day store " + path_ +
                 " was made by a newer version of the program; the days are read " + "from their logs");
            return;
        }
        // WAL: a reader (the window) and a writer (a cron table) do not wait for each other. NORMAL sync
        // keeps every commit whole after a crash of the program; a power cut may lose the last ones,
        // which the logs give again.
        UseWriteAheadLog(*db_);
        db_->Execute("PRAGMA synchronous = NORMAL");
        if (version < kSchemaVersion) {
            Transaction transaction(*db_);
            if (UserVersion(*db_) < kSchemaVersion) {
                db_->Execute("DROP TABLE IF EXISTS days");
                db_->Execute(kCreateSchema);
            }
            transaction.Commit();
        }
    } catch (const SqliteError& e) {
        Fail("cannot be used", e.code, e.message);
    }
}

void DayStore::Fail(const std::string& what, int code, const std::string& message) {
    if ((code == SQLITE_CORRUPT || code == SQLITE_NOTADB) && !recovered_) {
        recovered_ = true;
        db_.reset();
        const std::string aside = path_ + ".damaged";
        std::error_code ec;
        fs::rename(path_, aside, ec);
        for (const char* suffix : {"-wal", "-shm"}) fs::remove(path_ + suffix, ec);
        Note("the day store " + path_ + " was damaged (" + message + "); it was set aside as " + aside +
             " and is made again from the logs");
        Open();
        return;
    }
    if (code == SQLITE_BUSY || code == SQLITE_READONLY || code == SQLITE_FULL || code == SQLITE_IOERR ||
        code == SQLITE_PERM) {
        // What was stored can still be read; nothing more is written in this run.
        if (writable_)
            Note("the day store " + path_ + " cannot be written (" + message + "); the days are " +
                 "read from their logs");
        writable_ = false;
        if (code != SQLITE_IOERR) return;
    }
    db_.reset();
    Note("the day store " + path_ + " " + what + " (" + message + "); the days are read from their logs");
}

void DayStore::Note(std::string notice) {
    if (notice_.empty()) notice_ = std::move(notice);
}

std::string DayStore::TakeNotice() {
    const std::lock_guard lock(mutex_);
    if (noticeTaken_) return {};
    noticeTaken_ = !notice_.empty();
    return notice_;
}

std::vector<StoredDay> DayStore::Rows(const std::string& folderKey, const std::vector<DayTime>& days) {
    const std::lock_guard lock(mutex_);
    std::vector<StoredDay> rows;
    if (!db_ || days.empty()) return rows;
    const auto [first, last] = std::minmax_element(days.begin(), days.end());
    std::set<std::int64_t> wanted;
    for (const DayTime day : days) wanted.insert(DayNumber(day));
    try {
        Statement select(*db_, std::string("SELECT ") + kRowColumns +
                                   " FROM days WHERE folder = ?1 AND day BETWEEN ?2 AND ?3 ORDER BY day");
        select.Bind(1, folderKey);
        select.Bind(2, DayNumber(*first));
        select.Bind(3, DayNumber(*last));
        while (select.Step()) {
            StoredDay row = ReadRow(select, 0);
            if (wanted.contains(DayNumber(row.day))) rows.push_back(std::move(row));
        }
    } catch (const SqliteError& e) {
        Fail("cannot be read", e.code, e.message);
        rows.clear();
    }
    return rows;
}

bool DayStore::Put(const std::string& folderKey, std::span<const StoredDay> rows) {
    const std::lock_guard lock(mutex_);
    if (!db_ || !writable_) return false;
    if (rows.empty()) return true;
    try {
        Transaction transaction(*db_);
        std::string sql = std::string("INSERT OR REPLACE INTO days(folder, ") + kRowColumns + ") VALUES(?1";
        for (int i = 2; i <= kRowColumnCount + 1; ++i) sql += ", ?" + std::to_string(i);
        sql += ')';
        Statement insert(*db_, sql);
        for (const StoredDay& row : rows) {
            insert.Bind(1, folderKey);
            BindRow(insert, 2, row);
            insert.Step();
            insert.Reset();
        }
        transaction.Commit();
        return true;
    } catch (const SqliteError& e) {
        Fail("cannot be written", e.code, e.message);
        return false;
    }
}

std::optional<DayStoreStats> DayStore::Stats() {
    const std::lock_guard lock(mutex_);
    if (!db_) return std::nullopt;
    try {
        Statement count(*db_,
                        "SELECT count(*), count(DISTINCT folder), "
                        "coalesce(sum(analysis_version != ?1), 0) FROM days");
        count.Bind(1, kAnalysisVersion);
        DayStoreStats stats;
        if (count.Step()) {
            stats.rows = count.Integer(0);
            stats.folders = count.Integer(1);
            stats.outdated = count.Integer(2);
        }
        for (const char* suffix : {"", "-wal"}) {
            std::error_code ec;
            const auto size = fs::file_size(path_ + suffix, ec);
            if (!ec) stats.bytes += static_cast<std::int64_t>(size);
        }
        return stats;
    } catch (const SqliteError& e) {
        Fail("cannot be read", e.code, e.message);
        return std::nullopt;
    }
}

std::vector<StoredRow> DayStore::Sample(std::size_t count) {
    const std::lock_guard lock(mutex_);
    std::vector<StoredRow> sample;
    if (!db_ || count == 0) return sample;
    try {
        // Every n-th row in key order, so that the sample spans all folders and years.
        Statement select(*db_, std::string("SELECT folder, ") + kRowColumns +
                                   " FROM (SELECT *, row_number() OVER (ORDER BY folder, day) AS n, "
                                   "count(*) OVER () AS total FROM days) "
                                   "WHERE (n - 1) % max(1, total / ?1) = 0 ORDER BY folder, day LIMIT ?1");
        select.Bind(1, static_cast<std::int64_t>(count));
        while (select.Step()) sample.push_back({select.Text(0), ReadRow(select, 1)});
    } catch (const SqliteError& e) {
        Fail("cannot be read", e.code, e.message);
        sample.clear();
    }
    return sample;
}

bool DayStore::Clear() {
    const std::lock_guard lock(mutex_);
    if (!db_ || !writable_) return false;
    try {
        db_->Execute("DELETE FROM days");
        // Gives the space back; another program reading at the time only keeps it for later.
        sqlite3_exec(db_->Handle(), "VACUUM", nullptr, nullptr, nullptr);
        return true;
    } catch (const SqliteError& e) {
        Fail("cannot be written", e.code, e.message);
        return false;
    }
}

}  // namespace marlix::core
