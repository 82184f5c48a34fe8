#include <gtest/gtest.h>

#include "formats/ini_text.h"

namespace talvorin::formats::ini {
namespace {

// Reading a whole section at once must give what listing the keys and reading each one
// gives, whatever the file looks like.
TEST(SectionValues, AgreeWithReadingEachListedKey)
{
    const std::string longValue(3000, 'v');
    const char* texts[] = {
        "[S]\r\n1=a.sql\r\n2=b.sql\r\n",
        "[S]\r\n1=a.sql\r\n1=b.sql\r\nB=x\r\nb=y\r\n",                               // duplicates, any case
        "[s]\n ; note\n k = \"quoted\" \n=empty key\nno equals\nv=a=b\r[T]\nz=1\n",  // comments, '=', CR only
        "[S]\nx='single'\ny=\"\nz=\n[S]\nw=second section of the name\n",
        "[Other]\na=1\n",
    };
    for (const char* text : texts) {
        std::vector<std::string> oneByOne;
        for (const std::string& key : readKeyNames(text, "S")) oneByOne.push_back(readValue(text, "S", key, ""));
        EXPECT_EQ(readSectionValues(text, "S"), oneByOne) << text;
    }
    const std::string withLong = "[S]\r\nk=" + longValue + "\r\n";
    EXPECT_EQ(readSectionValues(withLong, "S"), std::vector<std::string>{longValue.substr(0, 2047)});
}

TEST(SectionValues, DuplicateKeysGiveTheirFirstValueTwice)
{
    EXPECT_EQ(readSectionValues("[S]\n1=a.sql\n1=b.sql\n", "S"), (std::vector<std::string>{"a.sql", "a.sql"}));
    EXPECT_TRUE(readSectionValues("[S]\n", "S").empty());
    EXPECT_TRUE(readSectionValues("", "S").empty());
}

}  // namespace
}  // namespace talvorin::formats::ini
