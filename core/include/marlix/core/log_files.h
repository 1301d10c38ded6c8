#pragma once

// Finding the day log files of a load and the order in which they are read.

#include <string>
#include <vector>

namespace marlix::core {

// Case-insensitive order of file names (ASCII letters folded); names equal but for case keep a
// fixed order by their bytes.
bool FileNameLess(const std::string& a, const std::string& b);

// The order in which the files of a list are read: one name as it is, several sorted.
std::vector<std::string> ReadingOrder(std::vector<std::string> fileList);

}  // namespace marlix::core
