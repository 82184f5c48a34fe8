#pragma once

#include <string>
#include <string_view>

namespace talvorin::formats {

enum class TextEncoding {
    Utf8,        // the Linux build's text
    SingleByte,  // an ANSI code page: 80 to 9F are printable there, or unassigned
};

// Text that comes from outside the program (a server's or driver's message, the system's
// reason for a failure) made fit to stand in one line of the log, of standard error or of
// the terminal: every control character (C0, DEL and, in UTF-8, C1 and the Unicode line and
// paragraph separators) becomes one blank, so that the text can neither start a line of its
// own nor send a terminal a command. Blanks made so at the end are dropped (the system's
// reasons end with CR LF). Bytes that are no valid UTF-8 are left as they are.
std::string oneLine(std::string_view text, TextEncoding encoding);

}  // namespace talvorin::formats
