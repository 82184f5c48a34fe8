#include "platform/clock.h"

#include "platform/win32/windows_api.h"

namespace talvorin::platform {

namespace {

class Win32Clock final : public Clock {
public:
    LocalTime now() const override
    {
        SYSTEMTIME t{};
        ::GetLocalTime(&t);
        return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
    }
};

}  // namespace

Clock& systemClock()
{
    static Win32Clock instance;
    return instance;
}

}  // namespace talvorin::platform
