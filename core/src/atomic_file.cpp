#include "marlix/core/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace marlix::core {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kBufferSize = std::size_t{1} << 16;
constexpr int kMaxLinks = 40;  // as the kernel's own limit on a path's links
constexpr int kNameAttempts = 100;

// The file the path finally names: links followed, a relative one from the folder that holds it.
// A path that cannot be examined is returned as it is, for the write to report why.
fs::path EndOfLinks(const fs::path& path, int& error) {
    fs::path current = path;
    for (int hops = 0; hops <= kMaxLinks; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(current, ec))) return current;
        const fs::path link = fs::read_symlink(current, ec);
        if (ec) return current;
        current = link.is_absolute() ? link : current.parent_path() / link;
    }
    error = ELOOP;
    return current;
}

// Six characters that differ between calls and processes; O_EXCL makes the name unique.
std::string NameSuffix() {
    static std::atomic<std::uint64_t> counter{0};
    std::uint64_t z =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        (static_cast<std::uint64_t>(::getpid()) << 32) ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    static constexpr char kCharacters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string suffix;
    for (int i = 0; i < 6; ++i, z /= 62) suffix += kCharacters[z % 62];
    return suffix;
}

// Where the rename is on disk, so that a crash after Commit cannot bring back the old file. Best
// effort: the new file is already whole and in place, and some file systems cannot sync a folder.
void SyncFolder(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

fs::path FolderOf(const fs::path& file) {
    return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

}  // namespace

std::string WriteFailureText(const WriteFailure& failure) {
    return "cannot write " + failure.file + ": " + failure.reason;
}

AtomicFile::AtomicFile(std::string path, Existing existing) : path_(std::move(path)), existing_(existing) {
    Open();
}

void AtomicFile::Open() {
    int linkError = 0;
    const fs::path target = EndOfLinks(path_, linkError);
    target_ = target.string();
    if (linkError != 0) return FailWith(linkError);

    struct stat info {};
    const bool exists = ::stat(target_.c_str(), &info) == 0;
    if (exists && existing_ == Existing::Keep) return FailWith(EEXIST);
    // Renaming over a device or a FIFO would replace the node itself, not write to it.
    if (exists && S_ISDIR(info.st_mode)) return FailWith(EISDIR);
    if (exists && !S_ISREG(info.st_mode)) return Fail("Not a regular file");

    const fs::path folder = FolderOf(target);
    for (int attempt = 0; attempt < kNameAttempts && fd_ < 0; ++attempt) {
        std::string name = target.filename().string();
        name.insert(0, 1, '.');
        name += '.';
        name += NameSuffix();
        temporary_ = (folder / name).string();
        fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd_ < 0 && errno != EEXIST && errno != EINTR) break;
    }
    if (fd_ < 0) {
        const int error = errno;
        temporary_.clear();
        return FailWith(error);
    }
    if (exists && ::fchmod(fd_, info.st_mode & 0777) != 0) return FailWith(errno);
}

AtomicFile::~AtomicFile() {
    if (!committed_) Discard();
}

bool AtomicFile::Write(std::string_view bytes) {
    if (failure_) return false;
    if (buffer_.size() + bytes.size() < kBufferSize) {
        buffer_.append(bytes);
        return true;
    }
    if (!WriteOut(buffer_)) return false;
    buffer_.clear();
    return WriteOut(bytes);
}

std::optional<WriteFailure> AtomicFile::Commit() {
    if (failure_ || committed_) return failure_;
    if (!WriteOut(buffer_)) return failure_;
    buffer_.clear();
    if (::fsync(fd_) != 0) {
        FailWith(errno);
        return failure_;
    }
    const int fd = fd_;
    fd_ = -1;
    // Linux releases the descriptor even when close reports EINTR; the data is synced by then.
    if (::close(fd) != 0 && errno != EINTR) {
        FailWith(errno);
        return failure_;
    }
    const int renamed = existing_ == Existing::Keep ? ::renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD,
                                                                  target_.c_str(), RENAME_NOREPLACE)
                                                    : ::rename(temporary_.c_str(), target_.c_str());
    if (renamed != 0) {
        FailWith(errno);
        return failure_;
    }
    committed_ = true;
    SyncFolder(FolderOf(target_));
    return std::nullopt;
}

bool AtomicFile::WriteOut(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        // A write that makes no progress on a regular file has run out of room.
        if (written <= 0) {
            FailWith(written < 0 ? errno : ENOSPC);
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

void AtomicFile::Fail(std::string reason) {
    if (!failure_) failure_ = WriteFailure{path_, std::move(reason)};
    Discard();
}

void AtomicFile::FailWith(int error) {
    Fail(std::strerror(error));
}

void AtomicFile::Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
    buffer_.clear();
}

std::optional<WriteFailure> WriteFileAtomically(const std::string& path, std::string_view bytes) {
    AtomicFile file(path);
    file.Write(bytes);
    return file.Commit();
}

}  // namespace marlix::core
