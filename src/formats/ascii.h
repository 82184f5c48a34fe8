#pragma once

#include <string>
#include <string_view>

namespace talvorin::formats {

// Windows compares file, key and value names without regard to case, letter by ASCII
// letter; other bytes compare as they are.
constexpr char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

constexpr bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

inline std::string lowerAsciiText(std::string_view s)
{
    std::string out(s);
    for (char& c : out) c = lowerAscii(c);
    return out;
}

inline std::string upperAsciiText(std::string_view s)
{
    std::string out(s);
    for (char& c : out) c = upperAscii(c);
    return out;
}

}  // namespace talvorin::formats
