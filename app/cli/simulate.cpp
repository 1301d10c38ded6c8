#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <ostream>
#include <set>
#include <thread>

#include "commands.h"
#include "marlix/core/simulator.h"

namespace marlix::cli {
namespace {

constexpr int kMaxDays = 3660;

int Usage(std::ostream& err, std::string_view problem) {
    err << "marlix-sqa-cli simulate: " << problem << "\nusage: marlix-sqa-cli simulate " << kSimulateUsage
        << '\n';
    return kExitUsage;
}

template <class T>
std::optional<T> ParseUnsigned(const std::string& text) {
    T value{};
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

// Without replace, a file that appeared since the check is left alone ("x": create only).
bool WriteFile(const std::string& path, const std::string& bytes, bool replace, std::string& reason) {
    std::FILE* file = std::fopen(path.c_str(), replace ? "wb" : "wbx");
    if (file == nullptr) {
        reason = std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const int writeError = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        reason = std::strerror(written ? errno : writeError);
        return false;
    }
    return true;
}

volatile std::sig_atomic_t stopSignal = 0;

void RequestStop(int) {
    stopSignal = 1;
}

// Writes the whole block, so that a reader never sees more than one half-written line at the end.
bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

class DayFile {
  public:
    DayFile() = default;
    ~DayFile() { Close(); }
    DayFile(const DayFile&) = delete;
    DayFile& operator=(const DayFile&) = delete;
    // Unless appending to an existing file is allowed, only a file created by this open is written.
    bool Open(const std::string& path, bool appendToExisting) {
        Close();
        fd_ = ::open(path.c_str(),
                     O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | (appendToExisting ? 0 : O_EXCL), 0644);
        return fd_ >= 0;
    }
    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    int Descriptor() const { return fd_; }

  private:
    int fd_ = -1;
};

constexpr std::int64_t kSecondsPerDay = 86400;

// A receiver's real log must never be lost to a simulation, so an existing day file is refused.
std::string ExistingFileText(const std::string& path, std::string_view forceDoes) {
    return "marlix-sqa-cli: " + path + " exists; give --force to " + std::string(forceDoes) + " it";
}

std::int64_t FloorDivide(std::int64_t a, std::int64_t b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0) ? 1 : 0);
}

}  // namespace

LiveClock SystemLiveClock() {
    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    LiveClock clock;
    clock.nowUnixSeconds = [] {
        const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
        return std::chrono::duration<double>(sinceEpoch).count();
    };
    clock.sleepUntil = [](double unixSeconds) {
        // Short naps, so that a stop request is seen at once whatever the library does on a signal.
        const auto until = std::chrono::system_clock::time_point(
            std::chrono::duration_cast<std::chrono::system_clock::duration>(
                std::chrono::duration<double>(unixSeconds)));
        while (stopSignal == 0) {
            const auto now = std::chrono::system_clock::now();
            if (now >= until) break;
            std::this_thread::sleep_for(
                std::min<std::chrono::system_clock::duration>(until - now, std::chrono::milliseconds(50)));
        }
    };
    clock.stopRequested = [] { return stopSignal != 0; };
    return clock;
}

int RunLiveLogger(const std::string& directory, const core::SimulationOptions& options,
                  const LiveClock& clock, std::ostream& out, std::ostream& err, bool appendToExisting) {
    const std::string prefix = directory.back() == '/' ? directory : directory + '/';
    DayFile file;
    std::set<std::string> created;  // a clock set back may return to a day this run began
    std::unique_ptr<core::DaySimulation> simulation;
    std::int64_t currentDay = 0;
    while (!clock.stopRequested()) {
        const auto second = static_cast<std::int64_t>(std::floor(clock.nowUnixSeconds()));
        const std::int64_t dayNumber = FloorDivide(second, kSecondsPerDay);
        if (!simulation || dayNumber != currentDay) {
            const core::DayTime day = core::kUnixEpochDay + static_cast<double>(dayNumber);
            const std::string path = prefix + core::DayFileName(day);
            if (!file.Open(path, appendToExisting || created.count(path) > 0)) {
                if (errno == EEXIST) {
                    err << ExistingFileText(path, "append to") << '\n';
                } else {
                    err << "marlix-sqa-cli: cannot write " << path << ": " << std::strerror(errno) << '\n';
                }
                return kExitFailure;
            }
            created.insert(path);
            simulation = std::make_unique<core::DaySimulation>(day, options);
            currentDay = dayNumber;
            out << path << std::endl;
        }
        const std::string block = simulation->BlockAt(static_cast<int>(second - dayNumber * kSecondsPerDay));
        if (!WriteAll(file.Descriptor(), block)) {
            err << "marlix-sqa-cli: cannot write "
                << prefix + core::DayFileName(core::kUnixEpochDay + currentDay) << ": "
                << std::strerror(errno) << '\n';
            return kExitFailure;
        }
        clock.sleepUntil(static_cast<double>(second + 1));
    }
    return kExitOk;
}

int RunSimulate(const Arguments& args, std::ostream& out, std::ostream& err) {
    std::optional<std::string> directory;
    int days = 1;
    core::DayTime end = YesterdayUtc();
    core::SimulationOptions options;
    bool live = false;
    bool force = false;
    bool dayRangeGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--control" || arg == "--live" || arg == "--force") {
            options.controlFormat = options.controlFormat || arg == "--control";
            live = live || arg == "--live";
            force = force || arg == "--force";
            continue;
        }
        if (arg != "--out" && arg != "--days" && arg != "--end" && arg != "--seed") {
            return Usage(err, "unknown argument " + arg);
        }
        if (i + 1 >= args.size()) return Usage(err, arg + " needs a value");
        const std::string& value = args[++i];
        if (arg == "--out") {
            directory = value;
        } else if (arg == "--days") {
            dayRangeGiven = true;
            const auto n = ParseUnsigned<int>(value);
            if (!n || *n < 1 || *n > kMaxDays) return Usage(err, "--days wants a number from 1 to 3660");
            days = *n;
        } else if (arg == "--end") {
            dayRangeGiven = true;
            const auto date = ParseIsoDate(value);
            if (!date) return Usage(err, "--end wants a valid YYYY-MM-DD, not '" + value + "'");
            end = *date;
        } else {
            const auto seed = ParseUnsigned<std::uint64_t>(value);
            if (!seed) return Usage(err, "--seed wants an unsigned number");
            options.seed = *seed;
        }
    }
    if (!directory || directory->empty()) return Usage(err, "--out DIR is required");
    if (live && dayRangeGiven) return Usage(err, "--live writes today: it takes no --days or --end");

    std::error_code error;
    std::filesystem::create_directories(*directory, error);
    if (error) {
        err << "marlix-sqa-cli: cannot create " << *directory << ": " << error.message() << '\n';
        return kExitFailure;
    }
    if (live) return RunLiveLogger(*directory, options, SystemLiveClock(), out, err, force);
    const std::string prefix = directory->back() == '/' ? *directory : *directory + '/';
    if (core::DecodeDate(end - (days - 1)).year < 1) return Usage(err, "the days reach before year 1");
    // Every day is checked before the first is written, so that a refusal leaves the folder as it was.
    if (!force) {
        for (int i = days - 1; i >= 0; --i) {
            const std::string path = prefix + core::DayFileName(end - i);
            std::error_code ec;
            if (std::filesystem::exists(std::filesystem::symlink_status(path, ec))) {
                err << ExistingFileText(path, "replace") << '\n';
                return kExitFailure;
            }
        }
    }
    for (int i = days - 1; i >= 0; --i) {
        const core::DayTime day = end - i;
        const std::string path = prefix + core::DayFileName(day);
        std::string reason;
        if (!WriteFile(path, core::SimulateDay(day, options), force, reason)) {
            err << "marlix-sqa-cli: cannot write " << path << ": " << reason << '\n';
            return kExitFailure;
        }
        out << path << '\n';
    }
    out.flush();
    return kExitOk;
}

}  // namespace marlix::cli
