#pragma once

#include <optional>
#include <string>

namespace talvorin::testing {

// The program's text for a text a test writes in UTF-8: the same bytes on POSIX, the bytes
// of the ANSI code page on Windows (the program uses the system's "A" functions there).
// nullopt when the code page has no byte for one of its characters.
std::optional<std::string> programText(const std::string& utf8);

}  // namespace talvorin::testing
