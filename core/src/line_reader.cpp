#include "marlix/core/line_reader.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace marlix::core {
namespace {

// Index of the first CR, LF or NUL, or size when there is none. This scan is most of the reading
// time, so it looks at 16 bytes at a time where SSE2 exists (every x86-64) and 8 elsewhere.
std::size_t FindLineEnd(const char* p, std::size_t size) {
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

char CharacterOfCodeUnit(unsigned unit) {
    return unit < 0x80 ? static_cast<char>(unit) : kNonAsciiCharacter;
}

}  // namespace

TextEncoding EncodingOfMark(std::string_view firstBytes) {
    if (firstBytes.size() >= 3 && firstBytes.substr(0, 3) == "\xEF\xBB\xBF") return TextEncoding::Utf8;
    if (firstBytes.size() >= 2 && firstBytes.substr(0, 2) == "\xFF\xFE") return TextEncoding::Utf16LE;
    if (firstBytes.size() >= 2 && firstBytes.substr(0, 2) == "\xFE\xFF") return TextEncoding::Utf16BE;
    return TextEncoding::Ansi;
}

void LineReader::Feed(std::string_view bytes, LineSink& sink) {
    if (ended_ || bytes.empty()) return;
    if (encoding_ != TextEncoding::Unknown) {
        Decode(bytes, sink);
        return;
    }
    // Three bytes tell every byte-order mark apart; only those few are held back.
    const std::size_t taken = std::min(bytes.size(), 3 - head_.size());
    head_.append(bytes.substr(0, taken));
    bytes.remove_prefix(taken);
    if (head_.size() < 3) return;
    const std::string_view head = head_;
    encoding_ = EncodingOfMark(head);
    const std::size_t markLength = MarkLength(encoding_);
    Decode(head.substr(markLength), sink);
    head_.clear();
    Decode(bytes, sink);
}

void LineReader::Finish(LineSink& sink) {
    if (encoding_ == TextEncoding::Unknown) {
        // Shorter than three bytes: a two-byte UTF-16 mark alone, or plain text.
        const std::string_view head = head_;
        encoding_ = EncodingOfMark(head);
        if (encoding_ == TextEncoding::Ansi) Decode(head, sink);
        head_.clear();
    }
    // An unfinished UTF-8 sequence at the end still stands for one character.
    if (encoding_ == TextEncoding::Utf8 && utf8Pending_ > 0 && !ended_) {
        utf8Pending_ = 0;
        const char c = kNonAsciiCharacter;
        Split(std::string_view(&c, 1), sink);
    }
    if (!partial_.empty()) EndLine({}, sink);
    ended_ = true;
}

void LineReader::Decode(std::string_view bytes, LineSink& sink) {
    switch (encoding_) {
        case TextEncoding::Utf8:
            DecodeUtf8(bytes, sink);
            break;
        case TextEncoding::Utf16LE:
        case TextEncoding::Utf16BE:
            DecodeUtf16(bytes, sink);
            break;
        default:
            Split(bytes, sink);
            break;
    }
}

void LineReader::DecodeUtf8(std::string_view bytes, LineSink& sink) {
    decoded_.clear();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (utf8Pending_ > 0) {
            if ((b & 0xC0) == 0x80) {
                if (--utf8Pending_ == 0)
                    decoded_.append(static_cast<std::size_t>(utf8Units_), kNonAsciiCharacter);
                continue;
            }
            // A broken sequence stands for one replacement character; this byte starts afresh.
            utf8Pending_ = 0;
            decoded_ += kNonAsciiCharacter;
        }
        if (b < 0x80) {
            decoded_ += c;
        } else if (b >= 0xC2 && b <= 0xDF) {
            utf8Pending_ = 1;
            utf8Units_ = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            utf8Pending_ = 2;
            utf8Units_ = 1;
        } else if (b >= 0xF0 && b <= 0xF4) {
            utf8Pending_ = 3;
            utf8Units_ = 2;  // a surrogate pair
        } else {
            decoded_ += kNonAsciiCharacter;
        }
    }
    Split(decoded_, sink);
}

void LineReader::DecodeUtf16(std::string_view bytes, LineSink& sink) {
    decoded_.clear();
    const bool bigEndian = encoding_ == TextEncoding::Utf16BE;
    std::size_t i = 0;
    const auto unitOf = [bigEndian](unsigned first, unsigned second) {
        return bigEndian ? (first << 8 | second) : (second << 8 | first);
    };
    if (oddByte_ >= 0 && !bytes.empty()) {
        decoded_ += CharacterOfCodeUnit(
            unitOf(static_cast<unsigned>(oddByte_), static_cast<unsigned char>(bytes[0])));
        oddByte_ = -1;
        i = 1;
    }
    for (; i + 1 < bytes.size(); i += 2) {
        decoded_ += CharacterOfCodeUnit(
            unitOf(static_cast<unsigned char>(bytes[i]), static_cast<unsigned char>(bytes[i + 1])));
    }
    if (i < bytes.size()) oddByte_ = static_cast<unsigned char>(bytes[i]);
    Split(decoded_, sink);
}

void LineReader::Split(std::string_view text, LineSink& sink) {
    const char* p = text.data();
    std::size_t size = text.size();
    while (size > 0 && !ended_) {
        if (skipLf_) {
            skipLf_ = false;
            if (*p == '\n') {
                ++p;
                --size;
                continue;
            }
        }
        const std::size_t end = FindLineEnd(p, size);
        if (end == size) {
            AppendToLine(std::string_view(p, size));
            return;
        }
        const std::string_view line(p, end);
        if (partial_.empty() && line.size() <= kKeptLineLength) {
            if (p[end] != '\0' || !line.empty()) sink.AddLine(line);
        } else {
            EndLine(line, sink);
        }
        if (p[end] == '\0') {
            ended_ = true;
            return;
        }
        skipLf_ = p[end] == '\r';
        p += end + 1;
        size -= end + 1;
    }
}

void LineReader::AppendToLine(std::string_view text) {
    if (!overlong_) {
        const std::size_t room = kKeptLineLength - partial_.size();
        if (text.size() <= room) {
            partial_.append(text);
            return;
        }
        partial_.append(text.substr(0, room));
        text.remove_prefix(room);
        overlong_ = true;
        overlongTail_ = partial_;
    }
    // Any word that spans the previous piece and this one starts in the kept tail.
    constexpr std::size_t kTailLength = 6;  // the longest word less one
    const std::size_t joinedLength = std::min(text.size(), kTailLength);
    overlongTail_.append(text.substr(0, joinedLength));
    for (std::size_t w = 0; w < std::size(kLineWords); ++w) {
        if (overlongTail_.find(kLineWords[w]) != std::string::npos ||
            text.find(kLineWords[w]) != std::string_view::npos) {
            wordsFound_ |= 1u << w;
        }
    }
    if (text.size() > joinedLength) overlongTail_.assign(text.substr(text.size() - joinedLength));
    if (overlongTail_.size() > kTailLength) overlongTail_.erase(0, overlongTail_.size() - kTailLength);
}

void LineReader::EndLine(std::string_view rest, LineSink& sink) {
    AppendToLine(rest);
    if (overlong_) {
        for (std::size_t w = 0; w < std::size(kLineWords); ++w) {
            if ((wordsFound_ & (1u << w)) == 0) continue;
            partial_ += '\0';
            partial_.append(kLineWords[w]);
        }
    }
    sink.AddLine(partial_);
    partial_.clear();
    overlong_ = false;
    overlongTail_.clear();
    wordsFound_ = 0;
}

}  // namespace marlix::core
