#include <gtest/gtest.h>

#include "setupdata/installed_version.h"
#include "setupdata/scramble.h"
#include "formats/str_to_int.h"
#include "support/fakes.h"

namespace talvorin::testing {
namespace {

using setupdata::ScrambleText;

TEST(Scramble, IsItsOwnInverseAndKeepsStoredValuesStorable)
{
    EXPECT_EQ(ScrambleText(""), "");
    EXPECT_EQ(ScrambleText("sa"), "o}");  // the key every stored value was written with
    std::string all;
    for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
    EXPECT_EQ(ScrambleText(ScrambleText(all)), all);
    // No printable character becomes a byte a settings file cannot hold, and ASCII stays ASCII.
    for (int c = 0x20; c < 0x7F; ++c) {
        const unsigned char s = static_cast<unsigned char>(ScrambleText(std::string(1, static_cast<char>(c)))[0]);
        EXPECT_NE(s, 0) << c;
        EXPECT_NE(s, '\r') << c;
        EXPECT_NE(s, '\n') << c;
        EXPECT_LT(s, 0x80) << c;
    }
}

TEST(InstalledVersion, MissingKeyLeavesTheOutputsAlone)
{
    FakeRegistry registry;
    std::string path = "keep", version = "these";
    EXPECT_FALSE(setupdata::GetInstalledVersion(registry, path, version));
    EXPECT_FALSE(setupdata::GetLegacyVersion(registry, path, version));
    EXPECT_EQ(path, "keep");
    EXPECT_EQ(version, "these");
}

TEST(InstalledVersion, ReleaseKeyWithMissingValues)
{
    FakeRegistry registry;
    registry.keys[setupdata::kReleaseKey] = {};
    std::string path = "x", version = "y";
    EXPECT_TRUE(setupdata::GetInstalledVersion(registry, path, version));
    EXPECT_EQ(path, "\\");
    EXPECT_EQ(version, "");
    registry.keys[setupdata::kReleaseKey] = {{"ServerPath", "C:\\Orvo3\\"}, {"Version", "3.0"}};
    EXPECT_TRUE(setupdata::GetInstalledVersion(registry, path, version));
    EXPECT_EQ(path, "C:\\Orvo3\\");
    EXPECT_EQ(version, "3.0");
}

TEST(InstalledVersion, LegacyReleaseNeedsAServerPath)
{
    FakeRegistry registry;
    registry.keys[setupdata::kLegacyReleaseKey] = {{"ServerPath", ""}, {"VERSION", "1.5"}};
    std::string path = "x", version;
    EXPECT_FALSE(setupdata::GetLegacyVersion(registry, path, version));
    EXPECT_EQ(path, "");
    EXPECT_EQ(version, "1.5");
    registry.keys[setupdata::kLegacyReleaseKey] = {{"ServerPath", "C:\\Old"}, {"VERSION", "1.6"}};
    EXPECT_TRUE(setupdata::GetLegacyVersion(registry, path, version));
    EXPECT_EQ(path, "C:\\Old\\");
    EXPECT_EQ(version, "1.6");
}

TEST(InstalledVersion, ValueOfAnotherTypeIsAnError)
{
    FakeRegistry registry;
    registry.keys[setupdata::kReleaseKey] = {{"Version", std::nullopt}};
    std::string path, version;
    EXPECT_THROW(setupdata::GetInstalledVersion(registry, path, version), platform::RegistryTypeError);
}

TEST(InstalledVersion, VersionsCompareByCharacterCode)
{
    using setupdata::ordinalLess;
    for (const char* older : {"", "1.6", "2.5", "3", "10.0", "2.99"}) EXPECT_TRUE(ordinalLess(older, "3.0")) << older;
    for (const char* newer : {"3.0", "3.0.1", "4.0", "3.1"}) EXPECT_FALSE(ordinalLess(newer, "3.0")) << newer;
    EXPECT_TRUE(ordinalLess("1.10", "1.6"));
    EXPECT_FALSE(ordinalLess("\xC3\xA9", "3.0")) << "bytes above 127 sort high, as unsigned codes";
}

TEST(StrToInt, WholeNumbersOnly)
{
    using formats::tryStrToInt;
    EXPECT_EQ(tryStrToInt("302"), 302);
    EXPECT_EQ(tryStrToInt("  -7"), -7);
    EXPECT_EQ(tryStrToInt("$1F"), 31);
    EXPECT_EQ(tryStrToInt("2147483647"), 2147483647);
    EXPECT_EQ(tryStrToInt("-2147483648"), -2147483647 - 1);
    for (const char* bad : {"", " ", "abc", "30 2", "302 ", "2147483648", "1e3", "+", "0x"})
        EXPECT_FALSE(tryStrToInt(bad)) << bad;
    try {
        formats::StrToInt("abc");
        FAIL();
    } catch (const formats::ConvertError& e) {
        EXPECT_STREQ(e.what(), "'abc' is not a valid integer value");
    }
}

}  // namespace
}  // namespace talvorin::testing
