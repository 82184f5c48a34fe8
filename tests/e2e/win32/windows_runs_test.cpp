// Talvorin.exe under Windows (Wine): the kit folder below the real Windows folder, the real
// registry, the Windows kit-tool stand-in as osql.exe and bcp.exe, and the SQL Server double.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/win32/server_run_kit.h"
#include "support/kit_tool_journal.h"
#include "support/sql_double.h"

namespace talvorin::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;

const std::string kRule(80, '-');

// The system names the program with backslashes.
std::string windowsPath(std::string path)
{
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

class WindowsRun : public ::testing::Test, protected ServerRunKit {};

TEST_F(WindowsRun, WorkstationSetupLogsAndEnds)
{
    const auto result = run("302", "1");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.standardError, "");
    std::string computer;
    const auto lines = unstampedLogLines(readFile(kitDir + "system.log"), &computer);
    EXPECT_EQ(computer, expectedComputerName());
    EXPECT_THAT(lines, ElementsAre(kRule, "Start database / table creation program", kRule,
                                   "Starting " + windowsPath(TALVORIN_BINARY), "Param 1, SetupMod    = 302",
                                   "Param 2, SvrBasePath = " + serverBase, "Param 3, InstallType = 1",
                                   "Param 4, SupportDir  = " + supportDir, "Param 5, SetupFile   = Setup.ini",
                                   "SetupMode = WS_SETUP. skip database and tables creation", kRule,
                                   "End database / table createion program", kRule));
    EXPECT_TRUE(readKitToolJournal(toolJournal).empty());
}

TEST_F(WindowsRun, TheGeneralErrorBoxIsCaptionedWithTheProgramFilesName)
{
    const std::string renamed = dir.str() + "\\VDSETUP.EXE";
    std::filesystem::copy_file(TALVORIN_BINARY, renamed);
    for (const std::string& program : {std::string(TALVORIN_BINARY), renamed}) {
        const std::string title = program == renamed ? "[Vdsetup] " : "[Talvorin] ";
        EXPECT_EQ(runProgram(program, {"three", serverBase, "1", supportDir, "Setup.ini"}, {}).standardError,
                  title + "'three' is not a valid integer value\r\n");
    }
}

// The shipped program is 32-bit: on 64-bit Windows it opens HKEY_LOCAL_MACHINE with KEY_READ
// and so sees the 32-bit view alone, as the installer that wrote the release did.
TEST_F(WindowsRun, TheReleaseIsReadFromThe32BitViewOnly)
{
    SqlDouble server(SqlDoubleOptions().account("sa", "pw"));
    kitData("sa", "pw", SqlDouble::address(), std::to_string(server.port()));
    installedRelease("3.0.1", KEY_WOW64_64KEY);
    run("301", "2");
    EXPECT_THAT(runLines(), Contains("Upgrade from 1.6.")) << "the 64-bit view's release is not seen";
    std::filesystem::remove(kitDir + "system.log");
    installedRelease("3.2", KEY_WOW64_32KEY);
    installedRelease("2.0", KEY_WOW64_64KEY);
    run("301", "2");
    EXPECT_THAT(runLines(), Contains("Upgrade repair from 3.2"));
}

TEST_F(WindowsRun, AQuitMessageDuringAToolStopsTheRunWithItsBanner)
{
    SqlDouble server(SqlDoubleOptions().account("sa", "pw"));
    kitData("sa", "pw", SqlDouble::address(), std::to_string(server.port()));
    const auto result = runTalvorin(
        {"301", serverBase, "1", supportDir, "Setup.ini"},
        {{"KIT_TOOL_JOURNAL", toolJournal}, {"TALVORIN_ODBC_DRIVER", "FreeTDS"}, {"KIT_TOOL_SLEEP_MS", "4000"}}, 60,
        [&] { return !readKitToolJournal(toolJournal).empty(); });
    EXPECT_EQ(result.exitCode, 0);
    const auto lines = log();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 2], "End database / table createion program");
    EXPECT_EQ(readKitToolJournal(toolJournal).size(), 1u) << "nothing more was started after the request";
}

}  // namespace
}  // namespace talvorin::testing
