#include "marlix/core/log_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace marlix::core {
namespace {

constexpr std::size_t kChunkSize = std::size_t{1} << 20;
constexpr std::uint64_t kProgressStep = std::uint64_t{4} << 20;

char FoldCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

class OpenFile {
  public:
    // Non-blocking, so that a FIFO given as a log is opened at once and then refused instead of
    // waiting for a writer; on a regular file the flag changes nothing.
    explicit OpenFile(const std::string& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)) {}
    ~OpenFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int Descriptor() const { return fd_; }

  private:
    int fd_;
};

std::uint64_t TotalSize(const std::vector<std::string>& paths) {
    std::uint64_t total = 0;
    for (const std::string& path : paths) {
        struct stat info {};
        if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))
            total += static_cast<std::uint64_t>(info.st_size);
    }
    return total;
}

LoadFailure Failure(const std::string& path, int error) {
    return {path, std::strerror(error), false};
}

// A directory, FIFO, socket or device is no log: reading it could block or never end.
std::optional<LoadFailure> CheckRegularFile(const std::string& path, int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return Failure(path, errno);
    if (S_ISDIR(info.st_mode)) return Failure(path, EISDIR);
    if (!S_ISREG(info.st_mode)) return LoadFailure{path, "Not a regular file", false};
    return std::nullopt;
}

}  // namespace

bool FileNameLess(const std::string& a, const std::string& b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(FoldCase(a[i]));
        const auto y = static_cast<unsigned char>(FoldCase(b[i]));
        if (x != y) return x < y;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

std::vector<std::string> ReadingOrder(std::vector<std::string> fileList) {
    if (fileList.size() > 1) std::sort(fileList.begin(), fileList.end(), FileNameLess);
    return fileList;
}

std::optional<LoadFailure> ReadLogFiles(const std::vector<std::string>& paths, LineSink& sink,
                                        const LoadOptions& options) {
    const std::uint64_t total = options.progress ? TotalSize(paths) : 0;
    std::uint64_t done = 0;
    std::uint64_t nextReport = kProgressStep;
    const auto buffer = std::make_unique<char[]>(kChunkSize);
    for (const std::string& path : paths) {
        const OpenFile file(path);
        if (file.Descriptor() < 0) return Failure(path, errno);
        if (auto failure = CheckRegularFile(path, file.Descriptor())) return failure;
        LineReader reader;
        for (;;) {
            const ssize_t got = ::read(file.Descriptor(), buffer.get(), kChunkSize);
            if (got < 0) {
                if (errno == EINTR) continue;
                return Failure(path, errno);
            }
            if (got == 0) break;
            reader.Feed(std::string_view(buffer.get(), static_cast<std::size_t>(got)), sink);
            done += static_cast<std::uint64_t>(got);
            if (options.progress && done >= nextReport) {
                nextReport = done + kProgressStep;
                if (!options.progress(done, std::max(done, total)))
                    return LoadFailure{path, "cancelled", true};
            }
        }
        reader.Finish(sink);
    }
    if (options.progress && !options.progress(done, std::max(done, total))) {
        return LoadFailure{paths.empty() ? std::string() : paths.back(), "cancelled", true};
    }
    return std::nullopt;
}

}  // namespace marlix::core
