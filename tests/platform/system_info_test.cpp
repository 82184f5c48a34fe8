#include "platform/system_info.h"

#include <gtest/gtest.h>

namespace talvorin::platform {
namespace {

TEST(ComputerName, IsTheHostNameUpToItsFirstDotInUpperCase)
{
    EXPECT_EQ(computerNameFromHostName("srv01"), "SRV01");
    EXPECT_EQ(computerNameFromHostName("build-01.example.com"), "BUILD-01");
    EXPECT_EQ(computerNameFromHostName("a-very-long-host-name"), "A-VERY-LONG-HOS");
    EXPECT_EQ(computerNameFromHostName("exactly15chars1.lan"), "EXACTLY15CHARS1");
    EXPECT_EQ(computerNameFromHostName(".starts-with-dot"), "");
    EXPECT_EQ(computerNameFromHostName(""), "");
}

}  // namespace
}  // namespace talvorin::platform
