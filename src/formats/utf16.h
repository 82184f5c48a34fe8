#pragma once

#include <optional>
#include <string>
#include <string_view>

// UTF-16LE bytes, as Windows keeps Unicode files, and the UTF-8 text of the Linux build.
namespace talvorin::formats {

// What a surrogate without its partner becomes in UTF-8.
enum class Unpaired {
    Replace,  // U+FFFD: text to show or compare
    Keep,     // its own three-byte form, which utf8ToUtf16le turns back into the same unit,
              // so a file read and written again keeps every unit it had
};

// UTF-16LE bytes (no byte-order mark) as UTF-8. An odd last byte belongs to no character
// and is left out.
std::string utf16leToUtf8(std::string_view bytes, Unpaired unpaired = Unpaired::Replace);

// UTF-8 text as UTF-16LE bytes, the three-byte forms of surrogates included; nullopt when
// the text is not UTF-8 (a stray byte, a cut or overlong sequence, a code point beyond
// U+10FFFF), so nothing is written that would not read back as the same text.
std::optional<std::string> utf8ToUtf16le(std::string_view text);

}  // namespace talvorin::formats
