// The built program on a pseudo-terminal in its line mode (a terminal of type "dumb"), driven
// by keys as a person would, against the SQL Server test double and the kit-tool stand-ins;
// the screen read back.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>

#include "platform/settings_files.h"
#include "e2e/program_run.h"
#include "setupdata/scramble.h"
#include "support/fakes.h"
#include "support/kit_tool_journal.h"
#include "support/sql_double.h"
#include "e2e/posix/terminal_fixture.h"

namespace talvorin::testing {
namespace {

using ::testing::ElementsAre;

class OnTerminal : public TerminalFixture {
protected:
    std::unique_ptr<TerminalRun> start(unsigned short columns, const std::string& toolSleepMs)
    {
        return TerminalFixture::start("dumb", columns, 24, toolSleepMs);
    }
};

std::size_t count(const std::string& text, const std::string& part)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

std::vector<std::string> nonEmpty(const std::vector<std::string>& rows)
{
    std::vector<std::string> out;
    for (const auto& r : rows)
        if (!r.empty()) out.push_back(r);
    return out;
}

TEST_F(OnTerminal, EightyColumnsHoldTheStatusOnOneLineAndTheOutcomeFollows)
{
    SqlDouble server(SqlDoubleOptions().account("sa", "pw"));
    kitData("pw", server.port());
    auto program = start(80, "150");
    EXPECT_EQ(program->waitForExit(), 0);

    // Every redraw went over the same row; after it only the outcome.
    EXPECT_EQ(program->screen().wrappedRows(), 0u) << program->output();
    const auto rows = nonEmpty(program->screen().rows());
    ASSERT_EQ(rows.size(), 3u) << program->output();
    EXPECT_THAT(rows[0], ::testing::StartsWith("Velmora Deluxe Setup | Loading code tables ... ["));
    EXPECT_LT(rows[0].size(), 80u);
    EXPECT_EQ(rows[1], "Process completed successfully, application will be closed");
    EXPECT_EQ(rows[2], "Setup log: " + kitDir + "system.log");
    EXPECT_EQ(runLines().back(), rows[1]);
}

TEST_F(OnTerminal, DialogTakesArrowsTabAndEscapeAndDrawsItsConnectionStatus)
{
    SqlDouble server(SqlDoubleOptions().account("sa", "pw"));
    auto program = start(100, "0");

    // A lone Escape still cancels; an arrow key at the warning answers nothing.
    ASSERT_TRUE(program->waitForText("IP address, part 1 []:")) << program->output();
    program->type("\x1b");
    ASSERT_TRUE(program->waitForText("(Y)es / (N)o, Enter = Yes, Esc = No:")) << program->output();
    program->type("\x1b[A\x1b[B\x1b[3~y");

    // The dialog again: an arrow moves the caret, Tab goes on as Enter does.
    ASSERT_TRUE(program->waitUntil([&] { return count(program->output(), "IP address, part 1 []: ") == 2; }))
        << program->output();
    program->type("17\x1b[D"
                  "2\t");
    ASSERT_TRUE(program->waitForText("IP address, part 2 []:")) << program->output();
    program->type("0\t");
    ASSERT_TRUE(program->waitForText("IP address, part 3 []:"));
    program->type("0\t");
    ASSERT_TRUE(program->waitForText("IP address, part 4 []:"));
    program->type("1\t");
    ASSERT_TRUE(program->waitForText("Port number []:"));
    program->type(std::to_string(server.port()) + "\t");
    ASSERT_TRUE(program->waitForText("Login [sa]:"));
    program->type("\t");
    ASSERT_TRUE(program->waitForText("Password []:"));
    program->type("pw\r");
    ASSERT_TRUE(program->waitForText("Enter tests and saves these settings"));
    program->type("\r");
    ASSERT_TRUE(program->waitForText("Are you sure to proceed?")) << program->output();
    program->type("y");
    EXPECT_EQ(program->waitForExit(), 0) << program->output();

    const std::string& out = program->output();
    const std::size_t connecting = out.find("Connection status | Connecting [#####");
    const std::size_t success = out.find("Connection status | Success [####################]");
    ASSERT_NE(connecting, std::string::npos) << out;
    ASSERT_NE(success, std::string::npos) << out;
    EXPECT_LT(connecting, success) << "drawn before the connection test was through";
    EXPECT_TRUE(program->screen().shows("Connection status | Success [####################]"))
        << "the dialog's last status stays on the screen";

    EXPECT_EQ(setupdata::ScrambleText(
                  platform::systemSettingsFiles().readString(kitDir + "Orvo4.dat", "DB", "IP address", "")),
              "127.0.0.1");
    EXPECT_EQ(runLines().back(), "Process completed successfully, application will be closed");
    EXPECT_EQ(nonEmpty(program->screen().rows()).back(), "Setup log: " + kitDir + "system.log");
}

TEST_F(OnTerminal, CtrlCDuringAToolRunIsLoggedAsAnInterruption)
{
    SqlDouble server(SqlDoubleOptions().account("sa", "pw"));
    kitData("pw", server.port());
    auto program = start(80, "60000");
    ASSERT_TRUE(program->waitUntil([&] { return !readKitToolJournal(toolJournal).empty(); })) << program->output();
    program->type("\x03");
    EXPECT_EQ(program->waitForExit(), 0) << program->output();

    const auto tools = readKitToolJournal(toolJournal);
    ASSERT_EQ(tools.size(), 1u) << "nothing is started after the quit";
    const auto pid = static_cast<pid_t>(tools[0].pid);
    EXPECT_EQ(::kill(pid, 0), 0) << "the tool is left running";
    ::kill(pid, SIGKILL);

    const auto lines = runLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_THAT(std::vector<std::string>(lines.end() - 2, lines.end()),
                ElementsAre("Interrupted by a quit request: osql.exe was left running for create_db.sql",
                            "Process interrupted by a quit request, application will be closed"));
    const auto rows = nonEmpty(program->screen().rows());
    ASSERT_GE(rows.size(), 2u);
    EXPECT_EQ(rows[rows.size() - 2], "Process interrupted by a quit request, application will be closed");
    EXPECT_EQ(program->screen().wrappedRows(), 0u);
}

}  // namespace
}  // namespace talvorin::testing
