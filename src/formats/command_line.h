#pragma once

#include <string>
#include <vector>

namespace talvorin::formats {

// Splits an argument string into arguments as the Microsoft C runtime (2008 and later)
// does for the arguments after the program name: blanks and tabs separate, double quotes
// group, 2n backslashes before a quote give n backslashes, 2n+1 give n and a literal quote,
// other backslashes are literal, and "" inside a quoted part gives one quote and the quoted
// part goes on. The last rule is where CommandLineToArgvW differs: it ends the quoted part.
std::vector<std::string> splitCommandLine(const std::string& parameters);

// The value as it goes into an argument string so that splitCommandLine, and every Microsoft
// C runtime, gives it back as one argument, unchanged: as it is when it is not empty and holds
// no blank, tab or double quote; otherwise in double quotes, each quote written \" and the
// backslashes before a quote (or before the closing quote) doubled.
std::string quotedArgument(const std::string& value);

}  // namespace talvorin::formats
