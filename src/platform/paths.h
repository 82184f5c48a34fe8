#pragma once

#include <string>
#include <string_view>

namespace talvorin::platform {

// The separator this build puts at the end of directories it forms.
#ifdef _WIN32
inline constexpr char kDirSeparator = '\\';
#else
inline constexpr char kDirSeparator = '/';
#endif

// True for either separator: names from settings files use '\' on every build.
constexpr bool isDirSeparator(char c) { return c == '\\' || c == '/'; }

// Adds the separator unless the text already ends in one; an empty text becomes the
// separator alone (the root of the current drive on Windows).
inline std::string withTrailingSeparator(std::string dir)
{
    if (dir.empty() || !isDirSeparator(dir.back())) dir += kDirSeparator;
    return dir;
}

// Like withTrailingSeparator, but an empty text stays empty.
inline std::string withTrailingSeparatorUnlessEmpty(std::string dir)
{
    return dir.empty() ? dir : withTrailingSeparator(std::move(dir));
}

}  // namespace talvorin::platform
