#pragma once

#include <string>

namespace talvorin::platform {

// The full path of the running program's file; argv0 when the system cannot tell.
std::string programFilePath(const char* argv0);

}  // namespace talvorin::platform
