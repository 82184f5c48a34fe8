#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/settings_files.h"
#include "setupdata/setup_files.h"
#include "sqlinfo/stored_text.h"
#include "sqlinfo_fakes.h"

namespace talvorin::sqlinfo {
namespace {

// What really happens to the value in a settings file: written scrambled, read back.
bool roundTrips(const std::string& file, const std::string& value)
{
    auto& settings = platform::systemSettingsFiles();
    try {
        setupdata::writeScrambled(settings, file, {{setupdata::kKeyPassword, value}});
    } catch (const platform::SettingsWriteError&) {
        return false;
    }
    return setupdata::readScrambled(settings, file, setupdata::kKeyPassword) == value;
}

TEST(StoredUnchanged, AgreesWithWhatTheSettingsFileGivesBack)
{
    testing::TempDir tmp;
    const std::string file = tmp / "Orvo4.dat";
    const std::vector<std::string> values = {
        "",
        "sa",
        "s3cr3t!",
        "pass word",
        "a<b",
        "<",
        "<lead",
        "trail<",
        ">x>",
        ";x;",
        ">x;",
        ";x>",
        ">",
        ">>",
        "'quoted'",
        "\"quoted\"",
        "=eq=",
        "[x]",
        std::string(1, '\x1c'),
        std::string("a\x1c", 2),
        "a\x11z",
        "a\x16z",
        "\x15x",
        "x\x17",
        "\x10x",
        "x\x06",
        "a\x15z",
        "\x7f\x80\xff",
        std::string(2047, 'p'),
        std::string(2048, 'p'),
    };
    for (const std::string& v : values)
        EXPECT_EQ(storedUnchanged(setupdata::kKeyPassword, v), roundTrips(file, v)) << "value: " << v;
}

TEST(StoredUnchanged, RefusesWhatScramblesToBlanksQuotesOrLineBreaks)
{
    const char* key = setupdata::kKeyUser;
    EXPECT_TRUE(storedUnchanged(key, "sa"));
    EXPECT_TRUE(storedUnchanged(key, ""));
    EXPECT_TRUE(storedUnchanged(key, "a<b")) << "inside is fine";
    EXPECT_TRUE(storedUnchanged(key, ">x;")) << "two different quotes are no pair";
    EXPECT_TRUE(storedUnchanged(key, " x ")) << "blanks scramble to '<', which is kept";
    EXPECT_FALSE(storedUnchanged(key, "<x")) << "scrambles to a leading blank";
    EXPECT_FALSE(storedUnchanged(key, "x<"));
    EXPECT_FALSE(storedUnchanged(key, ">x>")) << "scrambles to a pair of double quotes";
    EXPECT_FALSE(storedUnchanged(key, ";x;")) << "scrambles to a pair of single quotes";
    EXPECT_FALSE(storedUnchanged(key, "a\x1c"
                                      "b"))
        << "scrambles to NUL";
    EXPECT_FALSE(storedUnchanged(key, "a\x11z")) << "scrambles to CR";
    EXPECT_FALSE(storedUnchanged(key, "a\x16z")) << "scrambles to LF";
    EXPECT_FALSE(storedUnchanged(key, std::string(2048, 'x'))) << "only 2047 characters come back";
}

TEST(StoredUnchanged, RefusesExactlyTheCharactersTheRulesName)
{
    const char* key = setupdata::kKeyPassword;
    const auto among = [](std::string_view set, char c) { return set.find(c) != std::string_view::npos; };
    for (int code = 0; code < 256; ++code) {
        const char c = static_cast<char>(code);
        const bool anywhere = among(kRefusedAnywhere, c);
        const bool atAnEnd = anywhere || among(kRefusedAtTheEnds, c);
        EXPECT_EQ(storedUnchanged(key, std::string("a") + c + "b"), !anywhere) << code;
        EXPECT_EQ(storedUnchanged(key, std::string(1, c) + "ab"), !atAnEnd) << code;
        EXPECT_EQ(storedUnchanged(key, std::string("ab") + c), !atAnEnd) << code;
        EXPECT_EQ(storedUnchanged(key, std::string(1, c)), !atAnEnd) << code;
        EXPECT_EQ(storedUnchanged(key, c + std::string("ab") + c), !(atAnEnd || among(kRefusedAsAPair, c))) << code;
    }
    EXPECT_TRUE(storedUnchanged(key, std::string(kLongestStored, 'x')));
    EXPECT_FALSE(storedUnchanged(key, std::string(kLongestStored + 1, 'x')));
}

}  // namespace
}  // namespace talvorin::sqlinfo
