#pragma once

#include <string>
#include <string_view>

namespace talvorin::formats {

// 8-bit text of the Windows code page 1252 (Western European) as UTF-8, byte for byte as
// MultiByteToWideChar maps it: the five bytes the code page leaves unassigned (81, 8D, 8F,
// 90, 9D) become the control characters of the same number.
std::string cp1252ToUtf8(std::string_view text);

}  // namespace talvorin::formats
