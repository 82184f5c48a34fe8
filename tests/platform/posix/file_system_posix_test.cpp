// Windows-style names on a file system that tells cases apart: each name matched without
// regard to case when the exact one does not exist, either separator.
#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/file_helpers.h"

namespace talvorin::platform {
namespace {

using talvorin::testing::TempDir;
using testing::writeBytes;

class PosixFileSystem : public ::testing::Test {
protected:
    PosixFileSystem()
    {
        std::filesystem::create_directories(folder / "MigKit4/Sub Dir");
        writeBytes(folder / "MigKit4/Orvo4.DAT", "x");
        writeBytes(folder / "MigKit4/Sub Dir/a.sql", "x");
    }
    TempDir folder;
};

TEST_F(PosixFileSystem, ResolvesEachNameWithoutRegardToCase)
{
    const std::string expected = folder / "MigKit4/Orvo4.DAT";
    EXPECT_EQ(resolvePath(expected), expected);
    EXPECT_EQ(resolvePath(folder / "MigKit4/Orvo4.dat"), expected);
    EXPECT_EQ(resolvePath(folder / "migkit4/ORVO4.DAT"), expected);
    EXPECT_EQ(resolvePath(folder.str() + "\\MIGKIT4\\orvo4.dat"), expected);
    EXPECT_EQ(resolvePath(folder / "migkit4\\sub dir\\A.SQL"), folder / "MigKit4/Sub Dir/a.sql");
    EXPECT_EQ(resolvePath(folder / "MigKit4//Orvo4.dat"), expected);
    EXPECT_EQ(resolvePath(folder / "migkit4/"), folder / "MigKit4");
}

TEST_F(PosixFileSystem, NamesEndingInDotsOrBlanksMeanTheNamesWithoutThem)
{
    for (const char* name : {"MigKit4/Sub Dir/a.sql.", "MigKit4/Sub Dir/a.sql . ", "migkit4. /SUB DIR ./A.SQL..",
                             "MigKit4\\Sub Dir.\\a.sql "})
        EXPECT_EQ(resolvePath(folder / name), folder / "MigKit4/Sub Dir/a.sql") << name;
    EXPECT_EQ(resolvePath(folder / "MigKit4/..."), std::nullopt);
    EXPECT_EQ(resolveForWriting(folder / "MigKit4./new.ini. "), folder / "MigKit4/new.ini");
}

TEST_F(PosixFileSystem, TheExactNameWinsOverOtherCases)
{
    writeBytes(folder / "MigKit4/orvo4.dat", "lower");
    EXPECT_EQ(resolvePath(folder / "MigKit4/orvo4.dat"), folder / "MigKit4/orvo4.dat");
    EXPECT_EQ(resolvePath(folder / "MigKit4/Orvo4.DAT"), folder / "MigKit4/Orvo4.DAT");
}

TEST_F(PosixFileSystem, ResolvesRelativeNames)
{
    struct WorkingFolder {
        explicit WorkingFolder(const std::string& path) { std::filesystem::current_path(path); }
        ~WorkingFolder() { std::filesystem::current_path(old); }
        std::filesystem::path old = std::filesystem::current_path();
    };
    // The old folder is taken before the change: members are initialised first.
    const WorkingFolder inKitParent(folder.str());
    EXPECT_EQ(resolvePath("MIGKIT4\\orvo4.dat"), "MigKit4/Orvo4.DAT");
    EXPECT_EQ(resolveForWriting("migkit4\\system.log"), "MigKit4/system.log");
    EXPECT_EQ(resolveForWriting("nokit\\system.log"), "nokit/system.log");
    EXPECT_EQ(resolveForWriting("new.txt"), "new.txt");
}

TEST_F(PosixFileSystem, ResolvesNamesForWriting)
{
    EXPECT_EQ(resolveForWriting(folder / "migkit4/ORVO4.dat"), folder / "MigKit4/Orvo4.DAT");
    EXPECT_EQ(resolveForWriting(folder / "MIGKIT4\\sub dir\\New.log"), folder / "MigKit4/Sub Dir/New.log");
    EXPECT_EQ(resolveForWriting(folder.str() + "\\NoKit\\system.log"), folder / "NoKit/system.log");
}

}  // namespace
}  // namespace talvorin::platform
