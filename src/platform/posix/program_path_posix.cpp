#include "platform/program_path.h"

#include <limits.h>
#include <unistd.h>

namespace talvorin::platform {

std::string programFilePath(const char* argv0)
{
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) return std::string(buf, static_cast<std::size_t>(n));
    return argv0 ? argv0 : "";
}

}  // namespace talvorin::platform
