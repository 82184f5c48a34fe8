#include "formats/utf16.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace talvorin::formats {
namespace {

TEST(Utf16, ConvertsBothWays)
{
    struct Case {
        std::string utf8, utf16;
    };
    const std::vector<Case> cases = {
        {"", ""},
        {"A", std::string("A\0", 2)},
        {"\xC3\xA9", std::string("\xE9\0", 2)},
        {"\xE2\x82\xAC", "\xAC\x20"},
        {"\xF0\x9F\x98\x80", std::string("\x3D\xD8\x00\xDE", 4)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(utf16leToUtf8(c.utf16), c.utf8);
        EXPECT_EQ(utf8ToUtf16le(c.utf8), c.utf16);
    }
}

TEST(Utf16, UnpairedSurrogatesAreReplacedOrKept)
{
    const std::string lone("\x00\xD8x\x00", 4);
    EXPECT_EQ(utf16leToUtf8(lone), "\xEF\xBF\xBDx");
    EXPECT_EQ(utf16leToUtf8(lone, Unpaired::Keep), "\xED\xA0\x80x");
    EXPECT_EQ(utf8ToUtf16le("\xED\xA0\x80x"), lone);
    EXPECT_EQ(utf16leToUtf8(std::string("a\x00z", 3)), "a") << "odd last byte";
}

TEST(Utf16, RefusesTextThatIsNoUtf8)
{
    for (const std::string& bad :
         {std::string("\x80"), std::string("a\xC3"), std::string("\xC0\xAF"), std::string("\xE0\x80\x80"),
          std::string("\xF4\x90\x80\x80"), std::string("\xE2\x28\xA1"), std::string("\xFF")})
        EXPECT_EQ(utf8ToUtf16le(bad), std::nullopt) << bad;
}

}  // namespace
}  // namespace talvorin::formats
