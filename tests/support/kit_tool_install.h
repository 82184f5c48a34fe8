#pragma once

#include <string>

namespace talvorin::testing {

// Puts the kit-tool stand-in (KIT_TOOL_STANDIN) at `path`, so that starting `path` runs it
// under that name: a symbolic link on POSIX, a copy of the .exe on Windows, where a link
// would need rights a test cannot count on. Throws std::filesystem::filesystem_error when
// it cannot.
void installKitToolStandin(const std::string& path);

}  // namespace talvorin::testing
