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
    EXPECT_EQ(dbwork::RunTool(steps, launcher, KIT_TOOL_STANDIN, " ok", ""), 0);
    EXPECT_EQ(dbwork::RunTool(steps, launcher, KIT_TOOL_STANDIN, " fail", ""), 1);
    EXPECT_EQ(dbwork::RunTool(steps, launcher, dir / "missing.exe", "", ""), dbwork::kNotStarted);
}

TEST_F(ToolRunner, RequestCarriesTheArgumentsUnchangedAndTheMainWindowAsOwner)
{
    int mainWindow = 0;
    ui.window = &mainWindow;
    FakeLauncher launcher;
    launcher.exitCodes = {{"-b", 7}};
    EXPECT_EQ(dbwork::RunTool(steps, launcher, "C:\\kit\\osql.exe", " -E  -b \"x y\"", "C:\\kit\\"), 7);
    ASSERT_EQ(launcher.starts.size(), 1u);
    EXPECT_EQ(launcher.starts[0].program, "C:\\kit\\osql.exe");
    EXPECT_EQ(launcher.starts[0].parameters, " -E  -b \"x y\"");
    EXPECT_EQ(launcher.starts[0].workingDirectory, "C:\\kit\\");
    EXPECT_EQ(launcher.starts[0].owner, &mainWindow);

    launcher.cannotStart = true;
    EXPECT_EQ(dbwork::RunTool(steps, launcher, "osql.exe", "", ""), dbwork::kNotStarted);
}

TEST_F(ToolRunner, WaitSleepsWhileTheWindowStaysAlive)
{
    ui::Timer progressTimer(ui, "Timer1", 100);
    int ticks = 0;
    progressTimer.onTimer = [&] { ++ticks; };
    progressTimer.setEnabled(true);
    toolSleep.set("400");
    EXPECT_EQ(dbwork::RunTool(steps, platform::systemProcessLauncher(), KIT_TOOL_STANDIN, "", ""), 0);
    EXPECT_GE(ticks, 2) << "the progress timer keeps firing during the wait";
    // A polling loop would pass through here thousands of times in 400 ms; a sleeping
    // one about once per timer tick.
    EXPECT_LE(ui.processMessagesCalls, 20);
}

TEST_F(ToolRunner, AToolEndingInThePassThatBringsAQuitKeepsItsOwnCode)
{
    FakeLauncher launcher;
    launcher.exitCodes = {{"", 7}};
    // The quit request comes in the same pass of pending messages in which the tool ends.
    ui::Timer quitter(ui, "Quitter", 100);
    quitter.onTimer = [&] { ui.requestQuit(); };
    quitter.setEnabled(true);
    ui.timePerProcessMessages = std::chrono::milliseconds(100);
    EXPECT_EQ(dbwork::RunTool(steps, launcher, "bcp.exe", " T1", ""), 7);
    EXPECT_TRUE(ui.quitRequested());
    EXPECT_EQ(dbwork::RunTool(steps, launcher, "bcp.exe", " T2", ""), dbwork::kStillActive);
    EXPECT_EQ(launcher.starts.size(), 1u);
}

}  // namespace
}  // namespace talvorin::testing
