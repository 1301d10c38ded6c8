#pragma once

// The text of an archived log (.gz, .xz, .zst), decompressed in chunks as the file is read, so that a
// day never has to be held whole in memory.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "marlix/core/log_files.h"

namespace marlix::core {

// Far more text than any day log holds (a day of once-a-second records is under 20 MB). An archive
// that decompresses to more is refused: a small damaged or hostile file must not keep a reading
// thread busy, nor fill memory with records, for minutes.
inline constexpr std::uint64_t kMostDecompressedBytes = std::uint64_t{256} << 20;

struct DecompressionEnd {
    std::uint64_t compressedBytes = 0;   // read from the file
    std::optional<std::string> problem;  // why the text is not whole; nothing when it is
};

// Decompresses the first `size` bytes of the file open at fd and hands the text to take in chunks;
// take returning false ends the reading there. Every stream of the file is read one after the
// other, as a rotation tool that appends to an archive leaves several.
DecompressionEnd Decompress(int fd, std::uint64_t size, LogCompression kind,
                            const std::function<bool(std::string_view text)>& take);

// As Decompress, with the decompression on a thread of its own, a few blocks of text ahead of take:
// a day is decompressed and read on two cores at once. take runs on the calling thread.
DecompressionEnd DecompressAhead(int fd, std::uint64_t size, LogCompression kind,
                                 const std::function<bool(std::string_view text)>& take);

}  // namespace marlix::core
