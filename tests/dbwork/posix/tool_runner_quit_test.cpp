// A quit in the middle of a tool's run: the tool goes on by itself (seen and ended here
// through its process id).
#include <signal.h>

#include "dbwork/database_steps.h"
#include "dbwork/step_fixture.h"
#include "dbwork/tool_runner.h"

namespace talvorin::testing {
namespace {

class ToolRunnerQuit : public StepFixture {};

TEST_F(ToolRunnerQuit, QuitRequestLeavesTheToolRunningAndStartsNothingMore)
{
    toolSleep.set("3000");
    ui.onWait = [&] { ui.requestQuit(); };
    EXPECT_EQ(dbwork::RunTool(steps, platform::systemProcessLauncher(), KIT_TOOL_STANDIN, " first", ""),
              dbwork::kStillActive);
    const auto r = awaitRuns(1);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(::kill(static_cast<pid_t>(r[0].pid), 0), 0) << "the tool goes on by itself";
    ::kill(static_cast<pid_t>(r[0].pid), SIGKILL);

    EXPECT_EQ(dbwork::RunTool(steps, platform::systemProcessLauncher(), KIT_TOOL_STANDIN, " second", ""),
              dbwork::kStillActive);
    EXPECT_EQ(runs().size(), 1u) << "nothing is started after the quit";
}

TEST_F(ToolRunnerQuit, QuitDuringAListIsLoggedAsAnInterruptionNamingTheToolLeftRunning)
{
    installTool("osql.exe");
    placeScripts({"a.sql", "b.sql", "c.sql"});
    setupFile("[SCRIPT_2005]\r\n1=a.sql\r\n2=b.sql\r\n[SCRIPT_2008_ADDITIONAL]\r\n1=c.sql\r\n"
              "[UPD_2005]\r\n1=b.sql\r\n[CODE_TABLE]\r\n1=T1\r\n");
    toolSleep.set("3000");
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
