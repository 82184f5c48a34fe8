#include <signal.h>

#include "dbwork/tool_runner.h"
#include "step_fixture.h"
#include "ui/timer.h"

namespace talvorin::testing {
namespace {

class ToolRunner : public StepFixture {};

TEST_F(ToolRunner, ReturnsTheToolsExitCode)
{
    auto& launcher = platform::systemProcessLauncher();
    exitCodes("fail=1;*=0");
    EXPECT_EQ(dbwork::RunTool(ui, launcher, KIT_TOOL_STANDIN, " ok", ""), 0);
    EXPECT_EQ(dbwork::RunTool(ui, launcher, KIT_TOOL_STANDIN, " fail", ""), 1);
    EXPECT_EQ(dbwork::RunTool(ui, launcher, dir.str() + "/missing.exe", "", ""), dbwork::kNotStarted);
}

TEST_F(ToolRunner, WaitSleepsWhileTheWindowStaysAlive)
{
    ui::Timer progressTimer(ui, "Timer1", 100);
    int ticks = 0;
    progressTimer.onTimer = [&] { ++ticks; };
    progressTimer.setEnabled(true);
    ::setenv("KIT_TOOL_SLEEP_MS", "400", 1);
    EXPECT_EQ(dbwork::RunTool(ui, platform::systemProcessLauncher(), KIT_TOOL_STANDIN, "", ""), 0);
    EXPECT_GE(ticks, 2) << "the progress timer keeps firing during the wait";
    // A polling loop would pass through here thousands of times in 400 ms; a sleeping
    // one about once per timer tick.
    EXPECT_LE(ui.processMessagesCalls, 20);
}

TEST_F(ToolRunner, QuitRequestLeavesTheToolRunningAndStartsNothingMore)
{
    ::setenv("KIT_TOOL_SLEEP_MS", "3000", 1);
    ui.onWait = [&] { ui.requestQuit(); };
    EXPECT_EQ(dbwork::RunTool(ui, platform::systemProcessLauncher(), KIT_TOOL_STANDIN, " first", ""),
              dbwork::kStillActive);
    const auto r = awaitRuns(1);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(::kill(static_cast<pid_t>(r[0].pid), 0), 0) << "the tool goes on by itself";
    ::kill(static_cast<pid_t>(r[0].pid), SIGKILL);

    EXPECT_EQ(dbwork::RunTool(ui, platform::systemProcessLauncher(), KIT_TOOL_STANDIN, " second", ""),
              dbwork::kStillActive);
    EXPECT_EQ(runs().size(), 1u) << "nothing is started after the quit";
}

TEST_F(ToolRunner, QuitDuringAListIsLoggedAsAnInterruptionNamingTheToolLeftRunning)
{
    installTool("osql.exe");
    placeScripts({"a.sql", "b.sql", "c.sql"});
    setupFile("[SCRIPT_2005]\r\n1=a.sql\r\n2=b.sql\r\n[SCRIPT_2008_ADDITIONAL]\r\n1=c.sql\r\n"
              "[UPD_2005]\r\n1=b.sql\r\n[CODE_TABLE]\r\n1=T1\r\n");
    ::setenv("KIT_TOOL_SLEEP_MS", "3000", 1);
    ui.onWait = [&] { ui.requestQuit(); };
    auto ctx = context();
    EXPECT_THROW(dbwork::CreateDatabases(ctx, in), dbwork::RunInterrupted);
    EXPECT_EQ(log.lines.back(), "Interrupted by a quit request: osql.exe was left running for a.sql");
    for (const auto& line : log.lines)
        EXPECT_EQ(line.find("Error creating database"), std::string::npos) << "an interruption is no script failure";
    const auto r = awaitRuns(1);
    ASSERT_EQ(r.size(), 1u);
    ::kill(static_cast<pid_t>(r[0].pid), SIGKILL);

    // Nothing more is started, in any step, and nothing more is logged.
    const std::size_t logged = log.lines.size();
    EXPECT_THROW(dbwork::ModifyTableStructures(ctx, in), dbwork::RunInterrupted);
    EXPECT_THROW(dbwork::LoadCodeTables(ctx, in), dbwork::RunInterrupted);
    EXPECT_EQ(log.lines.size(), logged + 1) << "only the modification's start line";
    EXPECT_EQ(runs().size(), 1u);
}

}  // namespace
}  // namespace talvorin::testing
