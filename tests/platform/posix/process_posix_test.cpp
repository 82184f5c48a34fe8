#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix/process_posix.h"
#include "platform/process.h"
#include "support/kit_tool_journal.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace talvorin::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Only keeps a broken test from hanging; nothing is asserted about how long things take.
constexpr int kPatienceMs = 60'000;

using talvorin::testing::ScopedEnv;
using talvorin::testing::TempDir;

bool endsWithin(const ChildProcess& child, int timeoutMs)
{
    pollfd fd{child.endSignal(), POLLIN, 0};
    int ready;
    do ready = ::poll(&fd, 1, timeoutMs);
    while (ready < 0 && errno == EINTR);
    return ready == 1 && (fd.revents & POLLIN) != 0;
}

std::optional<int> waitForExit(ChildProcess& child)
{
    if (!endsWithin(child, kPatienceMs)) return std::nullopt;
    return child.exitCode();
}

char processState(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    const std::size_t paren = text.rfind(')');
    return paren == std::string::npos || paren + 2 >= text.size() ? '\0' : text[paren + 2];
}

bool gone(pid_t pid) { return ::kill(pid, 0) != 0 && errno == ESRCH; }

template <typename Condition>
bool eventually(Condition condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// Runs every case with both ways of learning that a child ended.
class ProcessTest : public ::testing::TestWithParam<bool> {
protected:
    ProcessTest() : journal_(dir_.path() / "journal"), journalEnv_("KIT_TOOL_JOURNAL", journal_.string())
    {
        kitDir_ = dir_.path() / "MigKit4";
        fs::create_directories(kitDir_);
        fs::create_symlink(KIT_TOOL_STANDIN, kitDir_ / "osql.exe");
        fs::create_symlink(KIT_TOOL_STANDIN, kitDir_ / "bcp.exe");
    }

    ProcessLauncher& launcher() { return GetParam() ? systemProcessLauncher() : sigchldProcessLauncher(); }

    std::string tool(const char* name) const { return (kitDir_ / name).string(); }

    std::unique_ptr<ChildProcess> start(const std::string& program, const std::string& parameters,
                                        const std::string& workingDirectory = "")
    {
        return launcher().start({program, parameters, workingDirectory}).child;
    }

    std::vector<KitToolRun> runs() const { return readKitToolJournal(journal_.string()); }

    // Starts the tool, waits for it, and returns its exit code.
    std::optional<int> run(const std::string& program, const std::string& parameters,
                           const std::string& workingDirectory = "")
    {
        std::unique_ptr<ChildProcess> child = start(program, parameters, workingDirectory);
        if (!child) return std::nullopt;
        return waitForExit(*child);
    }

    // The pid of a tool that is known to have started, from its journal record.
    pid_t startedPid(std::size_t count)
    {
        if (!eventually([&] { return runs().size() >= count; })) return -1;
        return static_cast<pid_t>(runs().at(count - 1).pid);
    }

    TempDir dir_;
    fs::path journal_;
    ScopedEnv journalEnv_;
    fs::path kitDir_;
};

INSTANTIATE_TEST_SUITE_P(EndSignal, ProcessTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "pidfd" : "sigchld"; });

TEST_P(ProcessTest, ToolReceivesTheSplitArgumentsByteForByte)
{
    const std::string parameters =
        R"( ORVO..T2 in "/k/a b.txt" -m 0 -t"\@\t" -r"\@\r\n" -q -S 10.1.2.3,1433 -P "p\"w d" -e bcp.log)";
    ASSERT_EQ(run(tool("bcp.exe"), parameters, dir_.path().string()), 0);

    const std::vector<KitToolRun> journal = runs();
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_EQ(journal[0].program, "bcp.exe");
    EXPECT_EQ(journal[0].args,
              (std::vector<std::string>{"ORVO..T2", "in", "/k/a b.txt", "-m", "0", R"(-t\@\t)", R"(-r\@\r\n)", "-q",
                                        "-S", "10.1.2.3,1433", "-P", "p\"w d", "-e", "bcp.log"}));
}

TEST_P(ProcessTest, ToolStartsInTheGivenDirectoryOrInOurs)
{
    ASSERT_EQ(run(tool("bcp.exe"), " x -e bcp.log", kitDir_.string()), 0);
    ASSERT_EQ(run(tool("osql.exe"), " -i y.sql"), 0);

    const std::vector<KitToolRun> journal = runs();
    ASSERT_EQ(journal.size(), 2u);
    EXPECT_EQ(journal[0].workingDirectory, kitDir_.string());
    EXPECT_TRUE(fs::exists(kitDir_ / "bcp.log")) << "the error file lands in the working directory";
    EXPECT_EQ(journal[1].workingDirectory, fs::current_path().string());
}

TEST_P(ProcessTest, WindowsStyleNamesAreResolved)
{
    const fs::path inner = dir_.path() / "MigKit4";
    const std::string program = dir_.path().string() + "\\migkit4\\OSQL.EXE";
    const std::string directory = dir_.path().string() + "\\MIGKIT4\\";  // as KitDir is held
    ASSERT_EQ(run(program, " -q", directory), 0);
    ASSERT_EQ(runs().size(), 1u);
    EXPECT_EQ(runs()[0].workingDirectory, inner.string());
}

TEST_P(ProcessTest, ExitCodeFollowsTheTool)
{
    const ScopedEnv rules("KIT_TOOL_EXIT_CODES", "a.sql=1;TABLE2=3;*=7");
    EXPECT_EQ(run(tool("osql.exe"), R"( -U sa -i "/s/a.sql")"), 1);
    EXPECT_EQ(run(tool("bcp.exe"), " ORVO..TABLE2 in t.txt"), 3);
    EXPECT_EQ(run(tool("osql.exe"), " -i b.sql"), 7);
}

TEST_P(ProcessTest, StandInTakesTheFirstMatchingRuleAndStarLast)
{
    {
        const ScopedEnv rules("KIT_TOOL_EXIT_CODES", "a.sql=1;b.sql=2");
        EXPECT_EQ(run(tool("osql.exe"), " -i b.sql -o a.sql"), 1);
        EXPECT_EQ(run(tool("osql.exe"), " -i c.sql"), 0);
    }
    {
        const ScopedEnv rules("KIT_TOOL_EXIT_CODES", "*=5;x=1");
        EXPECT_EQ(run(tool("osql.exe"), " x"), 1);
        EXPECT_EQ(run(tool("osql.exe"), " y"), 5);
    }
    {
        const ScopedEnv rules("KIT_TOOL_EXIT_CODES", "x");
        EXPECT_EQ(run(tool("osql.exe"), " x"), 125);
    }
}

TEST_P(ProcessTest, ToolSeesOnlyDevNullForItsStandardFiles)
{
    // A descriptor some library opened without O_CLOEXEC must not reach the tool.
    const int leaky = ::open("/dev/zero", O_RDONLY);
    ASSERT_GE(leaky, 0);
    const auto result = run(tool("osql.exe"), " -q");
    ::close(leaky);
    ASSERT_EQ(result, 0);

    ASSERT_EQ(runs().size(), 1u);
    EXPECT_EQ(runs()[0].openFiles, (std::vector<std::string>{"0=/dev/null", "1=/dev/null", "2=/dev/null"}));
}

TEST_P(ProcessTest, ProgramThatCannotBeStartedGivesNullAndTheSystemsReason)
{
    const fs::path plain = dir_.path() / "plain.exe";
    std::ofstream(plain) << "not a program\n";
    const fs::path garbage = dir_.path() / "garbage.exe";
    std::ofstream(garbage) << "\x7f"
                              "ELF but not really";
    fs::permissions(garbage, fs::perms::owner_all);

    struct Case {
        const char* what;
        std::string program, workingDirectory;
        int error;
    };
    const Case cases[] = {
        {"missing", (dir_.path() / "missing.exe").string(), "", ENOENT},
        {"no name", "", "", ENOENT},
        {"not executable", plain.string(), "", EACCES},
        {"exec refuses it", garbage.string(), "", ENOEXEC},
        {"a folder", kitDir_.string(), "", EISDIR},
        {"missing working directory", tool("osql.exe"), (dir_.path() / "nowhere").string(), ENOENT},
    };
    for (const Case& c : cases) {
        const LaunchResult result = launcher().start({c.program, " -q", c.workingDirectory});
        EXPECT_EQ(result.child, nullptr) << c.what;
        EXPECT_EQ(result.failure, std::generic_category().message(c.error)) << c.what;
    }
    EXPECT_TRUE(runs().empty());
}

TEST_P(ProcessTest, StartedProgramHasNoFailure)
{
    const LaunchResult result = launcher().start({tool("osql.exe"), " -q", "", kNoWindow});
    ASSERT_NE(result.child, nullptr);
    EXPECT_EQ(result.failure, "");
    EXPECT_EQ(waitForExit(*result.child), 0);
}

TEST_P(ProcessTest, EndSignalComesWhenTheChildEndsAndNotBefore)
{
    const ScopedEnv sleep("KIT_TOOL_SLEEP_MS", "600000");
    std::unique_ptr<ChildProcess> child = start(tool("osql.exe"), " -q");
    ASSERT_NE(child, nullptr);
    const pid_t pid = startedPid(1);
    ASSERT_GT(pid, 0);

    EXPECT_FALSE(endsWithin(*child, 100));
    EXPECT_EQ(child->exitCode(), std::nullopt);
    EXPECT_EQ(::getsid(pid), pid) << "the tool runs in a session of its own";

    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    ASSERT_TRUE(endsWithin(*child, kPatienceMs));
    EXPECT_EQ(child->exitCode(), 128 + SIGTERM);
    EXPECT_EQ(child->exitCode(), 128 + SIGTERM) << "asked again after the child is reaped";
    EXPECT_TRUE(endsWithin(*child, 0)) << "the signal stays set";
}

TEST_P(ProcessTest, ReleasedChildRunsOnAndIsReapedAfterItEnds)
{
    std::unique_ptr<ChildProcess> child;
    {
        const ScopedEnv sleep("KIT_TOOL_SLEEP_MS", "600000");
        child = start(tool("osql.exe"), " -q");
    }
    ASSERT_NE(child, nullptr);
    const pid_t pid = startedPid(1);
    ASSERT_GT(pid, 0);

    child.reset();
    EXPECT_FALSE(gone(pid)) << "releasing the child must not stop it";
    EXPECT_NE(processState(pid), 'Z');

    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    ASSERT_TRUE(eventually([&] { return gone(pid) || processState(pid) == 'Z'; }));
    // The next start reaps what was left behind.
    ASSERT_EQ(run(tool("osql.exe"), " -q"), 0);
    EXPECT_TRUE(eventually([&] { return gone(pid); }));
}

}  // namespace
}  // namespace talvorin::platform
