#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace talvorin::platform {
namespace {

TEST(FileSystemPosix, NamesAtTheRootMatchOnlyExactly)
{
    // The root holds the system's folders: "\BIN" is not /bin, so no file of a setup run
    // lands among the system's programs.
    ASSERT_TRUE(std::filesystem::is_directory("/etc"));
    EXPECT_EQ(resolvePath("/etc"), "/etc");
    EXPECT_EQ(resolvePath("/ETC"), std::nullopt);
    EXPECT_EQ(resolvePath("\\Etc\\passwd"), std::nullopt);
    EXPECT_FALSE(pathExists("/ETC"));
    EXPECT_EQ(resolveForWriting("/ETC/dbsvr.ini"), "/ETC/dbsvr.ini");
    EXPECT_EQ(resolveForWriting("\\BIN\\dbsvr.ini"), "/BIN/dbsvr.ini");
    // Below the root names still match without regard to case.
    const talvorin::testing::TempDir folder;
    std::filesystem::create_directories(folder / "MigKit4");
    EXPECT_EQ(resolveForWriting(folder / "MIGKIT4/dbsvr.ini"), folder / "MigKit4/dbsvr.ini");
}

}  // namespace
}  // namespace talvorin::platform
