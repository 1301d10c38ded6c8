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
#include <cstring>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The few functions of the per-line loop that must be compiled into it: a call would save and
// restore registers for every line.
#if defined(__GNUC__)
#define MARLIX_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define MARLIX_ALWAYS_INLINE inline
#endif

namespace marlix::core {

// Any type with AddLine(std::string_view) can take the lines; the reader is a template on it so that a
// final sink's handling of a line is compiled into the splitting loop.
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

#if defined(__SSE2__)
// The bytes up to 13 among the 64 bytes at p, as bits: CR, LF and NUL among them, and the rare other
// control characters, which the caller passes over.
inline std::uint64_t LineEndingCandidateBits(const char* p) {
    const __m128i highest = _mm_set1_epi8('\r');
    std::uint64_t bits = 0;
    for (int i = 0; i < 4; ++i) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
        const __m128i hits = _mm_cmpeq_epi8(_mm_min_epu8(bytes, highest), bytes);
        bits |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(hits))) << (16 * i);
    }
    return bits;
}
#endif

// Index of the first CR, LF or NUL, or size when there is none. This scan is a large part of the
// reading time, so it looks at 16 bytes at a time where SSE2 exists (every x86-64) and 8 elsewhere.
inline std::size_t FindLineEnd(const char* p, std::size_t size) {
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i nul = _mm_setzero_si128();
    for (; i + 16 <= size; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, lf), _mm_cmpeq_epi8(bytes, cr)),
                                          _mm_cmpeq_epi8(bytes, nul));
        const int mask = _mm_movemask_epi8(hits);
        if (mask != 0) return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
    }
#else
    // All three are below 14, so a word without any byte below 14 is skipped whole.
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        if (((word - kOnes * 14) & ~word & kHighBits) != 0) break;
    }
#endif
    for (; i < size; ++i) {
        const char c = p[i];
        if (c == '\n' || c == '\r' || c == '\0') return i;
    }
    return size;
}

// A line handed over off the quick loop (one that continued from the last chunk, a long one, the last
// of a chunk or of the text): a call, so that the quick loop holds the only inlined copy of what a
// sink compiled into the reader does with a line, and that copy stays small enough to be compiled
// well. Without SSE2 every line comes this way.
template <class Sink>
[[gnu::noinline]] void AddLineOffPath(Sink& sink, std::string_view line) {
    sink.AddLine(line);
}

class LineReader {
  public:
    LineReader() = default;
    // Reads text that continues a file of that encoding from the start of a line: no mark is looked for.
    explicit LineReader(TextEncoding encoding) : encoding_(encoding) {}

    template <class Sink>
    void Feed(std::string_view bytes, Sink& sink);
    // Ends the file: hands over a last line without an ending.
    template <class Sink>
    void Finish(Sink& sink);

    TextEncoding Encoding() const { return encoding_; }
    // A NUL ended the text (or Finish was called): nothing more is read.
    bool Ended() const { return ended_; }

  private:
    // Takes bytes towards the byte-order mark; true once the encoding is known, with the text after
    // the mark that was held back in *held.
    bool TakeMark(std::string_view& bytes, std::string_view* held);
    // The characters of the bytes: the bytes themselves, or the decoded buffer.
    std::string_view Decode(std::string_view bytes);
    std::string_view DecodeUtf8(std::string_view bytes);
    std::string_view DecodeUtf16(std::string_view bytes);
    // The end of the text: what the reader still holds, as characters.
    std::string_view DecodeRest();
    template <class Sink>
    void Split(std::string_view text, Sink& sink);
    // Hands over the line from p to its ending at stop and moves p to the start of the next line.
    template <class Sink>
    MARLIX_ALWAYS_INLINE void HandLine(const char*& p, const char* stop, const char* end, Sink& sink);
    // Moves p past the ending at stop; false when a CR ends the text, whose LF may begin the next chunk.
    MARLIX_ALWAYS_INLINE bool PassEnding(const char*& p, const char* stop, const char* end);
    void AppendToLine(std::string_view text);
    // Completes the line that continued from earlier chunks; it stays valid until the next call.
    std::string_view EndLine(std::string_view rest);

    TextEncoding encoding_ = TextEncoding::Unknown;
    std::string head_;      // first bytes until the byte-order mark can be told
    std::string partial_;   // a line that continues in the next chunk
    std::string finished_;  // the last such line completed, while the sink reads it
    std::string decoded_;   // reused buffer of decoded characters
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

template <class Sink>
void LineReader::Feed(std::string_view bytes, Sink& sink) {
    if (ended_ || bytes.empty()) return;
    if (encoding_ == TextEncoding::Unknown) {
        std::string_view held;
        if (!TakeMark(bytes, &held)) return;
        // head_ keeps the held characters until they are split.
        Split(Decode(held), sink);
        head_.clear();
    }
    Split(Decode(bytes), sink);
}

template <class Sink>
void LineReader::Finish(Sink& sink) {
    const std::string_view rest = DecodeRest();
    if (!rest.empty()) Split(rest, sink);
    head_.clear();
    if (!partial_.empty()) AddLineOffPath(sink, EndLine({}));
    ended_ = true;
}

template <class Sink>
MARLIX_ALWAYS_INLINE void LineReader::HandLine(const char*& p, const char* stop, const char* end,
                                               Sink& sink) {
    const auto length = static_cast<std::size_t>(stop - p);
    const char ending = *stop;
    if (partial_.empty() && length <= kKeptLineLength) [[likely]] {
        if (ending != '\0' || length != 0) AddLineOffPath(sink, std::string_view(p, length));
    } else {
        AddLineOffPath(sink, EndLine(std::string_view(p, length)));
    }
    if (ending == '\0') {
        ended_ = true;
        return;
    }
    PassEnding(p, stop, end);
}

inline bool LineReader::PassEnding(const char*& p, const char* stop, const char* end) {
    p = stop + 1;
    if (*stop != '\r') return true;
    // The LF of a CR LF is taken here, or by the next chunk when the CR ends this one.
    if (p == end) {
        skipLf_ = true;
        return false;
    }
    if (*p == '\n') ++p;
    return true;
}

template <class Sink>
void LineReader::Split(std::string_view text, Sink& sink) {
    const char* p = text.data();
    const char* const end = p + text.size();
    if (p == end || ended_) return;
    if (skipLf_) {
        skipLf_ = false;
        if (*p == '\n') ++p;
    }
    // A first line that continues the last chunk's takes the general way; after it no line is held,
    // which the quick way below relies on.
    if (!partial_.empty() && p != end) {
        const std::size_t length = FindLineEnd(p, static_cast<std::size_t>(end - p));
        if (p + length == end) {
            AppendToLine(std::string_view(p, length));
            return;
        }
        HandLine(p, p + length, end, sink);
        if (ended_ || skipLf_) return;
    }
#if defined(__SSE2__)
    if (end - p >= 64) {
        // Lines are short: rather than scan from each line start, take the candidates for line
        // endings in 64 bytes at a time as bits, which spares a mispredicted loop exit per line.
        const char* block = p;
        std::uint64_t endings = LineEndingCandidateBits(block);
        for (;;) {
            while (endings == 0) {
                block += 64;
                if (end - block < 64) break;
                endings = LineEndingCandidateBits(block);
                if (p > block) endings &= ~std::uint64_t{0} << (p - block);
            }
            if (endings == 0) break;
            const char* const stop = block + __builtin_ctzll(endings);
            const char ending = *stop;
            if (ending == '\r' || ending == '\n') [[likely]] {
                const auto length = static_cast<std::size_t>(stop - p);
                if (length <= kKeptLineLength) [[likely]] {
                    sink.AddLine(std::string_view(p, length));
                } else {
                    AddLineOffPath(sink, EndLine(std::string_view(p, length)));
                }
                if (!PassEnding(p, stop, end)) return;
            } else if (ending != '\0') {
                endings &= endings - 1;  // a tab or another control character inside the line
                continue;
            } else {
                HandLine(p, stop, end, sink);
                return;
            }
            const std::ptrdiff_t taken = p - block;
            endings = taken >= 64 ? 0 : endings & (~std::uint64_t{0} << taken);
        }
    }
#endif
    while (p != end && !ended_ && !skipLf_) {
        const std::size_t length = FindLineEnd(p, static_cast<std::size_t>(end - p));
        const char* const stop = p + length;
        if (stop == end) {
            AppendToLine(std::string_view(p, length));
            return;
        }
        HandLine(p, stop, end, sink);
    }
}

}  // namespace marlix::core
