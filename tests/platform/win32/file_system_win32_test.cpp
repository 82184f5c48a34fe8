#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/win32/windows_api.h"
#include "support/temp_dir.h"

namespace talvorin::platform {
namespace {

std::string bytesOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

TEST(Win32FileSystem, AppendsWholeLinesAndNeverJoinsOne)
{
    const testing::TempDir folder;
    const struct {
        const char* before;  // nullptr: no file yet
        const char* after;
    } cases[] = {
        {nullptr, "line\r\n"},
        {"", "line\r\n"},
        {"old\r\n", "old\r\nline\r\n"},
        {"old\n", "old\nline\r\n"},
        {"old", "old\r\nline\r\n"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string path = folder.make("log" + std::to_string(n++) + ".log");
        if (c.before) std::ofstream(path, std::ios::binary) << c.before;
        appendLines(path, "line\r\n");
        EXPECT_EQ(bytesOf(path), c.after) << (c.before ? c.before : "(none)");
    }
}

TEST(Win32FileSystem, RefusesToAppendToAReadOnlyFileOrAFolder)
{
    const testing::TempDir folder;
    const std::string readOnly = folder.make("ro.log");
    std::ofstream(readOnly, std::ios::binary) << "kept\r\n";
    ::SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_THROW(appendLines(readOnly, "x\r\n"), std::runtime_error);
    EXPECT_THROW(appendLines(folder.path().string(), "x\r\n"), std::runtime_error);
    EXPECT_THROW(appendLines(folder.path().string() + "\\missing\\system.log", "x\r\n"), std::runtime_error);
    ::SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(bytesOf(readOnly), "kept\r\n");
}

TEST(Win32FileSystem, TellsFilesFromFoldersWhateverTheCase)
{
    const testing::TempDir folder;
    const std::string file = folder.make("Orvo4.DAT");
    std::ofstream(file, std::ios::binary) << "[DB]\r\n";
    const std::string other = folder.path().string() + "\\orvo4.dat";
    EXPECT_TRUE(fileExists(other));
    EXPECT_TRUE(pathExists(other));
    // The system itself finds the file: names are passed on as given.
    EXPECT_EQ(resolvePath(other), other);
    EXPECT_EQ(resolveForWriting(other), other);
    EXPECT_EQ(resolveForWriting(folder.path().string() + "\\NEW.log"), folder.path().string() + "\\NEW.log");
    EXPECT_FALSE(fileExists(folder.path().string()));
    EXPECT_TRUE(pathExists(folder.path().string()));
    EXPECT_FALSE(pathExists(folder.path().string() + "\\none"));
    EXPECT_FALSE(resolvePath(""));
}

}  // namespace
}  // namespace talvorin::platform
