// The Windows build's text is in the ANSI code page: code page 1252 under Wine and on
// Western European Windows.
#include "odbc/odbc_connection_string.h"
#include "odbc/odbc_text.h"

#include <gtest/gtest.h>

#include <string>

namespace talvorin::odbc {
namespace {

std::string roundTrip(const std::string& text)
{
    const OdbcText wide = toOdbcText(text);
    return fromOdbcText(wide.data(), wide.size());
}

TEST(OdbcText, EveryAnsiByteSurvivesTheTripToTheDriverAndBack)
{
    std::string everyByte;
    for (int b = 1; b < 256; ++b) everyByte += static_cast<char>(b);
    EXPECT_EQ(roundTrip(everyByte), everyByte);
    EXPECT_EQ(roundTrip(std::string("nul\0in", 6)), std::string("nul\0in", 6));
    EXPECT_EQ(roundTrip(""), "");
    EXPECT_EQ(toOdbcText("sa"), (OdbcText{'s', 'a'}));
}

TEST(OdbcText, Code1252BecomesUnicode)
{
    if (::GetACP() != 1252) GTEST_SKIP() << "the ANSI code page here is " << ::GetACP();
    // The same bytes the program holds as "café €" in its settings files.
    EXPECT_EQ(toOdbcText("caf\xE9 \x80"), (OdbcText{'c', 'a', 'f', 0xE9, ' ', 0x20AC}));
    const OdbcText wide = {'a', 0x20AC, 0xE9};
    EXPECT_EQ(fromOdbcText(wide.data(), wide.size()), "a\x80\xE9");
    // A character the code page has no byte for, and an unpaired surrogate, cannot be held.
    const OdbcText foreign = {'a', 0x4E2D, 'b', 0xD800};
    EXPECT_EQ(fromOdbcText(foreign.data(), foreign.size()), "a?b?");
}

// Windows' driver manager reads the wide string as it is: "Ž" (U+017D, whose low byte is
// "}") needs no other way in.
TEST(OdbcText, CharactersWhoseLowByteIsABraceFitTheConnectionString)
{
    if (::GetACP() != 1252) GTEST_SKIP() << "the ANSI code page here is " << ::GetACP();
    EXPECT_FALSE(driverManagerNarrowsConnectionStrings());
    EXPECT_TRUE(fitsOdbcConnectionString("\x8E"
                                         "aneta;1"));
    EXPECT_EQ(odbcAttribute("PWD", "x\x8E;", "password"), "PWD={x\x8E;};");
    EXPECT_EQ(odbcAttribute("PWD", "x\x8E", "password"), "PWD=x\x8E;");
}

}  // namespace
}  // namespace talvorin::odbc
