#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace talvorin::platform {

// The program's own command line split into its arguments, the program's name first, by
// the rules installers have always relied on for this program: blanks and control
// characters separate; a double quote starts a part that runs to the next double quote,
// blanks included; the quotes themselves are dropped; a backslash is an ordinary
// character. So "C:\Program Files\Velmora\" stays one argument with its final backslash,
// where the C runtime's rules would take \" for a quote.
std::vector<std::string> splitProgramCommandLine(std::string_view commandLine);

}  // namespace talvorin::platform
