// This machine's name, WINDIR and the local clock as the POSIX build reads them.
#include "platform/system_info.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <ctime>

#include "platform/clock.h"
#include "support/scoped_env.h"

namespace talvorin::platform {
namespace {

using talvorin::testing::ScopedEnv;

TEST(ComputerName, ComesFromThisMachinesHostName)
{
    char host[256] = {};
    ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
    EXPECT_EQ(systemInfo().computerName(), computerNameFromHostName(host));
}

TEST(WindowsDirectory, IsWindirAsItIs)
{
    {
        ScopedEnv windir("WINDIR", "/srv/windows");
        EXPECT_EQ(systemInfo().windowsDirectory(), "/srv/windows");
    }
    {
        ScopedEnv windir("WINDIR", "/srv/windows/");
        EXPECT_EQ(systemInfo().windowsDirectory(), "/srv/windows/");
    }
    {
        ScopedEnv windir("WINDIR", "");
        EXPECT_EQ(systemInfo().windowsDirectory(), "");
    }
    {
        ScopedEnv windir("WINDIR", nullptr);
        EXPECT_EQ(systemInfo().windowsDirectory(), "");
    }
}

TEST(SystemClock, GivesTheLocalTime)
{
    // The clock is read between two readings of the system time; if a second passed in
    // between, try again.
    for (int attempt = 0; attempt < 5; ++attempt) {
        const std::time_t before = std::time(nullptr);
        const LocalTime now = systemClock().now();
        if (std::time(nullptr) != before) continue;
        std::tm tm{};
        ASSERT_NE(::localtime_r(&before, &tm), nullptr);
        EXPECT_EQ(now.year, tm.tm_year + 1900);
        EXPECT_EQ(now.month, tm.tm_mon + 1);
        EXPECT_EQ(now.day, tm.tm_mday);
        EXPECT_EQ(now.hour, tm.tm_hour);
        EXPECT_EQ(now.minute, tm.tm_min);
        EXPECT_EQ(now.second, tm.tm_sec);
        return;
    }
    FAIL() << "the system time kept changing";
}

TEST(SystemClock, FollowsTheTimeZone)
{
    LocalTime local;
    std::tm utc{};
    {
        ScopedEnv tz("TZ", "UTC+05");  // five hours behind UTC, no daylight saving
        ::tzset();
        local = systemClock().now();
        const std::time_t t = std::time(nullptr);
        ::gmtime_r(&t, &utc);
    }
    ::tzset();
    const int localMinutes = local.hour * 60 + local.minute;
    const int utcMinutes = utc.tm_hour * 60 + utc.tm_min;
    const int diff = ((utcMinutes - localMinutes) % 1440 + 1440) % 1440;
    EXPECT_NEAR(diff, 300, 1);
}

}  // namespace
}  // namespace talvorin::platform
