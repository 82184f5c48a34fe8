#include "formats/one_line.h"

namespace talvorin::formats {

namespace {

// Bytes of the control character that starts at text[i], or 0.
std::size_t controlAt(std::string_view text, std::size_t i, TextEncoding encoding)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    if (byte(i) < 0x20 || byte(i) == 0x7F) return 1;
    if (encoding != TextEncoding::Utf8) return 0;
    if (byte(i) == 0xC2 && i + 1 < text.size() && byte(i + 1) >= 0x80 && byte(i + 1) <= 0x9F) return 2;
    if (byte(i) == 0xE2 && i + 2 < text.size() && byte(i + 1) == 0x80 && (byte(i + 2) == 0xA8 || byte(i + 2) == 0xA9))
        return 3;
    return 0;
}

}  // namespace

std::string oneLine(std::string_view text, TextEncoding encoding)
{
    std::string out;
    out.reserve(text.size());
    std::size_t kept = 0;  // out's length up to its last character that was not replaced
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t control = controlAt(text, i, encoding);
        if (control == 0) {
            out += text[i++];
            kept = out.size();
        } else {
            out += ' ';
            i += control;
        }
    }
    out.resize(kept);
    return out;
}

}  // namespace talvorin::formats
