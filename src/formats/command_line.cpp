#include "formats/command_line.h"

#include <cstddef>

namespace talvorin::formats {

// Follows the Microsoft C runtime (2008 and later), which is what the kit's tools parse
// their own command line with. Within quotes "" is one literal quote and the quoted part
// goes on; shell32's CommandLineToArgvW ends the quoted part there instead, the one place
// where the two differ.
std::vector<std::string> splitCommandLine(const std::string& parameters)
{
    std::vector<std::string> args;
    const std::size_t n = parameters.size();
    std::size_t i = 0;
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };

    for (;;) {
        while (i < n && blank(parameters[i])) ++i;
        if (i >= n) break;

        std::string arg;
        bool quoted = false;
        for (;;) {
            std::size_t backslashes = 0;
            while (i < n && parameters[i] == '\\') {
                ++backslashes;
                ++i;
            }
            bool keepChar = true;
            if (i < n && parameters[i] == '"') {
                if (backslashes % 2 == 0) {
                    if (quoted && i + 1 < n && parameters[i + 1] == '"') {
                        ++i;  // the second quote of the pair is the literal one
                    } else {
                        keepChar = false;
                        quoted = !quoted;
                    }
                }
                backslashes /= 2;
            }
            arg.append(backslashes, '\\');
            if (i >= n || (!quoted && blank(parameters[i]))) break;
            if (keepChar) arg += parameters[i];
            ++i;
        }
        args.push_back(std::move(arg));
    }
    return args;
}

std::string quotedArgument(const std::string& value)
{
    if (!value.empty() && value.find_first_of(" \t\"") == std::string::npos) return value;
    // \" and never "": the runtimes before 2008 and CommandLineToArgvW read "" inside quotes
    // otherwise than the later ones, while \" means one quote to all of them.
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (const char c : value) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    return out + "\"";
}

}  // namespace talvorin::formats
