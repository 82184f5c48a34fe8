// The Linux build's text is UTF-8; what is no UTF-8 is read as Latin-1.
#include "odbc/odbc_text.h"

#include <gtest/gtest.h>

namespace talvorin::odbc {
namespace {

std::string roundTrip(const std::string& text)
{
    const OdbcText wide = toOdbcText(text);
    return fromOdbcText(wide.data(), wide.size());
}

TEST(OdbcText, Utf8BecomesUtf16AndBack)
{
    EXPECT_EQ(toOdbcText("sa"), (OdbcText{'s', 'a'}));
    EXPECT_EQ(toOdbcText("é€"), (OdbcText{0xE9, 0x20AC}));
    EXPECT_EQ(toOdbcText("😀"), (OdbcText{0xD83D, 0xDE00}));
    for (const std::string& text : std::vector<std::string>{"", "plain", "é€ ñ", "a😀b", std::string("nul\0in", 6)})
        EXPECT_EQ(roundTrip(text), text);
}

TEST(OdbcText, StrayBytesAreReadAsLatin1)
{
    // A value written by an ANSI build: "é" as the single byte 0xE9.
    EXPECT_EQ(toOdbcText("caf\xE9"), (OdbcText{'c', 'a', 'f', 0xE9}));
    // Overlong forms and cut sequences are no UTF-8 either.
    EXPECT_EQ(toOdbcText("\xC0\xAF"), (OdbcText{0xC0, 0xAF}));
    EXPECT_EQ(toOdbcText("\xE2\x82"), (OdbcText{0xE2, 0x82}));
}

TEST(OdbcText, UnpairedSurrogatesBecomeReplacementCharacters)
{
    const OdbcText lone = {'a', 0xD800, 'b', 0xDC00};
    EXPECT_EQ(fromOdbcText(lone.data(), lone.size()), "a\xEF\xBF\xBD"
                                                      "b\xEF\xBF\xBD");
}

}  // namespace
}  // namespace talvorin::odbc
