#include "platform/system_info.h"

#include <unistd.h>

#include <cstdlib>

namespace talvorin::platform {

namespace {

class PosixSystemInfo final : public SystemInfo {
public:
    std::string windowsDirectory() const override
    {
        const char* windir = std::getenv("WINDIR");
        return windir ? std::string(windir) : std::string();
    }

    std::string computerName() const override
    {
        char host[256] = {};
        if (::gethostname(host, sizeof host - 1) != 0) return {};
        return computerNameFromHostName(host);
    }
};

}  // namespace

SystemInfo& systemInfo()
{
    static PosixSystemInfo instance;
    return instance;
}

}  // namespace talvorin::platform
