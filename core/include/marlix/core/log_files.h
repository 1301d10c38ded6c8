#pragma once

// Finding the day log files of a load, the order in which they are read, and how an archived log
// is compressed.

#include <string>
#include <string_view>
#include <vector>

namespace marlix::core {

// Case-insensitive order of file names (ASCII letters folded); names equal but for case keep a
// fixed order by their bytes.
bool FileNameLess(const std::string& a, const std::string& b);

// The order in which the files of a list are read: one name as it is, several sorted.
std::vector<std::string> ReadingOrder(std::vector<std::string> fileList);

// How a log file is compressed, told by its name: rotation tools keep old days as .gz, .xz or .zst.
enum class LogCompression { None, Gzip, Xz, Zstd };
LogCompression CompressionOfName(std::string_view name);
// The name endings of the archived forms, in the order in which they are looked for.
inline constexpr std::string_view kArchiveSuffixes[] = {".gz", ".xz", ".zst"};

}  // namespace marlix::core
