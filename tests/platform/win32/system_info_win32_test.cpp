#include "platform/system_info.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/clock.h"
#include "platform/win32/windows_api.h"

namespace talvorin::platform {
namespace {

TEST(Win32SystemInfo, WindowsDirectoryAndComputerNameAsTheSystemGivesThem)
{
    const std::string windows = systemInfo().windowsDirectory();
    ASSERT_FALSE(windows.empty());
    EXPECT_NE(windows.back(), '\\');  // the separator is the caller's to add
    EXPECT_TRUE(std::filesystem::is_directory(windows + "\\system32"));

    const std::string name = systemInfo().computerName();
    char expected[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof expected;
    ASSERT_TRUE(::GetComputerNameA(expected, &size));
    EXPECT_EQ(name, std::string(expected, size).substr(0, 15));
}

TEST(Win32SystemInfo, ClockGivesTheLocalTime)
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        SYSTEMTIME before{}, after{};
        ::GetLocalTime(&before);
        const LocalTime now = systemClock().now();
        ::GetLocalTime(&after);
        if (before.wSecond != after.wSecond) continue;  // a second passed in between: again
        EXPECT_EQ(now.year, before.wYear);
        EXPECT_EQ(now.month, before.wMonth);
        EXPECT_EQ(now.day, before.wDay);
        EXPECT_EQ(now.hour, before.wHour);
        EXPECT_EQ(now.minute, before.wMinute);
        EXPECT_EQ(now.second, before.wSecond);
        return;
    }
    FAIL() << "the system time kept changing";
}

}  // namespace
}  // namespace talvorin::platform
