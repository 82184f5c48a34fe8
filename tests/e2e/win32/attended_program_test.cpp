// Talvorin.exe with its real windows under Wine: a person fills in the SQL Server
// Information dialog and confirms it against the SQL Server double, or cancels it; the test
// is that person, reading and driving the windows of the running program.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/program_run.h"
#include "e2e/win32/attended_program.h"
#include "e2e/win32/server_run_kit.h"
#include "platform/settings_files.h"
#include "setupdata/scramble.h"
#include "support/fakes.h"
#include "support/kit_tool_journal.h"
#include "support/scoped_env.h"
#include "support/sql_double.h"
#include "support/win32/window_driver.h"

#include <commctrl.h>

namespace talvorin::testing {
namespace {

namespace person = win32;
using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

const std::string kRule(80, '-');

class AttendedRun : public ::testing::Test, protected SharedKitSandbox {
protected:
    AttendedRun()
    {
        installTools();
        placeScripts({"create.sql"});
        setupFile("[SCRIPT_2005]\r\n1=create.sql\r\n[CODE_TABLE]\r\n1=T1 in t1.dat\r\n");
        // The installer left the kit data file without a server address.
        writeFile(kitDir + "Orvo4.DAT", "[OPTIONS]\r\nInstallMode=1\r\n");
    }

    std::vector<std::string> params() const { return {"301", serverBase, "1", supportDir, "Setup.ini"}; }
    std::vector<std::string> log() const { return unstampedLogLines(readFile(logPath())); }
    std::vector<std::string> startLines() const
    {
        return {kRule,
                "Start database / table creation program",
                kRule,
                "Starting " + AttendedProgram::path(),
                "Param 1, SetupMod    = 301",
                "Param 2, SvrBasePath = " + serverBase,
                "Param 3, InstallType = 1",
                "Param 4, SupportDir  = " + supportDir,
                "Param 5, SetupFile   = Setup.ini",
                "Get SQL Server Info"};
    }

    static int position(HWND bar) { return static_cast<int>(::SendMessageA(bar, PBM_GETPOS, 0, 0)); }
    // Timer1 moves the bar: it changes while we look.
    static bool moving(HWND bar)
    {
        const int before = position(bar);
        return person::waitUntil([&] { return position(bar) != before; });
    }

    const ScopedEnv journal{"KIT_TOOL_JOURNAL", toolJournal};
    const ScopedEnv driver{"TALVORIN_ODBC_DRIVER", "FreeTDS"};
};

TEST_F(AttendedRun, TheDialogFilledInAndConfirmedSavesTheSettingsAndTheFirstInstallationRuns)
{
    SqlDouble server(SqlDoubleOptions().account("admin", "S3cret").job("ORVO_Schedule_Archive"));
    // Each tool takes a while, so that the main window can be seen at work.
    const ScopedEnv slowTools("KIT_TOOL_SLEEP_MS", "2500");
    AttendedProgram program(params());

    const HWND main = person::waitForTopWindow("TfrmCreateDBInfo", "Velmora Deluxe Setup", 60s);
    const SIZE client = person::clientSize(main);
    EXPECT_EQ(client.cx, 382);
    EXPECT_EQ(client.cy, 54);
    // A fixed frame without border icons: no system menu, so no close box either.
    EXPECT_EQ(person::styleOf(main) & (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX),
              WS_CAPTION);
    const RECT frame = person::rectIn(main, nullptr);
    EXPECT_EQ(frame.left, (::GetSystemMetrics(SM_CXSCREEN) - (frame.right - frame.left)) / 2);
    EXPECT_EQ(frame.top, (::GetSystemMetrics(SM_CYSCREEN) - (frame.bottom - frame.top)) / 2);
    const HWND image = person::control(main, "Image1");
    const HWND label = person::control(main, "Label1");
    const HWND bar = person::control(main, "pgbProcess");
    EXPECT_EQ(person::styleOf(image) & SS_TYPEMASK, SS_ICON);
    EXPECT_NE(::SendMessageA(image, STM_GETICON, 0, 0), 0) << "the program's own icon";
    const RECT icon = person::rectIn(image, main), text = person::rectIn(label, main),
               progress = person::rectIn(bar, main);
    EXPECT_EQ(icon.right - icon.left, 32);
    EXPECT_EQ(icon.bottom - icon.top, 32);
    EXPECT_LT(icon.right, text.left) << "the icon at the left";
    EXPECT_EQ(text.right - text.left, 317);
    EXPECT_EQ(text.bottom - text.top, 21);
    EXPECT_EQ(person::classOf(bar), "msctls_progress32");
    EXPECT_EQ(progress.right - progress.left, 317);
    EXPECT_EQ(progress.bottom - progress.top, 16);
    EXPECT_GE(progress.top, text.bottom) << "the bar below the label";
    EXPECT_EQ(::SendMessageA(bar, PBM_GETRANGE, TRUE, 0), 0);
    EXPECT_EQ(::SendMessageA(bar, PBM_GETRANGE, FALSE, 0), 100);

    const HWND dialog = person::waitForTopWindow("TfrmSQLInfo", "SQL Server Information");
    EXPECT_EQ(::GetWindow(dialog, GW_OWNER), main);
    EXPECT_FALSE(person::enabled(main)) << "disabled while the dialog is up";
    EXPECT_TRUE(moving(bar)) << "Timer1 runs while the dialog is open";
    EXPECT_EQ(person::textOf(label), "Creating Databases ......");

    person::bringToFront(dialog);
    ASSERT_TRUE(person::waitUntil([&] { return person::focusOf(dialog) == person::control(dialog, "edtSQLIP1"); }));
    person::typeText("127");
    person::typeText("0");
    person::pressKey(VK_RIGHT);
    person::typeText("0");
    person::pressKey(VK_RIGHT);
    person::typeText("1");
    person::pressKey(VK_TAB);
    person::typeText(std::to_string(server.port()));
    person::pressKey(VK_TAB);
    person::typeText("admin");  // over the "sa" that Tab selected
    person::pressKey(VK_TAB);
    person::typeText("S3cret");
    ASSERT_TRUE(
        person::waitUntil([&] { return person::textOf(person::control(dialog, "edtSQLPassword")) == "S3cret"; }));
    EXPECT_EQ(person::textOf(person::control(dialog, "edtSQLIP4")), "1");
    EXPECT_EQ(person::textOf(person::control(dialog, "edtSQLLogin")), "admin");
    person::saveScreenshot(dialog, TALVORIN_SCREENSHOTS "/talvorin-sql-server-information.png");

    person::pressKey(VK_RETURN);
    const auto confirm = person::waitForMessageBox();
    EXPECT_EQ(confirm.caption, "Confirm");
    EXPECT_EQ(confirm.text,
              "If you have not installed SQL Server on the machine with IP Address - [127.0.0.1], you should quit "
              "this setup and install SQL Server first. \rAre you sure to proceed?");
    EXPECT_TRUE(moving(bar)) << "Timer1 runs inside the box";
    person::answerBox(confirm, VK_RETURN);
    EXPECT_TRUE(person::waitUntilGone(dialog)) << "tested, saved and closed";

    // The run goes on with the tools, the main window showing it.
    ASSERT_TRUE(
        person::waitUntil([&] { return person::textOf(label) == "Creating databases and tables ......"; }, 30s));
    EXPECT_TRUE(person::enabled(main));
    EXPECT_TRUE(moving(bar)) << "Timer1 runs while a tool runs";
    person::waitUntil([&] { return position(bar) >= 25; });
    person::saveScreenshot(main, TALVORIN_SCREENSHOTS "/talvorin-main-window.png");

    ASSERT_EQ(program.wait(60s), std::optional<DWORD>(0));
    std::vector<std::string> expected = startLines();
    for (const char* line :
         {"Start creating database", "Delete previous archive schedule: Success",
          "Delete previous backup schedule: Fail, error: [FreeTDS][SQL Server]The specified @job_name "
          "('ORVO_Schedule_Full_Backup') does not exist.",
          "Delete previous backup TXLog schedule: Fail, error: [FreeTDS][SQL Server]The specified @job_name "
          "('ORVO_Daily_Tx_Log_Backup') does not exist.",
          "Execute create.sql successfully", "Loading code table T1 in t1.dat completed successfully",
          "Process completed successfully, application will be closed"})
        expected.push_back(line);
    expected.insert(expected.end(), {kRule, "End database / table createion program", kRule});
    EXPECT_THAT(log(), ElementsAreArray(expected));

    // What the dialog stored is what the run then used.
    auto& settings = platform::systemSettingsFiles();
    const auto stored = [&](const char* key) {
        return setupdata::ScrambleText(settings.readString(kitDir + "Orvo4.DAT", "DB", key, ""));
    };
    EXPECT_EQ(stored("User"), "admin");
    EXPECT_EQ(stored("Password"), "S3cret");
    EXPECT_EQ(stored("IP address"), "127.0.0.1");
    EXPECT_EQ(stored("Port"), std::to_string(server.port()));
    const auto runs = readKitToolJournal(toolJournal);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_THAT(runs[0].args, ElementsAre("-S", server.dataSource(), "-U", "admin", "-P", "S3cret", "-i",
                                          serverBase + "\\Scripts\\create.sql"));
    // The dialog's test (no catalog, the edition, master), then the run's master and msdb.
    std::vector<std::string> catalogs;
    for (const auto& login : server.events("login")) catalogs.push_back(login.at("database").get<std::string>());
    EXPECT_THAT(catalogs, ElementsAre("", "", "master", "master", "msdb"));
}

TEST_F(AttendedRun, TheDialogCancelledTwiceWithYesBetweenAndThenNoEndsTheRunWithBothBanners)
{
    AttendedProgram program(params());
    const HWND main = person::waitForTopWindow("TfrmCreateDBInfo", "Velmora Deluxe Setup", 60s);
    for (const WORD answer : {VK_RETURN, VK_ESCAPE}) {
        const HWND dialog = person::waitForTopWindow("TfrmSQLInfo", "SQL Server Information");
        person::bringToFront(dialog);
        ASSERT_TRUE(person::waitUntil([&] { return person::focusOf(dialog) == person::control(dialog, "edtSQLIP1"); }));
        if (answer == VK_RETURN)
            EXPECT_TRUE(person::clickThenWaitFor(person::control(dialog, "btnCancel"),
                                                 [&] { return person::waitUntilGone(dialog, 0ms); }));
        else
            person::pressKey(VK_ESCAPE);
        EXPECT_TRUE(person::waitUntilGone(dialog));
        const auto warning = person::waitForMessageBox();
        EXPECT_EQ(warning.caption, "Warning");
        EXPECT_EQ(warning.text,
                  "Mircosoft SQL Server information setting is not completed. This will lead to Velmora Deluxe "
                  "installation error. Do you want to enter the information again?");
        EXPECT_EQ(warning.buttons, (std::vector<std::string>{"&Yes", "&No"}));
        EXPECT_NE(warning.icon, nullptr) << "(which one: the box tests; icons are no use across processes here)";
        // Enter is Yes: the dialog again; Escape is No: the run ends.
        person::answerBox(warning, answer);
    }
    EXPECT_TRUE(person::waitUntilGone(main));
    ASSERT_EQ(program.wait(30s), std::optional<DWORD>(0));
    std::vector<std::string> expected = startLines();
    expected.insert(expected.end(), {kRule, "End database / table createion program", kRule});
    EXPECT_THAT(log(), ElementsAreArray(expected));
    EXPECT_TRUE(readKitToolJournal(toolJournal).empty());
}

}  // namespace
}  // namespace talvorin::testing
