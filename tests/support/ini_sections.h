#pragma once
// The section names of an INI text, for tests that look at every section of a file.

#include <string>
#include <string_view>
#include <vector>

namespace talvorin::testing {

// Each header line's name in file order: a line whose first non-blank character is '[' and
// that holds a later ']', the name being what lies between it and the last ']', trimmed.
inline std::vector<std::string> iniSectionNames(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\x1a'; };
    std::vector<std::string> names;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        pos = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        std::size_t first = 0;
        while (first < line.size() && blank(line[first])) ++first;
        const std::size_t close = line.rfind(']');
        if (first == line.size() || line[first] != '[' || close == std::string_view::npos || close <= first) continue;
        std::size_t b = first + 1, e = close;
        while (b < e && blank(line[b])) ++b;
        while (e > b && blank(line[e - 1])) --e;
        names.emplace_back(line.substr(b, e - b));
    }
    return names;
}

}  // namespace talvorin::testing
