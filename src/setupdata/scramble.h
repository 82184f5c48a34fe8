#pragma once

#include <string>

namespace talvorin::setupdata {

// The key every reader and the writer share. 0x1C keeps ASCII within ASCII, so no code
// page can mangle a stored value, and maps no printable character to NUL, CR or LF.
inline constexpr unsigned char kScrambleKey = 0x1C;

// Every byte XOR the key: its own inverse.
std::string ScrambleText(const std::string& text);

}  // namespace talvorin::setupdata
