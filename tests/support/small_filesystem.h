#pragma once

// A small file system of its own (a tmpfs), to see what the programs do when the disk is full, and
// folders mounted read-only in the same place.
// It is mounted in a mount namespace private to the calling thread, so that it is visible to that
// thread and the programs it starts but never to the machine, and it vanishes with the process
// should a test die. Mounting needs the privilege to do so (root in CI); without it, Problem() says
// why and the test skips.

#include <fcntl.h>
#include <sched.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

namespace marlix::test {

class SmallFileSystem {
  public:
    explicit SmallFileSystem(const std::string& size) {
        char folder[] = "/tmp/marlix_small_fs_XXXXXX";
        if (::mkdtemp(folder) == nullptr) {
            problem_ = Why("cannot make a mount point");
            return;
        }
        path_ = folder;
        previousNamespace_ = ::open("/proc/thread-self/ns/mnt", O_RDONLY | O_CLOEXEC);
        if (previousNamespace_ < 0 || ::unshare(CLONE_NEWNS) != 0) {
            problem_ = Why("cannot have a mount namespace of its own");
            return;
        }
        // Private, so that the mount below does not reach the namespace the test came from.
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            problem_ = Why("cannot make the mounts private");
            return;
        }
        if (::mount("tmpfs", path_.c_str(), "tmpfs", 0, ("size=" + size).c_str()) != 0) {
            problem_ = Why("cannot mount a tmpfs");
            return;
        }
        mounted_ = true;
    }
    ~SmallFileSystem() {
        if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
        if (previousNamespace_ >= 0) {
            ::setns(previousNamespace_, CLONE_NEWNS);
            ::close(previousNamespace_);
        }
        if (!path_.empty()) ::rmdir(path_.c_str());
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    // Empty once mounted; otherwise the reason to skip.
    const std::string& Problem() const { return problem_; }
    const std::filesystem::path& Path() const { return path_; }

    // Mounts a folder read-only over itself, in the same namespace, so that every write there fails,
    // root's too. Empty when done; otherwise why not.
    std::string BindReadOnly(const std::filesystem::path& folder) const {
        if (!mounted_) return problem_;
        const std::string path = folder.string();
        if (::mount(path.c_str(), path.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
            ::mount(nullptr, path.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
            return Why("cannot mount " + path + " read-only");
        return {};
    }

    // Takes all the room that is left with a file named "filler", so that the next byte written fails.
    void Fill() const {
        const std::string filler = (path_ / "filler").string();
        const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd < 0) return;
        const std::string block(4096, 'f');
        while (::write(fd, block.data(), block.size()) > 0) {
        }
        while (::write(fd, block.data(), 1) > 0) {
        }
        ::close(fd);
    }

  private:
    static std::string Why(const std::string& what) {
        return "no small file system to fill: " + what + " (" + std::strerror(errno) + ")";
    }

    std::filesystem::path path_;
    std::string problem_;
    int previousNamespace_ = -1;
    bool mounted_ = false;
};

}  // namespace marlix::test
