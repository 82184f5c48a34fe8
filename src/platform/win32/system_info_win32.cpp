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

    // Windows gives the name set when it started (a new one takes effect at the next
    // start), so it is read once: under Wine each reading is three registry requests, and
    // every log line asks for it.
    std::string computerName() const override
    {
        static const std::string name = readComputerName();
        return name;
    }

private:
    static std::string readComputerName()
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
