#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <ostream>
#include <set>
#include <thread>
#include <utility>

#include "command_line.h"
#include "commands.h"
#include "marlix/core/atomic_file.h"
#include "marlix/core/days.h"
#include "marlix/core/simulator.h"

namespace marlix::cli {
namespace {

constexpr int kMaxDays = 3660;

template <class T>
std::optional<T> ParseUnsigned(const std::string& text) {
    T value{};
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

volatile std::sig_atomic_t stopSignal = 0;  // the signal that asked to stop

void RequestStop(int signal) {
    stopSignal = signal;
}

void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
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
    // False when the system reports only now that the data could not be written.
    bool Close() {
        const int fd = std::exchange(fd_, -1);
        return fd < 0 || ::close(fd) == 0;
    }
    int Descriptor() const { return fd_; }

  private:
    int fd_ = -1;
};

constexpr std::int64_t kSecondsPerDay = 86400;

// Streams the day's blocks into the file; false when a stop is asked for before the day is whole.
bool WriteDay(core::AtomicFile& file, core::DayTime day, const core::SimulationOptions& options) {
    core::DaySimulation simulation(day, options);
    for (int second = 0; second < kSecondsPerDay; ++second) {
        if (stopSignal != 0) return false;
        if (!file.Write(simulation.BlockAt(second))) break;  // Commit says why
    }
    return true;
}

// A receiver's real log must never be lost to a simulation, so an existing day file is refused.
std::string ExistingFileText(const std::string& path, std::string_view forceDoes) {
    return "marlix-sqa-cli: " + path + " exists; give --force to " + std::string(forceDoes) + " it";
}

std::int64_t FloorDivide(std::int64_t a, std::int64_t b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0) ? 1 : 0);
}

}  // namespace

LiveClock SystemLiveClock() {
    CatchStopSignals();
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
    DayFile file;
    std::set<std::string> created;  // a clock set back may return to a day this run began
    std::unique_ptr<core::DaySimulation> simulation;
    std::int64_t currentDay = 0;
    std::string currentPath;
    const auto cannotWrite = [&err](const std::string& path) {
        err << "marlix-sqa-cli: cannot write " << path << ": " << std::strerror(errno) << '\n';
        return kExitFailure;
    };
    while (!clock.stopRequested()) {
        const auto second = static_cast<std::int64_t>(std::floor(clock.nowUnixSeconds()));
        const std::int64_t dayNumber = FloorDivide(second, kSecondsPerDay);
        if (!simulation || dayNumber != currentDay) {
            const core::DayTime day = core::kUnixEpochDay + static_cast<double>(dayNumber);
            const std::string path = core::DayFilePath(directory, day);
            if (!file.Close()) return cannotWrite(currentPath);
            if (!file.Open(path, appendToExisting || created.count(path) > 0)) {
                if (errno != EEXIST) return cannotWrite(path);
                err << ExistingFileText(path, "append to") << '\n';
                return kExitFailure;
            }
            created.insert(path);
            simulation = std::make_unique<core::DaySimulation>(day, options);
            currentDay = dayNumber;
            currentPath = path;
            out << path << std::endl;
        }
        const std::string block = simulation->BlockAt(static_cast<int>(second - dayNumber * kSecondsPerDay));
        if (!WriteAll(file.Descriptor(), block)) return cannotWrite(currentPath);
        clock.sleepUntil(static_cast<double>(second + 1));
    }
    if (!file.Close()) return cannotWrite(currentPath);
    return kExitOk;
}

int RunSimulate(const Arguments& args, std::ostream& out, std::ostream& err) {
    SimulateOptions o;
    CommandLine commandLine("simulate", [&o](CLI::App& app) { DescribeSimulate(app, o); });
    if (const auto status = commandLine.Parse(args, out, err)) return *status;

    const auto usage = [&commandLine, &err](const std::string& problem) {
        return commandLine.UsageError(err, problem);
    };
    int days = 1;
    core::DayTime end = YesterdayUtc();
    core::SimulationOptions options;
    options.controlFormat = o.control;
    if (o.days) {
        const auto n = ParseUnsigned<int>(*o.days);
        if (!n || *n < 1 || *n > kMaxDays) return usage("--days wants a number from 1 to 3660");
        days = *n;
    }
    if (o.end) {
        const auto date = ParseIsoDate(*o.end);
        if (!date) return usage("--end wants a valid YYYY-MM-DD, not '" + *o.end + "'");
        // A log dated in the future would pass for a real one that cannot exist yet.
        if (*date > YesterdayUtc() + 1) {
            err << "marlix-sqa-cli simulate: --end " << *o.end << " is after today (UTC)\n";
            return kExitUsage;
        }
        end = *date;
    }
    if (o.seed) {
        const auto seed = ParseUnsigned<std::uint64_t>(*o.seed);
        if (!seed) return usage("--seed wants an unsigned number");
        options.seed = *seed;
    }
    if (o.directory.empty()) return usage("--out DIR is required");
    if (o.live && (o.days || o.end)) return usage("--live writes today: it takes no --days or --end");
    const std::string& directory = o.directory;

    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error) {
        err << "marlix-sqa-cli: cannot create " << directory << ": " << error.message() << '\n';
        return kExitFailure;
    }
    if (o.live) return RunLiveLogger(directory, options, SystemLiveClock(), out, err, o.force);
    if (core::DecodeDate(end - (days - 1)).year < 1) return usage("the days reach before year 1");
    // Every day is checked before the first is written, so that a refusal leaves the folder as it was.
    if (!o.force) {
        for (int i = days - 1; i >= 0; --i) {
            const std::string path = core::DayFilePath(directory, end - i);
            std::error_code ec;
            if (std::filesystem::exists(std::filesystem::symlink_status(path, ec))) {
                err << ExistingFileText(path, "replace") << '\n';
                return kExitFailure;
            }
        }
    }
    // A day appears only whole: it is written to a temporary file that becomes the day's file at the
    // end, so that a day cut short (a full disk, a stop) leaves no short log that would pass for a real
    // one. Without --force, a file that appeared since the check is left alone.
    const auto existing = o.force ? core::AtomicFile::Existing::Replace : core::AtomicFile::Existing::Keep;
    CatchStopSignals();
    for (int i = days - 1; i >= 0; --i) {
        const core::DayTime day = end - i;
        const std::string path = core::DayFilePath(directory, day);
        core::AtomicFile file(path, existing);
        if (!WriteDay(file, day, options)) break;
        if (const auto failure = file.Commit()) {
            err << "marlix-sqa-cli: " << core::WriteFailureText(*failure) << '\n';
            return kExitFailure;
        }
        out << path << '\n';
    }
    out.flush();
    // Stopped, the day begun discarded: end as the signal would have ended the program.
    if (const int signal = stopSignal; signal != 0) {
        ::signal(signal, SIG_DFL);
        ::raise(signal);
    }
    return kExitOk;
}

}  // namespace marlix::cli
