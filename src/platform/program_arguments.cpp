#include "platform/program_arguments.h"

namespace talvorin::platform {

namespace {

constexpr bool separates(char c) { return static_cast<unsigned char>(c) <= ' '; }

}  // namespace

std::vector<std::string> splitProgramCommandLine(std::string_view commandLine)
{
    std::vector<std::string> arguments;
    std::size_t pos = 0;
    for (;;) {
        while (pos < commandLine.size() && separates(commandLine[pos])) ++pos;
        if (pos == commandLine.size()) break;
        std::string argument;
        while (pos < commandLine.size() && !separates(commandLine[pos])) {
            if (commandLine[pos] == '"') {
                const std::size_t close = commandLine.find('"', pos + 1);
                const std::size_t end = close == std::string_view::npos ? commandLine.size() : close;
                argument.append(commandLine.substr(pos + 1, end - pos - 1));
                pos = close == std::string_view::npos ? end : close + 1;
            } else {
                argument += commandLine[pos++];
            }
        }
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

}  // namespace talvorin::platform
