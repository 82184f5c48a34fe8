#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace talvorin::formats {

// Appends one code point as UTF-8, the text encoding of the Linux build.
inline void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Appends `count` UTF-16 code units as UTF-8, `unitAt(i)` giving the i-th; a surrogate
// that is not part of a pair becomes U+FFFD, or, with keepUnpaired, its own three-byte
// form (so that a text read and written back keeps every unit it had).
template <typename UnitAt>
void appendUtf16AsUtf8(std::string& out, std::size_t count, UnitAt unitAt, bool keepUnpaired = false)
{
    const auto high = [](std::uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; };
    const auto low = [](std::uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; };
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t u = unitAt(i);
        if (high(u) && i + 1 < count && low(unitAt(i + 1))) {
            appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (unitAt(i + 1) - 0xDC00));
            ++i;
        } else if ((high(u) || low(u)) && !keepUnpaired) {
            appendUtf8(out, 0xFFFD);
        } else {
            appendUtf8(out, u);
        }
    }
}

}  // namespace talvorin::formats
