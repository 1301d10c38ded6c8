#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <ostream>

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

core::DayTime YesterdayUtc() {
    const double today = std::floor(core::DayTimeFromUnixSeconds(static_cast<double>(std::time(nullptr))));
    return today - 1;
}

bool WriteFile(const std::string& path, const std::string& bytes, std::string& reason) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
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

}  // namespace

int RunSimulate(const Arguments& args, std::ostream& out, std::ostream& err) {
    std::optional<std::string> directory;
    int days = 1;
    core::DayTime end = YesterdayUtc();
    core::SimulationOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--control") {
            options.controlFormat = true;
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
            const auto n = ParseUnsigned<int>(value);
            if (!n || *n < 1 || *n > kMaxDays) return Usage(err, "--days wants a number from 1 to 3660");
            days = *n;
        } else if (arg == "--end") {
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

    std::error_code error;
    std::filesystem::create_directories(*directory, error);
    if (error) {
        err << "marlix-sqa-cli: cannot create " << *directory << ": " << error.message() << '\n';
        return kExitFailure;
    }
    const std::string prefix = directory->back() == '/' ? *directory : *directory + '/';
    for (int i = days - 1; i >= 0; --i) {
        const core::DayTime day = end - i;
        if (core::DecodeDate(day).year < 1) return Usage(err, "the days reach before year 1");
        const std::string path = prefix + core::DayFileName(day);
        std::string reason;
        if (!WriteFile(path, core::SimulateDay(day, options), reason)) {
            err << "marlix-sqa-cli: cannot write " << path << ": " << reason << '\n';
            return kExitFailure;
        }
        out << path << '\n';
    }
    out.flush();
    return kExitOk;
}

}  // namespace marlix::cli
