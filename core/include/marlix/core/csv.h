#pragma once

// Comma-separated values as RFC 4180 has them: a field is quoted when it holds a comma, a quote or a
// line break, quotes inside are doubled, and every record ends in CR LF.

#include <span>
#include <string>
#include <string_view>

namespace marlix::core {

inline std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

inline std::string CsvRecord(std::span<const std::string> fields) {
    std::string record;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) record += ',';
        record += CsvField(fields[i]);
    }
    record += "\r\n";
    return record;
}

}  // namespace marlix::core
