#pragma once

#include <algorithm>
#include <string>

#include "platform/paths.h"

namespace talvorin::testing {

// A path written with "/" as this build forms paths: with platform::kDirSeparator ("\" on
// Windows). A "\" already in it stays, as the program passes such names on as written.
inline std::string nativePath(std::string path)
{
    std::replace(path.begin(), path.end(), '/', platform::kDirSeparator);
    return path;
}

}  // namespace talvorin::testing
