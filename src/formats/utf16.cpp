#include "formats/utf16.h"

#include <cstdint>

#include "formats/utf8.h"

namespace talvorin::formats {

namespace {

void appendUnit(std::string& out, std::uint32_t unit)
{
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
}

// The code point starting at text[i], advancing i past it; nullopt when the bytes there
// are no UTF-8. Surrogates in their three-byte form are accepted.
std::optional<char32_t> nextCodePoint(std::string_view text, std::size_t& i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    std::size_t length = 0;
    char32_t c = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, c = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, c = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, c = lead & 0x07, least = 0x10000;
    } else {
        return std::nullopt;
    }
    if (text.size() - i < length) return std::nullopt;
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned char next = byte(i + k);
        if ((next & 0xC0) != 0x80) return std::nullopt;
        c = (c << 6) | (next & 0x3F);
    }
    if (c < least || c > 0x10FFFF) return std::nullopt;
    i += length;
    return c;
}

}  // namespace

std::string utf16leToUtf8(std::string_view bytes, Unpaired unpaired)
{
    const std::size_t units = bytes.size() / 2;
    std::string out;
    out.reserve(units);
    appendUtf16AsUtf8(
        out, units,
        [&](std::size_t i) {
            return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[2 * i])) |
                   (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[2 * i + 1])) << 8);
        },
        unpaired == Unpaired::Keep);
    return out;
}

std::optional<std::string> utf8ToUtf16le(std::string_view text)
{
    std::string out;
    out.reserve(text.size() * 2);
    for (std::size_t i = 0; i < text.size();) {
        const auto c = nextCodePoint(text, i);
        if (!c) return std::nullopt;
        if (*c >= 0x10000) {
            appendUnit(out, 0xD800 + ((*c - 0x10000) >> 10));
            appendUnit(out, 0xDC00 + ((*c - 0x10000) & 0x3FF));
        } else {
            appendUnit(out, *c);
        }
    }
    return out;
}

}  // namespace talvorin::formats
