#include "platform/program_path.h"

#include <vector>

#include "platform/win32/windows_api.h"

namespace talvorin::platform {

std::string programFilePath(const char* argv0)
{
    // Paths may be longer than MAX_PATH; the buffer grows until the name fits.
    for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
        std::vector<char> buffer(size);
        const DWORD length = ::GetModuleFileNameA(nullptr, buffer.data(), size);
        if (length == 0) break;
        if (length < size) return std::string(buffer.data(), length);
    }
    return argv0 ? argv0 : "";
}

}  // namespace talvorin::platform
