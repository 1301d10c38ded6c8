#include "piece_reading.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <utility>

#include "decompression.h"
#include "line_reduction.h"
#include "marlix/core/line_reader.h"
#include "marlix/core/log_files.h"
#include "marlix/core/ordered_work.h"

namespace marlix::core {
namespace {

// A piece is about this much of a file. Small enough that two cores share a day evenly and that the
// records waiting to be aggregated stay few; large enough that a piece's fixed costs do not count.
constexpr std::uint64_t kPieceSize = std::uint64_t{1} << 19;
// Reads small enough that the bytes copied in are still in the core's cache when they are split.
constexpr std::size_t kReadSize = std::size_t{1} << 17;
constexpr std::uint64_t kProgressStep = std::uint64_t{4} << 20;
// Pieces reduced ahead of the one being aggregated, per worker.
constexpr std::size_t kPiecesAheadPerWorker = 2;
// An archived day's records are kept in runs of about this many (a MiB), each in a buffer made
// large enough once: one buffer grown to a whole day would be copied and page-faulted again at
// every doubling, which costs more than reducing the day.
constexpr std::size_t kArchiveRunRecords = std::size_t{1} << 15;

LoadFailure Failure(const std::string& path, int error) {
    return {path, std::strerror(error), false};
}

class FileDescriptor {
  public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }

  private:
    int fd_ = -1;
};

// A log file open for reading with its size at the opening, or why it cannot be read.
struct OpenedLogFile {
    FileDescriptor fd;
    std::uint64_t size = 0;
    std::optional<LoadFailure> failure;
};

// The one way a log file is opened. Non-blocking, so that a FIFO given as a log is opened at once and
// then refused instead of waiting for a writer; on a regular file the flag changes nothing.
OpenedLogFile OpenLogFile(const std::string& path) {
    OpenedLogFile file;
    file.fd = FileDescriptor(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat info {};
    if (file.fd.Get() < 0 || ::fstat(file.fd.Get(), &info) != 0) {
        file.failure = Failure(path, errno);
    } else if (S_ISDIR(info.st_mode)) {
        // A directory, FIFO, socket or device is no log: reading it could block or never end.
        file.failure = Failure(path, EISDIR);
    } else if (!S_ISREG(info.st_mode)) {
        file.failure = LoadFailure{path, "Not a regular file", false};
    } else {
        file.size = static_cast<std::uint64_t>(info.st_size);
    }
    return file;
}

struct PlannedFile {
    std::string path;
    FileDescriptor fd;
    std::optional<std::string_view> bytes;  // a text held in memory instead of a file
    std::optional<LoadFailure> failure;     // reported when the reading reaches this file
    TextEncoding encoding = TextEncoding::Ansi;
    LogCompression compression = LogCompression::None;
    std::uint64_t size = 0;  // of the file as it lies, compressed or not
};

// The lines of a piece are those that start at a byte in [begin, end) of the file. A line starts at
// 0 and after every LF, whatever the encoding of a file that can be cut (ANSI or UTF-8, where an LF
// byte is always a line ending and the decoder holds nothing after it); other line starts (after a
// lone CR) stay inside the piece that holds the LF before them. The last piece of a file ends at the
// size the file had when the reading began, and nothing past it is read: what a logger appends
// meanwhile is read by the next load, and a load of a growing file ends. A line cut there is the
// file's last line.
struct Piece {
    std::size_t file = 0;
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
};

// What a piece's results are kept in. Those of an aggregated piece go back to the reading threads:
// fresh ones would be page-faulted for every piece.
struct PieceBuffers {
    std::vector<LineRecord> records;
    SatelliteLists satelliteLists;  // only with the satellite levels
};

struct ReducedPiece : PieceBuffers {
    // Of an archive: the records reduced before `records` (with their satellite lists), in order.
    std::vector<PieceBuffers> earlierRuns;
    std::int64_t lines = 0;
    std::uint64_t bytes = 0;  // bytes handed to the line reader
    bool textEnded = false;   // the file's text ended within this piece (a NUL, or the end came early)
    std::optional<LoadFailure> failure;
};

// Not a LineSink: the reader is compiled for this type, so each line is reduced inside its loop.
template <bool kSatellites>
class RecordSink {
  public:
    explicit RecordSink(ReducedPiece& piece) : piece_(piece) {}
    MARLIX_ALWAYS_INLINE void AddLine(std::string_view line) {
        ++piece_.lines;
        const LineRecord record = Reduce(line);
        if (record.kind != RecordKind::None) piece_.records.push_back(record);
    }

  private:
    MARLIX_ALWAYS_INLINE LineRecord Reduce(std::string_view line) {
        if constexpr (kSatellites) {
            return ReduceLine(line, memo_, piece_.satelliteLists);
        } else {
            return ReduceLine(line, memo_);
        }
    }

    ReducedPiece& piece_;
    ReductionMemo memo_;
};

// pread that retries on EINTR; the byte count, or -1 with errno set.
ssize_t ReadAt(int fd, char* buffer, std::size_t size, std::uint64_t offset) {
    for (;;) {
        const ssize_t got = ::pread(fd, buffer, size, static_cast<off_t>(offset));
        if (got >= 0 || errno != EINTR) return got;
    }
}

ssize_t ReadAt(const PlannedFile& file, char* buffer, std::size_t size, std::uint64_t offset) {
    if (!file.bytes) return ReadAt(file.fd.Get(), buffer, size, offset);
    if (offset >= file.bytes->size()) return 0;
    const std::size_t n = std::min(size, file.bytes->size() - static_cast<std::size_t>(offset));
    std::memcpy(buffer, file.bytes->data() + offset, n);
    return static_cast<ssize_t>(n);
}

std::optional<std::uint64_t> FirstLineStart(const PlannedFile& file, const Piece& piece, char* buffer,
                                            ReducedPiece& result) {
    std::uint64_t pos = piece.begin - 1;
    // Lines are short: a small read nearly always holds the LF, and only a long line reads more.
    std::size_t readSize = 4096;
    while (pos + 1 < piece.end) {
        // Only an LF before the piece's end starts a line in it.
        const ssize_t got = ReadAt(
            file, buffer, static_cast<std::size_t>(std::min<std::uint64_t>(readSize, piece.end - pos)), pos);
        readSize = std::min(readSize * 4, kReadSize);
        if (got < 0) {
            result.failure = Failure(file.path, errno);
            return std::nullopt;
        }
        if (got == 0) {
            result.textEnded = true;  // the file is shorter than when the load began
            return std::nullopt;
        }
        const auto* lf = static_cast<const char*>(std::memchr(buffer, '\n', static_cast<std::size_t>(got)));
        if (lf != nullptr) {
            const std::uint64_t start = pos + static_cast<std::uint64_t>(lf - buffer) + 1;
            return start < piece.end ? std::optional(start) : std::nullopt;
        }
        pos += static_cast<std::uint64_t>(got);
    }
    return std::nullopt;
}

template <bool kSatellites>
ReducedPiece ReducePiece(const PlannedFile& file, const Piece& piece, PieceBuffers buffers) {
    ReducedPiece result;
    static_cast<PieceBuffers&>(result) = std::move(buffers);
    result.records.clear();
    result.satelliteLists.words.clear();
    // One read buffer per thread, not per piece: a fresh megabyte would be page-faulted every time.
    thread_local const std::unique_ptr<char[]> buffer = std::make_unique_for_overwrite<char[]>(kReadSize);
    // The file's mark was read when the load began. Reading past it with the encoding given, rather
    // than letting the reader look for the mark, leaves nothing held back in the reader when a first
    // piece of a few bytes ends.
    std::uint64_t pos = MarkLength(file.encoding);
    if (piece.begin > 0) {
        const auto start = FirstLineStart(file, piece, buffer.get(), result);
        if (!start) return result;
        pos = *start;
    }
    const bool lastPiece = piece.end == file.size;
    if (!lastPiece) result.records.reserve(static_cast<std::size_t>((piece.end - piece.begin) / 32));
    LineReader reader(file.encoding);
    RecordSink<kSatellites> sink(result);
    for (;;) {
        const std::uint64_t left = file.size > pos ? file.size - pos : 0;
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(kReadSize, left));
        const ssize_t got = want == 0 ? 0 : ReadAt(file, buffer.get(), want, pos);
        if (got < 0) {
            result.failure = Failure(file.path, errno);
            return result;
        }
        if (got == 0) {
            reader.Finish(sink);
            // A piece before the last meeting the end: the file shrank, or its text has no LF after
            // here. Either way the later pieces hold nothing of this reading.
            result.textEnded = !lastPiece;
            return result;
        }
        std::string_view chunk(buffer.get(), static_cast<std::size_t>(got));
        bool last = false;
        if (!lastPiece && pos + chunk.size() >= piece.end) {
            // The piece ends at the first line start at or after its end.
            const std::size_t from = pos + 1 >= piece.end ? 0 : static_cast<std::size_t>(piece.end - 1 - pos);
            const std::size_t lf = chunk.find('\n', from);
            if (lf != std::string_view::npos) {
                chunk = chunk.substr(0, lf + 1);
                last = true;
            }
        }
        reader.Feed(chunk, sink);
        result.bytes += chunk.size();
        pos += chunk.size();
        if (reader.Ended()) {
            result.textEnded = true;
            return result;
        }
        if (last) return result;
    }
}

// An archived log is one piece, reduced on one thread: its text cannot be entered in the middle. Other
// files' pieces, and other days, keep the other threads busy meanwhile; when there are none, the text
// is decompressed ahead of its reading on a thread of its own.
template <bool kSatellites>
ReducedPiece ReduceArchive(const PlannedFile& file, PieceBuffers buffers, bool decompressAhead) {
    ReducedPiece result;
    static_cast<PieceBuffers&>(result) = std::move(buffers);
    result.records.clear();
    result.satelliteLists.words.clear();
    const auto makeRoom = [](PieceBuffers& run) {
        run.records.reserve(2 * kArchiveRunRecords);
        if (kSatellites) run.satelliteLists.words.reserve(4 * kArchiveRunRecords);
    };
    makeRoom(result);
    LineReader reader;  // finds the mark at the start of the text itself
    RecordSink<kSatellites> sink(result);
    const auto read = [&](std::string_view text) {
        reader.Feed(text, sink);
        // Between two feeds the records and their lists end on a line: a run ends here.
        if (result.records.size() >= kArchiveRunRecords) {
            result.earlierRuns.push_back(std::move(static_cast<PieceBuffers&>(result)));
            static_cast<PieceBuffers&>(result) = {};
            makeRoom(result);
        }
        return !reader.Ended();
    };
    const DecompressionEnd end = decompressAhead
                                     ? DecompressAhead(file.fd.Get(), file.size, file.compression, read)
                                     : Decompress(file.fd.Get(), file.size, file.compression, read);
    if (end.problem) {
        result.failure = LoadFailure{file.path, *end.problem, false};
        return result;
    }
    reader.Finish(sink);
    result.bytes = end.compressedBytes;
    return result;
}

template <bool kSatellites>
ReducedPiece ReduceFilePiece(const PlannedFile& file, const Piece& piece, PieceBuffers buffers,
                             bool decompressAhead) {
    if (file.compression != LogCompression::None)
        return ReduceArchive<kSatellites>(file, std::move(buffers), decompressAhead);
    return ReducePiece<kSatellites>(file, piece, std::move(buffers));
}

// Opens every file of the load at once, so that the pieces of all of them can be shared out; a file
// that cannot be read keeps its failure until the reading reaches it.
PlannedFile PlanFile(const std::string& path) {
    OpenedLogFile opened = OpenLogFile(path);
    PlannedFile file;
    file.path = path;
    file.fd = std::move(opened.fd);
    file.size = opened.size;
    file.failure = std::move(opened.failure);
    if (file.failure) return file;
    file.compression = CompressionOfName(path);
    if (file.compression != LogCompression::None) return file;
    char head[3];
    const ssize_t got = ReadAt(file.fd.Get(), head,
                               static_cast<std::size_t>(std::min<std::uint64_t>(sizeof head, file.size)), 0);
    if (got < 0) {
        file.failure = Failure(path, errno);
        return file;
    }
    file.encoding = EncodingOfMark(std::string_view(head, static_cast<std::size_t>(got)));
    return file;
}

void AddPieces(const PlannedFile& file, std::size_t index, std::uint64_t pieceSize,
               std::vector<Piece>& pieces) {
    // UTF-16 would need its line ends found on code units; such logs are rare and read in one piece.
    const bool canCut = (file.encoding == TextEncoding::Ansi || file.encoding == TextEncoding::Utf8) &&
                        file.compression == LogCompression::None;
    const std::uint64_t count =
        canCut && !file.failure ? std::max<std::uint64_t>(1, (file.size + pieceSize - 1) / pieceSize) : 1;
    for (std::uint64_t i = 0; i < count; ++i) {
        pieces.push_back({index, i * pieceSize, i + 1 == count ? file.size : (i + 1) * pieceSize});
    }
}

}  // namespace

namespace {

std::optional<LoadFailure> ReducePlannedFiles(std::vector<PlannedFile>& files, std::uint64_t pieceSize,
                                              const LoadOptions& options,
                                              const std::function<void(const ReducedLines&)>& aggregate) {
    std::vector<Piece> pieces;
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        AddPieces(files[i], i, pieceSize, pieces);
        total += files[i].size;
    }

    std::uint64_t done = 0;
    std::uint64_t nextReport = kProgressStep;
    std::optional<LoadFailure> failure;
    std::size_t endedFile = std::numeric_limits<std::size_t>::max();  // the file whose text a NUL ended
    const unsigned workers = options.threads == 0 ? DefaultWorkerCount() : options.threads;
    // Cores that no piece keeps busy decompress archived days ahead of their reading.
    const bool decompressAhead = pieces.size() < workers;
    // Record buffers of aggregated pieces go back to the reading threads: fresh ones would be
    // page-faulted for every piece. There are never more than the pieces in flight.
    std::mutex spareMutex;
    std::vector<PieceBuffers> spare;
    RunInOrder<ReducedPiece>(
        pieces.size(), workers, kPiecesAheadPerWorker * workers,
        [&](std::size_t i) {
            const Piece& piece = pieces[i];
            const PlannedFile& file = files[piece.file];
            if (file.failure) return ReducedPiece{};
            PieceBuffers buffers;
            {
                const std::lock_guard lock(spareMutex);
                if (!spare.empty()) {
                    buffers = std::move(spare.back());
                    spare.pop_back();
                }
            }
            return options.satellites
                       ? ReduceFilePiece<true>(file, piece, std::move(buffers), decompressAhead)
                       : ReduceFilePiece<false>(file, piece, std::move(buffers), decompressAhead);
        },
        [&](std::size_t i, JobOutcome<ReducedPiece>&& outcome) {
            if (outcome.error) std::rethrow_exception(outcome.error);
            const Piece& piece = pieces[i];
            const PlannedFile& file = files[piece.file];
            if (file.failure) {
                failure = file.failure;
                return false;
            }
            if (piece.file == endedFile) return true;
            ReducedPiece& reduced = *outcome.value;
            if (reduced.failure) {
                failure = std::move(reduced.failure);
                return false;
            }
            for (const PieceBuffers& run : reduced.earlierRuns) {
                aggregate({run.records, 0, total, options.satellites ? &run.satelliteLists : nullptr});
            }
            aggregate({reduced.records, reduced.lines, total,
                       options.satellites ? &reduced.satelliteLists : nullptr});
            {
                const std::lock_guard lock(spareMutex);
                spare.push_back(std::move(static_cast<PieceBuffers&>(reduced)));
            }
            if (reduced.textEnded) endedFile = piece.file;
            done += reduced.bytes;
            if (options.progress && done >= nextReport) {
                nextReport = done + kProgressStep;
                if (!options.progress(done, std::max(done, total))) {
                    failure = LoadFailure{file.path, "cancelled", true};
                    return false;
                }
            }
            return true;
        });
    if (failure) return failure;
    if (options.progress && !options.progress(done, std::max(done, total))) {
        return LoadFailure{files.empty() ? std::string() : files.back().path, "cancelled", true};
    }
    return std::nullopt;
}

}  // namespace

std::optional<LoadFailure> ReduceLogFiles(const std::vector<std::string>& paths, const LoadOptions& options,
                                          const std::function<void(const ReducedLines&)>& aggregate) {
    std::vector<PlannedFile> files;
    files.reserve(paths.size());
    for (const std::string& path : paths) files.push_back(PlanFile(path));
    return ReducePlannedFiles(files, kPieceSize, options, aggregate);
}

void ReduceTexts(const std::vector<std::string_view>& texts, std::uint64_t pieceSize, unsigned threads,
                 bool withSatellites, const std::function<void(const ReducedLines&)>& aggregate) {
    std::vector<PlannedFile> files(texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        files[i].bytes = texts[i];
        files[i].size = texts[i].size();
        files[i].encoding = EncodingOfMark(texts[i].substr(0, 3));
    }
    LoadOptions options;
    options.threads = threads;
    options.satellites = withSatellites;
    ReducePlannedFiles(files, std::max<std::uint64_t>(pieceSize, 1), options, aggregate);
}

}  // namespace marlix::core
