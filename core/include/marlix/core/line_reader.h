#pragma once

// Splits a log file's bytes into lines, fed in chunks of any size. The encoding follows the byte-order
// mark: UTF-8, UTF-16LE or UTF-16BE; without one the bytes pass through as they are. Lines end at
// CR, LF or CR LF (LF then CR is two endings), a NUL ends the text, a last line without an ending
// counts and an ending at the very end adds no empty line.
//
// Each line is handed over with one byte per character of the decoded text: ASCII characters as
// themselves and every other UTF-16 code unit as the byte 0xFF. Only ASCII characters take part in
// record recognition, so this keeps the character positions of the fields exact without decoding.
//
// A line longer than kKeptLineLength characters (a damaged file can hold hundreds of megabytes without
// an ending) is handed over as its first kKeptLineLength characters, followed by a NUL and the word for
// each of kLineWords found anywhere in the rest. Every record reads its fields well inside the kept
// part and the Fix, Mode record looks for those words anywhere in its line, so the result is the same
// as for the whole line while memory stays bounded; the line still counts as one.

#include <cstdint>
#include <string>
#include <string_view>

namespace marlix::core {

class LineSink {
  public:
    virtual void AddLine(std::string_view line) = 0;

  protected:
    ~LineSink() = default;
};

enum class TextEncoding { Unknown, Ansi, Utf8, Utf16LE, Utf16BE };

inline constexpr char kNonAsciiCharacter = '\xFF';
inline constexpr std::size_t kKeptLineLength = 4096;
inline constexpr std::string_view kLineWords[] = {"2D", "3D", "Coarse", "Fine", "Control"};

// The encoding that a file's first three bytes (or all of a shorter file) announce.
TextEncoding EncodingOfMark(std::string_view firstBytes);
inline std::size_t MarkLength(TextEncoding encoding) {
    return encoding == TextEncoding::Utf8 ? 3 : encoding == TextEncoding::Ansi ? 0 : 2;
}

class LineReader {
  public:
    LineReader() = default;
    // Reads text that continues a file of that encoding from the start of a line: no mark is looked for.
    explicit LineReader(TextEncoding encoding) : encoding_(encoding) {}

    void Feed(std::string_view bytes, LineSink& sink);
    // Ends the file: hands over a last line without an ending.
    void Finish(LineSink& sink);

    TextEncoding Encoding() const { return encoding_; }
    // A NUL ended the text (or Finish was called): nothing more is read.
    bool Ended() const { return ended_; }

  private:
    void Decode(std::string_view bytes, LineSink& sink);
    void DecodeUtf8(std::string_view bytes, LineSink& sink);
    void DecodeUtf16(std::string_view bytes, LineSink& sink);
    void Split(std::string_view text, LineSink& sink);
    void AppendToLine(std::string_view text);
    void EndLine(std::string_view rest, LineSink& sink);

    TextEncoding encoding_ = TextEncoding::Unknown;
    std::string head_;     // first bytes until the byte-order mark can be told
    std::string partial_;  // a line that continues in the next chunk
    std::string decoded_;  // reused buffer of decoded characters
    // Past kKeptLineLength: the last characters seen (a word may span two pieces) and the words found.
    bool overlong_ = false;
    std::string overlongTail_;
    unsigned wordsFound_ = 0;
    bool skipLf_ = false;  // the last character was a CR, so an LF right after it belongs to it
    bool ended_ = false;   // a NUL was seen
    // Decoder carry between chunks.
    int oddByte_ = -1;     // UTF-16: first byte of a split code unit
    int utf8Pending_ = 0;  // UTF-8: continuation bytes still expected
    int utf8Units_ = 0;    // UTF-8: code units of the sequence being read
};

}  // namespace marlix::core
