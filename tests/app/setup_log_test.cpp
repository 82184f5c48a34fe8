#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/setup_log.h"
#include "support/fakes.h"

namespace talvorin::testing {
namespace {

using ::testing::ElementsAre;

class SetupLogTest : public ::testing::Test {
protected:
    TempDir dir;
    FakeSystemInfo system;
    FakeClock clock;
    int messagesLetThrough = 0;
    app::SetupLog log{system, clock, [this] { ++messagesLetThrough; }};
    std::string file;

    void SetUp() override
    {
        system.windowsDir = dir / "WINDOWS";
        std::filesystem::create_directories(dir / "WINDOWS/MigKit4");
        file = dir / "WINDOWS/MigKit4/system.log";
    }
};

TEST_F(SetupLogTest, FirstBannerCreatesTheFileWithThreeLines)
{
    log.WriteLogBanner(true);
    const std::string rule(80, '-');
    EXPECT_EQ(readFile(file), rule + "\r\nStart database / table creation program\r\n" + rule + "\r\n");
    log.WriteLogBanner(false);
    EXPECT_THAT(crlfLines(readFile(file)), ElementsAre(rule, "Start database / table creation program", rule, rule,
                                                       "End database / table createion program", rule));
}

TEST_F(SetupLogTest, EventLineCarriesNameAndTime)
{
    clock.time = {2027, 1, 2, 3, 4, 5};
    log.WriteLog("Starting C:\\Kit\\Talvorin.exe");
    log.WriteLog("");
    EXPECT_THAT(crlfLines(readFile(file)),
                ElementsAre("SRV01 2027-01-02 03:04:05 Starting C:\\Kit\\Talvorin.exe", "SRV01 2027-01-02 03:04:05 "));
}

TEST_F(SetupLogTest, ComputerNameIsAtMostFifteenCharacters)
{
    system.name = "ABCDEFGHIJKLMNOPQ";
    log.WriteLog("x");
    EXPECT_EQ(readFile(file), "ABCDEFGHIJKLMNO 2026-12-07 01:55:53 x\r\n");
}

TEST_F(SetupLogTest, MessageWithLineBreaksBecomesSeveralCrLfLines)
{
    log.WriteLog("first\nsecond\r\nthird\rfourth");
    EXPECT_THAT(crlfLines(readFile(file)), ElementsAre("SRV01 2026-12-07 01:55:53 first", "second", "third", "fourth"));
}

TEST_F(SetupLogTest, ExistingLinesStayAndNoLineIsJoined)
{
    writeFile(file, "old one\nold two");  // written elsewhere, LF only, no break at the end
    log.WriteLog("new");
    EXPECT_EQ(readFile(file), "old one\nold two\r\nSRV01 2026-12-07 01:55:53 new\r\n");
}

TEST_F(SetupLogTest, SecondRunFollowsTheFirst)
{
    for (int run = 0; run < 2; ++run) {
        log.WriteLogBanner(true);
        log.WriteLog("run");
        log.WriteLogBanner(false);
    }
    const auto lines = crlfLines(readFile(file));
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_EQ(lines[5], "End database / table createion program");
    EXPECT_EQ(lines[8], "Start database / table creation program");
}

TEST_F(SetupLogTest, WindowsDirectoryLetsMessagesThroughAndEndsInASeparator)
{
    EXPECT_EQ(log.GetWinDir(), system.windowsDir + platform::kDirSeparator);
    system.windowsDir += platform::kDirSeparator;
    EXPECT_EQ(log.GetWinDir(), system.windowsDir);
    EXPECT_EQ(messagesLetThrough, 2);
    system.windowsDir = "";
    EXPECT_EQ(log.GetWinDir(), "");
    EXPECT_EQ(log.path(), nativePath("MigKit4/system.log"));
}

TEST_F(SetupLogTest, MissingKitFolderIsAnErrorNamingTheFile)
{
    std::filesystem::remove_all(system.windowsDir);
    try {
        log.WriteLog("lost");
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("system.log"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(std::filesystem::exists(system.windowsDir)) << "the folder is not created";
}

}  // namespace
}  // namespace talvorin::testing
