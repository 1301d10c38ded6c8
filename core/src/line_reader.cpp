#include "marlix/core/line_reader.h"

#include <algorithm>
#include <cstring>

namespace marlix::core {
namespace {

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

bool LineReader::TakeMark(std::string_view& bytes, std::string_view* held) {
    // Three bytes tell every byte-order mark apart; only those few are held back.
    const std::size_t taken = std::min(bytes.size(), 3 - head_.size());
    head_.append(bytes.substr(0, taken));
    bytes.remove_prefix(taken);
    if (head_.size() < 3) return false;
    encoding_ = EncodingOfMark(head_);
    *held = std::string_view(head_).substr(MarkLength(encoding_));
    return true;
}

std::string_view LineReader::DecodeRest() {
    if (encoding_ == TextEncoding::Unknown) {
        // Shorter than three bytes: a two-byte UTF-16 mark alone, or plain text.
        encoding_ = EncodingOfMark(head_);
        return encoding_ == TextEncoding::Ansi ? std::string_view(head_) : std::string_view();
    }
    // An unfinished UTF-8 sequence at the end still stands for one character.
    if (encoding_ == TextEncoding::Utf8 && utf8Pending_ > 0 && !ended_) {
        utf8Pending_ = 0;
        decoded_.assign(1, kNonAsciiCharacter);
        return decoded_;
    }
    return {};
}

std::string_view LineReader::Decode(std::string_view bytes) {
    switch (encoding_) {
        case TextEncoding::Utf8:
            return DecodeUtf8(bytes);
        case TextEncoding::Utf16LE:
        case TextEncoding::Utf16BE:
            return DecodeUtf16(bytes);
        default:
            return bytes;
    }
}

std::string_view LineReader::DecodeUtf8(std::string_view bytes) {
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
    return decoded_;
}

std::string_view LineReader::DecodeUtf16(std::string_view bytes) {
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
    return decoded_;
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

std::string_view LineReader::EndLine(std::string_view rest) {
    AppendToLine(rest);
    if (overlong_) {
        for (std::size_t w = 0; w < std::size(kLineWords); ++w) {
            if ((wordsFound_ & (1u << w)) == 0) continue;
            partial_ += '\0';
            partial_.append(kLineWords[w]);
        }
    }
    finished_.swap(partial_);
    partial_.clear();
    overlong_ = false;
    overlongTail_.clear();
    wordsFound_ = 0;
    return finished_;
}

}  // namespace marlix::core
