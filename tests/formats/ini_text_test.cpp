#include "formats/ini_text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "support/ini_sections.h"

namespace ini = talvorin::formats::ini;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// Joins lines with the given line break, the last line included.
std::string lines(const std::vector<std::string>& text, const std::string& brk = "\r\n")
{
    std::string out;
    for (const auto& line : text) out += line + brk;
    return out;
}

// One value read from a text: where, the default, and what must come back.
struct Read {
    const char* section;
    const char* key;
    const char* fallback;
    std::string expected;
};

void expectReads(const std::string& text, std::initializer_list<Read> reads)
{
    for (const Read& r : reads)
        EXPECT_EQ(ini::readValue(text, r.section, r.key, r.fallback), r.expected) << "[" << r.section << "] " << r.key;
}

// ASCII text as UTF-16 bytes of either byte order.
std::string utf16(const std::string& ascii, bool littleEndian)
{
    std::string out;
    for (char c : ascii) {
        out += littleEndian ? c : '\0';
        out += littleEndian ? '\0' : c;
    }
    return out;
}

// The file Windows' own tests use, in the three line-break styles.
class IniLineBreaks : public ::testing::TestWithParam<std::string> {
protected:
    std::string file() const
    {
        return lines({"[section1]", "name1=val1", "name2=\"val2\"", "name3", "name4=a", "[section2]"}, GetParam());
    }
};

TEST_P(IniLineBreaks, ReadsValuesKeysAndDefaults)
{
    const std::string text = file();
    expectReads(text, {
                          {"section1", "name1", "default", "val1"},
                          {"section1", "name2", "default", "val2"},
                          {"section1", "NaMe1", "default", "val1"},
                          {"SECTION1", "name4", "default", "a"},
                          {"section1", "notakey", "default", "default"},
                          {"notasection", "name1", "default", "default"},
                          {"section2", "DoesntExist", "", ""},
                          // A line without '=' is no key: not listed and read as missing.
                          {"section1", "name3", "default", "default"},
                      });
    EXPECT_THAT(ini::readKeyNames(text, "section1"), ElementsAre("name1", "name2", "name4"));
    EXPECT_THAT(ini::readKeyNames(text, "section2"), IsEmpty());
    EXPECT_THAT(talvorin::testing::iniSectionNames(text), ElementsAre("section1", "section2"));
}

INSTANTIATE_TEST_SUITE_P(CrLfLfAndCrOnly, IniLineBreaks, ::testing::Values("\r\n", "\n", "\r"));

TEST(IniRead, TrimsBlanksAroundNamesAndValues)
{
    const std::string text = "  [ Sec One ]  \r\n  Key A  =  some value \t\r\n\tB\t=\t\r\n";
    EXPECT_EQ(ini::readValue(text, "Sec One", "Key A", "x"), "some value");
    EXPECT_EQ(ini::readValue(text, "  sec one ", " key a ", "x"), "some value");
    EXPECT_EQ(ini::readValue(text, "Sec One", "B", "x"), "");
    EXPECT_THAT(ini::readKeyNames(text, "sec one"), ElementsAre("Key A", "B"));
}

TEST(IniRead, ValueKeepsEverythingAfterTheFirstEquals)
{
    const std::string text = lines({"[SCRIPT_2005]", "1=bcp db..tab in a=b.dat", "2 == x"});
    EXPECT_EQ(ini::readValue(text, "SCRIPT_2005", "1", ""), "bcp db..tab in a=b.dat");
    EXPECT_EQ(ini::readValue(text, "SCRIPT_2005", "2", ""), "= x");
}

TEST(IniRead, RemovesOnePairOfMatchingQuotes)
{
    const std::string text = lines({"[q]", "a=\"double\"", "b='single'", "c=\"mixed'", "d=\"", "e=\"\"",
                                    "f=\" padded \"", "g=\"\"twice\"\"", "h=in \"the\" middle", "i='"});
    expectReads(text, {{"q", "a", "?", "double"},
                       {"q", "b", "?", "single"},
                       {"q", "c", "?", "\"mixed'"},
                       {"q", "d", "?", "\""},
                       {"q", "e", "?", ""},
                       {"q", "f", "?", " padded "},
                       {"q", "g", "?", "\"twice\""},
                       {"q", "h", "?", "in \"the\" middle"},
                       {"q", "i", "?", "'"}});
}

TEST(IniRead, FirstOfDuplicateKeysAndOnlyTheFirstSectionOfAName)
{
    const std::string text = lines(
        {"[CODE_TABLE]", "1=a.sql", "1=b.sql", "[Other]", "x=1", "[code_table]", "1=c.sql", "2=d.sql"});
    EXPECT_EQ(ini::readValue(text, "CODE_TABLE", "1", ""), "a.sql");
    EXPECT_EQ(ini::readValue(text, "CODE_TABLE", "2", "none"), "none");
    EXPECT_THAT(ini::readKeyNames(text, "code_table"), ElementsAre("1", "1"));
}

TEST(IniRead, SkipsCommentsAndKeysBeforeTheFirstSection)
{
    const std::string text = lines(
        {"orphan=1", "; [DB]", "[DB]", ";User=commented", "  ; Port=1", "User=sa", "", "   ", "Port=1433", "=no name"});
    EXPECT_EQ(ini::readValue(text, "DB", "User", ""), "sa");
    EXPECT_EQ(ini::readValue(text, "DB", ";User", "none"), "none");
    EXPECT_EQ(ini::readValue(text, "DB", "orphan", "none"), "none");
    EXPECT_THAT(ini::readKeyNames(text, "DB"), ElementsAre("User", "Port"));
    EXPECT_THAT(talvorin::testing::iniSectionNames(text), ElementsAre("DB"));
}

TEST(IniRead, SectionNameRunsToTheLastClosingBracket)
{
    const std::string text = lines({"[a]b] trailing", "k=1", "[unclosed", "k=2"});
    EXPECT_EQ(ini::readValue(text, "a]b", "k", ""), "1");
    // "[unclosed" is not a header, so the key after it still belongs to "a]b".
    EXPECT_THAT(ini::readKeyNames(text, "a]b"), ElementsAre("k", "k"));
}

TEST(IniRead, AUtf8ByteOrderMarkIsPartOfTheFirstLine)
{
    // Windows does not know the mark: the header after it is no header.
    const std::string text = "\xEF\xBB\xBF[DB]\r\nUser=x\r\n[Next]\r\nUser=y\r\n";
    EXPECT_EQ(ini::readValue(text, "DB", "User", "none"), "none");
    EXPECT_THAT(ini::readKeyNames(text, "DB"), IsEmpty());
    EXPECT_EQ(ini::readValue(text, "Next", "User", "none"), "y");
    EXPECT_THAT(talvorin::testing::iniSectionNames(text), ElementsAre("Next"));
}

TEST(IniRead, AnEmptyKeyNameEndsTheListOfNames)
{
    for (const std::string& empty : {std::string("=x"), std::string(" \t= x"), std::string("=")}) {
        const std::string text = lines({"[S]", "a=1", empty, "b=2", "[T]", empty, "c=3"});
        EXPECT_THAT(ini::readKeyNames(text, "S"), ElementsAre("a")) << empty;
        EXPECT_THAT(ini::readSectionValues(text, "S"), ElementsAre("1")) << empty;
        EXPECT_THAT(ini::readKeyNames(text, "T"), IsEmpty()) << empty;
        EXPECT_THAT(ini::readSectionValues(text, "T"), IsEmpty()) << empty;
        // The keys after it are still found one by one, and so is the empty name.
        EXPECT_EQ(ini::readValue(text, "S", "b", "?"), "2") << empty;
        EXPECT_EQ(ini::readValue(text, "S", "", "?"), ini::readValue(text, "S", " ", "!")) << empty;
    }
    EXPECT_EQ(ini::readValue(lines({"[S]", "=x"}), "S", "", "?"), "x");
    EXPECT_EQ(ini::readValue(lines({"[S]", "a=1"}), "S", "", "?"), "?");
}

TEST(IniFile, DecodesUtf16ByItsByteOrderMarkOnly)
{
    struct Case {
        const char* what;
        std::string bytes;
        ini::Encoding encoding;
        std::string text;
        bool strayByte;
    };
    const std::string ini = "[DB]\r\nUser=x\r\n";
    const std::vector<Case> cases = {
        {"UTF-16", "\xFF\xFE" + utf16(ini, true), ini::Encoding::Utf16, ini, false},
        // Windows 10 knows no big-endian mark.
        {"big-endian", "\xFE\xFF" + utf16(ini, false), ini::Encoding::EightBit, "\xFE\xFF" + utf16(ini, false), false},
        {"not ASCII", std::string("\xFF\xFE\xE9\x00\xAC\x20\x3D\xD8\x00\xDE", 10), ini::Encoding::Utf16,
         "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", false},
        {"odd length", "\xFF\xFE" + utf16("k=v", true) + "Z", ini::Encoding::Utf16, "k=v", true},
        {"mark only", "\xFF\xFE", ini::Encoding::Utf16, "", false},
        {"UTF-16 without a mark is 8-bit text", utf16(ini, true), ini::Encoding::EightBit, utf16(ini, true), false},
        {"UTF-8 mark kept", "\xEF\xBB\xBF" + ini, ini::Encoding::EightBit, "\xEF\xBB\xBF" + ini, false},
        {"8-bit text", "\xFF[DB]", ini::Encoding::EightBit, "\xFF[DB]", false},
        {"empty", "", ini::Encoding::EightBit, "", false},
    };
    for (const Case& c : cases) {
        const ini::FileText file = ini::decodeFile(c.bytes);
        EXPECT_EQ(file.encoding, c.encoding) << c.what;
        EXPECT_EQ(file.text, c.text) << c.what;
        EXPECT_EQ(file.strayByte, c.strayByte) << c.what;
        if (!c.strayByte) {
            EXPECT_EQ(ini::encodeFile(file.encoding, file.text), c.bytes) << c.what;
        }
    }
    EXPECT_EQ(ini::readValue(ini::decodeFile(cases[0].bytes).text, "db", "USER", ""), "x");
    EXPECT_EQ(ini::readValue(ini::decodeFile(cases[1].bytes).text, "db", "USER", "none"), "none");
}

TEST(IniFile, KeepsEveryUnitOfAUtf16FileAndRefusesWhatUtf16CannotHold)
{
    // Surrogates without their partners: not text, but they must survive a rewrite.
    const std::string odd("\xFF\xFE"
                          "a\x00\x00\xD8"
                          "b\x00\x00\xDC\x00\xDC\x00\xD8",
                          14);
    const ini::FileText file = ini::decodeFile(odd);
    EXPECT_EQ(ini::encodeFile(file.encoding, file.text), odd);

    const std::string stray = "x\xFFy";  // a byte that is no UTF-8
    EXPECT_EQ(ini::encodeFile(ini::Encoding::Utf16, stray), std::nullopt);
    EXPECT_EQ(ini::encodeFile(ini::Encoding::Utf16, "\xC3"), std::nullopt);
    EXPECT_EQ(ini::encodeFile(ini::Encoding::Utf16, "\xC0\x80"), std::nullopt) << "overlong";
    EXPECT_EQ(ini::encodeFile(ini::Encoding::EightBit, stray), stray);
}

TEST(IniRead, ValueIsCutToTheBuffer)
{
    const std::string longValue(3000, 'v');
    const std::string text = "[S]\r\nlong=" + longValue + "\r\nquoted=\"" + longValue +
                             "\"\r\nfits=" + std::string(2047, 'f') + "\r\nover=" + std::string(2048, 'o') + "\r\n";
    EXPECT_EQ(ini::readValue(text, "S", "long", ""), std::string(2047, 'v'));
    EXPECT_EQ(ini::readValue(text, "S", "quoted", ""), std::string(2047, 'v'));
    EXPECT_EQ(ini::readValue(text, "S", "fits", ""), std::string(2047, 'f'));
    EXPECT_EQ(ini::readValue(text, "S", "over", ""), std::string(2047, 'o'));
    EXPECT_EQ(ini::readValue(text, "S", "missing", longValue), std::string(2047, 'v'));
    EXPECT_EQ(ini::readValue("[S]\r\nk=value\r\n", "S", "k", "", 4), "val");
}

TEST(IniRead, DefaultLosesTrailingBlanksOnly)
{
    EXPECT_EQ(ini::readValue("", "S", "k", "default  "), "default");
    EXPECT_EQ(ini::readValue("", "S", "k", " one two \t"), " one two");
    EXPECT_EQ(ini::defaultValue("x   "), "x");
    EXPECT_EQ(ini::defaultValue(""), "");
}

TEST(IniKeyNames, StopAtTheBufferLikeWindows)
{
    const std::string text = lines({"[section1]", "name1=val1", "name2=", "name3", "name4=val4"});
    // 16 bytes hold "name1\0name2\0" and the closing zero, not "name4\0".
    EXPECT_THAT(ini::readKeyNames(text, "section1", 16), ElementsAre("name1", "name2"));
    // Three names of 6 bytes and the closing zero fit 19 bytes exactly.
    EXPECT_THAT(ini::readKeyNames(text, "section1", 19), ElementsAre("name1", "name2", "name4"));
    EXPECT_THAT(ini::readKeyNames(text, "section1", 18), ElementsAre("name1", "name2"));
}

TEST(IniKeyNames, TheRealBufferBoundary)
{
    // 1820 names of 8 characters take 1820 * 9 = 16380 bytes; a 2-character name brings it to
    // 16383, and the closing zero to exactly 16384.
    std::string body = "[S]\r\n";
    for (int i = 0; i < 1820; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "k%07d", i);
        body += std::string(name) + "=x\r\n";
    }
    const auto fitting = ini::readKeyNames(body + "ab=y\r\nlater=z\r\n", "S", ini::kKeyNamesBufferSize);
    ASSERT_EQ(fitting.size(), 1821u);
    EXPECT_EQ(fitting.back(), "ab");
    const auto tooLong = ini::readKeyNames(body + "abc=y\r\n", "S", ini::kKeyNamesBufferSize);
    ASSERT_EQ(tooLong.size(), 1820u);
    EXPECT_EQ(tooLong.back(), "k0001819");
    // The program itself reads every name, however many.
    EXPECT_EQ(ini::readKeyNames(body + "abc=y\r\nlater=z\r\n", "S").size(), 1822u);
    EXPECT_EQ(ini::readSectionValues(body + "abc=y\r\nlater=z\r\n", "S").back(), "z");
}

TEST(IniInt, ConvertsLikeGetPrivateProfileInt)
{
    const std::string text = lines(
        {"[T]",          "a=12",          "b=-1",    "c=+1",    "d=42A94967297", "e=B4294967297", "f=4294967296",
         "g=4294967297", "h=-4294967297", "i=",      "j=\"7\"", "k=  5  ",       "l=0x10",        "m=-",
         "n=2147483648", "o=0o17",        "p=0b102", "q=0X1fz", "r=0x",          "s=-0x10",       "t=\t 08"});
    const struct {
        const char* section;
        const char* key;
        int fallback;
        int expected;
    } cases[] = {
        {"T", "a", 9, 12},
        {"T", "b", 9, -1},
        {"T", "c", 9, 1},
        {"T", "d", 9, 42},
        {"T", "e", 9, 0},
        {"T", "f", 9, 0},
        {"T", "g", 9, 1},
        {"T", "h", 9, -1},
        {"T", "i", 9, 9},
        {"T", "j", 9, 7},
        {"T", "k", 9, 5},
        // A prefix chooses the base, as Windows' own conversion does.
        {"T", "l", 9, 16},
        {"T", "o", 9, 15},
        {"T", "p", 9, 2},
        {"T", "q", 9, 31},
        {"T", "r", 9, 0},
        {"T", "s", 9, -16},
        {"T", "t", 9, 8},
        {"T", "m", 9, 0},
        {"T", "n", 9, -2147483647 - 1},
        {"T", "missing", -3, -3},
        {"missing", "a", 4, 4},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ini::readInt(text, c.section, c.key, c.fallback), c.expected) << c.section << "/" << c.key;
}

TEST(IniWrite, ReplacesTheValueAndKeepsEveryOtherByte)
{
    const std::string before = "; kit data\n[OPTIONS]\nInstallMode=2\n\n[DB]  \nUser = old user \r\n"
                               "Port=1433\rUser=second\n[INSTALLATION]\nAppPath=C:\\App";
    const std::string after = ini::writeValue(before, "db", "USER", "new");
    EXPECT_EQ(after, "; kit data\n[OPTIONS]\nInstallMode=2\n\n[DB]  \nUser = new \r\n"
                     "Port=1433\rUser=second\n[INSTALLATION]\nAppPath=C:\\App");
    EXPECT_EQ(ini::readValue(after, "DB", "User", ""), "new");
}

TEST(IniWrite, FillsAnEmptyValue)
{
    EXPECT_EQ(ini::writeValue("[DataMigration]\nMig_Done=\nX=1\n", "DataMigration", "Mig_Done", "NotDone"),
              "[DataMigration]\nMig_Done=NotDone\nX=1\n");
}

TEST(IniWrite, AddsAMissingKeyAfterTheSectionsLastLine)
{
    const std::string before = "[DB]\nUser=a\n; note\n\n\n[OPTIONS]\nx=1\n";
    EXPECT_EQ(ini::writeValue(before, "DB", "Port", "1433"), "[DB]\nUser=a\n; note\nPort=1433\r\n\n\n[OPTIONS]\nx=1\n");
    EXPECT_EQ(ini::writeValue("[DB]\r\n[X]\r\n", "DB", "User", "u"), "[DB]\r\nUser=u\r\n[X]\r\n");
    // The last line of the file has no line break yet.
    EXPECT_EQ(ini::writeValue("[DB]\nUser=a", "DB", "Port", "1"), "[DB]\nUser=a\r\nPort=1\r\n");
    EXPECT_EQ(ini::writeValue("[DB]\rUser=a\r", "DB", "Port", "1"), "[DB]\rUser=a\rPort=1\r\n");
}

TEST(IniWrite, AddsAMissingSectionAtTheEnd)
{
    EXPECT_EQ(ini::writeValue("", "App", "key", ""), "[App]\r\nkey=\r\n");
    EXPECT_EQ(ini::writeValue("[App1]\r\nkey1=string1\r\n", "App2", "key2", "string2"),
              "[App1]\r\nkey1=string1\r\n[App2]\r\nkey2=string2\r\n");
    EXPECT_EQ(ini::writeValue("[A]\nk=v", "B", "k", "w"), "[A]\nk=v\r\n[B]\r\nk=w\r\n");
    // A UTF-8 byte-order mark is a line of its own, so the header must start a new one.
    EXPECT_EQ(ini::writeValue("\xEF\xBB\xBF", " B ", " k ", "w"), "\xEF\xBB\xBF\r\n[B]\r\nk=w\r\n");
}

TEST(IniWrite, WhatIsWrittenReadsBack)
{
    std::string text;
    const std::vector<std::pair<std::string, std::string>> values = {
        {"User", "sa"}, {"Password", "p=ss;word[1]"}, {"IP address", "192.168.0.5"}, {"Port", ""}};
    for (const auto& [key, value] : values) text = ini::writeValue(text, "DB", key, value);
    EXPECT_EQ(text, "[DB]\r\nUser=sa\r\nPassword=p=ss;word[1]\r\nIP address=192.168.0.5\r\nPort=\r\n");
    for (const auto& [key, value] : values) EXPECT_EQ(ini::readValue(text, "DB", key, "?"), value);
    EXPECT_EQ(ini::writeValue(text, "DB", "User", "sa"), text);
}

TEST(IniWrite, RefusesWhatCannotBeStored)
{
    EXPECT_TRUE(ini::canWrite("DB", "User", "x"));
    for (const auto& [section, key, value] :
         std::vector<std::tuple<std::string, std::string, std::string>>{{"DB", "User", "two\nlines"},
                                                                        {"DB", "User", "cr\r"},
                                                                        {"DB", "User", std::string("zero\0byte", 9)},
                                                                        {"DB", "", "x"},
                                                                        {"DB", "  ", "x"},
                                                                        {"DB", "a=b", "x"},
                                                                        {"DB", ";User", "x"},
                                                                        {"DB", "[User", "x"},
                                                                        {"", "User", "x"},
                                                                        {"D\nB", "User", "x"}}) {
        EXPECT_FALSE(ini::canWrite(section, key, value)) << section << "/" << key;
        EXPECT_THROW(ini::writeValue("[DB]\r\n", section, key, value), std::invalid_argument);
    }
}

}  // namespace
