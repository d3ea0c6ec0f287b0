// UTF-8 decoding shared by the string classes and the format engine (internal to Foundation).
//
// One reading of bytes for everything: a byte that does not start a well-formed sequence (a stray
// continuation byte, a truncated sequence, an overlong form, a surrogate, a value above U+10FFFF)
// is one U+FFFD, and reading goes on at the next byte. NSString stores its text in that reading, so
// lengths, indexes, searches and the regular-expression engine all count the same characters.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace foundation_detail {

// The length (1 to 4) of the well-formed sequence that starts at `i`; 0 when the byte there starts
// none.
inline size_t sequenceLengthAt(std::string_view s, size_t i) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char c = byte(i);
    if (c < 0x80) {
        return 1;
    }
    size_t extra;
    char32_t cp;
    char32_t min;
    if ((c & 0xE0) == 0xC0) {
        extra = 1;
        cp = c & 0x1F;
        min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        extra = 2;
        cp = c & 0x0F;
        min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        extra = 3;
        cp = c & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (s.size() - i <= extra) {
        return 0;
    }
    for (size_t k = 1; k <= extra; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) {
        return 0;
    }
    return extra + 1;
}

// Decodes one code point at `i` and steps past it; a malformed byte decodes as U+FFFD, one byte each.
inline char32_t decodeAt(std::string_view s, size_t& i) {
    size_t n = sequenceLengthAt(s, i);
    auto byte = [&](size_t k) { return static_cast<char32_t>(static_cast<unsigned char>(s[k])); };
    switch (n) {
    case 1:
        return byte(i++);
    case 2:
        i += 2;
        return ((byte(i - 2) & 0x1F) << 6) | (byte(i - 1) & 0x3F);
    case 3:
        i += 3;
        return ((byte(i - 3) & 0x0F) << 12) | ((byte(i - 2) & 0x3F) << 6) | (byte(i - 1) & 0x3F);
    case 4:
        i += 4;
        return ((byte(i - 4) & 0x07) << 18) | ((byte(i - 3) & 0x3F) << 12) | ((byte(i - 2) & 0x3F) << 6) |
               (byte(i - 1) & 0x3F);
    default:
        ++i;
        return 0xFFFD;
    }
}

// The text with every malformed byte replaced by U+FFFD (the text itself when it is well formed).
inline std::string wellFormedUTF8(std::string s) {
    size_t i = 0;
    while (i < s.size()) {
        if (static_cast<unsigned char>(s[i]) < 0x80) {
            ++i;
            continue;
        }
        size_t n = sequenceLengthAt(s, i);
        if (n == 0) {
            break;
        }
        i += n;
    }
    if (i == s.size()) {
        return s;
    }
    std::string out(s, 0, i);
    out.reserve(s.size() + 16);
    while (i < s.size()) {
        size_t n = sequenceLengthAt(s, i);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(s, i, n);
            i += n;
        }
    }
    return out;
}

} // namespace foundation_detail
