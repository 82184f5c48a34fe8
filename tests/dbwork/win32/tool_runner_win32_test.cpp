// Kit tools started through the shell and waited for in the Windows message loop.
#include <gtest/gtest.h>

#include <filesystem>

#include "dbwork/tool_runner.h"
#include "platform/win32/quit_request.h"
#include "support/backend_step_window.h"
#include "support/kit_tool_journal.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "ui/timer.h"
#include "ui/win32/win32_backend.h"

namespace talvorin::testing {
namespace {

class Win32ToolRunner : public ::testing::Test {
protected:
    Win32ToolRunner()
    {
        std::filesystem::create_directories(kit);
        std::filesystem::copy_file(KIT_TOOL_STANDIN, kit + "\\osql.exe");
    }

    std::vector<KitToolRun> runs() const { return readKitToolJournal(journal.c_str()); }

    TempDir dir;
    const std::string kit = dir.str() + "\\Kit Folder";
    const std::string journal = dir.str() + "\\journal";
    ScopedEnv journalVariable{"KIT_TOOL_JOURNAL", journal};
    ScopedEnv exitCodes{"KIT_TOOL_EXIT_CODES", "fail=1;still=259;*=0"};
    ScopedEnv sleep{"KIT_TOOL_SLEEP_MS", nullptr};
    ui::Win32Backend ui;
    BackendStepWindow steps{ui};
};

TEST_F(Win32ToolRunner, TheArgumentStringArrivesUnchangedInTheFolderAsked)
{
    const struct {
        std::string parameters;
        std::string folder;  // "" : this program's own current folder
        int exitCode;
    } cases[] = {
        {" -S 10.0.0.1,1433 -U sa -P p\"w\\\" -i \"C:\\Srv\\Scripts\\a b.sql\"", "", 0},
        {" VELMORA..PORT in Port.dat -m 0 -t\"\\@\\t\" -r\"\\@\\r\\n\" -q -w -e bcp.log", kit, 0},
        {"  fail  ", dir.str(), 1},
        // A tool may end with 259 itself: that is its code, not a tool still running.
        {" still", "", 259},
    };
    for (const auto& c : cases) {
        const std::size_t before = runs().size();
        EXPECT_EQ(dbwork::RunTool(steps, platform::systemProcessLauncher(), kit + "\\osql.exe", c.parameters, c.folder),
                  c.exitCode);
        const auto all = runs();
        ASSERT_EQ(all.size(), before + 1) << c.parameters;
        const KitToolRun& run = all.back();
        ASSERT_TRUE(run.commandLine.has_value());
        // The shell puts the program in front; what follows is the string exactly as given.
        const std::string& line = *run.commandLine;
        ASSERT_GE(line.size(), c.parameters.size());
        EXPECT_EQ(line.substr(line.size() - c.parameters.size()), c.parameters) << line;
        const std::string expectedFolder = c.folder.empty() ? std::filesystem::current_path().string() : c.folder;
        EXPECT_TRUE(std::filesystem::equivalent(run.workingDirectory, expectedFolder))
            << run.workingDirectory << " vs " << expectedFolder;
    }
    EXPECT_EQ(dbwork::RunTool(steps, platform::systemProcessLauncher(), kit + "\\missing.exe", "", ""),
              dbwork::kNotStarted);
}

TEST_F(Win32ToolRunner, AQuitMessageEndsTheWaitAndLeavesTheToolRunning)
{
    sleep.set("5000");
    ui::Timer quitSoon(ui, "quit", 200);
    int ticks = 0;
    quitSoon.onTimer = [&] {
        // The application's quit message, as a session end or the installer would cause it.
        if (++ticks == 1) ::PostQuitMessage(0);
    };
    quitSoon.setEnabled(true);
    EXPECT_EQ(dbwork::RunTool(steps, platform::systemProcessLauncher(), kit + "\\osql.exe", " long", ""),
              dbwork::kStillActive);
    EXPECT_TRUE(ui.quitRequested());
    // The tool journals as it starts, then sleeps: it is still running now.
    std::vector<KitToolRun> started;
    for (int i = 0; i < 200 && started.empty(); ++i, ::Sleep(10)) started = runs();
    ASSERT_EQ(started.size(), 1u);
    const platform::UniqueHandle tool(::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(started[0].pid)));
    ASSERT_TRUE(tool);
    EXPECT_EQ(::WaitForSingleObject(tool.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the tool was stopped";
    // After the request nothing more is started.
    EXPECT_EQ(dbwork::RunTool(steps, platform::systemProcessLauncher(), kit + "\\osql.exe", " next", ""),
              dbwork::kStillActive);
}

}  // namespace
}  // namespace talvorin::testing
