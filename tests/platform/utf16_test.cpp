#include "platform/utf16.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace talvorin::platform {
namespace {

TEST(Utf16, ConvertsBothWaysInBothByteOrders)
{
    struct Case {
        std::string utf8, little, big;
    };
    const std::vector<Case> cases = {
        {"", "", ""},
        {"A", std::string("A\0", 2), std::string("\0A", 2)},
        {"\xC3\xA9", std::string("\xE9\0", 2), std::string("\0\xE9", 2)},
        {"\xE2\x82\xAC", "\xAC\x20", "\x20\xAC"},
        {"\xF0\x9F\x98\x80", std::string("\x3D\xD8\x00\xDE", 4), std::string("\xD8\x3D\xDE\x00", 4)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(utf16ToUtf8(c.little, ByteOrder::Little), c.utf8);
        EXPECT_EQ(utf16ToUtf8(c.big, ByteOrder::Big), c.utf8);
        EXPECT_EQ(utf8ToUtf16(c.utf8, ByteOrder::Little), c.little);
        EXPECT_EQ(utf8ToUtf16(c.utf8, ByteOrder::Big), c.big);
    }
}

TEST(Utf16, UnpairedSurrogatesAreReplacedOrKept)
{
    const std::string lone("\x00\xD8x\x00", 4);
    EXPECT_EQ(utf16ToUtf8(lone, ByteOrder::Little), "\xEF\xBF\xBDx");
    EXPECT_EQ(utf16ToUtf8(lone, ByteOrder::Little, Unpaired::Keep), "\xED\xA0\x80x");
    EXPECT_EQ(utf8ToUtf16("\xED\xA0\x80x", ByteOrder::Little), lone);
    EXPECT_EQ(utf16ToUtf8(std::string("a\x00z", 3), ByteOrder::Little), "a") << "odd last byte";
}

TEST(Utf16, RefusesTextThatIsNoUtf8)
{
    for (const std::string& bad : {std::string("\x80"), std::string("a\xC3"), std::string("\xC0\xAF"),
                                    std::string("\xE0\x80\x80"), std::string("\xF4\x90\x80\x80"),
                                    std::string("\xE2\x28\xA1"), std::string("\xFF")})
        EXPECT_EQ(utf8ToUtf16(bad, ByteOrder::Little), std::nullopt) << bad;
}

}  // namespace
}  // namespace talvorin::platform
