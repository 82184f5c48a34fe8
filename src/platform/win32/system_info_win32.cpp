#include "platform/system_info.h"

#include "platform/win32/windows_api.h"

namespace talvorin::platform {

namespace {

class Win32SystemInfo final : public SystemInfo {
public:
    std::string windowsDirectory() const override
    {
        char buffer[256] = {};
        const UINT length = ::GetWindowsDirectoryA(buffer, sizeof buffer);
        // A directory longer than the buffer is not written into it: no directory then.
        if (length == 0 || length >= sizeof buffer) return {};
        return std::string(buffer, length);
    }

    std::string computerName() const override
    {
        char buffer[16] = {};
        DWORD size = sizeof buffer;
        if (!::GetComputerNameA(buffer, &size)) return {};
        // The name ends at its first NUL or at the buffer's end.
        std::size_t length = 0;
        while (length < sizeof buffer - 1 && buffer[length] != '\0') ++length;
        return std::string(buffer, length);
    }
};

}  // namespace

SystemInfo& systemInfo()
{
    static Win32SystemInfo instance;
    return instance;
}

}  // namespace talvorin::platform
