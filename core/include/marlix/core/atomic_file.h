#pragma once

// Writing a file whole or not at all. The bytes go to a temporary file in the target's folder, which
// is synced, closed and renamed over the target only once all of them are written: a reader sees the
// old file or the new one, never a part, and a failure leaves the old file as it was and no temporary
// file behind.
//
// A path that is a symbolic link stays one: the file at the end of the link chain (each relative link
// read from its own folder) is replaced, or created when the chain ends nowhere.
// A new file gets the mode any new file gets there (umask, the folder's default ACL); a replaced file
// keeps its permission bits.

#include <optional>
#include <string>
#include <string_view>

namespace marlix::core {

struct WriteFailure {
    std::string file;    // the path as the caller gave it
    std::string reason;  // the system's words, such as "No space left on device"
};

// "cannot write FILE: REASON", the one wording of a write failure wherever it is shown.
std::string WriteFailureText(const WriteFailure& failure);

// Streams a file of any size. The temporary file is named "." + the target's name + "." + six
// characters: hidden, and without the target's ending, so that nothing that lists the folder (a
// textfile collector's *.prom, the day logs' names) takes it for the file.
class AtomicFile {
  public:
    enum class Existing {
        Replace,  // an existing target is replaced
        Keep,     // an existing target, even one that appears while writing, is left alone: "File exists"
    };

    explicit AtomicFile(std::string path, Existing existing = Existing::Replace);
    // Without a successful Commit, removes the temporary file; the target stays as it was.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Appends the bytes (buffered). Returns false once any step has failed; later writes are ignored,
    // so that a caller may check only Commit.
    bool Write(std::string_view bytes);

    // Writes what is buffered, syncs and closes the temporary file, renames it over the target and
    // syncs the folder. Returns the first failure since the file was opened, or nothing when the
    // target now holds exactly the bytes written.
    [[nodiscard]] std::optional<WriteFailure> Commit();

  private:
    void Open();
    bool WriteOut(std::string_view bytes);
    void Fail(std::string reason);
    void FailWith(int error);
    void Discard();

    std::string path_;
    std::string target_;  // the end of the link chain
    std::string temporary_;
    Existing existing_;
    int fd_ = -1;
    std::string buffer_;
    std::optional<WriteFailure> failure_;
    bool committed_ = false;
};

// The whole file in one call, as AtomicFile writes it.
[[nodiscard]] std::optional<WriteFailure> WriteFileAtomically(const std::string& path,
                                                              std::string_view bytes);

}  // namespace marlix::core
