#include "formats/one_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace talvorin::formats {
namespace {

TEST(OneLine, ControlCharactersBecomeBlanksInEitherEncoding)
{
    struct Case {
        std::string text, utf8, singleByte;
    };
    const std::vector<Case> cases = {
        {"plain text", "plain text", "plain text"},
        {"a\r\nFORGED 2026", "a  FORGED 2026", "a  FORGED 2026"},
        {"\x1B[2J\x1B]0;title\x07x", " [2J ]0;title x", " [2J ]0;title x"},
        {std::string("n\0ul\tt\x7F", 7), "n ul t", "n ul t"},
        {"Access is denied.\r\n", "Access is denied.", "Access is denied."},
        {"\xC2\x9B"
         "31m\xC2\x85"
         "x",
         " 31m x",
         "\xC2\x9B"
         "31m\xC2\x85"
         "x"},
        {"\xE2\x80\xA8line\xE2\x80\xA9", " line", "\xE2\x80\xA8line\xE2\x80\xA9"},
        {"caf\xC3\xA9 \xE2\x82\xAC \x9B \xC2", "caf\xC3\xA9 \xE2\x82\xAC \x9B \xC2",
         "caf\xC3\xA9 \xE2\x82\xAC \x9B \xC2"},
        {"\r\n", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(oneLine(c.text, TextEncoding::Utf8), c.utf8);
        EXPECT_EQ(oneLine(c.text, TextEncoding::SingleByte), c.singleByte);
    }
}

}  // namespace
}  // namespace talvorin::formats
