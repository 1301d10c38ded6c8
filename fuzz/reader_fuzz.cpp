// Bytes -> lines. The same bytes fed whole and fed in small pieces must give the same lines (every
// mark, code unit and ending can be split), and no line may hold an ending.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_checks.h"
#include "marlix/core/line_reader.h"

namespace {

using marlix::core::LineReader;
using marlix::core::LineSink;
using marlix::core::TextEncoding;

class CollectingSink final : public LineSink {
  public:
    void AddLine(std::string_view line) override { lines.emplace_back(line); }
    std::vector<std::string> lines;
};

struct Reading {
    std::vector<std::string> lines;
    TextEncoding encoding;
};

Reading ReadInPieces(std::string_view bytes, std::size_t piece) {
    CollectingSink sink;
    LineReader reader;
    for (std::size_t i = 0; i < bytes.size(); i += piece) reader.Feed(bytes.substr(i, piece), sink);
    reader.Finish(sink);
    return {std::move(sink.lines), reader.Encoding()};
}

std::size_t LongestMarkedLine() {
    std::size_t length = marlix::core::kKeptLineLength;
    for (const std::string_view word : marlix::core::kLineWords) length += 1 + word.size();
    return length;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const Reading whole = ReadInPieces(bytes, bytes.size() + 1);
    // The piece size comes from the input so that the fuzzer can steer where the cuts fall.
    const std::size_t piece = size == 0 ? 1 : 1 + data[size - 1] % 7;
    const Reading pieces = ReadInPieces(bytes, piece);
    FUZZ_CHECK(whole.lines == pieces.lines);
    FUZZ_CHECK(whole.encoding == pieces.encoding);
    FUZZ_CHECK(whole.lines.size() <= size);

    const bool decoded = whole.encoding == TextEncoding::Utf8 || whole.encoding == TextEncoding::Utf16LE ||
                         whole.encoding == TextEncoding::Utf16BE;
    for (const std::string& line : whole.lines) {
        FUZZ_CHECK(line.size() <= LongestMarkedLine());
        for (std::size_t i = 0; i < line.size(); ++i) {
            const char c = line[i];
            FUZZ_CHECK(c != '\r' && c != '\n');
            // A NUL only separates the words kept from an overlong line.
            FUZZ_CHECK(c != '\0' || i >= marlix::core::kKeptLineLength);
            if (decoded)
                FUZZ_CHECK(static_cast<unsigned char>(c) < 0x80 || c == marlix::core::kNonAsciiCharacter);
        }
    }
    return 0;
}
