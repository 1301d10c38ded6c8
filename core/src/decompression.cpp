#include "decompression.h"

// zlib's input pointer is const in fact; this declares it so.
#define ZLIB_CONST
#include <lzma.h>
#include <unistd.h>
#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "marlix/core/ordered_work.h"

namespace marlix::core {
namespace {

constexpr std::size_t kChunkSize = std::size_t{1} << 17;
// What an xz stream may ask for its dictionary: xz -9 needs 65 MiB; more is no log's archive.
constexpr std::uint64_t kMostXzMemory = std::uint64_t{256} << 20;

// The compressed bytes, read up to the size the file had when it was opened.
class ArchiveInput {
  public:
    ArchiveInput(int fd, std::uint64_t size)
        : fd_(fd), size_(size), buffer_(std::make_unique_for_overwrite<std::uint8_t[]>(kChunkSize)) {}

    // Reads more once everything read was used; false with the reason on a read error.
    bool Refill(std::string& problem) {
        if (left > 0 || offset_ >= size_) return true;
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(kChunkSize, size_ - offset_));
        ssize_t got = 0;
        do {
            got = ::pread(fd_, buffer_.get(), want, static_cast<off_t>(offset_));
        } while (got < 0 && errno == EINTR);
        if (got < 0) {
            problem = std::strerror(errno);
            return false;
        }
        if (got == 0) size_ = offset_;  // the file shrank: its end is here
        offset_ += static_cast<std::uint64_t>(got);
        next = buffer_.get();
        left = static_cast<std::size_t>(got);
        return true;
    }
    bool Ended() const { return left == 0 && offset_ >= size_; }
    std::uint64_t BytesRead() const { return offset_; }

    const std::uint8_t* next = nullptr;
    std::size_t left = 0;

  private:
    int fd_;
    std::uint64_t size_;
    std::uint64_t offset_ = 0;
    std::unique_ptr<std::uint8_t[]> buffer_;
};

// Where the text is decompressed to and from where it is handed over, counted against the bound.
class TextOutput {
  public:
    explicit TextOutput(const std::function<bool(std::string_view)>& take)
        : take_(take), buffer_(std::make_unique_for_overwrite<char[]>(kChunkSize)) {}

    char* Buffer() { return buffer_.get(); }
    // Hands the first `produced` bytes of the buffer over; false when the reading ends here, with the
    // reason when it is the bound.
    bool Hand(std::size_t produced, std::string& problem) {
        if (produced == 0) return true;
        total_ += produced;
        if (total_ > kMostDecompressedBytes) {
            problem = "more than " + std::to_string(kMostDecompressedBytes >> 20) +
                      " MiB when decompressed, far more than a day log holds";
            return false;
        }
        if (!take_(std::string_view(buffer_.get(), produced))) {
            stopped = true;
            return false;
        }
        return true;
    }

    bool stopped = false;  // take asked for no more

  private:
    const std::function<bool(std::string_view)>& take_;
    std::unique_ptr<char[]> buffer_;
    std::uint64_t total_ = 0;
};

// Each reader returns the problem, empty when the text was read whole or until take stopped it.

std::string Gunzip(ArchiveInput& input, TextOutput& output) {
    z_stream stream{};
    if (inflateInit2(&stream, 15 + 16) != Z_OK) return "cannot start gzip decompression";
    const std::unique_ptr<z_stream, int (*)(z_stream*)> end(&stream, inflateEnd);
    std::string problem;
    bool member = true;  // inside a gzip member
    for (;;) {
        if (!input.Refill(problem)) return problem;
        if (!member) {
            // After a member, the file ends or the next member starts.
            if (input.Ended()) return {};
            inflateReset(&stream);
            member = true;
        }
        stream.next_in = input.next;
        stream.avail_in = static_cast<uInt>(input.left);
        stream.next_out = reinterpret_cast<Bytef*>(output.Buffer());
        stream.avail_out = static_cast<uInt>(kChunkSize);
        const int status = inflate(&stream, Z_NO_FLUSH);
        input.next = stream.next_in;
        input.left = stream.avail_in;
        const std::size_t produced = kChunkSize - stream.avail_out;
        if (!output.Hand(produced, problem)) return problem;
        if (status == Z_STREAM_END) {
            member = false;
        } else if (status == Z_OK || status == Z_BUF_ERROR) {
            if (produced == 0 && input.left == 0 && input.Ended()) return "truncated gzip data";
        } else {
            return std::string("corrupt gzip data (") +
                   (stream.msg != nullptr ? stream.msg : "unknown error") + ")";
        }
    }
}

std::string XzProblem(lzma_ret status) {
    switch (status) {
        case LZMA_FORMAT_ERROR:
            return "not in xz format";
        case LZMA_OPTIONS_ERROR:
            return "unsupported xz options";
        case LZMA_DATA_ERROR:
            return "corrupt xz data";
        case LZMA_BUF_ERROR:
            return "truncated xz data";
        case LZMA_MEMLIMIT_ERROR:
            return "xz data needing more than " + std::to_string(kMostXzMemory >> 20) + " MiB to decompress";
        case LZMA_MEM_ERROR:
            return "out of memory";
        default:
            return "xz decompression error " + std::to_string(static_cast<int>(status));
    }
}

std::string Unxz(ArchiveInput& input, TextOutput& output) {
    lzma_stream stream = LZMA_STREAM_INIT;
    // Concatenated: the streams of the file one after the other, and the padding between them.
    const lzma_ret started = lzma_stream_decoder(&stream, kMostXzMemory, LZMA_CONCATENATED);
    if (started != LZMA_OK) return XzProblem(started);
    const std::unique_ptr<lzma_stream, void (*)(lzma_stream*)> end(&stream, lzma_end);
    std::string problem;
    for (;;) {
        if (!input.Refill(problem)) return problem;
        stream.next_in = input.next;
        stream.avail_in = input.left;
        stream.next_out = reinterpret_cast<std::uint8_t*>(output.Buffer());
        stream.avail_out = kChunkSize;
        const lzma_ret status = lzma_code(&stream, input.Ended() ? LZMA_FINISH : LZMA_RUN);
        input.next = stream.next_in;
        input.left = stream.avail_in;
        if (!output.Hand(kChunkSize - stream.avail_out, problem)) return problem;
        if (status == LZMA_STREAM_END) return {};
        if (status != LZMA_OK) return XzProblem(status);
    }
}

std::string Unzstd(ArchiveInput& input, TextOutput& output) {
    const std::unique_ptr<ZSTD_DCtx, std::size_t (*)(ZSTD_DCtx*)> context(ZSTD_createDCtx(), ZSTD_freeDCtx);
    if (!context) return "out of memory";
    std::string problem;
    std::size_t hint = 1;  // 0 once a frame is whole and all of its text handed over
    for (;;) {
        if (!input.Refill(problem)) return problem;
        // Asked again after a frame's end, zstd waits for the next frame instead of saying 0 again.
        if (hint == 0 && input.left == 0 && input.Ended()) return {};
        ZSTD_inBuffer in{input.next, input.left, 0};
        ZSTD_outBuffer out{output.Buffer(), kChunkSize, 0};
        // Frame after frame: a new one starts where the last one ended.
        hint = ZSTD_decompressStream(context.get(), &out, &in);
        if (ZSTD_isError(hint)) return std::string("corrupt zstd data (") + ZSTD_getErrorName(hint) + ")";
        input.next += in.pos;
        input.left -= in.pos;
        if (!output.Hand(out.pos, problem)) return problem;
        // A full buffer may hold back more text of what was read.
        if (input.left == 0 && input.Ended() && out.pos < out.size) {
            return hint == 0 ? std::string() : "truncated zstd data";
        }
    }
}

}  // namespace

DecompressionEnd Decompress(int fd, std::uint64_t size, LogCompression kind,
                            const std::function<bool(std::string_view text)>& take) {
    ArchiveInput input(fd, size);
    TextOutput output(take);
    std::string problem;
    switch (kind) {
        case LogCompression::Gzip:
            problem = Gunzip(input, output);
            break;
        case LogCompression::Xz:
            problem = Unxz(input, output);
            break;
        case LogCompression::Zstd:
            problem = Unzstd(input, output);
            break;
        case LogCompression::None:
            problem = "not an archive";
            break;
    }
    DecompressionEnd result;
    result.compressedBytes = input.BytesRead();
    if (!problem.empty()) result.problem = std::move(problem);
    return result;
}

namespace {

// Large enough that handing a block over costs nothing beside reading it, small enough that the
// blocks ahead stay a few MiB and that a block's records fit the room an archive's run has.
constexpr std::size_t kAheadBlockSize = std::size_t{1} << 19;
constexpr std::size_t kAheadBlocks = 4;

// Blocks of text on their way from the decompressing thread to the reading one. The reader may
// refuse further blocks; the decompressor then stops at its next block.
class TextBlocks {
  public:
    // False when the reader refused further text.
    bool Push(std::string&& block) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return blocks_.size() < kAheadBlocks || refused_; });
        if (refused_) return false;
        blocks_.push_back(std::move(block));
        changed_.notify_all();
        return true;
    }
    void End(DecompressionEnd end) {
        const std::lock_guard lock(mutex_);
        end_ = std::move(end);
        ended_ = true;
        changed_.notify_all();
    }
    // The next block; nothing once the decompressor ended and every block was taken.
    std::optional<std::string> Pop() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !blocks_.empty() || ended_; });
        if (blocks_.empty()) return std::nullopt;
        std::string block = std::move(blocks_.front());
        blocks_.pop_front();
        changed_.notify_all();
        return block;
    }
    void Refuse() {
        const std::lock_guard lock(mutex_);
        refused_ = true;
        changed_.notify_all();
    }
    // Blocks go round, so that their memory is allocated once.
    std::string Spare() {
        const std::lock_guard lock(mutex_);
        std::string block;
        if (!spare_.empty()) {
            block = std::move(spare_.back());
            spare_.pop_back();
        }
        block.clear();
        block.reserve(kAheadBlockSize + kChunkSize);
        return block;
    }
    void GiveBack(std::string&& block) {
        const std::lock_guard lock(mutex_);
        spare_.push_back(std::move(block));
    }
    DecompressionEnd TakeEnd() { return std::move(end_); }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> blocks_;
    std::vector<std::string> spare_;
    DecompressionEnd end_;
    bool ended_ = false;
    bool refused_ = false;
};

}  // namespace

DecompressionEnd DecompressAhead(int fd, std::uint64_t size, LogCompression kind,
                                 const std::function<bool(std::string_view text)>& take) {
    TextBlocks blocks;
    const auto decompress = [&] {
        DecompressionEnd end;
        try {
            std::string block = blocks.Spare();
            end = Decompress(fd, size, kind, [&](std::string_view text) {
                block.append(text);
                return block.size() < kAheadBlockSize || blocks.Push(std::exchange(block, blocks.Spare()));
            });
            if (!block.empty()) blocks.Push(std::move(block));
        } catch (...) {
            blocks.End({});
            throw;
        }
        blocks.End(std::move(end));
    };
    bool stopped = false;  // take wanted no more text
    const auto read = [&] {
        try {
            while (std::optional<std::string> block = blocks.Pop()) {
                stopped = !take(*block);
                blocks.GiveBack(std::move(*block));
                if (stopped) break;
            }
        } catch (...) {
            blocks.Refuse();
            throw;
        }
        blocks.Refuse();
    };
    if (!RunBeside(decompress, read)) return Decompress(fd, size, kind, take);
    DecompressionEnd end = blocks.TakeEnd();
    // The decompression may have gone on past where the reading stopped, and found damage there: text
    // that was not asked for is no problem, as it is none to Decompress, which stops with the reading.
    if (stopped) end.problem.reset();
    return end;
}

}  // namespace marlix::core
