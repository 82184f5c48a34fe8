#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "platform/file_helpers.h"

namespace talvorin::platform {
namespace {

using talvorin::testing::TempDir;
using testing::readBytes;
using testing::writeBytes;

class FileSystemTest : public ::testing::Test {
protected:
    FileSystemTest()
    {
        std::filesystem::create_directories(folder / "MigKit4/Sub Dir");
        writeBytes(folder / "MigKit4/Orvo4.DAT", "x");
        writeBytes(folder / "MigKit4/Sub Dir/a.sql", "x");
    }
    TempDir folder;
};

TEST_F(FileSystemTest, NothingMatches)
{
    EXPECT_EQ(resolvePath(""), std::nullopt);
    EXPECT_EQ(resolvePath(folder / "MigKit4/Orvo5.dat"), std::nullopt);
    EXPECT_EQ(resolvePath(folder / "NoKit/Orvo4.dat"), std::nullopt);
    EXPECT_EQ(resolvePath(folder / "MigKit4/Orvo4.DAT/deeper"), std::nullopt);
    EXPECT_FALSE(pathExists(folder / "MigKit4/Orvo5.dat"));
    EXPECT_FALSE(fileExists(folder / "nokit\\orvo4.dat"));
}

TEST_F(FileSystemTest, TellsFilesFromFolders)
{
    EXPECT_TRUE(pathExists(folder / "migkit4"));
    EXPECT_FALSE(fileExists(folder / "migkit4"));
    EXPECT_TRUE(pathExists(folder / "migkit4\\orvo4.dat"));
    EXPECT_TRUE(fileExists(folder / "migkit4\\orvo4.dat"));
}

TEST_F(FileSystemTest, AppendCreatesTheFile)
{
    // The new file takes the name as given in a folder that is found without regard to
    // case; later names of another case find it.
    appendLines(folder / "migkit4\\SYSTEM.LOG", "first\r\n");
    appendLines(folder / "MigKit4/system.log", "second\r\n");
    EXPECT_EQ(readBytes(folder / "MigKit4/SYSTEM.LOG"), "first\r\nsecond\r\n");
    EXPECT_EQ(testing::entryCount(folder / "MigKit4"), 3u);
}

TEST_F(FileSystemTest, AppendStartsANewLineAfterAnUnfinishedOne)
{
    const std::string log = folder / "MigKit4/system.log";
    const struct {
        const char *before, *appended, *after;
    } cases[] = {{"no line break", "next\r\n", "no line break\r\nnext\r\n"},
                 {"ends in LF\n", "next\r\n", "ends in LF\nnext\r\n"},
                 {"ends in CR\r", "next\r\n", "ends in CR\rnext\r\n"},
                 {"", "first\r\n", "first\r\n"},
                 {"first\r\n", "", "first\r\n"}};
    for (const auto& c : cases) {
        writeBytes(log, c.before);
        appendLines(log, c.appended);
        EXPECT_EQ(readBytes(log), c.after) << c.before;
    }
}

TEST_F(FileSystemTest, AppendFailsWithoutTheFolderAndNamesTheFile)
{
    const std::string log = folder / "NoKit/system.log";
    try {
        appendLines(log, "line\r\n");
        FAIL() << "appended to a file in a missing folder";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(log), std::string::npos) << e.what();
    }
    EXPECT_FALSE(std::filesystem::exists(folder / "NoKit"));
}

TEST_F(FileSystemTest, AppendRefusesAReadOnlyFile)
{
    const std::string log = folder / "MigKit4/system.log";
    writeBytes(log, "kept\r\n");
    ::chmod(log.c_str(), 0444);
    try {
        appendLines(log, "line\r\n");
        FAIL() << "appended to a read-only file";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(log), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("read-only"), std::string::npos) << e.what();
    }
    EXPECT_EQ(readBytes(log), "kept\r\n");
}

}  // namespace
}  // namespace talvorin::platform
