#pragma once

namespace talvorin::platform {

struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalTime now() const = 0;
};

// The system's wall clock in local time.
Clock& systemClock();

}  // namespace talvorin::platform
