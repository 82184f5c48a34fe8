#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "platform/win32/handles.h"
#include "platform/win32/symbolic_link.h"
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
        {nullptr, "line\r\n"},      {"", "line\r\n"},           {"old\r\n", "old\r\nline\r\n"},
        {"old\n", "old\nline\r\n"}, {"old", "old\r\nline\r\n"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string path = folder.make("log" + std::to_string(n++) + ".log");
        if (c.before) std::ofstream(path, std::ios::binary) << c.before;
        appendLines(path, "line\r\n");
        EXPECT_EQ(bytesOf(path), c.after) << (c.before ? c.before : "(none)");
    }
}

// A log of years of runs may pass 2 and 4 GiB: the 32-bit program must still find its end.
TEST(Win32FileSystem, AppendsBeyondFourGibibytes)
{
    const testing::TempDir folder;
    for (const LONGLONG size : {(1LL << 31) + 3, (1LL << 32) + 5}) {
        const std::string path = folder.make("big" + std::to_string(size) + ".log");
        {
            // Sparse: the file system keeps no data for the zeros before the end.
            const UniqueHandle file(
                ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            ASSERT_TRUE(file);
            LARGE_INTEGER end{};
            end.QuadPart = size - 2;
            ASSERT_TRUE(::SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN));
            DWORD written = 0;
            ASSERT_TRUE(::WriteFile(file.get(), "\r\n", 2, &written, nullptr));
        }
        appendLines(path, "line\r\n");
        const UniqueHandle file(
            ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER total{}, from{};
        ASSERT_TRUE(::GetFileSizeEx(file.get(), &total));
        EXPECT_EQ(total.QuadPart, size + 6);
        from.QuadPart = size - 2;
        std::string tail(8, '\0');
        DWORD read = 0;
        ASSERT_TRUE(::SetFilePointerEx(file.get(), from, nullptr, FILE_BEGIN));
        ASSERT_TRUE(::ReadFile(file.get(), tail.data(), 8, &read, nullptr));
        EXPECT_EQ(tail.substr(0, read), "\r\nline\r\n") << size;
    }
}

TEST(Win32FileSystem, TwoRunsAppendingAtOnceLoseNothingAndAProgramHoldingTheLogIsStillRefused)
{
    const testing::TempDir folder;
    const std::string path = folder.make("system.log");
    constexpr int kLines = 300;
    std::atomic<int> failures{0};
    const auto run = [&](char name) {
        for (int i = 0; i < kLines; ++i) try {
                appendLines(path, name + std::to_string(i) + "\r\n");
            } catch (const std::runtime_error&) {
                ++failures;
            }
    };
    std::thread first(run, 'a'), second(run, 'b');
    first.join();
    second.join();
    EXPECT_EQ(failures, 0);
    std::istringstream text(bytesOf(path));
    std::set<std::string> lines;
    for (std::string line; std::getline(text, line);) lines.insert(line);
    EXPECT_EQ(lines.size(), 2u * kLines) << "every line once, whole, with its CR";
    EXPECT_EQ(lines.count("a0\r") + lines.count("b299\r"), 2u);

    const UniqueHandle holder(::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    try {
        appendLines(path, "x\r\n");
        ADD_FAILURE() << "appended to a log another program holds";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot append to " + path + ": " + errorText(ERROR_SHARING_VIOLATION));
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

TEST(Win32FileSystem, TheLogIsNeverALinkAFolderOrOtherThanADiskFile)
{
    // What must stay there or open while the log is appended to.
    struct Kept {
        std::optional<testing::ScopedSymbolicLink> link;
        UniqueHandle pipe;
    };
    struct Case {
        const char* what;
        // Makes what the log's name is and gives the name to append to.
        std::string (*make)(const testing::TempDir& folder, Kept& keep);
        const char* reason;
        bool seenUnderWine;
    };
    const Case cases[] = {
        {"link to a file",
         [](const auto& f, auto& keep) {
             std::ofstream(f / "other.txt", std::ios::binary) << "other\r\n";
             keep.link.emplace(f.str(), "system.log", "other.txt", false);
             return f / "system.log";
         },
         "it is a symbolic link, which is not followed",
         false},  // Wine shows the file the link points to, and nothing else
        {"link that points nowhere",
         [](const auto& f, auto& keep) {
             keep.link.emplace(f.str(), "system.log", "created-by-the-log", false);
             return f / "system.log";
         },
         "it is a symbolic link, which is not followed", true},
        {"link to a folder",
         [](const auto& f, auto& keep) {
             std::filesystem::create_directory(f / "kit");
             keep.link.emplace(f.str(), "system.log", "kit", true);
             return f / "system.log";
         },
         "it is a symbolic link, which is not followed", true},
        {"folder",
         [](const auto& f, auto&) {
             std::filesystem::create_directory(f / "system.log");
             return f / "system.log";
         },
         "not a regular file", true},
        {"device", [](const auto&, auto&) { return std::string("NUL"); }, "not a regular file", true},
        {"named pipe",
         [](const auto& f, auto& keep) {
             const std::string name = "\\\\.\\pipe\\" + f.path().filename().string();
             keep.pipe.reset(::CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr));
             return name;
         },
         "not a regular file", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (testing::underWine() && !c.seenUnderWine) continue;
        const testing::TempDir folder;
        Kept keep;
        const std::string log = c.make(folder, keep);
        try {
            appendLines(log, "line\r\n");
            ADD_FAILURE() << "appended to " << log;
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), "Cannot append to " + log + ": " + c.reason);
        }
        if (std::filesystem::exists(folder / "other.txt")) {
            EXPECT_EQ(bytesOf(folder / "other.txt"), "other\r\n");
        }
        EXPECT_FALSE(std::filesystem::exists(folder / "created-by-the-log"));
        EXPECT_FALSE(std::filesystem::exists(folder / "kit/system.log"));
    }
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
