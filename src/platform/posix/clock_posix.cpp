#include "platform/clock.h"

#include <ctime>

namespace talvorin::platform {

namespace {

class PosixClock final : public Clock {
public:
    LocalTime now() const override
    {
        const std::time_t t = std::time(nullptr);
        std::tm tm{};
        if (!::localtime_r(&t, &tm)) return {};
        return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
    }
};

}  // namespace

Clock& systemClock()
{
    static PosixClock instance;
    return instance;
}

}  // namespace talvorin::platform
