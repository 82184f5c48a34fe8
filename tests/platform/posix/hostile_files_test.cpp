// Files that are not what they should be where a settings file, the registry file or the
// setup log belongs: FIFOs, links, folders, a disk that fills in the middle of a line.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/file_system.h"
#include "formats/ini_text.h"
#include "platform/registry.h"
#include "platform/settings_files.h"
#include "platform/file_helpers.h"
#include "support/ini_sections.h"

namespace talvorin::platform {
namespace {

using talvorin::testing::ScopedEnv;
using talvorin::testing::TempDir;
using testing::fileMode;
using testing::readBytes;
using testing::writeBytes;

// Opens a FIFO's writing end once `give up` has come, so a reader stuck in open() gets free
// again and the test fails instead of hanging; records whether that was needed.
class FifoWatchdog {
public:
    explicit FifoWatchdog(std::string fifo) : fifo_(std::move(fifo))
    {
        thread_ = std::thread([this] {
            for (int i = 0; i < 200 && !done_; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (done_) return;
            rescued_ = true;
            const int fd = ::open(fifo_.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) ::close(fd);
        });
    }
    ~FifoWatchdog() { finish(); }
    bool finish()
    {
        done_ = true;
        if (thread_.joinable()) thread_.join();
        return rescued_;
    }

private:
    std::string fifo_;
    std::atomic<bool> done_{false}, rescued_{false};
    std::thread thread_;
};

TEST(HostileFiles, AFifoAsSettingsOrRegistryFileReadsAsMissingWithoutBlocking)
{
    TempDir folder;
    const std::string fifo = folder / "Orvo4.DAT";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ScopedEnv registry("TALVORIN_REGISTRY", fifo.c_str());

    FifoWatchdog watchdog(fifo);
    SettingsFiles& settings = systemSettingsFiles();
    EXPECT_EQ(settings.readString(fifo, "DB", "User", "none"), "none");
    EXPECT_EQ(settings.readInt(fifo, "OPTIONS", "InstallMode", 7), 7);
    EXPECT_TRUE(settings.readSectionValues(fifo, "SCRIPT_2005").empty());
    EXPECT_EQ(systemRegistry().openKey("SOFTWARE\\QUORVANTA\\ORVO3"), nullptr);
    EXPECT_THROW(settings.writeString(fifo, "DB", "User", "x"), SettingsWriteError);
    EXPECT_FALSE(watchdog.finish()) << "a read waited for a writer of the FIFO";
}

TEST(HostileFiles, TheLogIsNeverALinkAFifoOrAFolder)
{
    struct Case {
        const char* what;
        void (*make)(const TempDir&, const std::string& log);
        const char* reason;
    };
    const Case cases[] = {
        {"link to a file",
         [](const TempDir& f, const std::string& log) {
             writeBytes(f / "other.txt", "other\r\n");
             std::filesystem::create_symlink(f / "other.txt", log);
         },
         "symbolic link"},
        {"dangling link",
         [](const TempDir& f, const std::string& log) {
             std::filesystem::create_symlink(f / "created-by-the-log", log);
         },
         "symbolic link"},
        {"FIFO", [](const TempDir&, const std::string& log) { ::mkfifo(log.c_str(), 0600); }, "not a regular file"},
        {"folder", [](const TempDir&, const std::string& log) { std::filesystem::create_directory(log); },
         "not a regular file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir folder;
        const std::string log = folder / "system.log";
        c.make(folder, log);
        FifoWatchdog watchdog(log);
        try {
            appendLines(log, "line\r\n");
            ADD_FAILURE() << "appended";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(log), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
        }
        EXPECT_FALSE(watchdog.finish()) << "the append waited for a reader of the FIFO";
        EXPECT_EQ(readBytes(folder / "other.txt").value_or("other\r\n"), "other\r\n");
        EXPECT_FALSE(std::filesystem::exists(folder / "created-by-the-log"));
    }
}

TEST(HostileFiles, AnAppendCutShortByAFullDiskIsTakenBackWhole)
{
    TempDir folder;
    const std::string log = folder / "system.log";
    writeBytes(log, "first line\r\n");
    // A file-size limit cuts a write short where it crosses the limit, as a full disk does.
    const pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{20, 20};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try {
            appendLines(log, "Start database / table creation program\r\n");
        } catch (const std::runtime_error&) {
            ::_exit(0);
        }
        ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the cut append did not fail";
    EXPECT_EQ(readBytes(log), "first line\r\n");
}

TEST(HostileFiles, ANewSettingsFileIsTheOwnersAloneAnOldOneKeepsItsMode)
{
    TempDir folder;
    const mode_t oldMask = ::umask(0);
    SettingsFiles& settings = systemSettingsFiles();
    settings.writeString(folder / "Orvo4.dat", "DB", "Password", "scrambled");
    writeBytes(folder / "dbsvr.ini", "[DB]\r\n");
    ::chmod((folder / "dbsvr.ini").c_str(), 0644);
    settings.writeString(folder / "dbsvr.ini", "DataMigration", "Mig_Done", "NotDone");
    ::umask(oldMask);
    EXPECT_EQ(fileMode(folder / "Orvo4.dat"), 0600u);
    EXPECT_EQ(fileMode(folder / "dbsvr.ini"), 0644u);
}

TEST(HostileFiles, ReadingALargeFileOfEmptyLinesCostsLittleMoreThanItsBytes)
{
    constexpr std::size_t size = 16u << 20;
    // In a child of its own, so that its peak memory is measured alone.
    const pid_t child = ::fork();
    if (child == 0) {
        const std::string text = "[SCRIPT_2005]\r\n" + std::string(size, '\n') + "[CODE_TABLE]\r\n1=x\r\n";
        const bool read = formats::ini::readSectionValues(text, "SCRIPT_2005").empty() &&
                          formats::ini::readKeyNames(text, "CODE_TABLE").size() == 1 &&
                          formats::ini::readValue(text, "CODE_TABLE", "1", "") == "x" &&
                          talvorin::testing::iniSectionNames(text).size() == 2 &&
                          formats::ini::writeValue(text, "SCRIPT_2005", "1", "a.sql").size() > size;
        ::_exit(read ? 0 : 1);
    }
    int status = 0;
    rusage usage{};
    ASSERT_EQ(::wait4(child, &status, 0, &usage), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the reader died";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the reader read the file wrong";
    // The text, the written copy and the test program itself.
    EXPECT_LT(static_cast<std::size_t>(usage.ru_maxrss) * 1024, 3 * size + (64u << 20));
}

}  // namespace
}  // namespace talvorin::platform
