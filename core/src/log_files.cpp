#include "marlix/core/log_files.h"

#include <algorithm>
#include <iterator>

namespace marlix::core {
namespace {

char FoldCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
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

LogCompression CompressionOfName(std::string_view name) {
    constexpr LogCompression kinds[] = {LogCompression::Gzip, LogCompression::Xz, LogCompression::Zstd};
    static_assert(std::size(kinds) == std::size(kArchiveSuffixes));
    for (std::size_t i = 0; i < std::size(kinds); ++i) {
        if (name.ends_with(kArchiveSuffixes[i])) return kinds[i];
    }
    return LogCompression::None;
}

}  // namespace marlix::core
