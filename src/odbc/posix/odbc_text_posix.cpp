// The program's text is UTF-8 on Linux.
#include "odbc/odbc_text.h"

#include <cstdint>

#include "formats/utf8.h"

namespace talvorin::odbc {

namespace {

// Length of the UTF-8 sequence starting at text[i] and its code point; 0 when the bytes
// there are no valid, shortest-form sequence.
std::size_t decodeUtf8(const std::string& text, std::size_t i, char32_t& codePoint)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        value = (value << 6) | (byte(i + k) & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    codePoint = value;
    return length;
}

}  // namespace

OdbcText toOdbcText(const std::string& text)
{
    OdbcText out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = 0;
        std::size_t length = decodeUtf8(text, i, c);
        if (length == 0) {
            c = static_cast<unsigned char>(text[i]);
            length = 1;
        }
        i += length;
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<SQLWCHAR>(0xD800 + (c >> 10)));
            out.push_back(static_cast<SQLWCHAR>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<SQLWCHAR>(c));
        }
    }
    return out;
}

std::string fromOdbcText(const SQLWCHAR* text, std::size_t length)
{
    std::string out;
    out.reserve(length);
    formats::appendUtf16AsUtf8(out, length, [&](std::size_t i) { return std::uint32_t{text[i]}; });
    return out;
}

bool driverManagerNarrowsConnectionStrings() { return true; }

}  // namespace talvorin::odbc
