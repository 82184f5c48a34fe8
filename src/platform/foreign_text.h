#pragma once

#include <string>
#include <string_view>

#include "formats/one_line.h"

namespace talvorin::platform {

// The encoding of this build's text: UTF-8 on Linux, the ANSI code page on Windows.
#ifdef _WIN32
inline constexpr formats::TextEncoding kProgramTextEncoding = formats::TextEncoding::SingleByte;
#else
inline constexpr formats::TextEncoding kProgramTextEncoding = formats::TextEncoding::Utf8;
#endif

// A text from outside the program (a server's, a driver's or the system's) as one line of
// this build's text; see formats::oneLine.
inline std::string foreignLine(std::string_view text) { return formats::oneLine(text, kProgramTextEncoding); }

}  // namespace talvorin::platform
