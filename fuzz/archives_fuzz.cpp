// Bytes of an archived log -> its text. The first byte picks the kind (gzip, xz, zstd), the rest is
// the file. Decompressed on the reading thread and on a thread of its own ahead of the reading, the
// file must give the same text and the same end (whole, or the same problem), however the reading
// stops; the text stays within the bound.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "decompression.h"
#include "fuzz_checks.h"

namespace {

using marlix::core::DecompressionEnd;
using marlix::core::LogCompression;

// The text as a length and a hash, so that a large text is not kept.
struct Text {
    std::uint64_t length = 0;
    std::uint64_t hash = 14695981039346656037ULL;
    DecompressionEnd end;
};

template <class DecompressFunction>
Text Read(DecompressFunction decompress, int fd, std::uint64_t size, LogCompression kind,
          std::optional<std::uint64_t> stopAfter) {
    Text text;
    text.end = decompress(fd, size, kind, [&](std::string_view chunk) {
        // Only whole chunks are taken, as the line reader takes them; a stop ends at a chunk.
        for (const char c : chunk) text.hash = (text.hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
        text.length += chunk.size();
        return !stopAfter || text.length < *stopAfter;
    });
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    constexpr LogCompression kKinds[] = {LogCompression::Gzip, LogCompression::Xz, LogCompression::Zstd};
    const LogCompression kind = kKinds[data[0] % 3];
    // The second byte, when odd, stops the reading early, after so many KiB of text.
    const std::optional<std::uint64_t> stopAfter =
        (data[1] & 1) != 0 ? std::optional<std::uint64_t>(std::uint64_t{data[1]} << 10) : std::nullopt;
    const std::uint8_t* file = data + 2;
    const std::size_t fileSize = size - 2;

    const int fd = memfd_create("archive", 0);
    FUZZ_CHECK(fd >= 0);
    FUZZ_CHECK(write(fd, file, fileSize) == static_cast<ssize_t>(fileSize));
    const Text here = Read(marlix::core::Decompress, fd, fileSize, kind, stopAfter);
    const Text ahead = Read(marlix::core::DecompressAhead, fd, fileSize, kind, stopAfter);
    close(fd);

    FUZZ_CHECK(here.end.compressedBytes <= fileSize);
    FUZZ_CHECK(here.length <= marlix::core::kMostDecompressedBytes);
    FUZZ_CHECK(here.end.problem.has_value() == ahead.end.problem.has_value());
    if (here.end.problem) FUZZ_CHECK(!here.end.problem->empty() && *here.end.problem == *ahead.end.problem);
    // The two hand the text over in other cuts, so a reading that stops at a mark stops after it at
    // other lengths; one that never reaches the mark takes the same whole text.
    const bool stoppedHere = stopAfter && here.length >= *stopAfter;
    const bool stoppedAhead = stopAfter && ahead.length >= *stopAfter;
    FUZZ_CHECK(stoppedHere == stoppedAhead);
    if (!stoppedHere) FUZZ_CHECK(here.length == ahead.length && here.hash == ahead.hash);
    return 0;
}
