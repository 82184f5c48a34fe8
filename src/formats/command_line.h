#pragma once

#include <string>
#include <vector>

namespace talvorin::platform {

// Splits an argument string into arguments as the Microsoft C runtime (2008 and later)
// does for the arguments after the program name: blanks and tabs separate, double quotes
// group, 2n backslashes before a quote give n backslashes, 2n+1 give n and a literal quote,
// other backslashes are literal, and "" inside a quoted part gives one quote and the quoted
// part goes on. The last rule is where CommandLineToArgvW differs: it ends the quoted part.
std::vector<std::string> splitCommandLine(const std::string& parameters);

}  // namespace talvorin::platform
